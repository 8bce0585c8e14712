// The three UPDATE buttons against the simulated bridge: the frames in table
// order, the checks that keep a parameter waiting, the speeds that follow a
// sidereal speed, the labels, flags, button, caption and separator, and the
// poll resumed in every case.

#include <functional>

#include <QColor>
#include <QLabel>

#include "protocol/parameters.h"
#include "settings/change_marks.h"
#include "sim_window.h"

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

class UploadTest : public SimWindowTest {
protected:
    void SetUp() override
    {
        SimWindowTest::SetUp();
        connect();
        activate(); // controller A, rate "8": delay150 100
        ASSERT_TRUE(form->Timer1.isActive());
        clearRecords();
        platform.onMessage = [this](const QString&) { timerAtMessage.push_back(form->Timer1.isActive()); };
    }

    std::vector<bool> timerAtMessage;
};

TEST_F(UploadTest, EachGroupSendsItsEditedParametersInTableOrder)
{
    struct Case {
        const char* name;
        std::vector<std::pair<QLineEdit*, QString>> edits; // in the order typed
        QAbstractButton* update;
        QStringList frames;
    };
    TForm1& f = *form;
    const Case cases[] = {
        {"KI, then KP: KP first", {{f.EditKI, "30"}, {f.EditKP, "9"}}, f.ButtonUpdatePID, {"A&p9", "A&i30"}},
        {"the whole PI group",
         {{f.EditIntMaxSpeed, "5"}, {f.EditIntLim, "4"}, {f.EditErrLim, "3"}, {f.EditKI, "2"}, {f.EditKP, "1"}},
         f.ButtonUpdatePID,
         {"A&p1", "A&i2", "A&e3", "A&j4", "A&k5"}},
        {"as typed, hexadecimal included",
         {{f.EditPulseWidth, "+3"}, {f.EditSensor, " 900"}, {f.EditFinal, "x10"}, {f.EditAccel, "$9C4"}},
         f.ButtonUpdateProp,
         {"A&a$9C4", "A&fx10", "A&h 900", "A&u+3"}},
        {"only the group clicked", {{f.EditAccel, "2500"}, {f.EditKP, "8"}}, f.ButtonUpdatePID, {"A&p8"}},
        {"the other group's edit waits", {}, f.ButtonUpdateProp, {"A&a2500"}},
        {"offset and guiding speeds in thousandths",
         {{f.EditGuideSpeed, "20.5"}, {f.EditTrackSpeed, "-0.5"}},
         f.ButtonUpdateTrack,
         {"A&t-500", "A&g20500"}},
        {"the sidereal speed brings the other two",
         {{f.EditSidSpeed, "40.5"}},
         f.ButtonUpdateTrack,
         {"A&r40500", "A&t-500", "A&g20500"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [edit, text] : c.edits) edit->setText(text);
        EXPECT_TRUE(c.update->isEnabled());
        clearRecords();
        const int before = consoleLines().size();
        c.update->click();
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(platform.sleeps, std::vector<int>(c.frames.size(), 100));
        for (bool active : timerAtSleep) EXPECT_FALSE(active);
        EXPECT_TRUE(form->Timer1.isActive());
        EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
        EXPECT_FALSE(c.update->isEnabled());
        QStringList expected;
        for (const QString& fr : c.frames) expected << "Command =    :" + fr + "#";
        expected << ""
                 << ""; // the separator: an appended line break
        EXPECT_EQ(consoleLines().mid(before), expected);
    }
    // The record follows what was sent.
    const settings::TMYSETTINGS& s = form->mySettings;
    EXPECT_EQ(s.setting_accel, 2500);
    EXPECT_EQ(s.setting_final, 16);
    EXPECT_EQ(s.setting_KP, 8);
    EXPECT_EQ(s.setting_sidSpeed, 40500);
    EXPECT_EQ(s.setting_offsetTrackSpeed, -500);
    EXPECT_EQ(s.setting_guideSpeed, 20500);
}

TEST_F(UploadTest, FlagsLabelsAndTheControlTabAfterASiderealSpeed)
{
    TForm1& f = *form;
    f.EditSidSpeed->setText("40.5");
    EXPECT_EQ(labelColor(f.LabelSidSpeed), kRed);
    EXPECT_EQ(labelColor(f.LabelTkSpd1), kBlack);
    f.ButtonUpdateTrack->click();
    EXPECT_EQ(frames, (QStringList{"A&r40500", "A&t0", "A&g40000"}));
    for (QLabel* l : {f.LabelSidSpeed, f.LabelTkSpd1, f.LabelTkSpd2, f.LabelGuideSpd}) EXPECT_EQ(labelColor(l), kBlack);
    EXPECT_FALSE(f.sidspeedchanged || f.trackspeedchanged || f.guidespeedchanged);
    EXPECT_EQ(f.trackingSpeed, "0");
    EXPECT_DOUBLE_EQ(f.test_sidspeed, 40.5);
    EXPECT_EQ(f.LabelSidSpeed2->text(), "Sidereal speed = 40.5");
    EXPECT_EQ(f.LabelTrackSpeed2->text(), "Offset tracking speed = 0");
    EXPECT_EQ(f.LabelGuideSpeed2->text(), "at the guiding speed of 40");

    // A follower whose text is rejected keeps its flag, its label not red.
    f.EditTrackSpeed->setText("");
    setLabelColor(f.LabelTkSpd1, kBlack);
    setLabelColor(f.LabelTkSpd2, kBlack);
    f.trackspeedchanged = false;
    f.EditSidSpeed->setText("15,0417"); // comma locale below
    platform.separator = ',';
    clearRecords();
    f.ButtonUpdateTrack->click();
    EXPECT_EQ(frames, (QStringList{"A&r15042", "A&g40000"}));
    EXPECT_DOUBLE_EQ(f.test_sidspeed, 15.0417);
    EXPECT_TRUE(f.trackspeedchanged);
    EXPECT_EQ(labelColor(f.LabelTkSpd1), kBlack);
    ASSERT_EQ(platform.messages.size(), 2); // the check, then the failed refresh
    EXPECT_EQ(platform.messages[0], "Value \"\" in edit box\r\nis not a number.\r\nCheck for decimal separator.");
    EXPECT_TRUE(f.ButtonUpdateTrack->isEnabled());
    EXPECT_TRUE(f.Timer1.isActive());
}

TEST_F(UploadTest, ARejectedTextWaitsAndTheRestOfTheGroupGoesOut)
{
    TForm1& f = *form;
    f.setWindowTitle(f.formTitle + "model-1.qvm");
    f.EditKP->setText("abc");
    f.EditKI->setText("25");
    const int before = consoleLines().size();
    f.ButtonUpdatePID->click();

    ASSERT_EQ(platform.messages.size(), 2);
    EXPECT_EQ(platform.messages[0], "Value \"abc\" in edit box\r\nis not an integer.");
    EXPECT_TRUE(platform.messages[1].contains("abc")) << platform.messages[1].toStdString(); // the refresh
    EXPECT_EQ(timerAtMessage, (std::vector<bool>{false, true})); // the report comes with the poll running
    EXPECT_EQ(frames, QStringList{"A&i25"});
    EXPECT_TRUE(f.KPchanged);
    EXPECT_FALSE(f.KIchanged);
    EXPECT_EQ(labelColor(f.LabelKP), kRed);
    EXPECT_EQ(labelColor(f.LabelKI), kBlack);
    EXPECT_TRUE(f.ButtonUpdatePID->isEnabled());
    EXPECT_TRUE(f.Timer1.isActive());
    // Ended before the separator and the caption.
    EXPECT_EQ(consoleLines().mid(before), QStringList{"Command =    :A&i25#"});
    EXPECT_EQ(f.windowTitle(), f.formTitle + "model-1.qvm");

    // Corrected, it goes out on the next click.
    clearRecords();
    f.EditKP->setText("11");
    f.ButtonUpdatePID->click();
    EXPECT_EQ(frames, QStringList{"A&p11"});
    EXPECT_TRUE(platform.messages.isEmpty());
    EXPECT_FALSE(f.ButtonUpdatePID->isEnabled());
    EXPECT_EQ(f.windowTitle(), f.formTitle);
}

TEST_F(UploadTest, AnUploadWithNothingFlaggedStillCompletes)
{
    TForm1& f = *form;
    f.setWindowTitle(f.formTitle + "model-1.qvm");
    f.EditGotoSpeed->setText("2500"); // bound to the record, not uploadable
    f.ButtonUpdateProp->setEnabled(true);
    const int before = consoleLines().size();
    f.ButtonUpdateProp->click();
    EXPECT_TRUE(frames.isEmpty());
    EXPECT_EQ(f.mySettings.setting_gotoSpeed, 2500); // the record was refreshed
    EXPECT_FALSE(f.ButtonUpdateProp->isEnabled());
    EXPECT_EQ(consoleLines().mid(before), (QStringList{"", ""}));
    EXPECT_EQ(f.windowTitle(), f.formTitle);
    EXPECT_TRUE(f.Timer1.isActive());
}

TEST_F(UploadTest, TheControllerRunsWithTheNewSpeeds)
{
    // Tracking at a new sidereal speed plus an offset: the clock and the
    // motor follow what UPDATE sent.
    TForm1& f = *form;
    f.EditSidSpeed->setText("80");
    f.EditTrackSpeed->setText("20");
    f.ButtonUpdateTrack->click();
    f.ButtonTrack->click();
    ticks(3);
    const int sid0 = f._cursidtime, pos0 = f._curposit;
    const long long t0 = platform.nowMs;
    ticks(20);
    const double seconds = (platform.nowMs - t0) / 1000.0;
    EXPECT_NEAR((f._cursidtime - sid0) / seconds, 80.0, 3.0);
    EXPECT_NEAR((f._curposit - pos0) / seconds, 100.0, 4.0);
}

TEST_F(UploadTest, TheMarkTableMatchesTheParameterTable)
{
    // Each edit of the mark table is the one bound to the record field the
    // parameter table sends: a value typed there lands in that field.
    TForm1& f = *form;
    const auto marks = changeMarks(f);
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const protocol::ParameterRow& row = protocol::parameterTable()[i];
        SCOPED_TRACE(marks[i].edit->objectName().toStdString());
        EXPECT_EQ(marks[i].param, row.param);
        marks[i].edit->setText("77");
        f.UpdateSettingsFromDisplays();
        EXPECT_EQ(f.mySettings.*row.field, row.form == protocol::ArgumentForm::Thousandths ? 77000 : 77);
    }
}

} // namespace
