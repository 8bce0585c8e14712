#pragma once
// The platform seam: everything the window does to the outside world except
// the serial port. The program uses QtPlatform; tests use a fake that records
// messages, scripts dialog answers and advances a virtual clock on sleep.

#include <QChar>
#include <QString>
#include <optional>

struct FileDialogRequest {
    QString title;
    QString startDir;    // starting folder
    QString filter;      // "description|pattern|description|pattern..."
    QString defaultExt;  // without the dot, e.g. "qvm"
    QString fileName;    // file name shown at first (may be empty)
    int filterIndex = 1; // 1-based entry of `filter` selected at first
};

struct FileDialogAnswer {
    QString path;        // full path chosen
    int filterIndex = 1; // 1-based entry of the filter selected when accepted
};

class Platform {
public:
    virtual ~Platform() = default;
    // Blocking sleep of the calling thread; no events are processed.
    virtual void sleepMs(int ms) = 0;
    // Modal box: the text only, one OK button, no icon, titled with the
    // executable's base name; returns when the user closes it.
    virtual void showMessage(const QString& text) = 0;
    // Nothing when the user cancels.
    virtual std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest& request) = 0;
    // The decimal separator of the user's locale ('.' or ',').
    virtual QChar decimalSeparator() const = 0;
    // Full path of the running executable.
    virtual QString executablePath() const = 0;
};
