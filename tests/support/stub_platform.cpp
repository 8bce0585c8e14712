#include "stub_platform.h"

#include <cstdio>

#include <QCoreApplication>
#include <QThread>

void StubPlatform::sleepMs(int ms)
{
    if (beforeSleep) beforeSleep(ms);
    if (sleeps_ == Sleeps::Real && ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void StubPlatform::showMessage(const QString& text)
{
    messages << text;
    if (echoMessages) std::fprintf(stderr, "message: %s\n", qPrintable(text));
}

QString StubPlatform::executablePath() const { return QCoreApplication::applicationFilePath(); }
