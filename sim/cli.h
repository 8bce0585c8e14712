#pragma once
// qvnsim's command line.

#include <optional>
#include <string>
#include <vector>

#include "options.h"

namespace qvnsim {

struct CommandLine {
    int com = 99;
    std::optional<std::string> portsDir; // default: the user's port folder
    Options options;
    bool quiet = false;
    bool help = false;
};

struct ParseResult {
    std::optional<CommandLine> line; // set when the arguments were good
    std::string error;               // otherwise what was wrong
};

ParseResult parseCommandLine(const std::vector<std::string>& args);
std::string usageText();
// "controllers 1, 2; dc" for the start-up line.
std::string describe(const Options& options);

} // namespace qvnsim
