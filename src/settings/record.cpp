#include "settings/record.h"

#include "settings/atomic_file.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace settings {

static_assert(sizeof(TMYSETTINGS) == 356, "the record is 89 words");
static_assert(offsetof(TMYSETTINGS, setting_comPortNumber) == 0);
static_assert(offsetof(TMYSETTINGS, setting_baudRate) == 4);
static_assert(offsetof(TMYSETTINGS, setting_addrIdx) == 8);
static_assert(offsetof(TMYSETTINGS, setting_refSyst) == 12);
static_assert(offsetof(TMYSETTINGS, setting_reqPos) == 16);
static_assert(offsetof(TMYSETTINGS, setting_reqFreqIdx) == 20);
static_assert(offsetof(TMYSETTINGS, setting_KP) == 24);
static_assert(offsetof(TMYSETTINGS, setting_KI) == 28);
static_assert(offsetof(TMYSETTINGS, setting_ErrLim) == 32);
static_assert(offsetof(TMYSETTINGS, setting_intLim) == 36);
static_assert(offsetof(TMYSETTINGS, setting_intMaxSpeed) == 40);
static_assert(offsetof(TMYSETTINGS, setting_sidSpeed) == 44);
static_assert(offsetof(TMYSETTINGS, setting_offsetTrackSpeed) == 48);
static_assert(offsetof(TMYSETTINGS, setting_guideSpeed) == 52);
static_assert(offsetof(TMYSETTINGS, setting_accel) == 56);
static_assert(offsetof(TMYSETTINGS, setting_final) == 60);
static_assert(offsetof(TMYSETTINGS, setting_sensThr) == 64);
static_assert(offsetof(TMYSETTINGS, setting_stepPulseWidth) == 68);
static_assert(offsetof(TMYSETTINGS, setting_limitSWP) == 72);
static_assert(offsetof(TMYSETTINGS, setting_limitSWM) == 76);
static_assert(offsetof(TMYSETTINGS, setting_invertDir) == 80);
static_assert(offsetof(TMYSETTINGS, setting_freeAtStop) == 84);
static_assert(offsetof(TMYSETTINGS, setting_enableVoltIdx) == 88);
static_assert(offsetof(TMYSETTINGS, setting_IndexEdgeIdx) == 92);
static_assert(offsetof(TMYSETTINGS, setting_resetOnIndex) == 96);
static_assert(offsetof(TMYSETTINGS, setting_slewSpeed) == 100);
static_assert(offsetof(TMYSETTINGS, setting_stepByStep) == 104);
static_assert(offsetof(TMYSETTINGS, setting_gotoSpeed) == 108);
static_assert(offsetof(TMYSETTINGS, setting_pulseTime) == 112);
static_assert(offsetof(TMYSETTINGS, setting_graphStep) == 116);
static_assert(offsetof(TMYSETTINGS, setting_graphSpeed) == 120);
static_assert(offsetof(TMYSETTINGS, setting_DCteethNum) == 124);
static_assert(offsetof(TMYSETTINGS, setting_DCteethAdv) == 128);
static_assert(offsetof(TMYSETTINGS, setting_DCreductor) == 132);
static_assert(offsetof(TMYSETTINGS, setting_DCgears) == 136);
static_assert(offsetof(TMYSETTINGS, setting_DCcounts) == 140);
static_assert(offsetof(TMYSETTINGS, setting_DCrpm) == 144);
static_assert(offsetof(TMYSETTINGS, setting_STEPteethNum) == 148);
static_assert(offsetof(TMYSETTINGS, setting_STEPteethAdv) == 152);
static_assert(offsetof(TMYSETTINGS, setting_STEPreductor) == 156);
static_assert(offsetof(TMYSETTINGS, setting_STEPgears) == 160);
static_assert(offsetof(TMYSETTINGS, setting_STEPfullsteps) == 164);
static_assert(offsetof(TMYSETTINGS, setting_STEPmicrosteps) == 168);
static_assert(offsetof(TMYSETTINGS, setting_STEPmaxspeed) == 172);
static_assert(offsetof(TMYSETTINGS, setting_FOCUSturns) == 176);
static_assert(offsetof(TMYSETTINGS, setting_FOCUScounts) == 180);
static_assert(offsetof(TMYSETTINGS, setting_FOCUSreductor) == 184);
static_assert(offsetof(TMYSETTINGS, setting_FOCUSgears) == 188);
static_assert(offsetof(TMYSETTINGS, setting_sensorDetectPol) == 192);
static_assert(offsetof(TMYSETTINGS, setting_bidon) == 196);

namespace {

// The record as its 89 words, in file order.
std::int32_t* words(TMYSETTINGS& r) { return &r.setting_comPortNumber; }
const std::int32_t* words(const TMYSETTINGS& r) { return &r.setting_comPortNumber; }

constexpr std::size_t kRecordWords = sizeof(TMYSETTINGS) / 4;
constexpr std::size_t kFileWords = kRecordFileSize / 4;

} // namespace

TMYSETTINGS defaultSettings()
{
    TMYSETTINGS s{};
    s.setting_comPortNumber = 1;
    s.setting_baudRate = 57600;
    s.setting_addrIdx = 1;
    s.setting_refSyst = 0;
    s.setting_reqPos = 0;
    s.setting_reqFreqIdx = 6;
    s.setting_KP = 7;
    s.setting_KI = 20;
    s.setting_ErrLim = 3000;
    s.setting_intLim = 3000;
    s.setting_intMaxSpeed = 3000;
    s.setting_sidSpeed = 40000;
    s.setting_offsetTrackSpeed = 0;
    s.setting_guideSpeed = 40000;
    s.setting_accel = 3000;
    s.setting_final = 0;
    s.setting_sensThr = 1023;
    s.setting_stepPulseWidth = 2;
    s.setting_slewSpeed = 3000;
    s.setting_stepByStep = 6000;
    s.setting_gotoSpeed = 3000;
    s.setting_pulseTime = 1000;
    s.setting_graphStep = 12000;
    s.setting_graphSpeed = 3000;
    s.setting_DCteethNum = 360000;
    s.setting_DCteethAdv = 1000;
    s.setting_DCreductor = 30000;
    s.setting_DCgears = 5000;
    s.setting_DCcounts = 64000;
    s.setting_DCrpm = 350000;
    s.setting_STEPteethNum = 144000;
    s.setting_STEPteethAdv = 1000;
    s.setting_STEPreductor = 120000;
    s.setting_STEPgears = 1000;
    s.setting_STEPfullsteps = 48000;
    s.setting_STEPmicrosteps = 16000;
    s.setting_STEPmaxspeed = 12000000;
    s.setting_FOCUSturns = 10000;
    s.setting_FOCUScounts = 50000;
    s.setting_FOCUSreductor = 48000;
    s.setting_FOCUSgears = 2000;
    s.setting_sensorDetectPol = 0;
    return s;
}

bool readRecordFile(const std::string& path, TMYSETTINGS& rec)
{
    // Only the first 240 bytes matter; the rest of a longer file is ignored.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    unsigned char bytes[kRecordFileSize];
    std::size_t n = 0;
    while (n < kRecordFileSize) {
        ssize_t got = ::read(fd, bytes + n, kRecordFileSize - n);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false; // a folder, a device that fails, ...
        }
        if (got == 0) break;
        n += static_cast<std::size_t>(got);
    }
    ::close(fd);
    readRecordBytes(std::string_view(reinterpret_cast<const char*>(bytes), n), rec);
    return true;
}

void readRecordBytes(std::string_view bytes, TMYSETTINGS& rec)
{
    const std::size_t n = bytes.size() < kRecordFileSize ? bytes.size() : kRecordFileSize;
    std::int32_t* w = words(rec);
    // Little-endian words; a trailing partial word replaces only its low bytes.
    for (std::size_t i = 0; i < n; ++i) {
        auto u = static_cast<std::uint32_t>(w[i / 4]);
        unsigned shift = static_cast<unsigned>(i % 4) * 8;
        u = (u & ~(0xFFu << shift)) | (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << shift);
        w[i / 4] = static_cast<std::int32_t>(u);
    }
}

std::string recordFileBytes(const TMYSETTINGS& rec)
{
    std::string out(kRecordFileSize, '\0');
    const std::int32_t* w = words(rec);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        auto u = static_cast<std::uint32_t>(w[i]);
        for (unsigned b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<char>((u >> (8 * b)) & 0xFF);
    }
    // Words 49 to 59 are reserved and always written as zero.
    static_assert(kFieldCount < kFileWords && kFileWords <= kRecordWords);
    return out;
}

void writeRecordFile(const std::string& path, const TMYSETTINGS& rec)
{
    try {
        writeFileAtomically(path, recordFileBytes(rec));
    } catch (const FileWriteError& e) {
        throw RecordWriteError(e.what());
    }
}

std::string getZARPdir(const std::string& executablePath)
{
    std::filesystem::path dir = std::filesystem::path(executablePath).parent_path();
    std::string s = dir.string();
    if (s.empty()) return "./";
    if (s.back() != '/') s += '/';
    return s;
}

} // namespace settings
