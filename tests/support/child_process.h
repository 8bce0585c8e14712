#pragma once
// A program run as a child process by tests and benchmarks: its output kept
// in a file when asked, signalled, waited for with a deadline, and never left
// behind (SIGTERM and a wait when the object goes).

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct ChildOptions {
    ChildOptions(std::filesystem::path output = {}, std::filesystem::path errors = {},
                 std::filesystem::path workDir = {})
        : output(std::move(output)), errors(std::move(errors)), workDir(std::move(workDir))
    {}
    // Standard output, and standard error too unless `errors` names a file of
    // its own; each is created or emptied. Empty: the caller's.
    std::filesystem::path output;
    std::filesystem::path errors;
    // The child's working folder; empty: the caller's.
    std::filesystem::path workDir;
};

class ChildProcess {
public:
    // What wait() returns instead of an exit status.
    static constexpr int kTimedOut = -1;  // still running at the deadline: killed
    static constexpr int kSignalled = -2; // a signal ended it

    // Starts `program` with `args` (argv[0] is the program). Throws
    // std::runtime_error when it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& args, ChildOptions options = {});
    // SIGTERM and a wait if it still runs; SIGKILL if it does not end within 10 s.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Whether it still runs; an ended child is reaped.
    bool running();
    // Sends `sig` while it runs; nothing once it has ended.
    void signal(int sig);
    // Its exit status once it has ended, waiting at most `limit`: kSignalled
    // when a signal ended it, kTimedOut (it is then killed) when it still ran.
    int wait(std::chrono::milliseconds limit);

    // What it wrote to the output file so far ("" without one).
    std::string output() const;
    // Waits until the output holds `text`, the child has ended or `limit` has
    // passed; returns the output then.
    std::string waitForOutput(const std::string& text, std::chrono::milliseconds limit);

private:
    int decoded() const;

    pid_t pid_ = -1;
    bool reaped_ = false;
    int status_ = 0; // as waitpid gave it, once reaped
    std::filesystem::path output_;
};
