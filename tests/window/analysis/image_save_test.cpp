// "Save Image": the dialog, the names and formats written, and a picture
// that cannot be written.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>

#include "window_fixture.h"

namespace {

class ImageSave : public WindowTest {
protected:
    void SetUp() override
    {
        start();
        platform.messages.clear();
        form->ButtonImageSave->setEnabled(true);
        form->GroupBoxGraph->setEnabled(true);
    }
    QString path(const QString& name) const { return work.file(name); }
    QByteArray head(const QString& file, int n) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
    }
    // A small step run drawn by the renderer.
    void drawAGraph()
    {
        form->i2cAddress = QLatin1Char('A');
        form->analyze = anaStep;
        for (int i = 0; i < 20; ++i) {
            form->point_sid[i] = 40.0 * i;
            form->point_pos[i] = i < 6 ? 0 : 12000;
        }
        form->initial_pointsid = 200;
        form->final_pointsid = 880;
        form->lastpointidx = 19;
        form->interval1 = 108;
        form->DrawGraph();
    }
};

TEST_F(ImageSave, TheDialogAndACancel)
{
    platform.cancelDialog();
    form->ButtonImageSave->click();
    ASSERT_EQ(platform.saveRequests.size(), 1u);
    const FileDialogRequest& r = platform.saveRequests[0];
    EXPECT_EQ(r.title, "SAVE ANALYZE PICTURE AS");
    // The program's folder cannot be written (here: it is not there): the
    // dialog starts in the working folder, where a picture can be saved.
    EXPECT_EQ(r.startDir, QDir::currentPath() + "/");
    EXPECT_EQ(r.filter, "JPG format (*.jpg)|*.jpg|BMP format (*.bmp)|*.bmp|PNG format (*.png)|*.png");
    EXPECT_EQ(r.defaultExt, "jpg");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_TRUE(platform.messages.isEmpty());
    EXPECT_EQ(QDir(work.path()).entryList(QStringList{"*.jpg", "*.png", "*.bmp"}, QDir::Files), QStringList{});

    // A program folder that can be written is where the dialog starts.
    platform.exePath = work.file("bin/ZARPO");
    QDir().mkpath(work.file("bin"));
    platform.cancelDialog();
    form->ButtonImageSave->click();
    ASSERT_EQ(platform.saveRequests.size(), 2u);
    EXPECT_EQ(platform.saveRequests[1].startDir, work.file("bin/"));
}

TEST_F(ImageSave, BeforeAnyGraphTheBlankPictureIsWritten)
{
    platform.answerDialog(path("blank.png"), 1);
    form->ButtonImageSave->click();
    const QImage img(path("blank.png"));
    ASSERT_EQ(img.size(), QSize(600, 480));
    for (auto [x, y] : {std::pair{0, 0}, {300, 240}, {599, 479}}) EXPECT_EQ(img.pixelColor(x, y), QColor(Qt::white));
    EXPECT_TRUE(platform.messages.isEmpty());
}

TEST_F(ImageSave, TheGraphInEachFormatUnderTheNameAsTypedOrWithTheFiltersExtension)
{
    drawAGraph();
    const QImage shown = form->Image1->pixmap().toImage();
    const struct {
        QString typed;
        int filter;
        QString written;
        QByteArray magic;
    } cases[] = {
        {"graph.PNG", 1, "graph.PNG", "\x89PNG"},
        {"graph.gif", 2, "graph.gif.bmp", "BM"},
        {"graph.JPG", 3, "graph.JPG", "\xFF\xD8\xFF"},
        {"graph", 3, "graph.png", "\x89PNG"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        platform.answerDialog(path(c.typed), c.filter);
        form->ButtonImageSave->click();
        EXPECT_EQ(head(path(c.written), c.magic.size()), c.magic);
        QImage img;
        ASSERT_TRUE(img.loadFromData(head(path(c.written), 10'000'000)));
        ASSERT_EQ(img.size(), QSize(600, 480));
        if (!c.magic.startsWith("\xFF")) { // lossless: exactly what is shown
            EXPECT_EQ(img.convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));
        }
    }
    EXPECT_FALSE(QFile::exists(path("graph.gif")));
    EXPECT_TRUE(platform.messages.isEmpty()) << platform.messages.join("|").toStdString();
    // The dialog offers the last choice again.
    EXPECT_EQ(platform.saveRequests.back().filterIndex, 3);
    platform.cancelDialog();
    form->ButtonImageSave->click();
    EXPECT_EQ(platform.saveRequests.back().fileName, path("graph"));
    EXPECT_EQ(platform.saveRequests.back().filterIndex, 3);
}

TEST_F(ImageSave, APictureThatCannotBeWrittenIsReported)
{
    drawAGraph();
    QFile plain(path("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    // A file where a folder should be: no user, root included, can write there.
    const QString target = path("plain/graph.png");
    platform.answerDialog(target, 3);
    form->ButtonImageSave->click();
    ASSERT_EQ(platform.messages.size(), 1);
    EXPECT_TRUE(platform.messages[0].contains(target)) << platform.messages[0].toStdString();
    EXPECT_TRUE(platform.messages[0].contains("Not a directory")) << platform.messages[0].toStdString();
    // The tool goes on: the next save works.
    platform.answerDialog(path("ok.bmp"), 2);
    form->ButtonImageSave->click();
    EXPECT_EQ(head(path("ok.bmp"), 2), "BM");
    EXPECT_EQ(platform.messages.size(), 1);
}

} // namespace
