#pragma once
// Pieces of the end-to-end tests: the qvnsim program as a child process, a
// platform that really sleeps, and the event loop run for a while.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QStringList>
#include <QTimer>
#include <sys/types.h>

#include "app/platform.h"

// Starts qvnsim on COM99 in `portsDir` and waits for its link; SIGTERM and
// wait when it goes.
class QvnsimProcess {
public:
    QvnsimProcess(const std::string& program, const std::string& portsDir, std::vector<std::string> extra);
    ~QvnsimProcess();
    QvnsimProcess(const QvnsimProcess&) = delete;
    QvnsimProcess& operator=(const QvnsimProcess&) = delete;

private:
    pid_t pid_ = -1;
};

// The platform with real sleeps; messages are recorded instead of waiting for
// a user; dialogs answer from `saveAnswer` (cancel when empty).
class RealTimePlatform : public Platform {
public:
    void sleepMs(int ms) override;
    void showMessage(const QString& text) override { messages << text; }
    std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest&) override { return saveAnswer; }
    QChar decimalSeparator() const override { return QLatin1Char('.'); }
    QString executablePath() const override;
    QStringList messages;
    std::optional<FileDialogAnswer> saveAnswer;
};

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
