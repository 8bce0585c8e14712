// Start-up and shutdown of the window, through its real controls.

#include <cstring>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "pty_master_port.h"
#include "record_words.h"
#include "serial/serial.h"
#include "settings/record.h"
#include "window_fixture.h"

namespace {

const QString kNotFound = QStringLiteral("File qvnsettings.dat not found\r\nDefault settings shown\r\n"
                                         "Please, enter the settings for your motor\r\nor load a model.");
const QString kTitle = QStringLiteral("QUORVANE MOTOR TESTER TUNER  V3.1.2        ");
const QStringList kGreeting = {QStringLiteral("QUORVANE MOTOR TESTER TUNER"), QString(),
                               QStringLiteral("Select the Port Name and the Baud Rate,"),
                               QStringLiteral("then click the CONNECT button."), QString()};

QStringList consoleLines(TForm1& f) { return f.Memo1->toPlainText().split(QLatin1Char('\n')); }

void writeBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes.data(), static_cast<qint64>(bytes.size())), static_cast<qint64>(bytes.size()));
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A word of the settings file as it stores it (little-endian).
std::int32_t word(const QByteArray& bytes, std::size_t index)
{
    return record_words::word(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), index);
}

class StartupTest : public WindowTest {};

TEST_F(StartupTest, BeforeStartUpEveryFieldIsZeroAndTheCaptionHasOneSpace)
{
    TForm1& f = create();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("QUORVANE MOTOR TESTER TUNER V3.1.2"));
    EXPECT_TRUE(f.formTitle.isEmpty());
    EXPECT_EQ(f.i2cAddress, QChar());
    EXPECT_EQ(f.delay100 + f.delay150 + f.delay250 + f.interval1, 0);
    const settings::TMYSETTINGS zero{};
    EXPECT_EQ(std::memcmp(&f.mySettings, &zero, sizeof zero), 0);
    EXPECT_FALSE(f.Timer1.isActive());
    EXPECT_EQ(f.Timer1.interval(), 100);
    EXPECT_EQ(f.Timer1.timerType(), Qt::PreciseTimer);
    EXPECT_EQ(f.ComboBoxComPort->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(f.ComboBoxBaudRate->currentText(), QStringLiteral("57600"));
    EXPECT_EQ(f.ComboBoxI2Caddr->currentIndex(), 1);
    EXPECT_EQ(f.ComboBoxReqFreq->currentIndex(), -1);
    EXPECT_EQ(f.ComboBoxReqFreq->currentText(), QStringLiteral("6"));
    EXPECT_EQ(f.LabelPercent->text(), QStringLiteral("0%"));
    EXPECT_EQ(f.size(), QSize(1147, 609));
}

TEST_F(StartupTest, WithoutSettingsFileShowsDefaultsMessageAndGreeting)
{
    TForm1& f = start();
    ASSERT_FALSE(platform.messages.isEmpty());
    EXPECT_EQ(platform.messages.front(), kNotFound);
    EXPECT_EQ(platform.messages.size(), 1) << platform.messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(f.windowTitle(), kTitle);
    EXPECT_EQ(f.formTitle, kTitle);
    EXPECT_EQ(f.i2cAddress, QChar(65));
    EXPECT_EQ(f.delay100, 100);
    EXPECT_EQ(f.delay150, 150);
    EXPECT_EQ(f.delay250, 250);
    EXPECT_EQ(f.interval1, 0);

    const settings::TMYSETTINGS defaults = settings::defaultSettings();
    EXPECT_EQ(std::memcmp(&f.mySettings, &defaults, sizeof defaults), 0);
    EXPECT_EQ(f.ComboBoxComPort->currentText(), QStringLiteral("COM1"));
    EXPECT_EQ(f.EditAccel->text(), QStringLiteral("3000"));
    EXPECT_EQ(f.EditSidSpeed->text(), QStringLiteral("40"));
    EXPECT_EQ(f.EditTrackSpeed->text(), QStringLiteral("0"));
    EXPECT_EQ(f.EditDCrpm->text(), QStringLiteral("350"));
    EXPECT_EQ(f.LabelSidSpeed2->text(), QStringLiteral("Sidereal speed = 40"));
    EXPECT_EQ(f.LabelTrackSpeed2->text(), QStringLiteral("Offset tracking speed = 0"));
    EXPECT_EQ(f.LabelGuideSpeed2->text(), QStringLiteral("at the guiding speed of 40"));
    EXPECT_EQ(f.LabelRX->text(), QStringLiteral("Waiting"));
    EXPECT_EQ(f.EditGotoPos->text(), QStringLiteral("0"));
    EXPECT_EQ(f.LabelPercent->text(), QStringLiteral("0 %"));
    EXPECT_EQ(consoleLines(f), kGreeting);

    // The calculators ran on the defaults and are up to date.
    EXPECT_FALSE(f.LabelResultDC1->text().isEmpty());
    EXPECT_FALSE(f.LabelFocuserResult->text().isEmpty());
    EXPECT_FALSE(f.ButtonCalculateDC->isEnabled());
    EXPECT_FALSE(f.ButtonCalculateStepper->isEnabled());
    EXPECT_FALSE(f.ButtonCalculateFocuser->isEnabled());
}

TEST_F(StartupTest, ControlsAreSetForTheUnconnectedState)
{
    TForm1& f = start();
    const struct {
        QWidget* w;
        bool enabled;
    } states[] = {
        {f.ButtonConnect, true},      {f.ComboBoxComPort, true},     {f.ComboBoxBaudRate, true},
        {f.ButtonExit, true},         {f.GroupBoxProp, true},        {f.GroupBoxPID, true},
        {f.GroupBoxTrack, true},      {f.GroupBoxPolarity, true},    {f.ButtonLoadModel, true},
        {f.ButtonSaveModel, true},    {f.ButtonResetSettings, true}, {f.ButtonDisconnect, false},
        {f.ButtonActivate, false},    {f.ButtonRelease, false},      {f.ComboBoxI2Caddr, false},
        {f.RadioGroupRefSyst, false}, {f.RadioGroupPosReq, false},   {f.ComboBoxReqFreq, false},
        {f.ButtonUpdateProp, false},  {f.ButtonUpdatePID, false},    {f.ButtonUpdateTrack, false},
        {f.ButtonResetPos, false},    {f.ButtonResetIndex, false},   {f.ButtonStop, false},
        {f.ButtonFree, false},        {f.GroupBoxTrack2, false},     {f.GroupBoxSlew, false},
        {f.GroupBoxGoTo, false},      {f.GroupBoxPulseGuide, false}, {f.GroupBoxGraph, false},
        {f.EditDCteethNum, true},     {f.ButtonCalculateDC, false},
    };
    for (const auto& s : states) {
        SCOPED_TRACE(s.w->objectName().toStdString());
        EXPECT_EQ(s.w->isEnabled(), s.enabled);
    }
    // Controls the start-up does not name keep their own enabled state, but a
    // disabled group locks what it holds.
    for (QWidget* w : {static_cast<QWidget*>(f.ButtonTrack), static_cast<QWidget*>(f.ButtonImageSave)}) {
        EXPECT_FALSE(w->testAttribute(Qt::WA_ForceDisabled)) << w->objectName().toStdString();
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    const QColor black(0, 0, 0);
    for (QLabel* l : {f.LabelAcceleration, f.LabelKP, f.LabelTkSpd1, f.LabelTkSpd2, f.LabelGuideSpd})
        EXPECT_EQ(labelColor(l), black) << l->objectName().toStdString();
}

TEST_F(StartupTest, ShortSettingsFileFillsOnlyItsBytesWithoutTheNotFoundMessage)
{
    settings::TMYSETTINGS rec = settings::defaultSettings();
    rec.setting_comPortNumber = 7;
    rec.setting_KP = 11;
    rec.setting_resetOnIndex = 1; // word 24, the last of the first 100 bytes
    writeBytes(work.file(QStringLiteral("qvnsettings.dat")), settings::recordFileBytes(rec).substr(0, 100));

    TForm1& f = start();
    EXPECT_FALSE(platform.messages.contains(kNotFound));
    EXPECT_EQ(f.mySettings.setting_comPortNumber, 7);
    EXPECT_EQ(f.mySettings.setting_KP, 11);
    EXPECT_EQ(f.mySettings.setting_accel, 3000);
    EXPECT_EQ(f.mySettings.setting_resetOnIndex, 1);
    EXPECT_EQ(f.mySettings.setting_slewSpeed, 0);
    EXPECT_EQ(f.mySettings.setting_DCteethNum, 0);
    EXPECT_EQ(f.mySettings.setting_sensorDetectPol, 0);
    EXPECT_EQ(f.ComboBoxComPort->currentText(), QStringLiteral("COM7"));
    EXPECT_EQ(f.EditSlewSpeed->text(), QStringLiteral("0"));
    EXPECT_EQ(f.EditDCteethNum->text(), QStringLiteral("0"));
    // Zero calculator inputs cannot be computed: each calculator says so and
    // the start-up still completes.
    EXPECT_GE(platform.messages.size(), 1);
    EXPECT_EQ(consoleLines(f), kGreeting);
    EXPECT_EQ(f.windowTitle(), kTitle);
}

TEST_F(StartupTest, SecondActivationChangesNothing)
{
    TForm1& f = start();
    f.consoleAppend(QStringLiteral("marker"));
    f.isTracking = true;
    f.ComboBoxComPort->addItem(QStringLiteral("COM42"));
    const int items = f.ComboBoxComPort->count();
    const auto messages = platform.messages.size();

    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&f, &activate);
    f.hide();
    startWindow(f);

    EXPECT_EQ(consoleLines(f).last(), QStringLiteral("marker"));
    EXPECT_TRUE(f.isTracking);
    EXPECT_EQ(f.ComboBoxComPort->count(), items);
    EXPECT_EQ(platform.messages.size(), messages);
}

TEST_F(StartupTest, CloseWritesTheSettingsFileWithThePanel)
{
    TForm1& f = start();
    f.EditAccel->setText(QStringLiteral("2500"));
    f.EditTrackSpeed->setText(QStringLiteral("-0.5"));
    EXPECT_TRUE(f.close());
    const QByteArray bytes = readBytes(work.file(QStringLiteral("qvnsettings.dat")));
    ASSERT_EQ(bytes.size(), 240);
    EXPECT_EQ(word(bytes, 0), 1);
    EXPECT_EQ(word(bytes, 1), 57600);
    EXPECT_EQ(word(bytes, 12), -500);
    EXPECT_EQ(word(bytes, 14), 2500);
    for (int i = 49; i < 60; ++i) EXPECT_EQ(word(bytes, i), 0) << i;
}

TEST_F(StartupTest, SettingsWrittenAtCloseAreReadAtTheNextStart)
{
    {
        TForm1& f = start();
        f.EditKI->setText(QStringLiteral("33"));
        TForm1::setRadioIndex(f.RadioGroupInvertDir, 1);
        f.ButtonExit->click();
        EXPECT_FALSE(f.isVisible());
    }
    FakePlatform second;
    TForm1 g(second);
    startWindow(g);
    EXPECT_TRUE(second.messages.isEmpty()) << second.messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(g.EditKI->text(), QStringLiteral("33"));
    EXPECT_EQ(TForm1::radioIndex(g.RadioGroupInvertDir), 1);
}

TEST_F(StartupTest, CloseWithATextThatDoesNotConvertStaysOpenAndWritesNothing)
{
    TForm1& f = start();
    f.isPortOpen = true; // no real port: closing it does nothing
    f.EditGraphSpeed->setText(QString());
    f.EditKP->setText(QStringLiteral("abc"));
    platform.messages.clear();

    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    EXPECT_FALSE(f.isPortOpen);
    EXPECT_FALSE(QFileInfo::exists(work.file(QStringLiteral("qvnsettings.dat"))));
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages.front().contains(QStringLiteral("\"abc\"")))
        << platform.messages.front().toStdString();

    // Corrected, the next close saves.
    f.EditKP->setText(QStringLiteral("8"));
    f.EditGraphSpeed->setText(QStringLiteral("2000"));
    EXPECT_TRUE(f.close());
    const QByteArray bytes = readBytes(work.file(QStringLiteral("qvnsettings.dat")));
    ASSERT_EQ(bytes.size(), 240);
    EXPECT_EQ(word(bytes, 6), 8);
    EXPECT_EQ(word(bytes, 30), 2000);
}

TEST_F(StartupTest, CloseThatCannotWriteTheFileIsReportedAndStaysOpen)
{
    TForm1& f = start();
    // A folder of that name cannot be replaced by the file.
    ASSERT_TRUE(QDir(work.path()).mkdir(QStringLiteral("qvnsettings.dat")));
    platform.messages.clear();
    EXPECT_FALSE(f.close());
    EXPECT_TRUE(f.isVisible());
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_FALSE(platform.messages.front().isEmpty());
    EXPECT_TRUE(QFileInfo(work.file(QStringLiteral("qvnsettings.dat"))).isDir());
}

TEST_F(StartupTest, CloseWhileConnectedReleasesTheControllerAtTheStartUpAddress)
{
    TForm1& f = start();
    PtyMasterPort device(work.portFolder(), 5);
    ASSERT_TRUE(serial::openComPort(device.portName()));
    ASSERT_TRUE(serial::setupComPort("57600", 25, [](const std::string&) {}));
    f.isPortOpen = true;
    f.isConnected = true;
    f.Timer1.start();
    platform.sleeps.clear();
    std::string received; // the device reads while the program pauses
    platform.onSleep = [&](long long) { received += device.readAll(); };

    EXPECT_TRUE(f.close()); // the close box
    EXPECT_EQ(received, ":A&N#:A&F#:A&Z#");
    EXPECT_EQ(platform.sleeps, (std::vector<int>{150, 150, 150}));
    EXPECT_FALSE(f.isConnected);
    EXPECT_FALSE(f.isPortOpen);
    EXPECT_FALSE(f.Timer1.isActive());
    const QStringList lines = consoleLines(f);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines.mid(lines.size() - 3),
              (QStringList{QStringLiteral("Command =    :A&N#"), QStringLiteral("Command =    :A&F#"),
                           QStringLiteral("Command =    :A&Z#")}));
    EXPECT_EQ(readBytes(work.file(QStringLiteral("qvnsettings.dat"))).size(), 240);
}

TEST_F(StartupTest, SecondCloseAfterAFailedOneSendsNothingMore)
{
    TForm1& f = start();
    PtyMasterPort device(work.portFolder(), 6);
    ASSERT_TRUE(serial::openComPort(device.portName()));
    ASSERT_TRUE(serial::setupComPort("57600", 25, [](const std::string&) {}));
    f.isPortOpen = true;
    f.isConnected = true;
    f.EditAccel->setText(QStringLiteral("3,5"));
    std::string received;
    platform.onSleep = [&](long long) { received += device.readAll(); };

    EXPECT_FALSE(f.close());
    EXPECT_EQ(received, ":A&N#:A&F#:A&Z#");
    received.clear();
    f.EditAccel->setText(QStringLiteral("3500"));
    EXPECT_TRUE(f.close());
    EXPECT_EQ(received + device.readAll(), "");
}

} // namespace
