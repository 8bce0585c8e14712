#include "qvnsim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

QvnsimProcess::QvnsimProcess(const std::string& program, const std::string& portsDir, std::vector<std::string> extra)
{
    std::vector<std::string> args = {program, "--com", "99", "--ports-dir", portsDir, "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    if (pid_ == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Ready once its link is there.
    const auto link = std::filesystem::path(portsDir) / "COM99";
    for (int i = 0; i < 500 && !std::filesystem::exists(std::filesystem::symlink_status(link)); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

QvnsimProcess::~QvnsimProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

void RealTimePlatform::sleepMs(int ms)
{
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

QString RealTimePlatform::executablePath() const
{
    return QCoreApplication::applicationFilePath();
}

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
