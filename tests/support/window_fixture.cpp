#include "window_fixture.h"

#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

TempWorkDir::TempWorkDir()
{
    if (!dir_.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    if (const char* x = std::getenv("XDG_CONFIG_HOME")) {
        hadXdg_ = true;
        oldXdg_ = x;
    }
    const QString xdg = dir_.filePath(QStringLiteral("config"));
    QDir().mkpath(xdg + QStringLiteral("/ZARPO/ports"));
    setenv("XDG_CONFIG_HOME", xdg.toLocal8Bit().constData(), 1);
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(oldCwd_);
    if (hadXdg_)
        setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

std::string TempWorkDir::portFolder() const
{
    return dir_.filePath(QStringLiteral("config/ZARPO/ports/")).toStdString();
}

void startWindow(TForm1& form)
{
    form.show();
    QElapsedTimer t;
    t.start();
    while (!form.startedUp() && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

TForm1& WindowTest::create()
{
    form = std::make_unique<TForm1>(platform);
    return *form;
}

TForm1& WindowTest::start()
{
    create();
    startWindow(*form);
    EXPECT_TRUE(form->startedUp());
    return *form;
}
