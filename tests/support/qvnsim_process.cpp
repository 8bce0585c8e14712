#include "qvnsim_process.h"

#include <stdexcept>
#include <thread>

namespace {

std::vector<std::string> arguments(const std::string& portsDir, int com, std::vector<std::string> extra, bool quiet)
{
    std::vector<std::string> args = {"--com", std::to_string(com), "--ports-dir", portsDir};
    if (quiet) args.push_back("--quiet");
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

bool linked(const std::filesystem::path& link)
{
    return std::filesystem::exists(std::filesystem::symlink_status(link));
}

} // namespace

QvnsimProcess::QvnsimProcess(const std::string& program, const std::string& portsDir, std::vector<std::string> extra)
    : QvnsimProcess(program, portsDir, 99, std::move(extra), {})
{}

QvnsimProcess::QvnsimProcess(const std::string& program, const std::string& portsDir, int com,
                             std::vector<std::string> extra, const std::filesystem::path& output)
    : link_(std::filesystem::path(portsDir) / ("COM" + std::to_string(com))),
      process_(program, arguments(portsDir, com, std::move(extra), output.empty()), ChildOptions(output))
{
    const auto end = std::chrono::steady_clock::now() + kLinkDeadline;
    while (!linked(link_)) {
        if (!process_.running())
            throw std::runtime_error("qvnsim ended before it linked " + link_.string() + " (exit status " +
                                     std::to_string(process_.wait(std::chrono::milliseconds(0))) + ")");
        if (std::chrono::steady_clock::now() >= end)
            throw std::runtime_error("qvnsim has not linked " + link_.string() + " within " +
                                     std::to_string(kLinkDeadline.count()) + " ms");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}
