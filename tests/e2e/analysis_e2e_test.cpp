// Test curves against the qvnsim program in real time: the tracking test to
// its statistics, saved as a picture, and a step test.

#include <gtest/gtest.h>

#include <cstdio>
#include <span>

#include <QElapsedTimer>
#include <QFile>
#include <QImage>

#include "analysis/graph.h"
#include "app/TForm1.h"
#include "event_loop.h"
#include "qvnsim_process.h"
#include "stub_platform.h"
#include "window_fixture.h"

namespace {

class AnalysisE2E : public ::testing::Test {
protected:
    void startAndActivate(int refSyst, int posReq)
    {
        form = std::make_unique<TForm1>(platform);
        ::startWindow(*form);
        ASSERT_TRUE(form->startedUp());
        platform.messages.clear(); // no settings file in the fresh folder
        form->ComboBoxComPort->setEditText(QStringLiteral("COM99"));
        form->ButtonConnect->click();
        ASSERT_TRUE(form->isConnected) << form->LabelRX->text().toStdString();
        TForm1::setRadioIndex(form->RadioGroupRefSyst, refSyst);
        TForm1::setRadioIndex(form->RadioGroupPosReq, posReq);
        form->ButtonActivate->click();
        ASSERT_TRUE(form->Timer1.isActive());
        runFor(1000);
    }

    // Runs the event loop until the run is drawn; generous, for a loaded machine.
    bool waitForDone(int limitMs = 90'000)
    {
        QElapsedTimer t;
        t.start();
        while (form->LabelPercent->text() != "DONE" && t.elapsed() < limitMs) runFor(250);
        return form->LabelPercent->text() == "DONE";
    }

    void releaseAndClose()
    {
        form->ButtonRelease->click();
        form->ButtonDisconnect->click();
        EXPECT_TRUE(form->close());
    }

    TempWorkDir work;
    StubPlatform platform;
    std::unique_ptr<TForm1> form;
};

TEST_F(AnalysisE2E, TrackingTestGivesAFewTenthsOfAnArcsecondWithTheDefaultGains)
{
    QvnsimProcess sim(QVNSIM_PATH, work.portFolder());
    startAndActivate(1, 1); // sidereal, encoder position
    form->guarded([this] { form->sendToQuorvane(QStringLiteral("A&T"), form->delay100); });
    runFor(1000);
    ASSERT_TRUE(form->isTracking) << form->LabelStatus->text().toStdString();

    form->ButtonGraphTrack->click();
    ASSERT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    ASSERT_TRUE(form->tographics);
    ASSERT_TRUE(waitForDone());
    EXPECT_FALSE(form->tographics);
    EXPECT_TRUE(form->ButtonGraphTrack->isEnabled());

    // About 9.5 s of the run in the statistics, at 9 samples a second.
    ASSERT_GT(form->trackerrcount, 40);
    const auto stats =
        analysis::trackingStats(std::span<const double>(form->track_err.data() + 1, std::size_t(form->trackerrcount)));
    std::printf("tracking test: n = %d, mean = %.3f, peak to peak = %.3f, sigma = %.3f arcsec\n", stats.n, stats.mean,
                stats.peakToPeak(), stats.sigma);
    EXPECT_GT(stats.sigma, 0.0);
    EXPECT_LT(stats.sigma, 1.0);
    EXPECT_LT(std::abs(stats.mean), 1.0);

    // Saved as the user would.
    platform.saveAnswer = FileDialogAnswer{work.file("track"), 1};
    form->ButtonImageSave->click();
    const QImage saved(work.file("track.jpg"));
    EXPECT_EQ(saved.size(), QSize(600, 480));
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    releaseAndClose();
}

TEST_F(AnalysisE2E, StepTestMovesByItsStepsAndEnds)
{
    QvnsimProcess sim(QVNSIM_PATH, work.portFolder());
    startAndActivate(0, 0);
    form->ButtonGraphStep->click();
    ASSERT_TRUE(form->tographics);
    ASSERT_TRUE(waitForDone());
    const int last = form->lastpointidx;
    EXPECT_GT(last, 100); // 17 s at about 9 samples a second
    EXPECT_NEAR(form->point_pos[last] - form->initial_pointpos, 12000, 1);
    EXPECT_FALSE(form->Image1->pixmap().isNull());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    releaseAndClose();
}

} // namespace
