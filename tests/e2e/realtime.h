#pragma once
// Pieces of the window's end-to-end tests: a platform that really sleeps,
// the qvnsim program as a child process on COM99, and waiting on the event
// loop in real time.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include "app/platform.h"

// The platform with real sleeps; messages are recorded instead of waiting for
// a user.
class RealTimePlatform : public Platform {
public:
    void sleepMs(int ms) override
    {
        if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
    }
    void showMessage(const QString& text) override { messages << text; }
    std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    QChar decimalSeparator() const override { return QLatin1Char('.'); }
    QString executablePath() const override { return QCoreApplication::applicationFilePath(); }
    QStringList messages;
};

class Simulator {
public:
    Simulator(const std::string& portsDir, std::vector<std::string> extra)
    {
        std::vector<std::string> args = {QVNSIM_PATH, "--com", "99", "--ports-dir", portsDir, "--quiet"};
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
        for (int i = 0; i < 200 && !std::filesystem::exists(std::filesystem::symlink_status(link)); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~Simulator()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

private:
    pid_t pid_ = -1;
};

// Lets the event loop (and so the poll timer) run for `ms` of real time.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `timeoutMs` has passed; whether it holds.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs) return false;
        runFor(20);
    }
    return true;
}
