// qvnsim as the tool sees it: how fast a status request is answered, and how
// much CPU the simulator takes while nobody talks to it.
//
//   qvnsim_bench [--requests N] [--idle-seconds S]
//
// Last line:
//   qvnsim: requests=N latency_median_ms=M latency_p99_ms=Q idle_cpu_percent=C

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "qvnsim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

// User plus system CPU of a process, in clock ticks.
long cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    // Fields after the command name, which is in parentheses.
    std::istringstream rest(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

} // namespace

int main(int argc, char** argv)
{
    int requests = 500;
    double idleSeconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--requests")
            requests = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--idle-seconds")
            idleSeconds = std::atof(argv[i + 1]);
    }

    const auto dir = std::filesystem::temp_directory_path() / ("zarpo-qvnsim-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::optional<QvnsimProcess> sim;
    int fd = -1;
    try {
        sim.emplace(QVNSIM_PATH, dir.string() + "/");
        fd = ::open(sim->link().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) std::fprintf(stderr, "qvnsim_bench: no simulator on %s\n", sim->link().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qvnsim_bench: %s\n", e.what());
    }

    int status = 1;
    if (fd >= 0) {
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
        const std::string activate[] = {":A&R#", ":A&C0#"};
        for (const auto& f : activate) (void)!::write(fd, f.data(), f.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));

        std::vector<double> ms;
        char buf[128];
        for (int i = 0; i < requests; ++i) {
            const std::string req = ":A&Q0#";
            const auto t0 = Clock::now();
            (void)!::write(fd, req.data(), req.size());
            std::string got;
            while (got.empty() || got.back() != '#') {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 1000) <= 0) break;
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0) break;
                got.append(buf, static_cast<std::size_t>(n));
            }
            ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        }
        std::sort(ms.begin(), ms.end());

        const long before = cpuTicks(sim->process().pid());
        std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
        const long after = cpuTicks(sim->process().pid());
        const double idlePercent = 100.0 * static_cast<double>(after - before) / ::sysconf(_SC_CLK_TCK) / idleSeconds;

        std::printf("qvnsim: requests=%d latency_median_ms=%.3f latency_p99_ms=%.3f idle_cpu_percent=%.2f\n", requests,
                    ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], idlePercent);
        ::close(fd);
        status = 0;
    }
    sim.reset();
    std::filesystem::remove_all(dir);
    return status;
}
