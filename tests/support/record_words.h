#pragma once
// The words of a record file as the file holds them: four bytes each,
// little-endian, whatever the host's order. Header only, so that targets
// built without the test libraries (the fuzzers) read them the same way.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace record_words {

// The unsigned word of four bytes in file order.
inline std::uint32_t littleEndian(const unsigned char* b)
{
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

// Word `index` of the file's bytes as the signed field it stores; a word
// that is not wholly in `bytes` is a fault of the test.
inline std::int32_t word(std::string_view bytes, std::size_t index)
{
    if (index >= bytes.size() / 4)
        throw std::out_of_range("record word " + std::to_string(index) + " is past the " +
                                std::to_string(bytes.size()) + " bytes read");
    return static_cast<std::int32_t>(littleEndian(reinterpret_cast<const unsigned char*>(bytes.data()) + 4 * index));
}

} // namespace record_words
