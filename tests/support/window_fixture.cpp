#include "window_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>

#include <stdexcept>

TempWorkDir::TempWorkDir()
{
    if (!dir_.isValid()) throw std::runtime_error("cannot create a temporary folder");
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    const QString xdg = dir_.filePath(QStringLiteral("config"));
    QDir().mkpath(xdg + QStringLiteral("/ZARPO/ports"));
    xdg_.set(xdg.toLocal8Bit().toStdString());
}

TempWorkDir::~TempWorkDir() { QDir::setCurrent(oldCwd_); }

std::string TempWorkDir::portFolder() const
{
    return dir_.filePath(QStringLiteral("config/ZARPO/ports/")).toStdString();
}

void startWindow(TForm1& form)
{
    form.show();
    QElapsedTimer t;
    t.start();
    while (!form.startedUp() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
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
