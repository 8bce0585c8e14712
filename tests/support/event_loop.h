#pragma once
// The event loop run in real time by the end-to-end tests: for a while, until
// a condition holds, and watched for stalls.

#include <chrono>
#include <functional>
#include <optional>

#include <QTimer>

// Lets the event loop (and so the poll timer) run for `ms` of real time.
void runFor(int ms);

// Runs the event loop until `done` holds or `timeoutMs` has passed; whether it holds.
bool runUntil(const std::function<bool()>& done, int timeoutMs);

// Milliseconds `action` took.
long long msTaken(const std::function<void()>& action);

// Watches the event loop while it runs: a timer that should fire every 20 ms
// records the longest gap between two of its firings.
class LoopWatch {
public:
    LoopWatch();
    long long longestGapMs() const;

private:
    QTimer timer_;
    std::optional<std::chrono::steady_clock::time_point> last_;
    std::chrono::steady_clock::duration longest_{};
};
