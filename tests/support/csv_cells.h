#pragma once
// The cells of a CSV text as the tool writes it: `\n` line ends, commas, no
// quoting, numbers with a decimal point. Header only, no test framework: the
// caller says what a failure means.

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace csv_cells {

using Rows = std::vector<std::vector<std::string>>;

// The rows of `text`; nullopt when a line ends in "\r" or the last line has
// no "\n" (an empty text has no rows).
inline std::optional<Rows> rows(std::string_view text)
{
    if (text.find('\r') != std::string_view::npos) return std::nullopt;
    if (!text.empty() && text.back() != '\n') return std::nullopt;
    Rows result;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        std::vector<std::string> cells;
        for (std::size_t c = 0;;) {
            const std::size_t comma = line.find(',', c);
            cells.emplace_back(line.substr(c, comma == std::string_view::npos ? std::string_view::npos : comma - c));
            if (comma == std::string_view::npos) break;
            c = comma + 1;
        }
        result.push_back(std::move(cells));
    }
    return result;
}

// The number a cell holds; NaN (equal to nothing) unless the whole cell is one.
inline double number(std::string_view cell)
{
    double v = NAN;
    const auto r = std::from_chars(cell.data(), cell.data() + cell.size(), v);
    return r.ec == std::errc() && r.ptr == cell.data() + cell.size() ? v : NAN;
}

} // namespace csv_cells
