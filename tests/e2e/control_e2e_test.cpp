// The window drives and retunes the qvnsim program in real time through the
// control tab and the UPDATE buttons, in the sidereal reference system, and
// the settings file written at exit holds the uploaded values.

#include <gtest/gtest.h>

#include <cstdlib>

#include <QLabel>
#include <QTest>

#include "app/TForm1.h"
#include "event_loop.h"
#include "qvnsim_process.h"
#include "settings/record.h"
#include "stub_platform.h"
#include "window_fixture.h"

namespace {

// Generous: other builds may load the machine.
constexpr int kTimeoutMs = 15000;

class ControlE2E : public ::testing::Test {
protected:
    QString status() const { return form->LabelStatus->text(); }
    bool statusIs(const char* s) const { return status() == QLatin1String(s); }

    TempWorkDir work;
    StubPlatform platform;
    std::unique_ptr<TForm1> form;
};

TEST_F(ControlE2E, DriveAndRetuneThenTheSettingsFileHoldsTheUploads)
{
    QvnsimProcess sim(QVNSIM_PATH, work.portFolder());
    form = std::make_unique<TForm1>(platform);
    startWindow(*form);
    ASSERT_TRUE(form->startedUp());
    platform.messages.clear(); // no settings file in the fresh folder
    TForm1& f = *form;
    f.PageControl1->setCurrentWidget(f.TabSheetControl);

    // Connect and activate controller 1 in the sidereal system.
    f.ComboBoxComPort->setEditText(QStringLiteral("COM99"));
    f.ButtonConnect->click();
    ASSERT_TRUE(f.isConnected) << f.LabelRX->text().toStdString();
    TForm1::setRadioIndex(f.RadioGroupRefSyst, 1);
    f.ButtonActivate->click();
    ASSERT_TRUE(f.Timer1.isActive());
    ASSERT_TRUE(runUntil([&] { return statusIs("Status: STOPPED and LOCKED"); }, kTimeoutMs));

    // TRACK: tracking, and the sidereal position holds still.
    f.EditTrackSpeed->setText(QStringLiteral("0"));
    f.ButtonTrack->click();
    ASSERT_TRUE(runUntil([&] { return statusIs("Status: TRACKING"); }, kTimeoutMs));
    runFor(500);
    const int held = f._cursidcoor;
    const int clock = f._cursidtime;
    runFor(1500);
    EXPECT_GT(f._cursidtime - clock, 30); // the sky moved on ...
    EXPECT_NEAR(f._cursidcoor, held, 1);  // ... and the motor with it
    EXPECT_EQ(f.LabelCoor->text().left(19), QStringLiteral("Sidereal position ="));

    // Pulse guiding while tracking.
    f.EditPulseTime->setText(QStringLiteral("1500"));
    f.ButtonPulseRight->click();
    EXPECT_TRUE(runUntil([&] { return statusIs("Status: GUIDING +"); }, kTimeoutMs)) << status().toStdString();
    EXPECT_TRUE(runUntil([&] { return statusIs("Status: TRACKING"); }, kTimeoutMs)) << status().toStdString();

    // GO TO a sidereal position: reached, then tracking goes on there.
    f.EditGotoSpeed->setText(QStringLiteral("3000"));
    f.EditGotoPos->setText(QStringLiteral("500"));
    f.ButtonGoTo->click();
    EXPECT_TRUE(
        runUntil([&] { return statusIs("Status: TRACKING") && std::abs(f._cursidcoor - 500) <= 1; }, kTimeoutMs))
        << f._cursidcoor;

    // MOVE by steps, with the mouse.
    f.RadioButtonBySteps->click();
    f.EditSlewSpeed->setText(QStringLiteral("2000"));
    f.EditBySteps->setText(QStringLiteral("-300"));
    QTest::mousePress(f.ButtonSlew, Qt::LeftButton);
    QTest::mouseRelease(f.ButtonSlew, Qt::LeftButton);
    EXPECT_TRUE(
        runUntil([&] { return statusIs("Status: TRACKING") && std::abs(f._cursidcoor - 200) <= 1; }, kTimeoutMs))
        << f._cursidcoor;

    // STOP.
    f.ButtonStop->click();
    EXPECT_TRUE(runUntil([&] { return statusIs("Status: STOPPED and LOCKED"); }, kTimeoutMs)) << status().toStdString();
    EXPECT_FALSE(f.isTracking);

    // Retune KP and the sidereal speed while it runs.
    f.EditKP->setText(QStringLiteral("9"));
    EXPECT_TRUE(f.ButtonUpdatePID->isEnabled());
    f.ButtonUpdatePID->click();
    f.EditSidSpeed->setText(QStringLiteral("60"));
    f.ButtonUpdateTrack->click();
    EXPECT_FALSE(f.ButtonUpdatePID->isEnabled());
    EXPECT_FALSE(f.ButtonUpdateTrack->isEnabled());
    const QString console = f.Memo1->toPlainText();
    EXPECT_TRUE(console.contains("Command =    :A&p9#\n\n\n"));
    EXPECT_TRUE(console.endsWith("Command =    :A&r60000#\nCommand =    :A&t0#\nCommand =    :A&g40000#\n\n"));
    EXPECT_TRUE(f.Timer1.isActive());
    // The sidereal clock now runs at 60 steps a second.
    runFor(500);
    const int c0 = f._cursidtime;
    QElapsedTimer t;
    t.start();
    runFor(3000);
    EXPECT_NEAR((f._cursidtime - c0) / (t.elapsed() / 1000.0), 60.0, 6.0);

    // Release, disconnect, exit.
    f.ButtonRelease->click();
    EXPECT_TRUE(runUntil([&] { return statusIs("Status: RELEASED and FREE"); }, kTimeoutMs));
    f.ButtonDisconnect->click();
    f.ButtonExit->click();
    EXPECT_FALSE(f.isVisible());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();

    settings::TMYSETTINGS saved{};
    ASSERT_TRUE(settings::readRecordFile(work.file("qvnsettings.dat").toStdString(), saved));
    EXPECT_EQ(saved.setting_KP, 9);
    EXPECT_EQ(saved.setting_sidSpeed, 60000);
    EXPECT_EQ(saved.setting_refSyst, 1);
    EXPECT_EQ(saved.setting_stepByStep, -300);
}

} // namespace
