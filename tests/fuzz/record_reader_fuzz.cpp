// Any file as a record file: its first bytes (at most 240) land in the
// record, and nothing past them changes.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "settings/record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = "/tmp/zarpo-record-fuzz-" + std::to_string(::getpid());
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    settings::TMYSETTINGS rec;
    std::memset(&rec, 0x5A, sizeof rec);
    if (!settings::readRecordFile(path, rec)) std::abort();
    const std::size_t n = size < settings::kRecordFileSize ? size : settings::kRecordFileSize;
    const auto* raw = reinterpret_cast<const unsigned char*>(&rec);
    if (std::memcmp(raw, data, n) != 0) std::abort();
    for (std::size_t i = n; i < sizeof rec; ++i)
        if (raw[i] != 0x5A) std::abort();
    return 0;
}
