// The mini console, the command sender and the error boundary.

#include <stdexcept>

#include <QScrollBar>

#include "pty_master_port.h"
#include "serial/serial.h"
#include "window_fixture.h"

namespace {

class ConsoleTest : public WindowTest {
protected:
    void SetUp() override
    {
        start();
        platform.messages.clear();
        form->consoleClear();
    }
    QString console() const { return form->Memo1->toPlainText(); }
};

TEST_F(ConsoleTest, EachAppendEndsALineAndLineBreaksInsideStartNewOnes)
{
    const struct {
        QStringList appends;
        QString shown;
    } cases[] = {
        {{"one"}, "one"},
        {{"one", "two"}, "one\ntwo"},
        {{""}, ""},
        {{"", "x"}, "\nx"},
        {{"a", ""}, "a\n"},
        {{"a", "\r\n", "b"}, "a\n\n\nb"},
        {{"Serial port selected: COM3\r\nSelect the I2C address,"},
         "Serial port selected: COM3\nSelect the I2C address,"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appends.join("|").toStdString());
        form->consoleClear();
        for (const QString& t : c.appends) form->consoleAppend(t);
        EXPECT_EQ(console(), c.shown);
    }
}

TEST_F(ConsoleTest, IsReadOnlyKeepsEveryLineAndFollowsTheEnd)
{
    EXPECT_TRUE(form->Memo1->isReadOnly());
    for (int i = 0; i < 500; ++i) form->consoleAppend(QString::number(i));
    EXPECT_EQ(form->Memo1->document()->blockCount(), 500);
    EXPECT_EQ(console().split('\n').first(), QStringLiteral("0"));
    QScrollBar* bar = form->Memo1->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(ConsoleTest, SenderFramesWritesEchoesAndPauses)
{
    PtyMasterPort device(work.portFolder(), 8);
    ASSERT_TRUE(serial::openComPort(device.portName()));
    ASSERT_TRUE(serial::setupComPort("57600", 25, [](const std::string&) {}));
    std::string received;
    platform.onSleep = [&](long long) { received += device.readAll(); };
    platform.sleeps.clear();

    form->sendToQuorvane(QStringLiteral("C&S"), 100);
    form->sendToQuorvane(QStringLiteral("A&a$9C4"), 150);
    serial::closeComPort();

    EXPECT_EQ(received, ":C&S#:A&a$9C4#");
    EXPECT_EQ(console(), QStringLiteral("Command =    :C&S#\nCommand =    :A&a$9C4#"));
    EXPECT_EQ(platform.sleeps, (std::vector<int>{100, 150}));
    EXPECT_EQ(platform.nowMs, 250);
}

TEST_F(ConsoleTest, SenderWithoutAPortStillEchoesAndPauses)
{
    form->sendToQuorvane(QStringLiteral("A&F"), 150);
    EXPECT_EQ(console(), QStringLiteral("Command =    :A&F#"));
    EXPECT_EQ(platform.nowMs, 150);
}

TEST_F(ConsoleTest, BoundaryShowsTheFailureAndTheProgramGoesOn)
{
    EXPECT_FALSE(form->guarded([] { throw std::runtime_error("Division by zero"); }));
    EXPECT_TRUE(form->guarded([] {}));
    EXPECT_EQ(platform.messages, QStringList{QStringLiteral("Division by zero")});

    // A handler entered from a signal: the error is shown, nothing escapes.
    form->EditSidSpeed->setText(QStringLiteral("x"));
    platform.answerDialog(work.file(QStringLiteral("m.qvm")));
    platform.messages.clear();
    form->ButtonSaveModel->click();
    EXPECT_EQ(platform.messages, QStringList{QStringLiteral("Unable to save")});
    // Unscripted dialog: the fake throws; the boundary reports it.
    form->ButtonLoadModel->click();
    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_TRUE(platform.messages.back().contains(QStringLiteral("unscripted")));
}

} // namespace
