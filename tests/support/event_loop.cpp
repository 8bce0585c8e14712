#include "event_loop.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QEventLoop>

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        runFor(20);
    }
    return true;
}

long long msTaken(const std::function<void()>& action)
{
    const auto start = std::chrono::steady_clock::now();
    action();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

LoopWatch::LoopWatch()
{
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const auto now = std::chrono::steady_clock::now();
        if (last_) longest_ = std::max(longest_, now - *last_);
        last_ = now;
    });
    timer_.start();
}

long long LoopWatch::longestGapMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(longest_).count();
}
