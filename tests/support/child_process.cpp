#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using namespace std::chrono_literals;

std::runtime_error spawnError(const std::string& program, const char* step, int err)
{
    return std::runtime_error("cannot start " + program + " (" + step + "): " + std::strerror(err));
}

// Owns the spawn attributes and file actions, whatever way start() leaves.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    SpawnSetup()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attr);
    }
    ~SpawnSetup()
    {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

} // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args, ChildOptions options)
{
    namespace fs = std::filesystem;
    // Absolute before the child changes folder, so a relative name means the caller's folder.
    if (!options.output.empty()) options.output = fs::absolute(options.output);
    if (!options.errors.empty()) options.errors = fs::absolute(options.errors);
    output_ = options.output;

    SpawnSetup s;
    auto check = [&](int rc, const char* step) {
        if (rc != 0) throw spawnError(program, step, rc);
    };
    if (!options.workDir.empty())
        check(posix_spawn_file_actions_addchdir_np(&s.actions, options.workDir.c_str()), "working folder");
    constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC;
    if (!options.output.empty())
        check(posix_spawn_file_actions_addopen(&s.actions, STDOUT_FILENO, options.output.c_str(), kFlags, 0644),
              "output file");
    if (!options.errors.empty())
        check(posix_spawn_file_actions_addopen(&s.actions, STDERR_FILENO, options.errors.c_str(), kFlags, 0644),
              "error file");
    else if (!options.output.empty())
        check(posix_spawn_file_actions_adddup2(&s.actions, STDOUT_FILENO, STDERR_FILENO), "error file");

    // The child starts as from a shell: no signal blocked, the stop signals
    // at their defaults even where the test runner ignores them.
    sigset_t none, stops;
    sigemptyset(&none);
    sigemptyset(&stops);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) sigaddset(&stops, sig);
    check(posix_spawnattr_setsigmask(&s.attr, &none), "signal mask");
    check(posix_spawnattr_setsigdefault(&s.attr, &stops), "signal defaults");
    check(posix_spawnattr_setflags(&s.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF), "flags");

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    // glibc reports a failed exec here, not as an exit status of the child.
    check(posix_spawn(&pid_, program.c_str(), &s.actions, &s.attr, argv.data(), environ), "spawn");
}

ChildProcess::~ChildProcess()
{
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    wait(10s);
}

bool ChildProcess::running()
{
    if (reaped_) return false;
    if (::waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    return !reaped_;
}

void ChildProcess::signal(int sig)
{
    if (running()) ::kill(pid_, sig);
}

int ChildProcess::decoded() const
{
    if (WIFEXITED(status_)) return WEXITSTATUS(status_);
    return kSignalled;
}

int ChildProcess::wait(std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (running()) {
        if (std::chrono::steady_clock::now() >= end) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status_, 0);
            reaped_ = true;
            return kTimedOut;
        }
        std::this_thread::sleep_for(10ms);
    }
    return decoded();
}

std::string ChildProcess::output() const
{
    if (output_.empty()) return {};
    std::ifstream in(output_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ChildProcess::waitForOutput(const std::string& text, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        // Whether it ran is read before the output: a child that has ended
        // has written all it will.
        const bool ran = running();
        std::string out = output();
        if (out.find(text) != std::string::npos || !ran || std::chrono::steady_clock::now() >= end) return out;
        std::this_thread::sleep_for(10ms);
    }
}
