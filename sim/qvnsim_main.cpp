// qvnsim: the simulated bridge on a pseudo-terminal, driven by the monotonic
// clock. Sleeps in ppoll until the tool writes or a reply falls due.

#include <poll.h>
#include <signal.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"
#include "pty_bridge.h"
#include "serial/portnames.h"

namespace {

volatile sig_atomic_t stopRequested = 0;

void onSignal(int) { stopRequested = 1; }

double monotonicNow()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool isStatusRequest(std::string_view body)
{
    return body.size() == 4 && (body.substr(1) == "&Q0" || body.substr(1) == "&Q1");
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = qvnsim::parseCommandLine(args);
    if (!parsed.line) {
        std::cerr << "qvnsim: " << parsed.error << "\n";
        return 2;
    }
    const auto& line = *parsed.line;
    if (line.help) {
        std::cout << qvnsim::usageText();
        return 0;
    }

    // Block the stop signals except inside ppoll, so none is lost between
    // checks. A closed terminal (SIGHUP) and Ctrl-\ (SIGQUIT) stop it as
    // cleanly as Ctrl-C: a stale link would lead the tool to whatever
    // program gets that pseudo-terminal next.
    const int stopSignalList[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (int sig : stopSignalList) sigaddset(&stopSignals, sig);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    for (int sig : stopSignalList) sigdelset(&waitMask, sig);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int sig : stopSignalList) sigaction(sig, &action, nullptr);

    const std::string portsDir = line.portsDir ? *line.portsDir : serial::portFolder();
    const double start = monotonicNow();
    try {
        qvnsim::PtyBridge device(line.com, portsDir, line.options, 0);
        if (!line.quiet) {
            device.bridge().setFrameLog([](std::string_view body) {
                if (!isStatusRequest(body) || body == "@&Q0") std::cout << "qvnsim: :" << body << "#" << std::endl;
            });
            std::cout << "qvnsim: COM" << line.com << " -> " << device.slavePath() << " ("
                      << qvnsim::describe(line.options) << ")" << std::endl;
        }
        bool reportedGone = false;
        while (!stopRequested) {
            const double now = monotonicNow() - start;
            device.pump(now);
            if (device.gone()) {
                if (!reportedGone && !line.quiet) std::cout << "qvnsim: the device has vanished" << std::endl;
                reportedGone = true;
                ppoll(nullptr, 0, nullptr, &waitMask); // wait for the stop signal
                continue;
            }
            // Sleep until the tool writes or the next planned event; an idle
            // wake-up every second costs nothing.
            const double wait = std::clamp(device.bridge().nextEvent() - now, 0.0, 1.0);
            timespec timeout{};
            timeout.tv_sec = static_cast<time_t>(wait);
            timeout.tv_nsec = static_cast<long>((wait - std::floor(wait)) * 1e9);
            pollfd fd{device.masterFd(), POLLIN, 0};
            const int r = ppoll(&fd, 1, &timeout, &waitMask);
            if (r < 0 && errno != EINTR) {
                std::perror("qvnsim: poll");
                return 1;
            }
            if (r > 0 && (fd.revents & (POLLHUP | POLLERR)) && !(fd.revents & POLLIN)) {
                // Should not happen while we hold the slave open; do not spin.
                timespec pause{0, 10'000'000};
                nanosleep(&pause, nullptr);
            }
        }
    } catch (const std::exception& e) {
        std::cerr << "qvnsim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
