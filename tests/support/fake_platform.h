#pragma once
// The platform seam for window tests: records messages and dialog requests,
// answers dialogs from a script, advances a virtual clock on sleep.

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QStringList>

#include "app/platform.h"

class FakePlatform : public Platform {
public:
    void sleepMs(int ms) override;
    void showMessage(const QString& text) override;
    std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest& request) override;
    std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest& request) override;
    QChar decimalSeparator() const override { return separator; }
    QString executablePath() const override { return exePath; }

    // Scripts the next dialog (open or save) to choose `path`.
    void answerDialog(const QString& path, int filterIndex = 1);
    // Scripts the next dialog to be cancelled.
    void cancelDialog();

    // What the program showed and asked, in order.
    QStringList messages;
    std::vector<FileDialogRequest> openRequests;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<int> sleeps;

    // Virtual time in milliseconds, advanced by every sleep.
    long long nowMs = 0;
    // Runs after the clock has moved (e.g. to let a simulated device catch up).
    std::function<void(long long nowMs)> onSleep;
    // Runs "while the box is open" (e.g. timer ticks).
    std::function<void(const QString& text)> onMessage;

    QChar separator = QLatin1Char('.');
    QString exePath = QStringLiteral("/opt/zarpo/ZARPO");

private:
    std::optional<FileDialogAnswer> nextAnswer(const char* kind);
    std::deque<std::optional<FileDialogAnswer>> answers_;
};
