// The control tab against the simulated bridge: the frames each button
// sends, in order, with their pauses and console lines, the status poll
// paused around them, the checks that send nothing, MOVE by mouse and by
// a held Ctrl+M, and the status panel following the motion.

#include <cstdlib>
#include <functional>

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QDir>
#include <QKeyEvent>
#include <QPalette>
#include <QTest>

#include "sim_window.h"

namespace {

QColor windowColour(const QWidget* w) { return w->palette().color(QPalette::Window); }

const QColor kRed(255, 0, 0);
const QColor kGrey(128, 128, 128);

QString integerMessage(const QString& text) { return "Value \"" + text + "\" in edit box\r\nis not an integer."; }

QString numberMessage(const QString& text)
{
    return "Value \"" + text + "\" in edit box\r\nis not a number.\r\nCheck for decimal separator.";
}

class MotionTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        connect();
        activate(); // controller A, rate "8": delay100 60, delay150 100
        ASSERT_TRUE(form->Timer1.isActive());
        form->PageControl1->setCurrentWidget(form->TabSheetControl);
        clearRecords();
        platform.onMessage = [this](const QString&) { timerAtMessage.push_back(form->Timer1.isActive()); };
    }

    // Each sleep of a send happened with the poll stopped, and it runs again.
    void expectPollPausedAroundTheSends()
    {
        for (bool active : timerAtSleep) EXPECT_FALSE(active);
        EXPECT_TRUE(form->Timer1.isActive());
    }

    void mouseDown(Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(form->ButtonSlew, b); }
    void mouseUp(Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(form->ButtonSlew, b); }

    // A key event as the platform delivers it, to the widget with the focus.
    void key(QEvent::Type type, bool autoRepeat = false, Qt::KeyboardModifiers mods = Qt::ControlModifier,
             QWidget* focus = nullptr)
    {
        QKeyEvent e(type, Qt::Key_M, mods, QString(), autoRepeat);
        QApplication::sendEvent(focus ? focus : form.get(), &e);
    }

    std::vector<bool> timerAtMessage;
};

TEST_F(MotionTest, EveryButtonSendsItsCommandsWithTheirPauses)
{
    struct Case {
        const char* name;
        std::function<void()> setUp;
        QAbstractButton* button;
        QStringList frames;
        std::vector<int> sleeps;
        QStringList consoleTail; // after the command lines
    };
    TForm1& f = *form;
    const Case cases[] = {
        {"STOP", [] {}, f.ButtonStop, {"A&S"}, {60}, {}},
        {"FREE", [] {}, f.ButtonFree, {"A&F"}, {60}, {}},
        {"RESET POSITION",
         [] {},
         f.ButtonResetPos,
         {"A&R"},
         {60},
         {"Motor position, QE", " and sidereal counters set to 0.", ""}},
        {"Reset Index", [] {}, f.ButtonResetIndex, {"A&J"}, {60}, {}},
        {"UNTRACK", [] {}, f.ButtonUntrack, {"A&N"}, {60}, {}},
        {"TRACK", [&f] { f.EditTrackSpeed->setText("1.5"); }, f.ButtonTrack, {"A&t1500", "A&T"}, {100, 60}, {}},
        {"TRACK, less than a thousandth",
         [&f] { f.EditTrackSpeed->setText("0.0004"); },
         f.ButtonTrack,
         {"A&t0", "A&T"},
         {100, 60},
         {}},
        {"TRACK, negative, half to even",
         [&f] { f.EditTrackSpeed->setText("-0.0625"); },
         f.ButtonTrack,
         {"A&t-62", "A&T"},
         {100, 60},
         {}},
        {"Update Speed",
         [&f] {
             f.RadioButtonContinuous->click();
             f.EditSlewSpeed->setText("$1F4");
         },
         f.ButtonUpdateSlew,
         {"A&w$1F4"},
         {60},
         {}},
        {"GO TO",
         [&f] {
             f.EditGotoSpeed->setText(" +2000");
             f.EditGotoPos->setText("-1200");
         },
         f.ButtonGoTo,
         {"A&s +2000", "A&G-1200"},
         {100, 60},
         {}},
        {"pulse -", [&f] { f.EditPulseTime->setText("500"); }, f.ButtonPulseLeft, {"A&P-500"}, {60}, {}},
        {"pulse + beyond the hint's maximum",
         [&f] { f.EditPulseTime->setText("20000"); },
         f.ButtonPulseRight,
         {"A&P+20000"},
         {60},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        clearRecords();
        const int before = consoleLines().size();
        c.button->click();
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(platform.sleeps, c.sleeps);
        EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
        expectPollPausedAroundTheSends();
        QStringList expected;
        for (const QString& fr : c.frames) expected << "Command =    :" + fr + "#";
        expected << c.consoleTail;
        EXPECT_EQ(consoleLines().mid(before), expected);
    }
}

TEST_F(MotionTest, TrackKeepsTheOffsetItSent)
{
    const struct {
        const char* text;
        QChar sep;
        const char* trackingSpeed;
    } cases[] = {{"1.5", '.', "1500"}, {"-0.25", '.', "-250"}, {"-0,25", ',', "-250"}, {"0.0625", '.', "62"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        platform.separator = c.sep;
        form->EditTrackSpeed->setText(c.text);
        form->ButtonTrack->click();
        EXPECT_EQ(form->trackingSpeed, c.trackingSpeed);
    }
}

TEST_F(MotionTest, AFailedCheckSendsNothingAndLeavesThePollRunning)
{
    struct Case {
        const char* name;
        std::function<void()> setUp;
        QAbstractButton* button;
        QStringList messages;
    };
    TForm1& f = *form;
    const Case cases[] = {
        {"TRACK, no number", [&f] { f.EditTrackSpeed->setText("1,5"); }, f.ButtonTrack, {numberMessage("1,5")}},
        {"TRACK, thousandths beyond 32 bits",
         [&f] { f.EditTrackSpeed->setText("1e10"); },
         f.ButtonTrack,
         {"Value \"1e10\" in edit box\r\nis out of range."}},
        {"Update Speed",
         [&f] {
             f.RadioButtonContinuous->click();
             f.EditSlewSpeed->setText("fast");
         },
         f.ButtonUpdateSlew,
         {integerMessage("fast")}},
        {"GO TO, empty position",
         [&f] {
             f.EditGotoSpeed->setText("2000");
             f.EditGotoPos->setText("");
         },
         f.ButtonGoTo,
         {integerMessage("")}},
        {"GO TO, both wrong: the speed only",
         [&f] {
             f.EditGotoSpeed->setText("2000.5");
             f.EditGotoPos->setText("x");
         },
         f.ButtonGoTo,
         {integerMessage("2000.5")}},
        {"pulse", [&f] { f.EditPulseTime->setText("1.5"); }, f.ButtonPulseRight, {integerMessage("1.5")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        clearRecords();
        timerAtMessage.clear();
        c.button->click();
        EXPECT_EQ(platform.messages, c.messages);
        EXPECT_TRUE(frames.isEmpty()) << frames.join("|").toStdString();
        EXPECT_EQ(timerAtMessage, std::vector<bool>(c.messages.size(), true));
        EXPECT_TRUE(form->Timer1.isActive());
    }
}

TEST_F(MotionTest, MoveInItsThreeModes)
{
    enum Act { Press, Release };
    struct Case {
        const char* name;
        QRadioButton* mode;
        const char* speed;
        const char* steps;
        std::vector<std::pair<Act, QStringList>> acts; // each act and the frames it sends
        QStringList messages;
    };
    TForm1& f = *form;
    const Case cases[] = {
        {"continuous: the release sends nothing, a second press moves again",
         f.RadioButtonContinuous,
         "500",
         "10",
         {{Press, {"A&M500"}}, {Release, {}}, {Press, {"A&M500"}}, {Release, {}}},
         {}},
        {"button pressed: moves while held",
         f.RadioButtonPressed,
         "-500",
         "10",
         {{Press, {"A&M-500"}}, {Release, {"A&S"}}},
         {}},
        {"button pressed, bad speed: nothing, yet the release stops",
         f.RadioButtonPressed,
         "5e2",
         "10",
         {{Press, {}}, {Release, {"A&S"}}},
         {integerMessage("5e2")}},
        {"by steps: speed, then steps as typed",
         f.RadioButtonBySteps,
         "800",
         "1.5",
         {{Press, {"A&s800", "A&D1.5"}}, {Release, {}}},
         {}},
        {"by steps, bad speed: its message only",
         f.RadioButtonBySteps,
         "fast",
         "x",
         {{Press, {}}, {Release, {}}},
         {integerMessage("fast")}},
        {"by steps, bad step count",
         f.RadioButtonBySteps,
         "800",
         "1,5",
         {{Press, {}}, {Release, {}}},
         {numberMessage("1,5")}},
    };
    for (const Case& c : cases) {
        for (const char* path : {"mouse", "right mouse button", "keyboard"}) {
            SCOPED_TRACE(std::string(c.name) + " / " + path);
            c.mode->click();
            f.EditSlewSpeed->setText(c.speed);
            f.EditBySteps->setText(c.steps);
            clearRecords();
            timerAtMessage.clear();
            for (const auto& [act, expected] : c.acts) {
                frames.clear();
                if (std::string(path) == "keyboard")
                    key(act == Press ? QEvent::KeyPress : QEvent::KeyRelease);
                else if (std::string(path) == "mouse")
                    act == Press ? mouseDown() : mouseUp();
                else
                    act == Press ? mouseDown(Qt::RightButton) : mouseUp(Qt::RightButton);
                EXPECT_EQ(frames, expected) << (act == Press ? "press" : "release");
                EXPECT_TRUE(form->Timer1.isActive());
            }
            EXPECT_EQ(platform.messages, c.messages);
            // MOVE pauses the poll before its checks.
            EXPECT_EQ(timerAtMessage, std::vector<bool>(c.messages.size(), false));
            for (bool active : timerAtSleep) EXPECT_FALSE(active);
            EXPECT_FALSE(f.ButtonSlew->isDown());
        }
    }
}

TEST_F(MotionTest, MoveByStepsPausesAfterEachCommand)
{
    form->RadioButtonBySteps->click();
    mouseDown();
    EXPECT_EQ(platform.sleeps, (std::vector<int>{100, 60}));
    mouseUp();
}

TEST_F(MotionTest, ChangingTheModeWhileMoveIsHeldSendsNothing)
{
    form->RadioButtonPressed->click();
    mouseDown();
    EXPECT_EQ(frames, QStringList{"A&M3000"});
    form->RadioButtonContinuous->click();
    EXPECT_TRUE(form->ButtonUpdateSlew->isEnabled());
    mouseUp();
    EXPECT_EQ(frames, QStringList{"A&M3000"}); // no stop: the motor keeps moving
}

TEST_F(MotionTest, HeldCtrlMIgnoresAutoRepeatAndWorksFromAnEdit)
{
    form->RadioButtonPressed->click();
    QLineEdit* edit = form->EditGotoPos;
    key(QEvent::KeyPress, false, Qt::ControlModifier, edit);
    EXPECT_TRUE(form->ButtonSlew->isDown());
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, true, Qt::ControlModifier, edit);
        key(QEvent::KeyPress, true, Qt::ControlModifier, edit);
    }
    EXPECT_EQ(frames, QStringList{"A&M3000"});
    EXPECT_EQ(form->EditGotoPos->text(), "0"); // the edit got no key
    // Ctrl let go first: the release of M still ends the move.
    key(QEvent::KeyRelease, false, Qt::NoModifier, edit);
    EXPECT_EQ(frames, (QStringList{"A&M3000", "A&S"}));
    EXPECT_FALSE(form->ButtonSlew->isDown());
    // A release without a press, and M without Ctrl, do nothing.
    key(QEvent::KeyRelease);
    key(QEvent::KeyPress, false, Qt::NoModifier);
    key(QEvent::KeyRelease, false, Qt::NoModifier);
    EXPECT_EQ(frames.size(), 2);
}

TEST_F(MotionTest, TheKeyboardReachesEveryCommand)
{
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->EditPulseTime->setText("700");
    form->EditGotoPos->setText("100");
    const struct {
        int key;
        Qt::KeyboardModifiers mods;
        QStringList frames;
    } cases[] = {
        {Qt::Key_Escape, Qt::NoModifier, {"A&S"}},         {Qt::Key_F, Qt::ControlModifier, {"A&F"}},
        {Qt::Key_T, Qt::ControlModifier, {"A&t0", "A&T"}}, {Qt::Key_Left, Qt::ControlModifier, {"A&P-700"}},
        {Qt::Key_Right, Qt::ControlModifier, {"A&P+700"}}, {Qt::Key_G, Qt::ControlModifier, {"A&s3000", "A&G100"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.frames.join("|").toStdString());
        frames.clear();
        QTest::keyClick(form->windowHandle(), Qt::Key(c.key), c.mods);
        // A shortcut clicks its button with a short animation.
        for (int i = 0; i < 50 && frames.size() < c.frames.size(); ++i) QTest::qWait(10);
        EXPECT_EQ(frames, c.frames);
    }
    // UPDATE of the PI group, on the settings page.
    form->PageControl1->setCurrentWidget(form->TabSheetSetup);
    frames.clear();
    form->EditKP->setText("12");
    QTest::keyClick(form->windowHandle(), Qt::Key_2, Qt::ControlModifier);
    for (int i = 0; i < 50 && frames.isEmpty(); ++i) QTest::qWait(10);
    EXPECT_EQ(frames, QStringList{"A&p12"});
    // The push buttons take the focus: Space clicks them.
    form->PageControl1->setCurrentWidget(form->TabSheetControl);
    frames.clear();
    form->ButtonResetIndex->setFocus();
    QTest::keyClick(form->ButtonResetIndex, Qt::Key_Space);
    EXPECT_EQ(frames, QStringList{"A&J"});
}

TEST_F(MotionTest, CtrlMActsOnlyWhereMoveCanBeClicked)
{
    form->RadioButtonPressed->click();
    form->PageControl1->setCurrentWidget(form->TabSheetSetup); // MOVE not shown
    key(QEvent::KeyPress);
    key(QEvent::KeyRelease);
    form->PageControl1->setCurrentWidget(form->TabSheetControl);
    form->ButtonRelease->click(); // MOVE disabled
    frames.clear();
    key(QEvent::KeyPress);
    key(QEvent::KeyRelease);
    mouseDown();
    mouseUp();
    EXPECT_TRUE(frames.isEmpty()) << frames.join("|").toStdString();
}

TEST_F(MotionTest, AMessageBoxTakingTheReleaseStillStopsAndFreesTheButton)
{
    // A real modal box blocks the window and takes the release of the
    // button or key that opened it.
    platform.onMessage = [this](const QString&) {
        QDialog box(form.get());
        box.setModal(true);
        box.show();
        QApplication::processEvents();
        box.hide();
    };
    form->RadioButtonPressed->click();
    form->EditSlewSpeed->setText("fast");
    for (const char* path : {"mouse", "keyboard"}) {
        SCOPED_TRACE(path);
        clearRecords();
        if (std::string(path) == "mouse")
            mouseDown();
        else
            key(QEvent::KeyPress);
        EXPECT_EQ(platform.messages, QStringList{integerMessage("fast")});
        EXPECT_EQ(frames, QStringList{"A&S"});
        EXPECT_FALSE(form->ButtonSlew->isDown());
        EXPECT_TRUE(form->Timer1.isActive());
    }
}

TEST_F(MotionTest, APollThatWasStoppedStaysStopped)
{
    // FREE stays enabled after DISCONNECT: it must not start polling a
    // closed port.
    form->ButtonRelease->click();
    form->ButtonDisconnect->click();
    ASSERT_TRUE(form->ButtonFree->isEnabled());
    form->ButtonFree->click();
    EXPECT_FALSE(form->Timer1.isActive());
}

TEST_F(MotionTest, TheStatusPanelFollowsTheMotion)
{
    auto status = [this] { return form->LabelStatus->text(); };
    ticks(2);
    EXPECT_EQ(status(), "Status: STOPPED and LOCKED");

    form->EditTrackSpeed->setText("0");
    form->ButtonTrack->click();
    ticks(3);
    EXPECT_EQ(status(), "Status: TRACKING");
    EXPECT_EQ(windowColour(form->PanelTrack), kRed);
    EXPECT_EQ(windowColour(form->PanelMove), kGrey);
    EXPECT_TRUE(form->isTracking);

    form->EditPulseTime->setText("3000");
    form->ButtonPulseRight->click();
    ticks(2);
    EXPECT_EQ(status(), "Status: GUIDING +");
    form->ButtonPulseLeft->click();
    ticks(2);
    EXPECT_EQ(status(), "Status: GUIDING -");
    form->ButtonUntrack->click();
    ticks(10);
    EXPECT_EQ(status(), "Status: STOPPED and LOCKED");
    EXPECT_FALSE(form->isTracking);
    EXPECT_EQ(windowColour(form->PanelTrack), kGrey);

    // MOVE held: moving, the lamp on; released: stopped where it got to.
    form->RadioButtonPressed->click();
    form->EditSlewSpeed->setText("2000");
    mouseDown();
    ticks(6);
    EXPECT_EQ(status(), "Status: MOVING");
    EXPECT_EQ(windowColour(form->PanelMove), kRed);
    EXPECT_TRUE(form->ButtonSlew->isDown());
    if (const char* dir = std::getenv("ZARPO_SCREENSHOT_DIR")) {
        EXPECT_TRUE(form->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("control-move.png"), "PNG"));
    }
    const int movedTo = form->_curposit;
    EXPECT_GT(movedTo, 100);
    mouseUp();
    ticks(20);
    EXPECT_EQ(status(), "Status: STOPPED and LOCKED");
    EXPECT_EQ(windowColour(form->PanelMove), kGrey);

    // GO TO: the position is reached.
    form->EditGotoSpeed->setText("3000");
    form->EditGotoPos->setText("-2500");
    form->ButtonGoTo->click();
    for (int i = 0; i < 60 && form->_curposit != -2500; ++i) tick();
    ticks(2);
    EXPECT_EQ(form->_curposit, -2500);
    EXPECT_EQ(status(), "Status: STOPPED and LOCKED");

    // By steps, from there.
    form->RadioButtonBySteps->click();
    form->EditBySteps->setText("1000");
    mouseDown();
    mouseUp();
    for (int i = 0; i < 60 && form->_curposit != -1500; ++i) tick();
    EXPECT_EQ(form->_curposit, -1500);

    // RESET POSITION: the counters start again from zero.
    form->ButtonResetPos->click();
    ticks(2);
    EXPECT_LT(std::abs(form->_curposit), 5);
    EXPECT_LT(form->_cursidtime, 40);

    // FREE: the motor is let go.
    form->ButtonFree->click();
    ticks(2);
    EXPECT_EQ(status(), "Status: STOPPED and FREE");
}

} // namespace
