#pragma once
// Shared pieces of the window tests: a temporary working folder (the settings
// file lives there), a private port folder, and a started window.

#include <memory>
#include <ostream>
#include <string>

#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "app/TForm1.h"
#include "fake_platform.h"
#include "scoped_env.h"

// Readable QString values in test failures.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral("|")).toStdString() << ']';
}

// Changes into a fresh temporary folder and back; points the port folder
// ($XDG_CONFIG_HOME/ZARPO/ports) inside it, so no real port is listed.
class TempWorkDir {
public:
    TempWorkDir();
    ~TempWorkDir();
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    std::string portFolder() const;

private:
    QTemporaryDir dir_;
    QString oldCwd_;
    ScopedEnv xdg_{"XDG_CONFIG_HOME"};
};

// Lets the event loop run until the window's start-up has run (at most once).
void startWindow(TForm1& form);

class WindowTest : public ::testing::Test {
protected:
    // Creates and starts the window in the temporary folder.
    TForm1& start();
    // Creates the window without starting it.
    TForm1& create();

    TempWorkDir work;
    FakePlatform platform;
    std::unique_ptr<TForm1> form;
};
