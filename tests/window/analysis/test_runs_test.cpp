// The test curves: start handlers, the sampler fed by the poll, the end of a
// run with its picture; against the simulated mount where the device matters.

#include <algorithm>
#include <cstdlib>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>

#include "analysis/graph.h"
#include "sim_window.h"

namespace {

QStringList tail(const QStringList& l, int n) { return l.mid(std::max<qsizetype>(0, l.size() - n)); }

// The window started, with no device: commands are echoed and paused but go
// nowhere, so the sampler can be fed samples by hand.
class TestRuns : public WindowTest {
protected:
    void SetUp() override
    {
        start();
        platform.messages.clear();
        form->i2cAddress = QLatin1Char('A');
        form->delay100 = 60;
        form->delay150 = 100;
        form->delay250 = 200;
        form->interval1 = 108;
        form->test_sidspeed = 40;
        form->GroupBoxGraph->setEnabled(true);
    }
    void readyForTracking()
    {
        form->_refSyst = 1;
        form->isTracking = true;
        form->mySettings.setting_offsetTrackSpeed = 0;
    }
    QStringList console() const { return form->Memo1->toPlainText().split('\n'); }
    bool buttonsEnabled() const
    {
        return form->ButtonGraphTrack->isEnabled() && form->ButtonGraphStep->isEnabled() &&
               form->ButtonGraphGoto->isEnabled() && form->ButtonImageSave->isEnabled();
    }
    bool buttonsDisabled() const
    {
        return !form->ButtonGraphTrack->isEnabled() && !form->ButtonGraphStep->isEnabled() &&
               !form->ButtonGraphGoto->isEnabled() && !form->ButtonImageSave->isEnabled();
    }
    // One status reply read by the poll.
    void sample(int sid, int pos)
    {
        form->_cursidtime = sid;
        form->_curposit = pos;
        form->guarded([this] { form->addPointToGraph(); });
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
};

TEST_F(TestRuns, TrackIsRefusedUnlessTrackingInTheSiderealSystemWithoutOffset)
{
    const struct {
        int refSyst;
        bool tracking;
        int offset;
    } refused[] = {{0, true, 0}, {1, false, 0}, {1, true, 500}, {1, true, -1}};
    for (const auto& c : refused) {
        SCOPED_TRACE(c.refSyst * 100 + c.tracking * 10 + c.offset);
        platform.messages.clear();
        platform.sleeps.clear();
        const QString before = form->Memo1->toPlainText();
        form->_refSyst = c.refSyst;
        form->isTracking = c.tracking;
        form->mySettings.setting_offsetTrackSpeed = c.offset;
        form->ButtonGraphTrack->click();
        EXPECT_EQ(platform.messages, QStringList{"Motor must be tracking in sidereal ref. system \r\n"
                                                 "and offset track speed must be zero\r\nto do the track test"});
        EXPECT_EQ(form->Memo1->toPlainText(), before); // nothing sent
        EXPECT_TRUE(platform.sleeps.empty());
        EXPECT_FALSE(form->tographics);
        EXPECT_TRUE(buttonsEnabled());
    }
}

TEST_F(TestRuns, AFailedCheckStartsNothing)
{
    readyForTracking();
    const struct {
        QPushButton* button;
        QLineEdit* edit;
        QString text;
        QString message;
    } cases[] = {
        {form->ButtonGraphTrack, form->EditSidSpeed, "4o",
         "Value \"4o\" in edit box\r\nis not a number.\r\nCheck for decimal separator."},
        {form->ButtonGraphStep, form->EditGraphStep, "12k", "Value \"12k\" in edit box\r\nis not an integer."},
        {form->ButtonGraphStep, form->EditGraphSpeed, "", "Value \"\" in edit box\r\nis not an integer."},
        {form->ButtonGraphGoto, form->EditGraphStep, "1.5", "Value \"1.5\" in edit box\r\nis not an integer."},
        {form->ButtonGraphGoto, form->EditGraphSpeed, " 3000 ", "Value \" 3000 \" in edit box\r\nis not an integer."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const QString kept = c.edit->text();
        c.edit->setText(c.text);
        platform.messages.clear();
        const QString before = form->Memo1->toPlainText();
        c.button->click();
        EXPECT_EQ(platform.messages, QStringList{c.message});
        EXPECT_EQ(form->Memo1->toPlainText(), before);
        EXPECT_FALSE(form->tographics);
        EXPECT_TRUE(buttonsEnabled());
        c.edit->setText(kept);
    }
}

TEST_F(TestRuns, StartsSendTheirCommandsWithTheirPausesAndTheMoveAtTheSixthSample)
{
    readyForTracking();
    const struct {
        QPushButton* button;
        TANALYZETEST kind;
        QStringList lines;
        std::vector<int> pauses;
        double target;
        QString move;
    } cases[] = {
        {form->ButtonGraphTrack,
         anaTrack,
         {"", "Tracking analysis in progress...", "Command =    :A&f0#", "Command =    :A&R#", "Command =    :A&a4000#",
          "Command =    :A&s100#"},
         {100, 100, 100, 60},
         300,
         "Command =    :A&D300#"},
        {form->ButtonGraphStep,
         anaStep,
         {"", "Step pulse analysis in progress...", "Command =    :A&R#", "Command =    :A&s3000#"},
         {200, 60},
         12000,
         "Command =    :A&D12000#"},
        {form->ButtonGraphGoto,
         anaGoto,
         {"", "Goto analysis in progress...", "Command =    :A&R#", "Command =    :A&s3000#"},
         {200, 60},
         12000,
         "Command =    :A&G12000#"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.kind));
        form->EditGraphStep->setText("12000");
        form->EditGraphSpeed->setText("3000");
        form->LabelPercent->setText("7 %");
        form->pointidx = 0;
        for (QPushButton* b : {form->ButtonGraphTrack, form->ButtonGraphStep, form->ButtonGraphGoto})
            b->setEnabled(true);
        platform.sleeps.clear();
        const int before = int(console().size());
        c.button->click();
        EXPECT_TRUE(platform.messages.isEmpty());
        EXPECT_EQ(console().mid(before), c.lines);
        EXPECT_EQ(platform.sleeps, c.pauses);
        EXPECT_TRUE(form->tographics);
        EXPECT_EQ(form->analyze, c.kind);
        EXPECT_DOUBLE_EQ(form->test_target, c.target);
        EXPECT_TRUE(buttonsDisabled());
        EXPECT_EQ(form->LabelPercent->text(), "7 %"); // untouched until the first sample

        for (int i = 0; i < 5; ++i) sample(i * 10, 0);
        EXPECT_EQ(console().size(), before + c.lines.size()); // baseline: nothing sent
        platform.sleeps.clear();
        sample(50, 0);
        EXPECT_EQ(console().last(), c.move);
        EXPECT_EQ(platform.sleeps, std::vector<int>{200});
        EXPECT_EQ(form->pointidx, 6);
        form->tographics = false;
        form->pointidx = 0;
    }
}

TEST_F(TestRuns, TrackDerivesItsMoveFromTheSiderealSpeedInTheUsersLocale)
{
    readyForTracking();
    platform.separator = QLatin1Char(',');
    form->EditSidSpeed->setText("40,1");
    form->ButtonGraphTrack->click();
    ASSERT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    EXPECT_EQ(form->EditGraphSpeed->text(), "100");
    EXPECT_EQ(form->EditGraphStep->text(), "301");
    EXPECT_DOUBLE_EQ(form->test_target, 300.75);
    EXPECT_TRUE(console().contains("Command =    :A&a4010#"));
    EXPECT_EQ(console().last(), "Command =    :A&s100#");
}

TEST_F(TestRuns, ProgressUsesThePreviousRunsOriginsUntilTheSixthSampleThenTheRunEndsAndIsDrawn)
{
    form->initial_pointsid = 1000; // origins of an earlier run
    form->final_pointsid = 1680;
    form->ButtonGraphStep->click();
    const struct {
        int sid;
        const char* percent;
    } samples[] = {
        {0, "-154 %"},   {40, "-148 %"},  {80, "-142 %"},
        {120, "-136 %"}, {160, "-130 %"}, {200, "0 %"}, // the origins: 200, limit 680
        {540, "52 %"},   {680, "74 %"},                 // index 7 at the limit: not past it
    };
    for (const auto& s : samples) {
        sample(s.sid, 0);
        EXPECT_EQ(form->LabelPercent->text(), s.percent) << s.sid;
        EXPECT_TRUE(form->tographics);
    }
    EXPECT_DOUBLE_EQ(form->initial_pointsid, 200);
    EXPECT_DOUBLE_EQ(form->final_pointsid, 880);
    EXPECT_TRUE(form->Image1->pixmap().isNull());

    sample(681, 12000);
    EXPECT_FALSE(form->tographics);
    EXPECT_EQ(form->pointidx, 0);
    EXPECT_EQ(form->LabelPercent->text(), "DONE");
    EXPECT_EQ(tail(console(), 4),
              (QStringList{"Command =    :A&a3000#", "Analysis completed.", "Command =    :A&f0#", ""}));
    EXPECT_TRUE(buttonsEnabled());
    const QImage shown = form->Image1->pixmap().toImage();
    ASSERT_EQ(shown.size(), QSize(600, 480));
    EXPECT_EQ(shown.pixelColor(300, 240), QColor(255, 0, 0));    // the position curve, still at zero
    EXPECT_EQ(shown.pixelColor(500, 240), QColor(Qt::black));    // the time axis beyond it
    EXPECT_EQ(shown.pixelColor(20, 100), QColor(Qt::black));     // the vertical axis
    EXPECT_EQ(shown.pixelColor(100, 60), QColor(128, 128, 128)); // the upper target line
    EXPECT_EQ(shown.pixelColor(300, 300), QColor(Qt::white));
    EXPECT_TRUE(platform.messages.isEmpty());
}

TEST_F(TestRuns, ARunThatNeverPassesItsLimitEndsAtTheLastBufferEntry)
{
    form->ButtonGraphStep->click();
    for (int i = 0; i < 599; ++i) {
        sample(0, i); // the sidereal clock stands still
        ASSERT_TRUE(form->tographics) << i;
    }
    sample(0, 599);
    EXPECT_FALSE(form->tographics);
    EXPECT_EQ(form->pointidx, 0);
    EXPECT_EQ(form->lastpointidx, 599);
    EXPECT_EQ(form->point_pos[599], 599);
    EXPECT_EQ(form->LabelPercent->text(), "DONE");
    EXPECT_FALSE(form->Image1->pixmap().isNull());
    EXPECT_TRUE(buttonsEnabled());
}

TEST_F(TestRuns, ABadEditWhileSamplingIsToldOnceAndItsSamplesAreSkipped)
{
    form->ButtonGraphStep->click();
    sample(0, 0);
    sample(10, 0);
    ASSERT_EQ(form->pointidx, 2);
    int samplesUnderTheBox = 0;
    platform.onMessage = [&](const QString&) {
        // The poll goes on while the box is open.
        for (int i = 0; i < 3; ++i, ++samplesUnderTheBox) sample(20, 0);
    };
    form->EditFinal->setText("O");
    for (int i = 0; i < 5; ++i) sample(20, 0);
    EXPECT_EQ(platform.messages, QStringList{"Value \"O\" in edit box\r\nis not an integer."});
    EXPECT_EQ(samplesUnderTheBox, 3);
    EXPECT_EQ(form->pointidx, 2); // skipped
    EXPECT_TRUE(form->tographics);

    platform.onMessage = nullptr;
    form->EditFinal->setText("0");
    sample(20, 0);
    EXPECT_EQ(form->pointidx, 3);
    EXPECT_EQ(form->point_sid[2], 20);

    // The next fault is told again, once.
    form->EditGraphSpeed->setText("fast");
    sample(30, 0);
    sample(30, 0);
    form->EditGraphSpeed->setText("faster");
    sample(30, 0);
    EXPECT_EQ(platform.messages, (QStringList{"Value \"O\" in edit box\r\nis not an integer.",
                                              "Value \"fast\" in edit box\r\nis not an integer.",
                                              "Value \"faster\" in edit box\r\nis not an integer."}));
    EXPECT_EQ(form->pointidx, 3);
}

TEST_F(TestRuns, AnUndrawableRunStillEndsWithAPictureTheButtonsAndTheAcceleration)
{
    form->ButtonGraphStep->click();
    form->test_sidspeed = 0; // activated with a sidereal speed of zero
    form->EditGraphStep->setText("0");
    form->EditSidSpeed->setText("forty");
    for (int i = 0; i < 8; ++i) sample(i, i * 100);
    EXPECT_FALSE(form->tographics);
    EXPECT_EQ(form->LabelPercent->text(), "DONE");
    EXPECT_TRUE(buttonsEnabled());
    EXPECT_FALSE(form->Image1->pixmap().isNull());
    EXPECT_TRUE(console().contains("Command =    :A&a3000#"));
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    EXPECT_EQ(form->trackerrcount, 0);
}

// ---- against the simulated mount

class SimulatedRuns : public SimWindowTest {
protected:
    // Polls until the run has ended; the progress texts seen on the way.
    QStringList runToTheEnd()
    {
        QStringList seen;
        for (int i = 0; i < 700 && form->tographics; ++i) {
            tick();
            if (seen.isEmpty() || seen.last() != form->LabelPercent->text()) seen << form->LabelPercent->text();
        }
        return seen;
    }
    void screenshot(const char* name)
    {
        if (const char* dir = std::getenv("ZARPO_SCREENSHOT_DIR")) {
            form->PageControl1->setCurrentWidget(form->TabSheetAnalyze);
            EXPECT_TRUE(form->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(name), "PNG"));
        }
    }
    static int count(const QImage& img, const QColor& c)
    {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += img.pixelColor(x, y) == c;
        return n;
    }
};

TEST_F(SimulatedRuns, StepTestMovesToTheTargetAndIsDrawn)
{
    simulator();
    connectAndActivate();
    tick();
    tick();
    EXPECT_EQ(form->pointidx, 0); // no run, no sample
    frames.clear();
    form->ButtonGraphStep->click();
    // The start's commands may purge the request still on its way: the first
    // tick can find no reply. From then on every reply is one sample.
    for (int i = 0; i < 3 && form->pointidx == 0; ++i) tick();
    for (int i = 0; i < 3; ++i) {
        const int before = form->pointidx;
        ASSERT_GT(before, 0);
        tick();
        EXPECT_EQ(form->pointidx, before + 1);
    }
    const QStringList progress = runToTheEnd();
    ASSERT_FALSE(form->tographics);
    EXPECT_EQ(frames, (QStringList{"A&R", "A&s3000", "A&D12000", "A&a3000", "A&f0"}));
    ASSERT_GE(progress.size(), 10);
    EXPECT_EQ(progress.last(), "DONE");
    const int lastPercent = progress[progress.size() - 2].chopped(2).toInt();
    EXPECT_GE(lastPercent, 100);
    EXPECT_LE(lastPercent, 110);

    const QImage shown = form->Image1->pixmap().toImage();
    // The position reached +12000 steps: the red curve lies on the upper
    // target line at the right of the plot.
    int redOnTarget = 0;
    for (int x = 300; x < 500; ++x) redOnTarget += shown.pixelColor(x, 60) == QColor(255, 0, 0);
    EXPECT_GT(redOnTarget, 150);
    EXPECT_GT(count(shown, QColor(0, 128, 0)), 100); // the speed curve
    EXPECT_EQ(count(shown, QColor(0, 0, 255)), 0);   // no error curve in the fixed frame
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    screenshot("analysis-step.png");
}

TEST_F(SimulatedRuns, TrackingTestMeasuresTheTrackingError)
{
    simulator();
    TForm1::setRadioIndex(form->RadioGroupRefSyst, 1);
    TForm1::setRadioIndex(form->RadioGroupPosReq, 1); // the encoder: the motor's real position
    connectAndActivate();
    form->guarded([this] { form->sendToQuorvane("A&T", form->delay100); });
    for (int i = 0; i < 4; ++i) tick();
    ASSERT_TRUE(form->isTracking);
    frames.clear();
    form->ButtonGraphTrack->click();
    ASSERT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    runToTheEnd();
    ASSERT_FALSE(form->tographics);
    EXPECT_EQ(frames, (QStringList{"A&f0", "A&R", "A&a4000", "A&s100", "A&D300", "A&a3000", "A&f0"}));
    EXPECT_EQ(form->LabelPercent->text(), "DONE");

    // The statistics window: about 9.5 s of sidereal motion.
    ASSERT_GT(form->trackerrcount, 100);
    const auto stats =
        analysis::trackingStats(std::span<const double>(form->track_err.data() + 1, std::size_t(form->trackerrcount)));
    // A few tenths of an arcsecond with the default gains.
    EXPECT_GT(stats.sigma, 0.0);
    EXPECT_LT(stats.sigma, 1.0);
    EXPECT_LT(std::abs(stats.mean), 1.0);

    const QImage shown = form->Image1->pixmap().toImage();
    EXPECT_GT(count(shown, QColor(0, 0, 255)), 200); // error curve and statistics
    // The one-arcsecond lines, above and below; curves may cross them here and there.
    for (int y : {200, 280}) {
        int cyan = 0;
        for (int x = 30; x < 530; ++x) cyan += shown.pixelColor(x, y) == QColor(0, 255, 255) ? 1 : 0;
        EXPECT_GT(cyan, 300) << "row " << y;
    }
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    screenshot("analysis-track.png");
}

} // namespace
