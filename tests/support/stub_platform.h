#pragma once
// The platform for programs and benchmarks that run the window without a
// user, and for the end-to-end tests in real time: sleeps that really sleep
// (or none), messages recorded instead of waiting for a click, the open
// dialog cancelled and the save dialog answered from a script.

#include <functional>
#include <optional>

#include <QStringList>

#include "app/platform.h"

class StubPlatform : public Platform {
public:
    enum class Sleeps { Real, None };
    explicit StubPlatform(Sleeps sleeps = Sleeps::Real) : sleeps_(sleeps) {}

    void sleepMs(int ms) override;
    void showMessage(const QString& text) override;
    std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest&) override { return saveAnswer; }
    QChar decimalSeparator() const override { return QLatin1Char('.'); }
    QString executablePath() const override;

    // Every message shown, in order.
    QStringList messages;
    // Also writes each message to standard error as "message: TEXT".
    bool echoMessages = false;
    // The save dialog's answer; cancelled when empty.
    std::optional<FileDialogAnswer> saveAnswer;
    // Runs at every sleep, before it (e.g. to time the poll's ticks).
    std::function<void(int ms)> beforeSleep;

private:
    Sleeps sleeps_;
};
