#pragma once
// zarpo-tune's command line and its grid of gains. Pure.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tune {

// A command line that cannot be used; the message is one line for the user.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr int kMaxRuns = 100;                // runs of one gain pair
inline constexpr std::size_t kMaxGridValues = 1000; // values of one gain's list

struct Options {
    std::string port; // "COM99"
    std::string baud = "57600";
    int address = 1;                                 // controller 0..15, address character 64 + n
    std::optional<std::string> settings;             // none: qvnsettings.dat here, or the defaults
    std::optional<std::vector<std::int32_t>> kp, ki; // none: the settings' gain
    int runs = 1;
    std::optional<std::string> csv;       // every run, one line each
    std::optional<std::string> writeBest; // the settings with the best gains
    bool quiet = false;
    bool help = false;
};

// The arguments after the program's name. Throws UsageError.
Options parseOptions(const std::vector<std::string>& args);

// A list of gains: "5,7,9", a range "4:12:2" (first, last, step; the last is
// included when the steps reach it) or one value. Gains are integers from 0
// to 2147483647; a value given twice is kept once. Throws UsageError naming
// `option`.
std::vector<std::int32_t> parseGrid(std::string_view text, std::string_view option);

// The text of --help.
std::string usageText();

} // namespace tune
