// The drawing primitives of the analysis picture. Each works only on the
// bitmap it is given.

#include <QFontDatabase>
#include <QWidget>

#include "analysis/bitmap.h"
#include "app/TForm1.h"

namespace {

// 96 dots per inch: 8 points are 10.7 pixels on every screen.
constexpr int kDotsPerMetre = 3780;

QColor colour(analysis::TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

} // namespace

TBitmap::TBitmap() = default;

TBitmap::~TBitmap()
{
    if (canvas.isActive()) canvas.end();
}

void TBitmap::setSize(int width, int height)
{
    if (canvas.isActive()) canvas.end();
    image = QImage(width, height, QImage::Format_RGB32);
    image.setDotsPerMeterX(kDotsPerMetre);
    image.setDotsPerMeterY(kDotsPerMetre);
    image.fill(Qt::white);
    canvas.begin(&image);
    QPen pen(Qt::black, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    canvas.setPen(pen);
    canvas.setBrush(QBrush(Qt::white, Qt::SolidPattern));
    canvas.setFont(pictureFont(8));
    canvas.setRenderHint(QPainter::Antialiasing, false);
    fontColor = Qt::black;
}

QImage TBitmap::release()
{
    if (canvas.isActive()) canvas.end();
    return image;
}

QFont pictureFont(int points)
{
    static const QString family = QFontDatabase::families().contains(QStringLiteral("Tahoma"))
                                      ? QStringLiteral("Tahoma")
                                      : QStringLiteral("DejaVu Sans");
    QFont f(family);
    f.setPointSize(points);
    f.setStyleStrategy(QFont::NoSubpixelAntialias);
    return f;
}

void TForm1::InitBitMap(TBitmap& BitMap1, const QWidget* uneImage)
{
    BitMap1.setSize(uneImage->width(), uneImage->height());
}

void TForm1::KTexte(int x1, int y1, analysis::TColor coulTexte, analysis::TColor coulFond, QString txt,
                    TBitmap& unBitMap)
{
    QPainter& c = unBitMap.canvas;
    QBrush brush = c.brush();
    brush.setColor(colour(coulFond));
    brush.setStyle(coulFond == analysis::clNone ? Qt::NoBrush : Qt::SolidPattern);
    c.setBrush(brush);
    unBitMap.fontColor = colour(coulTexte);

    const QFontMetrics fm(c.font(), &unBitMap.image);
    const QRect box(x1, y1, fm.horizontalAdvance(txt), fm.height());
    // A solid brush paints the text's cell box; a clear one leaves what is under it.
    if (brush.style() == Qt::SolidPattern) c.fillRect(box, brush);
    const QPen pen = c.pen();
    c.setPen(unBitMap.fontColor);
    c.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip | Qt::TextSingleLine, txt);
    c.setPen(pen);

    brush.setStyle(Qt::SolidPattern);
    c.setBrush(brush);
}

void TForm1::KPixel(int x1, int y1, analysis::TColor couleur, TBitmap& unBitMap)
{
    if (unBitMap.image.valid(x1, y1)) unBitMap.image.setPixelColor(x1, y1, colour(couleur));
}

void TForm1::KLigne(int x1, int y1, int x2, int y2, analysis::TColor couleur, TBitmap& unBitMap)
{
    QPainter& c = unBitMap.canvas;
    QPen pen = c.pen();
    pen.setColor(colour(couleur));
    c.setPen(pen);
    // A line drawn from a current point: every pixel from the start up to,
    // not including, the end, whichever way it runs. Qt's own lines order
    // their ends, so the pixels are set here.
    QImage& img = unBitMap.image;
    const QRgb rgb = pen.color().rgb();
    uchar* bits = img.bits();
    const qsizetype stride = img.bytesPerLine();
    const int dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    for (int x = x1, y = y1; x != x2 || y != y2;) {
        if (x >= 0 && y >= 0 && x < img.width() && y < img.height())
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = rgb;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void TForm1::KRectangle(int x1, int y1, int x2, int y2, analysis::TColor coulTour, analysis::TColor coulFond,
                        TBitmap& unBitMap)
{
    QPainter& c = unBitMap.canvas;
    QPen pen = c.pen();
    pen.setColor(colour(coulTour));
    c.setPen(pen);
    QBrush brush = c.brush();
    brush.setColor(colour(coulFond));
    brush.setStyle(coulFond == analysis::clNone ? Qt::NoBrush : Qt::SolidPattern);
    c.setBrush(brush);
    // The outline runs along x1, y1, x2 - 1 and y2 - 1.
    const int left = std::min(x1, x2), top = std::min(y1, y2);
    const int w = std::abs(x2 - x1), h = std::abs(y2 - y1);
    if (w > 0 && h > 0) {
        if (brush.style() == Qt::SolidPattern) c.fillRect(QRect(left, top, w, h), brush);
        if (w == 1 || h == 1) {
            c.fillRect(QRect(left, top, w, h), pen.color());
        } else {
            c.drawRect(QRect(left, top, w - 1, h - 1));
        }
    }
    brush.setStyle(Qt::SolidPattern);
    c.setBrush(brush);
}
