// Every tab paints: each page is grabbed to a PNG after start-up. With
// ZARPO_SCREENSHOT_DIR set the PNGs are kept there (docs/screenshots).

#include <cstdlib>
#include <set>

#include <QDir>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>

#include "window_fixture.h"

namespace {

QString outputDir(const TempWorkDir& work)
{
    if (const char* d = std::getenv("ZARPO_SCREENSHOT_DIR")) return QString::fromLocal8Bit(d);
    return work.path();
}

// Distinct colours in the picture: a page that failed to paint is one flat colour.
std::size_t colourCount(const QImage& img)
{
    std::set<QRgb> colours;
    for (int y = 0; y < img.height(); y += 3)
        for (int x = 0; x < img.width(); x += 3) colours.insert(img.pixel(x, y));
    return colours.size();
}

class ScreenshotTest : public WindowTest {};

TEST_F(ScreenshotTest, EveryTabPaintsToPng)
{
    TForm1& f = start();
    const struct {
        const char* file;
        QWidget* page;
    } tabs[] = {
        {"settings.png", f.TabSheetSetup},   {"control.png", f.TabSheetControl}, {"analyze.png", f.TabSheetAnalyze},
        {"dc-motor.png", f.TabSheetDCmotor}, {"stepper.png", f.TabSheetStepper}, {"focuser.png", f.TabSheetFocuser},
    };
    const QString dir = outputDir(work);
    QDir().mkpath(dir);
    for (const auto& t : tabs) {
        SCOPED_TRACE(t.file);
        f.PageControl1->setCurrentWidget(t.page);
        const QImage img = f.grab().toImage();
        EXPECT_EQ(img.size(), QSize(1147, 609) * img.devicePixelRatio());
        EXPECT_GT(colourCount(img), 8u);
        const QString path = QDir(dir).filePath(QString::fromLatin1(t.file));
        ASSERT_TRUE(img.save(path, "PNG"));
        EXPECT_FALSE(QImage(path).isNull());
    }
}

TEST_F(ScreenshotTest, StartupMessagePaints)
{
    start();
    ASSERT_FALSE(platform.messages.isEmpty());
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("ZARPO"));
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    box.setText(QString(platform.messages.front()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setStandardButtons(QMessageBox::Ok);
    box.show();
    const QImage img = box.grab().toImage();
    EXPECT_GT(colourCount(img), 2u);
    ASSERT_TRUE(img.save(QDir(outputDir(work)).filePath(QStringLiteral("startup-message.png")), "PNG"));
}

} // namespace
