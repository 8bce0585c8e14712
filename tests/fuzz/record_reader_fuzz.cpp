// Any bytes as a record file, read in memory through the file reader's own
// parsing: each whole word is the little-endian word of its four bytes, a
// partial last word changes only its low bytes, nothing past the bytes read
// changes; and the record written from the result reads back field for field.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "record_words.h"
#include "settings/record.h"

namespace {

constexpr unsigned char kFill = 0x5A;

std::uint32_t wordAt(const settings::TMYSETTINGS& rec, std::size_t i)
{
    std::uint32_t w = 0;
    std::memcpy(&w, reinterpret_cast<const unsigned char*>(&rec) + 4 * i, 4);
    return w;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    settings::TMYSETTINGS rec;
    std::memset(&rec, kFill, sizeof rec);
    settings::readRecordBytes(std::string_view(reinterpret_cast<const char*>(data), size), rec);

    const std::size_t n = size < settings::kRecordFileSize ? size : settings::kRecordFileSize;
    const std::size_t words = sizeof rec / 4;
    for (std::size_t i = 0; i < words; ++i) {
        std::uint8_t expect[4];
        for (std::size_t b = 0; b < 4; ++b) expect[b] = 4 * i + b < n ? data[4 * i + b] : kFill;
        if (wordAt(rec, i) != record_words::littleEndian(expect)) std::abort();
    }

    // Written and read again: the 49 fields come back, the file is 240
    // bytes and the reserved words in it are zero.
    const std::string file = settings::recordFileBytes(rec);
    if (file.size() != settings::kRecordFileSize) std::abort();
    for (std::size_t i = 4 * settings::kFieldCount; i < file.size(); ++i)
        if (file[i] != 0) std::abort();
    settings::TMYSETTINGS back;
    std::memset(&back, 0xA5, sizeof back);
    settings::readRecordBytes(file, back);
    for (std::size_t i = 0; i < settings::kFieldCount; ++i)
        if (wordAt(back, i) != wordAt(rec, i)) std::abort();
    return 0;
}
