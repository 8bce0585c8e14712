#pragma once
// The platform seam as the program uses it: real sleep, real message boxes
// and file dialogs, the system locale, the real executable path.

#include "app/platform.h"

class QWidget;

class QtPlatform : public Platform {
public:
    void setDialogParent(QWidget* parent) { parent_ = parent; }

    void sleepMs(int ms) override;
    void showMessage(const QString& text) override;
    std::optional<FileDialogAnswer> openFileDialog(const FileDialogRequest& request) override;
    std::optional<FileDialogAnswer> saveFileDialog(const FileDialogRequest& request) override;
    QChar decimalSeparator() const override;
    QString executablePath() const override;

private:
    QWidget* parent_ = nullptr;
};

// "desc|pattern|desc|pattern" as Qt name filters "desc (pattern)": the
// parentheses show the pattern that is really matched; ";" between patterns
// becomes Qt's space.
QStringList qtNameFilters(const QString& filter);
