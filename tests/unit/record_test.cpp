#include "settings/record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

#include "record_words.h"

using namespace settings;
namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& p, const std::string& bytes)
{
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

// Bytes 0, 1, 2, ... n-1 (mod 256): every word read from it is recognisable.
std::string countingBytes(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i & 0xFF);
    return s;
}

class RecordFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("zarpo-record-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    fs::path dir;
};

TEST(Record, DefaultsWrittenGiveTheKnownWords)
{
    std::string bytes = recordFileBytes(defaultSettings());
    ASSERT_EQ(bytes.size(), 240u);
    EXPECT_EQ(record_words::word(bytes, 0), 1);
    EXPECT_EQ(record_words::word(bytes, 1), 57600);
    EXPECT_EQ(record_words::word(bytes, 6), 7);
    EXPECT_EQ(record_words::word(bytes, 11), 40000);    // sidereal speed in thousandths
    EXPECT_EQ(record_words::word(bytes, 43), 12000000); // stepper maximum speed
    EXPECT_EQ(record_words::word(bytes, 48), 0);
    for (std::size_t w = 49; w < 60; ++w) EXPECT_EQ(record_words::word(bytes, w), 0) << w;
}

TEST(Record, NegativeOffsetSpeedIsTwosComplementLittleEndian)
{
    TMYSETTINGS s = defaultSettings();
    s.setting_offsetTrackSpeed = -500;
    std::string bytes = recordFileBytes(s);
    EXPECT_EQ(bytes.substr(48, 4), std::string("\x0C\xFE\xFF\xFF", 4));
}

TEST(Record, ReservedWordsAreWrittenAsZero)
{
    TMYSETTINGS s = defaultSettings();
    for (auto& w : s.setting_bidon) w = 0x55555555;
    std::string bytes = recordFileBytes(s);
    EXPECT_EQ(bytes.substr(196), std::string(44, '\0'));
}

TEST_F(RecordFile, ReadTakesAtMost240BytesAndKeepsTheRest)
{
    struct Case {
        std::size_t fileSize;
        std::size_t bytesTaken;
    };
    for (Case c : {Case{100, 100}, Case{240, 240}, Case{1000, 240}, Case{0, 0}, Case{7, 7}}) {
        fs::path p = dir / ("f" + std::to_string(c.fileSize));
        writeAll(p, countingBytes(c.fileSize));
        TMYSETTINGS rec;
        std::memset(&rec, 0xAB, sizeof rec);
        ASSERT_TRUE(readRecordFile(p.string(), rec)) << c.fileSize;
        const auto* raw = reinterpret_cast<const unsigned char*>(&rec);
        for (std::size_t i = 0; i < sizeof rec; ++i) {
            unsigned char expected = i < c.bytesTaken ? static_cast<unsigned char>(i & 0xFF) : 0xAB;
            ASSERT_EQ(raw[i], expected) << "file of " << c.fileSize << " bytes, byte " << i;
        }
    }
}

TEST_F(RecordFile, HundredByteFileLoadsTwentyFiveWords)
{
    TMYSETTINGS full = defaultSettings();
    std::string bytes = recordFileBytes(full).substr(0, 100);
    writeAll(dir / "short.dat", bytes);
    TMYSETTINGS rec{};
    ASSERT_TRUE(readRecordFile((dir / "short.dat").string(), rec));
    EXPECT_EQ(rec.setting_comPortNumber, 1);
    EXPECT_EQ(rec.setting_resetOnIndex, full.setting_resetOnIndex); // word 24
    EXPECT_EQ(rec.setting_sidSpeed, 40000);
    EXPECT_EQ(rec.setting_slewSpeed, 0); // word 25 untouched
    EXPECT_EQ(rec.setting_STEPmaxspeed, 0);
}

TEST_F(RecordFile, FailedReadLeavesTheRecordUnchanged)
{
    TMYSETTINGS rec = defaultSettings();
    rec.setting_KP = 99;
    EXPECT_FALSE(readRecordFile((dir / "missing.dat").string(), rec));
    EXPECT_FALSE(readRecordFile(dir.string(), rec)); // a folder cannot be read as a file
    EXPECT_EQ(rec.setting_KP, 99);
    EXPECT_EQ(rec.setting_baudRate, 57600);
}

TEST_F(RecordFile, WriteThenReadRoundTripsAndClearsReservedWords)
{
    TMYSETTINGS s = defaultSettings();
    s.setting_offsetTrackSpeed = -500;
    s.setting_addrIdx = 40;
    for (auto& w : s.setting_bidon) w = 7;
    fs::path p = dir / "qvnsettings.dat";
    writeRecordFile(p.string(), s);
    EXPECT_EQ(fs::file_size(p), 240u);

    TMYSETTINGS back{};
    ASSERT_TRUE(readRecordFile(p.string(), back));
    EXPECT_EQ(std::memcmp(&back, &s, 196), 0);
    for (std::size_t k = 0; k < 11; ++k) EXPECT_EQ(back.setting_bidon[k], 0) << k;
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(RecordFile, WriteReplacesALongerFileWhole)
{
    fs::path p = dir / "model.qvm";
    writeAll(p, std::string(1000, 'x'));
    writeRecordFile(p.string(), defaultSettings());
    EXPECT_EQ(readAll(p), recordFileBytes(defaultSettings()));
}

TEST_F(RecordFile, FailedWriteReportsAndLeavesTheOldFileIntact)
{
    fs::path p = dir / "qvnsettings.dat";
    TMYSETTINGS old = defaultSettings();
    old.setting_KP = 11;
    writeRecordFile(p.string(), old);
    const std::string before = readAll(p);

    // A folder where the temporary file cannot be made (root ignores
    // permissions, so use a path whose folder is a regular file), and a
    // target that is a folder, so that the final rename fails.
    fs::path notAFolder = dir / "plain";
    writeAll(notAFolder, "x");
    EXPECT_THROW(writeRecordFile((notAFolder / "qvnsettings.dat").string(), defaultSettings()), RecordWriteError);

    fs::path folderTarget = dir / "target";
    fs::create_directories(folderTarget / "inside");
    EXPECT_THROW(writeRecordFile(folderTarget.string(), defaultSettings()), RecordWriteError);
    EXPECT_TRUE(fs::is_directory(folderTarget / "inside"));

    EXPECT_EQ(readAll(p), before);
    // No temporary file is left behind by the failures.
    std::size_t entries = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 3u); // qvnsettings.dat, plain, target
}

TEST(ZarpDir, IsTheExecutablesFolderWithOneSeparator)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/local/bin/ZARPO", "/usr/local/bin/"},
        {"/home/ann/zarpo/build/ZARPO2", "/home/ann/zarpo/build/"},
        {"/opt/a-long-name-for-a-program", "/opt/"},
        {"/ZARPO", "/"},
        {"ZARPO", "./"},
    };
    for (auto [exe, dir] : cases) EXPECT_EQ(getZARPdir(exe), dir) << exe;
}

} // namespace
