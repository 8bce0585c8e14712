// The window against the qvnsim program in real time: connect, activate,
// poll on the real timer, track, release, disconnect, close.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <QTimer>

#include "app/TForm1.h"
#include "event_loop.h"
#include "qvnsim_process.h"
#include "stub_platform.h"
#include "window_fixture.h"

namespace {

struct TickLog {
    QStringList rx;
    QStringList comErr;
    std::vector<int> sidTime;
    std::vector<std::chrono::steady_clock::time_point> at;
};

class LiveE2E : public ::testing::Test {
protected:
    void startWindow()
    {
        form = std::make_unique<TForm1>(platform);
        ::startWindow(*form);
        ASSERT_TRUE(form->startedUp());
        platform.messages.clear(); // no settings file in the fresh folder
        // Runs after the window's own tick handler.
        QObject::connect(&form->Timer1, &QTimer::timeout, form.get(), [this] {
            log.rx << form->LabelRX->text();
            log.comErr << form->LabelComErr->text();
            log.sidTime.push_back(form->_cursidtime);
            log.at.push_back(std::chrono::steady_clock::now());
        });
    }

    void connectAndActivate()
    {
        form->ComboBoxComPort->setEditText(QStringLiteral("COM99"));
        // On a line that drops replies the check itself may go unanswered:
        // the user clicks CONNECT again.
        for (int attempt = 0; attempt < 5 && !form->isConnected; ++attempt) form->ButtonConnect->click();
        ASSERT_TRUE(form->isConnected) << form->LabelRX->text().toStdString();
        platform.messages.clear();
        form->ButtonActivate->click();
        ASSERT_TRUE(form->Timer1.isActive());
    }

    void releaseDisconnectClose()
    {
        form->ButtonRelease->click();
        runFor(1000);
        EXPECT_EQ(form->LabelStatus->text(), "Status: RELEASED and FREE");
        form->ButtonDisconnect->click();
        EXPECT_FALSE(form->isPortOpen);
        EXPECT_TRUE(form->close());
        EXPECT_TRUE(std::filesystem::exists(work.file("qvnsettings.dat").toStdString()));
    }

    TempWorkDir work;
    StubPlatform platform;
    std::unique_ptr<TForm1> form;
    TickLog log;
};

TEST_F(LiveE2E, PollTrackReleaseAndClose)
{
    QvnsimProcess sim(QVNSIM_PATH, work.portFolder());
    startWindow();
    connectAndActivate();
    runFor(3000);

    ASSERT_GE(log.rx.size(), 15);           // about 8 requests a second
    EXPECT_EQ(log.rx.front(), "Waiting 1"); // nothing was asked yet
    for (int i = 1; i < log.rx.size(); ++i) {
        EXPECT_TRUE(log.rx[i].startsWith("A0")) << i << ": " << log.rx[i].toStdString();
        EXPECT_EQ(log.comErr[i], "........") << i;
    }
    // The sidereal clock runs at the sidereal speed (40 steps/s) from the reset.
    const std::size_t last = log.sidTime.size() - 1;
    const double seconds = std::chrono::duration<double>(log.at[last] - log.at[1]).count();
    EXPECT_NEAR((log.sidTime[last] - log.sidTime[1]) / seconds, 40.0, 3.0);

    // Track for two seconds: the motor follows the sidereal clock.
    form->guarded([this] { form->sendToQuorvane(QStringLiteral("A&T"), form->delay100); });
    runFor(500);
    EXPECT_EQ(form->LabelStatus->text(), "Status: TRACKING");
    const int pos0 = form->_curposit;
    runFor(2000);
    EXPECT_TRUE(form->isTracking);
    EXPECT_NEAR(form->_curposit - pos0, 80, 12);
    form->guarded([this] { form->sendToQuorvane(QStringLiteral("A&N"), form->delay100); });

    releaseDisconnectClose();
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

TEST_F(LiveE2E, DroppedRepliesOnlyShowAsWaiting)
{
    QvnsimProcess sim(QVNSIM_PATH, work.portFolder(), {"--drop", "0.2", "--seed", "7"});
    startWindow();
    connectAndActivate();
    runFor(4000);

    int waiting = 0;
    for (int i = 1; i < log.rx.size(); ++i) {
        if (log.rx[i] == "Waiting 1") ++waiting;
        EXPECT_NE(log.comErr[i], "COM ERROR") << i;
    }
    EXPECT_GT(waiting, 0);
    EXPECT_LT(waiting, log.rx.size() / 2);
    releaseDisconnectClose();
}

} // namespace
