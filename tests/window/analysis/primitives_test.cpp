// The drawing primitives, judged by the pixels they set.

#include <gtest/gtest.h>

#include <QLabel>

#include "analysis/bitmap.h"
#include "app/TForm1.h"

namespace {

using namespace analysis;

QColor at(const TBitmap& b, int x, int y) { return b.image.pixelColor(x, y); }

class Primitives : public ::testing::Test {
protected:
    void SetUp() override
    {
        picture.resize(600, 480);
        TForm1::InitBitMap(bmp, &picture);
    }
    QLabel picture;
    TBitmap bmp;
};

TEST_F(Primitives, TheBitmapTakesThePictureControlsSize)
{
    EXPECT_EQ(bmp.image.size(), QSize(600, 480));
    QLabel small;
    small.resize(30, 20);
    TBitmap other;
    TForm1::InitBitMap(other, &small);
    EXPECT_EQ(other.image.size(), QSize(30, 20));
}

TEST_F(Primitives, ARectangleOfTheWholeBitmapFramesItInItsOutermostPixels)
{
    bmp.image.fill(Qt::green);
    TForm1::KRectangle(0, 0, 600, 480, clBlack, clWhite, bmp);
    const QColor black(Qt::black), white(Qt::white);
    for (int x : {0, 1, 300, 598, 599}) {
        EXPECT_EQ(at(bmp, x, 0), black) << x;
        EXPECT_EQ(at(bmp, x, 479), black) << x;
    }
    for (int y : {0, 1, 240, 478, 479}) {
        EXPECT_EQ(at(bmp, 0, y), black) << y;
        EXPECT_EQ(at(bmp, 599, y), black) << y;
    }
    for (auto [x, y] : {std::pair{1, 1}, {598, 478}, {300, 240}, {1, 478}, {598, 1}})
        EXPECT_EQ(at(bmp, x, y), white) << x << "," << y;

    // Outline along x1, y1, x2 - 1 and y2 - 1; no fill leaves the inside.
    TForm1::KRectangle(10, 20, 30, 40, clRed, clNone, bmp);
    const QColor red(255, 0, 0);
    for (auto [x, y] : {std::pair{10, 20}, {29, 20}, {10, 39}, {29, 39}, {20, 20}, {10, 30}})
        EXPECT_EQ(at(bmp, x, y), red) << x << "," << y;
    for (auto [x, y] : {std::pair{30, 20}, {10, 40}, {20, 30}, {11, 21}, {28, 38}})
        EXPECT_EQ(at(bmp, x, y), white) << x << "," << y;
}

TEST_F(Primitives, ALineSetsItsStartPixelAndNotItsEndPixel)
{
    TForm1::KRectangle(0, 0, 600, 480, clWhite, clWhite, bmp);
    TForm1::KLigne(20, 0, 20, 480, clBlack, bmp);
    for (int y = 0; y < 480; ++y) ASSERT_EQ(at(bmp, 20, y), QColor(Qt::black)) << y;
    EXPECT_EQ(at(bmp, 19, 100), QColor(Qt::white));
    EXPECT_EQ(at(bmp, 21, 100), QColor(Qt::white));

    const struct {
        int x1, y1, x2, y2;
    } lines[] = {{100, 100, 110, 100}, {100, 200, 100, 190}, {300, 300, 310, 320}, {400, 300, 390, 295}};
    const QColor blue(0, 0, 255);
    for (const auto& l : lines) {
        TForm1::KLigne(l.x1, l.y1, l.x2, l.y2, clBlue, bmp);
        EXPECT_EQ(at(bmp, l.x1, l.y1), blue) << l.x1 << "," << l.y1;
        EXPECT_EQ(at(bmp, l.x2, l.y2), QColor(Qt::white)) << l.x2 << "," << l.y2;
    }
    // The pixel before the end is set: the line is whole but for its end.
    EXPECT_EQ(at(bmp, 109, 100), blue);
    EXPECT_EQ(at(bmp, 100, 191), blue);
    // Colours are 0x00BBGGRR.
    TForm1::KLigne(0, 470, 10, 470, clGreen, bmp);
    EXPECT_EQ(at(bmp, 5, 470), QColor(0, 128, 0));
    TForm1::KLigne(0, 471, 10, 471, clAqua, bmp);
    EXPECT_EQ(at(bmp, 5, 471), QColor(0, 255, 255));
}

TEST_F(Primitives, TextWithoutBackgroundLeavesWhatIsUnderIt)
{
    TForm1::KRectangle(0, 0, 600, 480, clWhite, clWhite, bmp);
    bmp.canvas.setFont(pictureFont(10));
    const int row = 107; // through the middle of the text's box
    TForm1::KLigne(0, row, 600, row, clRed, bmp);
    TForm1::KLigne(0, 207, 600, 207, clRed, bmp);
    TForm1::KTexte(50, 100, clBlack, clNone, QStringLiteral("IIII  IIII"), bmp);
    TForm1::KTexte(50, 200, clBlack, clGreen, QStringLiteral("IIII  IIII"), bmp);
    const int width = QFontMetrics(bmp.canvas.font(), &bmp.image).horizontalAdvance(QStringLiteral("IIII  IIII"));
    int redUnderClear = 0, redUnderSolid = 0, greenUnderSolid = 0;
    for (int x = 50; x < 50 + width; ++x) {
        if (at(bmp, x, row) == QColor(255, 0, 0)) ++redUnderClear;
        if (at(bmp, x, 207) == QColor(255, 0, 0)) ++redUnderSolid;
        if (at(bmp, x, 207) == QColor(0, 128, 0)) ++greenUnderSolid;
    }
    EXPECT_GT(redUnderClear, width / 3); // visible between the glyphs
    EXPECT_EQ(redUnderSolid, 0);         // hidden under the box
    EXPECT_GT(greenUnderSolid, width / 3);
    // Some dark ink was written in both.
    int ink = 0;
    for (int x = 50; x < 50 + width; ++x)
        for (int y = 100; y < 115; ++y) ink += at(bmp, x, y).lightness() < 100;
    EXPECT_GT(ink, 20);
    // The line outside the text's box is untouched.
    EXPECT_EQ(at(bmp, 50 + width + 5, 207), QColor(255, 0, 0));
}

TEST_F(Primitives, TheBrushIsSolidAgainAfterEveryPrimitive)
{
    TForm1::KTexte(10, 10, clBlack, clNone, QStringLiteral("x"), bmp);
    EXPECT_EQ(bmp.canvas.brush().style(), Qt::SolidPattern);
    TForm1::KRectangle(100, 100, 120, 120, clBlack, 0x0000FF, bmp);
    EXPECT_EQ(at(bmp, 110, 110), QColor(255, 0, 0)); // filled normally
    TForm1::KRectangle(200, 200, 220, 220, clBlack, clNone, bmp);
    EXPECT_EQ(bmp.canvas.brush().style(), Qt::SolidPattern);
}

TEST_F(Primitives, APixelIsSetAndNothingElse)
{
    TForm1::KRectangle(0, 0, 600, 480, clWhite, clWhite, bmp);
    const QPen pen = bmp.canvas.pen();
    TForm1::KPixel(5, 6, clRed, bmp);
    TForm1::KPixel(-1, 700, clRed, bmp); // outside: ignored
    EXPECT_EQ(pen, bmp.canvas.pen());
    EXPECT_EQ(at(bmp, 5, 6), QColor(255, 0, 0));
    EXPECT_EQ(at(bmp, 6, 6), QColor(Qt::white));
}

TEST(PictureFont, PointsAtNinetySixDotsPerInchWhateverTheScreen)
{
    QImage img(100, 100, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    QPainter p(&img);
    p.setFont(pictureFont(8));
    const int h8 = p.fontMetrics().height();
    p.setFont(pictureFont(10));
    const int h10 = p.fontMetrics().height();
    p.end();
    // 8 points are 10.7 pixels at 96 dpi, 10 points 13.3.
    EXPECT_GE(h8, 11);
    EXPECT_LE(h8, 14);
    EXPECT_GT(h10, h8);
    EXPECT_TRUE(pictureFont(8).family() == "DejaVu Sans" || pictureFont(8).family() == "Tahoma");
}

} // namespace
