#include "app/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>

namespace {

void arrow(QPainter& p, bool right, const QColor& c)
{
    QPolygonF tri;
    if (right)
        tri << QPointF(4, 2) << QPointF(14, 8) << QPointF(4, 14);
    else
        tri << QPointF(12, 2) << QPointF(2, 8) << QPointF(12, 14);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(c);
    p.drawPolygon(tri);
}

} // namespace

QIcon glyphIcon(Glyph glyph)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QPen outline(Qt::black, 1);
    switch (glyph) {
    case Glyph::Open: { // a folder with an arrow coming out
        p.setPen(outline);
        p.setBrush(QColor(230, 190, 60));
        p.drawRect(QRectF(1.5, 5.5, 11, 8));
        p.drawRect(QRectF(1.5, 3.5, 5, 2));
        p.setPen(QPen(QColor(0, 100, 0), 2));
        p.drawLine(QPointF(9, 9), QPointF(14, 3));
        p.drawLine(QPointF(14, 3), QPointF(10, 3));
        p.drawLine(QPointF(14, 3), QPointF(14, 7));
        break;
    }
    case Glyph::Save: { // a diskette
        p.setPen(outline);
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(3.5, 9.5, 9, 5));
        break;
    }
    case Glyph::Stop: // a red octagon
        p.setPen(outline);
        p.setBrush(QColor(220, 0, 0));
        p.drawPolygon(QPolygonF() << QPointF(5, 1) << QPointF(11, 1) << QPointF(15, 5) << QPointF(15, 11)
                                  << QPointF(11, 15) << QPointF(5, 15) << QPointF(1, 11) << QPointF(1, 5));
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
        break;
    case Glyph::Free: // an open padlock ring over its body
        p.setPen(QPen(Qt::black, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(5, 1, 8, 9), 0, 180 * 16);
        p.drawLine(QPointF(13, 5.5), QPointF(13, 8));
        p.setPen(outline);
        p.setBrush(QColor(230, 190, 60));
        p.drawRect(QRectF(2.5, 8.5, 9, 6));
        break;
    case Glyph::Track: { // a star
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const double r = (i % 2 == 0) ? 7.5 : 3.2;
            const double a = -1.5707963 + i * 3.14159265 / 5;
            star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
        }
        p.setPen(outline);
        p.setBrush(QColor(250, 220, 0));
        p.drawPolygon(star);
        break;
    }
    case Glyph::Move: // a double arrow
        p.setPen(outline);
        p.setBrush(QColor(0, 120, 0));
        p.drawPolygon(QPolygonF() << QPointF(1, 8) << QPointF(5, 3) << QPointF(5, 6) << QPointF(11, 6) << QPointF(11, 3)
                                  << QPointF(15, 8) << QPointF(11, 13) << QPointF(11, 10) << QPointF(5, 10)
                                  << QPointF(5, 13));
        break;
    case Glyph::GoTo: // a target
        p.setPen(QPen(QColor(180, 0, 0), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawEllipse(QPointF(8, 8), 3, 3);
        p.drawLine(QPointF(8, 0), QPointF(8, 16));
        p.drawLine(QPointF(0, 8), QPointF(16, 8));
        break;
    case Glyph::Left: arrow(p, false, QColor(0, 90, 200)); break;
    case Glyph::Right: arrow(p, true, QColor(0, 90, 200)); break;
    }
    p.end();
    return QIcon(pm);
}
