#pragma once
// The qvnsim program as a child process for tests and benchmarks: ready once
// its link COMn is in the port folder.

#include <filesystem>
#include <string>
#include <vector>

#include "child_process.h"

class QvnsimProcess {
public:
    // Waits this long for the link before it gives up.
    static constexpr std::chrono::milliseconds kLinkDeadline{10000};

    // qvnsim --com 99 --ports-dir `portsDir` --quiet, then `extra`.
    QvnsimProcess(const std::string& program, const std::string& portsDir, std::vector<std::string> extra = {});
    // qvnsim --com `com` --ports-dir `portsDir`, then `extra`; what it prints
    // goes to the file `output`, or nowhere (--quiet) when that is empty.
    QvnsimProcess(const std::string& program, const std::string& portsDir, int com, std::vector<std::string> extra,
                  const std::filesystem::path& output);
    // Both throw std::runtime_error when the program cannot start, ends, or
    // has not linked COMn within kLinkDeadline. It gets SIGTERM and is waited
    // for when the object goes.

    ChildProcess& process() { return process_; }
    const std::filesystem::path& link() const { return link_; }

private:
    std::filesystem::path link_;
    ChildProcess process_;
};
