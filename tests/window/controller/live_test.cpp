// The window driving a controller: CONNECT, ACTIVATE, the status poll,
// RELEASE and DISCONNECT, through the real controls, against the simulated
// bridge (or a scripted device) on a pseudo-terminal with the virtual clock.

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QPalette>
#include <QStringList>
#include <QTest>

#include "controller/states.h"
#include "pty_master_port.h"
#include "sim/pty_bridge.h"
#include "serial/serial.h"
#include "window_fixture.h"

namespace {

constexpr int kPort = 99;

// A device with scripted answers: `check` to the connection check, `answer`
// to every status request, nothing to other frames; empty means silence.
class ScriptedDevice {
public:
    ScriptedDevice(int com, const std::string& portsDir) : pty_(portsDir, com) {}
    void pump()
    {
        const std::string got = pty_.readAll();
        received += got;
        for (std::size_t end = got.find('#'); end != std::string::npos; end = got.find('#', end + 1)) {
            const std::size_t start = got.rfind(':', end);
            const std::string frame = start == std::string::npos ? "" : got.substr(start, end - start + 1);
            const std::string& reply = frame == ":@&Q0#"                       ? check
                                       : frame.find("&Q") != std::string::npos ? answer
                                                                               : none_;
            if (!reply.empty()) pty_.write(reply);
        }
    }
    std::string check = "OK#";
    std::string answer;
    std::string received;

private:
    PtyMasterPort pty_;
    const std::string none_;
};

QColor windowColour(const QWidget* w) { return w->palette().color(QPalette::Window); }

class LiveTest : public WindowTest {
protected:
    void SetUp() override
    {
        start();
        platform.messages.clear(); // the start-up message of the missing settings file
    }

    void TearDown() override
    {
        serial::closeComPort();
        form.reset();
    }

    // The simulated bridge on COM99, pumped by every sleep of the window.
    qvnsim::PtyBridge& simulator(qvnsim::Options options = {})
    {
        sim.reset(); // its link goes with it
        sim = std::make_unique<qvnsim::PtyBridge>(kPort, work.portFolder(), options, 0.0);
        // Every frame but the status requests of the poll.
        sim->bridge().setFrameLog([this](std::string_view body) {
            if (body.find("&Q") == std::string_view::npos || body == "@&Q0")
                frames << QString::fromLatin1(body.data(), int(body.size()));
        });
        platform.onSleep = [this](long long ms) {
            if (sim) sim->pump(ms / 1000.0);
        };
        return *sim;
    }

    ScriptedDevice& scripted(const std::string& check = "OK#")
    {
        dev.reset();
        dev = std::make_unique<ScriptedDevice>(kPort, work.portFolder());
        dev->check = check;
        platform.onSleep = [this](long long) {
            if (dev) dev->pump();
        };
        return *dev;
    }

    void connect()
    {
        form->ComboBoxComPort->setEditText(QStringLiteral("COM99"));
        form->ButtonConnect->click();
    }

    void activate(int address = 1, const QString& rate = QStringLiteral("8"))
    {
        form->ComboBoxI2Caddr->setCurrentIndex(address);
        int idx = form->ComboBoxReqFreq->findText(rate);
        form->ComboBoxReqFreq->setCurrentIndex(idx);
        form->ButtonActivate->click();
    }

    // One poll tick, as the timer would run it.
    void tick()
    {
        form->guarded([this] { form->Timer1Timer(); });
    }

    QStringList consoleLines() const { return form->Memo1->toPlainText().split('\n'); }

    std::unique_ptr<qvnsim::PtyBridge> sim;
    std::unique_ptr<ScriptedDevice> dev;
    QStringList frames;
};

const char* const kCommError =
    "*** COMMUNICATION ERROR. ***\r\nPotential causes:\r\n   Bad Comm Port Settings\r\n"
    "   or USB Port not connected.\r\n   or USB-BT switch at bad position\r\nFix the problem and click CONNECT.";

TEST_F(LiveTest, ConnectToTheBridge)
{
    simulator();
    connect();
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    EXPECT_TRUE(form->isConnected);
    EXPECT_TRUE(form->isPortOpen);
    EXPECT_EQ(form->LabelRX->text(), "OK#");
    EXPECT_EQ(form->LabelPercent->text(), "0 %");
    EXPECT_FALSE(form->Timer1.isActive());
    const QStringList lines = consoleLines();
    const QStringList tail = lines.mid(lines.size() - 6);
    EXPECT_EQ(tail, (QStringList{"Command =    :@&Q0#", "Serial port selected: COM99", "Select the I2C address,",
                                 "the reference system,", "the polarity bits,", "then click the ACTIVATE button."}));
    // The check's pause, then 400 ms before the read.
    ASSERT_GE(platform.sleeps.size(), 2u);
    EXPECT_EQ(platform.sleeps[platform.sleeps.size() - 2], 100);
    EXPECT_EQ(platform.sleeps.back(), 400);
}

TEST_F(LiveTest, ConnectFailsOnAWrongAnswerOrSilence)
{
    struct Case {
        std::string answer;
        const char* rx;
    };
    for (const Case& c : {Case{"ok#", "ok#"}, Case{"OK#OK#", "OK#OK#"}, Case{"", "RXFX"}}) {
        platform.messages.clear();
        scripted(c.answer);
        connect();
        EXPECT_EQ(form->LabelRX->text(), c.rx);
        EXPECT_EQ(platform.messages, QStringList{kCommError});
        EXPECT_FALSE(form->isConnected);
        EXPECT_FALSE(form->isPortOpen);
        EXPECT_TRUE(form->ButtonConnect->isEnabled());
        EXPECT_EQ(dev->received, ":@&Q0#");
        // The port was closed again: another program can take it now.
        EXPECT_TRUE(serial::openComPort("COM99"));
        serial::closeComPort();
    }
}

TEST_F(LiveTest, ConnectFailsOnAPortThatCannotBeOpened)
{
    form->ComboBoxComPort->setEditText(QStringLiteral("COM98")); // nothing there
    form->ButtonConnect->click();
    EXPECT_EQ(platform.messages, QStringList{kCommError});
    EXPECT_FALSE(form->isPortOpen);
    EXPECT_FALSE(form->isConnected);
}

TEST_F(LiveTest, ABaudRateThatIsNoNumberStopsBeforeThePort)
{
    auto& d = scripted();
    form->ComboBoxBaudRate->setEditText(QStringLiteral("fast"));
    connect();
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages[0].contains("fast")) << platform.messages[0].toStdString();
    EXPECT_FALSE(form->isPortOpen);
    EXPECT_TRUE(d.received.empty());
}

// Expected enabled state of each control after each step, as the user sees it
// on the form. ButtonUpdateSlew after ACTIVATE follows the slewing mode.
struct EnabledExpectation {
    const char* name;
    bool connect, disconnect, activate, release;
};
const EnabledExpectation kEnabled[] = {
    {"ButtonConnect", false, true, false, false},      {"ButtonDisconnect", true, false, false, true},
    {"ButtonActivate", true, false, false, true},      {"ButtonRelease", false, false, true, false},
    {"ButtonExit", false, true, false, false},         {"ComboBoxComPort", false, true, false, false},
    {"ComboBoxBaudRate", false, true, false, false},   {"ComboBoxI2Caddr", true, true, false, true},
    {"RadioGroupRefSyst", true, true, false, true},    {"RadioGroupPosReq", true, true, false, true},
    {"ComboBoxReqFreq", true, true, false, true},      {"ButtonLoadModel", false, true, false, false},
    {"ButtonSaveModel", false, true, false, false},    {"ButtonResetSettings", false, true, false, false},
    {"GroupBoxProp", false, true, true, true},         {"GroupBoxPID", false, true, true, true},
    {"GroupBoxTrack", false, true, true, true},        {"GroupBoxPolarity", false, true, false, false},
    {"ButtonUpdateProp", false, false, false, false},  {"ButtonUpdatePID", false, false, false, false},
    {"ButtonUpdateTrack", false, false, false, false}, {"ButtonResetPos", false, false, true, false},
    {"ButtonResetIndex", false, false, true, false},   {"ButtonStop", false, false, true, false},
    {"ButtonFree", false, true, true, true},           {"GroupBoxTrack2", false, false, true, false},
    {"GroupBoxSlew", false, false, true, false},       {"ButtonUpdateSlew", false, false, false, false},
    {"GroupBoxGoTo", false, false, true, false},       {"GroupBoxPulseGuide", false, false, true, false},
    {"GroupBoxGraph", false, false, true, false},
};

// A control's own enabled state (a disabled group box disables its children
// on screen, but does not change what the step set for them).
bool ownEnabled(TForm1& f, const char* name)
{
    auto* w = f.findChild<QWidget*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w && !w->testAttribute(Qt::WA_ForceDisabled);
}

TEST_F(LiveTest, EnabledStatesOfEveryStep)
{
    simulator();
    auto check = [&](const char* step, auto column) {
        for (const auto& e : kEnabled) {
            if (std::string(step) == "activate" && std::string(e.name) == "ButtonUpdateSlew") continue;
            EXPECT_EQ(ownEnabled(*form, e.name), e.*column) << step << ": " << e.name;
        }
    };
    connect();
    check("connect", &EnabledExpectation::connect);
    form->RadioButtonContinuous->setChecked(true);
    activate();
    check("activate", &EnabledExpectation::activate);
    EXPECT_TRUE(ownEnabled(*form, "ButtonUpdateSlew")); // continuous slew selected
    form->ButtonRelease->click();
    check("release", &EnabledExpectation::release);
    form->RadioButtonPressed->setChecked(true);
    form->ButtonActivate->click();
    EXPECT_FALSE(ownEnabled(*form, "ButtonUpdateSlew"));
    form->ButtonRelease->click();
    form->ButtonDisconnect->click();
    check("disconnect", &EnabledExpectation::disconnect);
}

TEST_F(LiveTest, ActivateSendsTheSixteenParametersAtThePollRate)
{
    struct Case {
        int address;
        const char* rate;
        char letter;
        int interval, d100, d150, d250;
    };
    for (const Case& c : {Case{2, "6", 'B', 150, 100, 150, 250}, Case{3, "10", 'C', 83, 43, 85, 175}}) {
        simulator();
        frames.clear();
        connect();
        ASSERT_TRUE(form->isConnected);
        frames.clear();
        const int consoleBefore = consoleLines().size();
        platform.sleeps.clear();
        activate(c.address, c.rate);

        EXPECT_EQ(form->i2cAddress, QChar(c.letter));
        EXPECT_EQ(form->interval1, c.interval);
        EXPECT_EQ(form->delay100, c.d100);
        EXPECT_EQ(form->delay150, c.d150);
        EXPECT_EQ(form->delay250, c.d250);
        EXPECT_TRUE(form->Timer1.isActive());
        EXPECT_EQ(form->Timer1.interval(), c.interval);
        EXPECT_TRUE(form->showMessDisactivated);
        EXPECT_EQ(platform.sleeps, std::vector<int>(16, c.d150));

        const QString a(c.letter);
        const QStringList expected = {a + "&R",      a + "&y4", a + "&h1023",  a + "&s3000", a + "&a3000", a + "&f0",
                                      a + "&u2",     a + "&p7", a + "&i20",    a + "&e3000", a + "&j3000", a + "&k3000",
                                      a + "&r40000", a + "&t0", a + "&g40000", a + "&C0"};
        EXPECT_EQ(frames, expected);
        QStringList lines = consoleLines().mid(consoleBefore);
        ASSERT_EQ(lines.size(), 18); // empty line, sixteen commands, empty line
        EXPECT_EQ(lines[0], "");
        for (int i = 0; i < 16; ++i) EXPECT_EQ(lines[i + 1], "Command =    :" + expected[i] + "#");
        EXPECT_EQ(lines[17], "");

        form->ButtonRelease->click();
        form->ButtonDisconnect->click();
        sim.reset();
    }
}

TEST_F(LiveTest, TextTypedIntoTheListsSelectsTheItemItSpellsOrNone)
{
    const struct {
        QString address, rate;
        std::int32_t addrIdx, rateIdx;
        char letter;
        int interval;
    } cases[] = {
        {"40", "12", -1, -1, '?', 150}, // no item: no controller, six requests a second
        {"3", "10", 3, 7, 'C', 83},
        {"", "", -1, -1, '?', 150},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address.toStdString() + " / " + c.rate.toStdString());
        simulator();
        connect();
        // Another item selected first: the typing must not fall back on it.
        form->ComboBoxI2Caddr->setCurrentIndex(1);
        form->ComboBoxReqFreq->setCurrentIndex(form->ComboBoxReqFreq->findText("8"));
        for (QComboBox* combo : {form->ComboBoxI2Caddr, form->ComboBoxReqFreq}) {
            QLineEdit* edit = combo->lineEdit();
            ASSERT_NE(edit, nullptr);
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(edit, Qt::Key_Backspace);
            QTest::keyClicks(edit, combo == form->ComboBoxI2Caddr ? c.address : c.rate);
        }
        frames.clear();
        form->ButtonActivate->click();
        EXPECT_EQ(form->mySettings.setting_addrIdx, c.addrIdx);
        EXPECT_EQ(form->mySettings.setting_reqFreqIdx, c.rateIdx);
        EXPECT_EQ(form->i2cAddress, QChar(c.letter));
        EXPECT_EQ(form->interval1, c.interval);
        ASSERT_FALSE(frames.isEmpty());
        EXPECT_EQ(frames.first(), QString(QChar(c.letter)) + "&R");
        form->ButtonRelease->click();
        form->ButtonDisconnect->click();
    }
}

TEST_F(LiveTest, PolarityByteAndReferenceSystem)
{
    simulator();
    connect();
    QGroupBox* groups[] = {form->RadioGroupLimSwP,       form->RadioGroupLimSwM,        form->RadioGroupInvertDir,
                           form->RadioGroupFreeAtStop,   form->RadioGroupEnableVoltage, form->RadioGroupIndexEdge,
                           form->RadioGroupResetOnIndex, form->RadioGroupSensorDetect};
    // The polarity group is locked while connected: set the choices before.
    form->ButtonDisconnect->click();
    for (QGroupBox* g : groups) TForm1::setRadioIndex(g, 1);
    TForm1::setRadioIndex(form->RadioGroupRefSyst, 1);
    connect();
    frames.clear();
    activate();
    ASSERT_EQ(frames.size(), 16);
    EXPECT_EQ(frames[1], "A&y251");
    EXPECT_EQ(frames[15], "A&C1");
    EXPECT_EQ(form->_refSyst, 1);
    EXPECT_EQ(form->LabelRefSyst->text(), "Reference system: SIDEREAL");

    form->ButtonRelease->click();
    TForm1::setRadioIndex(form->RadioGroupRefSyst, 0);
    frames.clear();
    form->ButtonActivate->click();
    EXPECT_EQ(frames[1], "A&y251"); // locked group, unchanged
    EXPECT_EQ(frames[15], "A&C0");
    EXPECT_EQ(form->LabelRefSyst->text(), "Reference system: FIXED");
    EXPECT_DOUBLE_EQ(form->test_sidspeed, 40.0);
}

TEST_F(LiveTest, PollShowsTheSimulatedController)
{
    simulator();
    connect();
    activate();
    tick(); // no request outstanding yet
    EXPECT_EQ(form->LabelRX->text(), "Waiting 1");
    tick();
    EXPECT_TRUE(form->LabelRX->text().startsWith("A0")) << form->LabelRX->text().toStdString();
    EXPECT_EQ(form->Labeli2cAddr->text(), "I2C address: A = 65");
    EXPECT_EQ(form->LabelMotorType->text(), "Motor Type: DC with encoder");
    EXPECT_EQ(form->LabelStatus->text(), "Status: STOPPED and LOCKED");
    EXPECT_EQ(form->LabelComErr->text(), "........");

    // Track: the sidereal clock runs at 40 steps/s and so does the motor.
    form->guarded([this] { form->sendToQuorvane("A&T", form->delay100); });
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(form->LabelStatus->text(), "Status: TRACKING");
    EXPECT_TRUE(form->isTracking);
    EXPECT_EQ(windowColour(form->PanelTrack), QColor(255, 0, 0));
    EXPECT_EQ(windowColour(form->PanelMove), QColor(128, 128, 128));
    const int sid0 = form->_cursidtime;
    const long long t0 = platform.nowMs;
    for (int i = 0; i < 16; ++i) tick();
    const double seconds = (platform.nowMs - t0) / 1000.0;
    EXPECT_NEAR((form->_cursidtime - sid0) / seconds, 40.0, 2.0);
    EXPECT_EQ(form->_cursidcoor, form->_cursidtime - form->_curposit);

    // For the documentation: the control tab of a tracking controller.
    if (const char* dir = std::getenv("ZARPO_SCREENSHOT_DIR")) {
        form->PageControl1->setCurrentWidget(form->TabSheetControl);
        EXPECT_TRUE(form->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath("live-control.png"), "PNG"));
    }
}

TEST_F(LiveTest, StatusRepliesWithFaults)
{
    auto& d = scripted();
    connect();
    activate();
    struct Case {
        std::string reply;
        const char* rx;
        const char* status; // nullptr: unchanged
        const char* comErr;
        int sid, pos;
    };
    d.answer = "C0T011200A1150B512C#";
    tick();
    tick();
    EXPECT_EQ(form->LabelStatus->text(), "Status: TRACKING");
    EXPECT_EQ(form->LabelSid->text(), "Sidereal clock timestep =  1200");
    EXPECT_EQ(form->LabelMot->text(), "Motor position =           1150");
    EXPECT_EQ(form->LabelCoor->text(), "Difference =               50");
    EXPECT_EQ(form->LabelSensorVal->text(), "Sensor value = 512");
    EXPECT_EQ(form->LabelIndex->text(), "Index = 1");
    EXPECT_EQ(form->LabelStep->text(), "Internal State: (48)");

    const Case cases[] = {
        {"RXFX", "Waiting 1", "Status: TRACKING", "........", 1200, 1150},
        {"C0S01", "Waiting 1", "Status: TRACKING", "........", 1200, 1150},        // too short
        {"P0S011A2B3C#", "Waiting 1", "Status: TRACKING", "........", 1200, 1150}, // no address
        {"C1M01A#", "C1M01A#", "Status: MOVING", "COM ERROR", 1200, 1150},         // two fields only
        {"C0Q0112x0A1150B512C#", "C0Q0112x0A1150B512C#", "Status: UNKNOWN", "COM ERROR", 1200, 1150},
        {"C0S017A5B9C#", "C0S017A5B9C#", "Status: STOPPED and LOCKED", "........", 7, 5},
    };
    for (const Case& c : cases) {
        d.answer = c.reply == "RXFX" ? "" : c.reply;
        tick();
        EXPECT_EQ(form->LabelRX->text(), c.rx) << c.reply;
        EXPECT_EQ(form->LabelStatus->text(), c.status) << c.reply;
        EXPECT_EQ(form->LabelComErr->text(), c.comErr) << c.reply;
        EXPECT_EQ(form->_cursidtime, c.sid) << c.reply;
        EXPECT_EQ(form->_curposit, c.pos) << c.reply;
    }
    EXPECT_EQ(form->LabelSid->text(), "Sidereal clock timestep =  7");
    EXPECT_EQ(form->_motorType, 0);
    EXPECT_FALSE(form->isTracking);
    // Every tick sent its request, whatever the reply was.
    d.pump();
    EXPECT_EQ(std::count(d.received.begin(), d.received.end(), '#') - 17, 2 + std::size(cases));
}

TEST_F(LiveTest, MarkupFromTheWireIsShownAsTheCharactersItIs)
{
    auto& d = scripted();
    connect();
    activate();
    const struct {
        std::string reply;
        QLabel* label;
        QString shown;
    } cases[] = {
        {"A0T01<b>1</b>A2B3C#", form->LabelSid, "Sidereal clock timestep =  <b>1</b>"},
        {"A0T0<5A<i>2</i>B3C#", form->LabelMot, "Motor position =           <i>2</i>"},
        {"A0T0<5A2B<img src=x>C#", form->LabelSensorVal, "Sensor value = <img src=x>"},
        {"A0<0<5A2B3C#", form->LabelIndex, "Index = <"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reply);
        d.answer = c.reply;
        tick();
        tick();
        for (QLabel* label : {form->LabelRX, c.label}) {
            const QString expected = label == form->LabelRX ? QString::fromStdString(c.reply) : c.shown;
            EXPECT_EQ(label->text(), expected);
            // Drawn as markup, the text would take the room of its few visible characters.
            EXPECT_GE(label->sizeHint().width(), label->fontMetrics().horizontalAdvance(expected))
                << label->objectName().toStdString();
        }
    }
    // Every label of the form is plain text, whatever comes to it later.
    for (const QLabel* label : form->findChildren<QLabel*>()) {
        if (label->objectName().startsWith(QLatin1String("Label"))) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
        }
    }
}

TEST_F(LiveTest, MotorDeactivatedMessageOncePerActivationWhileThePollGoesOn)
{
    auto& d = scripted();
    connect();
    activate();
    d.answer = "A0E017A5B9C#";
    int ticks = 0;
    QObject::connect(&form->Timer1, &QTimer::timeout, [&ticks] { ++ticks; });
    int ticksUnderTheBox = 0;
    QString statusUnderTheBox;
    platform.onMessage = [&](const QString&) {
        // The box's own event loop, open for several poll periods.
        const int before = ticks;
        form->LabelStatus->clear();
        QEventLoop box;
        QTimer::singleShot(5 * form->interval1, &box, &QEventLoop::quit);
        box.exec();
        ticksUnderTheBox = ticks - before;
        statusUnderTheBox = form->LabelStatus->text();
    };
    // The real timer, until the box has come and gone and a few ticks more.
    auto runTimer = [&](int atLeastTicks) {
        const int until = ticks + atLeastTicks;
        QElapsedTimer t;
        t.start();
        while (ticks < until && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    };
    runTimer(12);
    const QString text = "Motor disactivated. Click Release, then click Activate";
    EXPECT_EQ(platform.messages, QStringList{text});
    EXPECT_GE(ticksUnderTheBox, 3);
    EXPECT_EQ(statusUnderTheBox, "Status: ERROR HALT");
    EXPECT_FALSE(form->showMessDisactivated);

    platform.onMessage = nullptr;
    form->ButtonRelease->click();
    form->ButtonActivate->click();
    runTimer(4);
    EXPECT_EQ(platform.messages, (QStringList{text, text}));
}

TEST_F(LiveTest, ReleaseThenActivateAnotherController)
{
    simulator();
    connect();
    activate(1);
    tick();
    tick();
    frames.clear();
    const int before = consoleLines().size();
    platform.sleeps.clear();
    form->ButtonRelease->click();
    EXPECT_EQ(frames, (QStringList{"A&N", "A&F", "A&Z"}));
    EXPECT_EQ(platform.sleeps, (std::vector<int>{100, 100, 60})); // rate "8": delay150 100, delay100 60
    QStringList lines = consoleLines().mid(before);
    EXPECT_EQ(lines,
              (QStringList{"", "Command =    :A&N#", "Command =    :A&F#", "Command =    :A&Z#", "Controller FREE"}));
    EXPECT_TRUE(form->Timer1.isActive()); // the panel keeps following the released controller
    tick();
    tick();
    EXPECT_EQ(form->LabelStatus->text(), "Status: RELEASED and FREE");

    frames.clear();
    activate(2);
    ASSERT_EQ(frames.size(), 16);
    for (const QString& f : frames) EXPECT_TRUE(f.startsWith("B&")) << f.toStdString();
    tick();
    tick();
    EXPECT_EQ(form->Labeli2cAddr->text(), "I2C address: B = 66");
}

TEST_F(LiveTest, DisconnectClosesThePortAndSendsNothing)
{
    simulator();
    connect();
    activate();
    form->ButtonRelease->click();
    frames.clear();
    form->ButtonDisconnect->click();
    EXPECT_FALSE(form->Timer1.isActive());
    EXPECT_FALSE(form->isPortOpen);
    EXPECT_FALSE(form->isConnected);
    EXPECT_TRUE(frames.isEmpty());
    EXPECT_EQ(form->Memo1->toPlainText(),
              "QUORVANE MOTOR TESTER TUNER\n\nController DISCONNECTED.\nClick CONNECT or EXIT button.\n");
    // The port is free for the next CONNECT.
    connect();
    EXPECT_TRUE(form->isConnected);
}

TEST_F(LiveTest, AVanishedDeviceLeavesTheToolWorking)
{
    simulator();
    connect();
    activate();
    tick();
    tick();
    ASSERT_EQ(form->LabelComErr->text(), "........");
    const QString shown = form->LabelSid->text();
    sim->vanish(); // the USB cable is pulled
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(form->LabelRX->text(), "Waiting 1");
    EXPECT_EQ(form->LabelSid->text(), shown);
    EXPECT_TRUE(platform.messages.isEmpty());

    form->ButtonRelease->click();
    form->ButtonDisconnect->click();
    EXPECT_FALSE(form->isPortOpen);

    sim.reset();
    simulator(); // plugged in again
    connect();
    EXPECT_TRUE(form->isConnected) << form->LabelRX->text().toStdString();
}

} // namespace
