// The picture's context menu: the picture to the clipboard, and the last
// run's samples as CSV, read back by parsing what was written.

#include <charconv>
#include <cstdlib>
#include <cmath>
#include <string>
#include <vector>

#include <QClipboard>
#include <QDir>
#include <QPainter>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QTest>

#include "csv_cells.h"
#include "serial/serial.h"
#include "sim_window.h"

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class SampleExport : public SimWindowTest {
protected:
    // A tracking test on the simulated mount, polled to its end.
    void trackingRun()
    {
        if (!connected) {
            connected = true;
            TForm1::setRadioIndex(form->RadioGroupRefSyst, 1);
            TForm1::setRadioIndex(form->RadioGroupPosReq, 1);
            connectAndActivate();
            form->guarded([this] { form->sendToQuorvane("A&T", form->delay100); });
            for (int i = 0; i < 4; ++i) tick();
            ASSERT_TRUE(form->isTracking);
        }
        form->ButtonGraphTrack->click();
        ASSERT_TRUE(form->tographics);
        for (int i = 0; i < 700 && form->tographics; ++i) tick();
        ASSERT_FALSE(form->tographics);
    }
    void saveSamples(const QString& path)
    {
        platform.answerDialog(path);
        form->MenuSaveSamples->trigger();
    }
    bool menuShown() const { return form->PopupMenuImage->isVisible(); }
    // The window with the picture's menu open over it, for the docs.
    void screenshot(const char* name)
    {
        const char* dir = std::getenv("ZARPO_SCREENSHOT_DIR");
        if (!dir) return;
        form->PageControl1->setCurrentWidget(form->TabSheetAnalyze);
        form->show();
        const QPoint at(420, 300);
        form->Image1ContextPopup(at);
        QImage shot = form->grab().toImage();
        QPainter painter(&shot);
        painter.drawPixmap(form->mapFromGlobal(form->PopupMenuImage->pos()), form->PopupMenuImage->grab());
        painter.end();
        form->PopupMenuImage->close();
        EXPECT_TRUE(shot.save(QDir(QString::fromLocal8Bit(dir)).filePath(name), "PNG"));
    }
    // A new window in the locale of `sep`, and a new simulated mount.
    void restart(QChar sep)
    {
        serial::closeComPort();
        form.reset();
        platform.separator = sep;
        start();
        platform.messages.clear();
        simulator();
        connected = false;
    }
    bool connected = false;
};

TEST_F(SampleExport, TheMenuOnThePictureAndItsItemBeforeAnyRun)
{
    EXPECT_EQ(form->Image1->contextMenuPolicy(), Qt::CustomContextMenu);
    const QList<QAction*> items = form->PopupMenuImage->actions();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "Copy picture");
    EXPECT_EQ(items[1]->text(), "Save samples as CSV...");

    form->PageControl1->setCurrentWidget(form->TabSheetAnalyze);
    form->show();
    // A right click opens it; before any run the samples item is disabled.
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(100, 100), form->Image1->mapToGlobal(QPoint(100, 100)));
    QCoreApplication::sendEvent(form->Image1, &right);
    EXPECT_TRUE(menuShown());
    EXPECT_TRUE(form->MenuCopyPicture->isEnabled());
    EXPECT_FALSE(form->MenuSaveSamples->isEnabled());
    form->PopupMenuImage->close();

    // So does the menu key once a click has given the picture the focus.
    QTest::mouseClick(form->Image1, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(form->Image1->hasFocus());
    // The window system turns the key into this event (the offscreen
    // platform has no such key, so the event is sent as it would send it).
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(5, 5), form->Image1->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(form->Image1, &key);
    EXPECT_TRUE(menuShown());
    form->PopupMenuImage->close();

    // Triggered anyway (a shortcut, an accessibility tool): nothing is asked or written.
    form->MenuSaveSamples->setEnabled(true);
    form->MenuSaveSamples->trigger();
    EXPECT_TRUE(platform.saveRequests.empty());
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

TEST_F(SampleExport, CopyPicturePutsTheShownPictureOnTheClipboard)
{
    form->MenuCopyPicture->trigger();
    QImage copied = QGuiApplication::clipboard()->image();
    ASSERT_EQ(copied.size(), QSize(600, 480)); // before any graph, the white picture
    EXPECT_EQ(copied.pixelColor(300, 240), QColor(Qt::white));

    form->i2cAddress = QLatin1Char('A');
    form->analyze = anaStep;
    for (int i = 0; i < 20; ++i) form->point_sid[i] = 40.0 * i;
    form->final_pointsid = 880;
    form->initial_pointsid = 200;
    form->lastpointidx = 19;
    form->interval1 = 108;
    form->DrawGraph();
    form->MenuCopyPicture->trigger();
    copied = QGuiApplication::clipboard()->image();
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              form->Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32));
}

TEST_F(SampleExport, TheCsvHoldsTheDrawnSamplesInEitherLocale)
{
    for (const QChar sep : {QLatin1Char('.'), QLatin1Char(',')}) {
        SCOPED_TRACE(std::string("decimal separator ") + char(sep.toLatin1()));
        restart(sep);
        trackingRun();
        ASSERT_TRUE(form->MenuSaveSamples->isEnabled());
        const QString path = work.file(sep == '.' ? "point.csv" : "comma.csv");
        saveSamples(path);
        ASSERT_EQ(platform.saveRequests.size(), 1u);
        EXPECT_EQ(platform.saveRequests[0].title, "SAVE SAMPLES AS");
        EXPECT_EQ(platform.saveRequests[0].filter, "CSV files (*.csv)|*.csv|All the files (*.*)|*");
        EXPECT_EQ(platform.saveRequests[0].defaultExt, "csv");
        // The fake program folder cannot be written: the working folder instead.
        EXPECT_EQ(platform.saveRequests[0].startDir, QDir::currentPath() + "/");
        EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();

        const auto parsed = csv_cells::rows(readFile(path).toStdString());
        ASSERT_TRUE(parsed) << "a line end other than \\n";
        const csv_cells::Rows& rows = *parsed;
        ASSERT_GT(rows.size(), 100u);
        EXPECT_EQ(rows[0],
                  (std::vector<std::string>{"seconds", "sidereal_count", "position", "error_arcsec", "in_statistics"}));
        // From the origin, sample 5, to the last sample the curves drew.
        // The curves end at the run's last sample, or at the first that
        // reached the limit before it.
        int end = 5;
        while (end < form->lastpointidx && form->point_sid[end] < form->final_pointsid - form->initial_pointsid) ++end;
        EXPECT_EQ(rows.size() - 1, std::size_t(end - 4));
        std::vector<double> inStats;
        for (std::size_t r = 1; r < rows.size(); ++r) {
            const int i = 5 + int(r) - 1;
            ASSERT_EQ(rows[r].size(), 5u);
            EXPECT_DOUBLE_EQ(csv_cells::number(rows[r][0]),
                             (form->point_sid[i] - form->initial_pointsid) / form->test_sidspeed);
            EXPECT_EQ(csv_cells::number(rows[r][1]), form->point_sid[i]);
            EXPECT_EQ(csv_cells::number(rows[r][2]), form->point_pos[i]);
            EXPECT_EQ(csv_cells::number(rows[r][3]), form->point_err[i] / 40);
            if (rows[r][4] == "1")
                inStats.push_back(csv_cells::number(rows[r][3]));
            else
                EXPECT_EQ(rows[r][4], "0");
        }
        // The flagged rows are the picture's statistics, value for value.
        ASSERT_GT(form->trackerrcount, 80);
        EXPECT_EQ(inStats,
                  std::vector<double>(form->track_err.begin() + 1, form->track_err.begin() + 1 + form->trackerrcount));
        if (sep == '.') screenshot("analysis-menu.png");
        platform.saveRequests.clear();
    }
}

TEST_F(SampleExport, TheLastFinishedRunIsSavedWhileTheNextOneRuns)
{
    trackingRun();
    saveSamples(work.file("first.csv"));
    const QByteArray first = readFile(work.file("first.csv"));
    ASSERT_FALSE(first.isEmpty());

    // The next run overwrites the buffers sample by sample.
    form->ButtonGraphTrack->click();
    for (int i = 0; i < 40; ++i) tick();
    ASSERT_TRUE(form->tographics);
    saveSamples(work.file("during.csv"));
    EXPECT_EQ(readFile(work.file("during.csv")), first);
    EXPECT_EQ(platform.saveRequests.back().fileName, work.file("first.csv")); // the last name offered again
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
}

TEST_F(SampleExport, AFileThatCannotBeWrittenIsReportedAndACancelWritesNothing)
{
    trackingRun();
    const QString missing = work.file("no-such-folder/samples.csv");
    saveSamples(missing);
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_EQ(platform.messages[0], "Cannot write file \"" + missing + "\": No such file or directory");
    EXPECT_FALSE(QFile::exists(missing));

    // An existing file is replaced whole, or kept: a folder in its place
    // cannot be renamed over.
    platform.messages.clear();
    QFile::remove(work.file("kept.csv"));
    QDir(work.path()).mkdir("kept.csv");
    saveSamples(work.file("kept.csv"));
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages[0].startsWith("Cannot write file \"" + work.file("kept.csv") + "\": "))
        << platform.messages[0].toStdString();

    platform.messages.clear();
    platform.cancelDialog();
    form->MenuSaveSamples->trigger();
    EXPECT_TRUE(platform.messages.isEmpty());
    EXPECT_EQ(QDir(work.path()).entryList(QStringList{"*.csv"}, QDir::Files), QStringList{});
}

} // namespace
