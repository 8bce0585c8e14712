// The settings record and the controls: both copies, the validations and
// the change marks of the uploadable parameters.

#include <cstring>
#include <functional>
#include <string>

#include "app/errors.h"
#include "settings/record.h"
#include "window_fixture.h"

namespace {

using settings::TMYSETTINGS;

class BindingTest : public WindowTest {
protected:
    void SetUp() override
    {
        start();
        platform.messages.clear();
    }
};

// A record whose every field differs from the defaults and from its
// neighbours, with every index inside its control's range.
TMYSETTINGS distinctRecord()
{
    TMYSETTINGS r{};
    auto* w = reinterpret_cast<std::int32_t*>(&r);
    for (std::size_t i = 0; i < settings::kFieldCount; ++i) w[i] = static_cast<std::int32_t>(100 + 7 * i);
    r.setting_comPortNumber = 23;
    r.setting_baudRate = 14400;
    r.setting_addrIdx = 15;
    r.setting_refSyst = 1;
    r.setting_reqPos = 1;
    r.setting_reqFreqIdx = 7;
    r.setting_sidSpeed = 15041;
    r.setting_offsetTrackSpeed = -500;
    r.setting_guideSpeed = 7;
    r.setting_limitSWP = 1;
    r.setting_limitSWM = 0;
    r.setting_invertDir = 1;
    r.setting_freeAtStop = 0;
    r.setting_enableVoltIdx = 1;
    r.setting_IndexEdgeIdx = 1;
    r.setting_resetOnIndex = 0;
    r.setting_sensorDetectPol = 1;
    r.setting_final = -40;
    r.setting_DCteethNum = 359999;
    r.setting_FOCUSgears = 2500;
    return r;
}

TEST_F(BindingTest, EveryFieldSurvivesTheRoundTrip)
{
    for (const char sep : {'.', ','}) {
        SCOPED_TRACE(sep);
        platform.separator = QLatin1Char(sep);
        const TMYSETTINGS shown = distinctRecord();
        form->mySettings = shown;
        form->UpdateDisplaysFromSettings();
        form->mySettings = TMYSETTINGS{};
        form->mySettings.setting_bidon[0] = 99;
        form->UpdateSettingsFromDisplays();
        EXPECT_EQ(std::memcmp(&form->mySettings, &shown, sizeof shown), 0);
        for (int i = 0; i < static_cast<int>(std::size(shown.setting_bidon)); ++i)
            EXPECT_EQ(form->mySettings.setting_bidon[i], 0) << i;
    }
}

TEST_F(BindingTest, FieldsAreShownInTheirControlsFormats)
{
    platform.separator = QLatin1Char(',');
    form->mySettings = distinctRecord();
    form->UpdateDisplaysFromSettings();
    TForm1& f = *form;
    const struct {
        const char* what;
        std::function<QString()> shown;
        QString expected;
    } cases[] = {
        {"port", [&] { return f.ComboBoxComPort->currentText(); }, "COM23"},
        {"baud", [&] { return f.ComboBoxBaudRate->currentText(); }, "14400"},
        {"address", [&] { return f.ComboBoxI2Caddr->currentText(); }, "15"},
        {"request rate", [&] { return f.ComboBoxReqFreq->currentText(); }, "10"},
        {"sidereal", [&] { return f.EditSidSpeed->text(); }, "15,041"},
        {"offset", [&] { return f.EditTrackSpeed->text(); }, "-0,5"},
        {"guide", [&] { return f.EditGuideSpeed->text(); }, "0,007"},
        {"final", [&] { return f.EditFinal->text(); }, "-40"},
        {"DC teeth", [&] { return f.EditDCteethNum->text(); }, "359,999"},
        {"focuser gears", [&] { return f.EditFOCUSgears->text(); }, "2,5"},
        {"sidereal label", [&] { return f.LabelSidSpeed2->text(); }, "Sidereal speed = 15,041"},
        {"offset label", [&] { return f.LabelTrackSpeed2->text(); }, "Offset tracking speed = -0,5"},
        {"guide label", [&] { return f.LabelGuideSpeed2->text(); }, "at the guiding speed of 0,007"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.shown(), c.expected) << c.what;
    EXPECT_EQ(TForm1::radioIndex(f.RadioGroupRefSyst), 1);
    EXPECT_EQ(TForm1::radioIndex(f.RadioGroupLimSwM), 0);
    EXPECT_EQ(TForm1::radioIndex(f.RadioGroupSensorDetect), 1);
}

TEST_F(BindingTest, OutOfRangeIndicesShowAndReadBackAsTheirControlsAllow)
{
    const struct {
        std::int32_t addr, invert, reqFreq;
        int shownAddr, shownInvert;
        std::int32_t backAddr, backInvert, backReq;
    } cases[] = {
        {40, 7, 8, -1, 1, -1, 1, -1},
        {-3, -5, -1, -1, -1, -1, -1, -1},
        {0, -1, 0, 0, -1, 0, -1, 0},
        {15, 2, 7, 15, 1, 15, 1, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.addr);
        form->mySettings = settings::defaultSettings();
        form->mySettings.setting_addrIdx = c.addr;
        form->mySettings.setting_invertDir = c.invert;
        form->mySettings.setting_reqFreqIdx = c.reqFreq;
        form->UpdateDisplaysFromSettings();
        EXPECT_EQ(form->ComboBoxI2Caddr->currentIndex(), c.shownAddr);
        EXPECT_EQ(TForm1::radioIndex(form->RadioGroupInvertDir), c.shownInvert);
        form->UpdateSettingsFromDisplays();
        EXPECT_EQ(form->mySettings.setting_addrIdx, c.backAddr);
        EXPECT_EQ(form->mySettings.setting_invertDir, c.backInvert);
        EXPECT_EQ(form->mySettings.setting_reqFreqIdx, c.backReq);
    }
}

TEST_F(BindingTest, ReadBackConvertsTheTexts)
{
    const struct {
        QString port, accel, sid;
        char sep;
        std::int32_t portN, accelN, sidN;
    } cases[] = {
        {"COM7", "3000", "15.0416", '.', 7, 3000, 15042}, {"COM12", "+3000", "0.0625", '.', 12, 3000, 62},
        {"COM123", "$BB8", "0.1875", '.', 12, 3000, 188}, {"COM1", "  3000", "1.5e1", '.', 1, 3000, 15000},
        {"COM99", "-0x10", "-0,5", ',', 99, -16, -500},   {"COM3", "2147483647", "  40  ", ',', 3, 2147483647, 40000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port.toStdString() + " " + c.accel.toStdString() + " " + c.sid.toStdString());
        platform.separator = QLatin1Char(c.sep);
        form->ComboBoxComPort->setEditText(c.port);
        form->EditAccel->setText(c.accel);
        form->EditSidSpeed->setText(c.sid);
        form->UpdateSettingsFromDisplays();
        EXPECT_EQ(form->mySettings.setting_comPortNumber, c.portN);
        EXPECT_EQ(form->mySettings.setting_accel, c.accelN);
        EXPECT_EQ(form->mySettings.setting_sidSpeed, c.sidN);
    }
}

TEST_F(BindingTest, ReadBackStopsAtTheFirstTextThatDoesNotConvert)
{
    const struct {
        const char* what;
        std::function<void(TForm1&)> spoil;
        QString named;
    } cases[] = {
        {"port without number", [](TForm1& f) { f.ComboBoxComPort->setEditText("COM"); }, "COM"},
        {"empty port", [](TForm1& f) { f.ComboBoxComPort->setEditText(""); }, ""},
        {"letters", [](TForm1& f) { f.EditKP->setText("abc"); }, "abc"},
        {"decimal in an integer edit", [](TForm1& f) { f.EditAccel->setText("30.5"); }, "30.5"},
        {"trailing space", [](TForm1& f) { f.EditAccel->setText("3000 "); }, "3000 "},
        {"wrong separator", [](TForm1& f) { f.EditSidSpeed->setText("40,5"); }, "40,5"},
        {"thousandfold too big", [](TForm1& f) { f.EditDCrpm->setText("3000000"); }, "3000000"},
        {"integer too big", [](TForm1& f) { f.EditSlewSpeed->setText("2147483648"); }, "2147483648"},
        {"empty graph speed", [](TForm1& f) { f.EditGraphSpeed->setText(""); }, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        form->ButtonResetSettingsClick();
        // New values on the panel, then one that does not convert.
        form->ComboBoxBaudRate->setEditText("9600");
        form->EditGraphStep->setText("777");
        form->EditFOCUSgears->setText("9");
        c.spoil(*form);
        TMYSETTINGS before = form->mySettings;
        before.setting_bidon[3] = 5;
        form->mySettings = before;
        try {
            form->UpdateSettingsFromDisplays();
            ADD_FAILURE() << "no failure";
        } catch (const ConversionError& e) {
            EXPECT_NE(QString::fromUtf8(e.what()).indexOf("\"" + c.named + "\""), -1) << e.what();
        }
        const bool portFailed = std::string(c.what).find("port") != std::string::npos;
        EXPECT_EQ(form->mySettings.setting_baudRate, portFailed ? 57600 : 9600);
        const bool graphReached =
            std::string(c.what) == "empty graph speed" || std::string(c.what) == "thousandfold too big";
        EXPECT_EQ(form->mySettings.setting_graphStep, graphReached ? 777 : 12000);
        EXPECT_EQ(form->mySettings.setting_FOCUSgears, 2000); // after every failing field
        EXPECT_EQ(form->mySettings.setting_bidon[3], 5);
    }
}

struct ValidationCase {
    std::string text;
    char sep;
    bool number;
    bool integer;
};

TEST_F(BindingTest, ValidationAcceptsAndRejectsWithTheExactMessages)
{
    const ValidationCase cases[] = {
        {"3000", '.', true, true},
        {"+3000", '.', true, true},
        {"$BB8", '.', false, true},
        {" 3000", ',', true, true},
        {"3000 ", '.', true, false},
        {"30.5", '.', true, false},
        {"3,000", '.', false, false},
        {"15.041", ',', false, false},
        {"15,041", ',', true, false},
        {"15.041", '.', true, false},
        {"15,041", '.', false, false},
        {"", '.', false, false},
        {"-", '.', false, false},
        {"1e3", '.', true, false},
        {"0x7FFFFFFF", '.', false, true},
        {"2147483648", '.', true, false},
        {"abc", ',', false, false},
        {"1" + std::string(400, '0') + "e-10", '.', false, false}, // 1e390: not finite, whatever its writing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\" sep " + c.sep);
        platform.separator = QLatin1Char(c.sep);
        const QString text = QString::fromStdString(c.text);
        const QString line1 = "Value \"" + text + "\" in edit box";

        platform.messages.clear();
        EXPECT_EQ(form->testNumber(text), c.number);
        EXPECT_EQ(platform.messages, c.number
                                         ? QStringList{}
                                         : QStringList{line1 + "\r\nis not a number.\r\nCheck for decimal separator."});

        platform.messages.clear();
        EXPECT_EQ(form->testInteger(text), c.integer);
        EXPECT_EQ(platform.messages, c.integer ? QStringList{} : QStringList{line1 + "\r\nis not an integer."});
    }
}

TEST_F(BindingTest, ChangeMarksOnlyWhileConnected)
{
    TForm1& f = *form;
    const QColor red(255, 0, 0), black(0, 0, 0);
    const struct {
        QLineEdit* edit;
        bool TForm1::*flag;
        std::vector<QLabel*> labels;
        QAbstractButton* update;
    } cases[] = {
        {f.EditAccel, &TForm1::accelerationchanged, {f.LabelAcceleration}, f.ButtonUpdateProp},
        {f.EditFinal, &TForm1::finalapprchanged, {f.LabelFinal}, f.ButtonUpdateProp},
        {f.EditSensor, &TForm1::sensortresholdchanged, {f.LabelSensor}, f.ButtonUpdateProp},
        {f.EditPulseWidth, &TForm1::steppulsewidthchanged, {f.LabelPulseWidth}, f.ButtonUpdateProp},
        {f.EditKP, &TForm1::KPchanged, {f.LabelKP}, f.ButtonUpdatePID},
        {f.EditKI, &TForm1::KIchanged, {f.LabelKI}, f.ButtonUpdatePID},
        {f.EditErrLim, &TForm1::errlimchanged, {f.LabelErrLim}, f.ButtonUpdatePID},
        {f.EditIntLim, &TForm1::intlimchanged, {f.LabelIntLim}, f.ButtonUpdatePID},
        {f.EditIntMaxSpeed, &TForm1::intmaxspeedchanged, {f.LabelIntMaxSpeed}, f.ButtonUpdatePID},
        {f.EditSidSpeed, &TForm1::sidspeedchanged, {f.LabelSidSpeed}, f.ButtonUpdateTrack},
        {f.EditTrackSpeed, &TForm1::trackspeedchanged, {f.LabelTkSpd1, f.LabelTkSpd2}, f.ButtonUpdateTrack},
        {f.EditGuideSpeed, &TForm1::guidespeedchanged, {f.LabelGuideSpd}, f.ButtonUpdateTrack},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edit->objectName().toStdString());
        c.update->setEnabled(false);

        f.isConnected = false;
        c.edit->setText(c.edit->text() + "1");
        EXPECT_FALSE(f.*c.flag);
        for (QLabel* l : c.labels) EXPECT_EQ(labelColor(l), black);
        EXPECT_FALSE(c.update->isEnabled());

        f.isConnected = true;
        c.edit->setText(c.edit->text()); // the same text is no change
        EXPECT_FALSE(f.*c.flag);
        c.edit->setText(c.edit->text() + "2");
        EXPECT_TRUE(f.*c.flag);
        for (QLabel* l : c.labels) EXPECT_EQ(labelColor(l), red);
        EXPECT_TRUE(c.update->isEnabled());
        EXPECT_EQ(platform.messages, QStringList{}); // no validation while typing
        f.isConnected = false;
    }
}

TEST_F(BindingTest, ChangeMarksComeAlsoFromTheProgramSettingTexts)
{
    form->isConnected = true;
    form->mySettings.setting_KP = 99;
    form->UpdateDisplaysFromSettings();
    EXPECT_TRUE(form->KPchanged);
    EXPECT_FALSE(form->KIchanged); // unchanged text
    EXPECT_TRUE(form->ButtonUpdatePID->isEnabled());
    EXPECT_FALSE(form->ButtonUpdateProp->isEnabled());
}

} // namespace
