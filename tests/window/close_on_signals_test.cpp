// SIGTERM, SIGINT and SIGHUP close the window as EXIT does, even while a box
// is open: the settings file is written, nothing is lost.

#include <csignal>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include "app/close_on_signals.h"
#include "window_fixture.h"

namespace {

class CloseOnSignalsTest : public WindowTest {
protected:
    void runUntilClosed()
    {
        QElapsedTimer t;
        t.start();
        while (form->isVisible() && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    qint64 settingsSize() const { return QFileInfo(work.file(QStringLiteral("qvnsettings.dat"))).size(); }
};

TEST_F(CloseOnSignalsTest, EachSignalClosesTheWindowAndSavesTheSettings)
{
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(sig);
        QFile::remove(work.file(QStringLiteral("qvnsettings.dat")));
        start();
        CloseOnSignals closer(*form);
        form->EditKP->setText(QStringLiteral("11"));
        ASSERT_EQ(::raise(sig), 0);
        runUntilClosed();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(settingsSize(), 240);
        EXPECT_EQ(form->mySettings.setting_KP, 11);
    }
}

TEST_F(CloseOnSignalsTest, AnOpenBoxIsClosedFirst)
{
    start();
    CloseOnSignals closer(*form);
    bool boxReturned = false;
    QTimer::singleShot(0, form.get(), [&] {
        QMessageBox box(form.get());
        box.setText(QStringLiteral("waiting"));
        box.setStandardButtons(QMessageBox::Ok);
        QTimer::singleShot(50, [] { ::raise(SIGTERM); });
        box.exec();
        boxReturned = true;
    });
    runUntilClosed();
    EXPECT_TRUE(boxReturned);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(settingsSize(), 240);
}

} // namespace
