#pragma once
// An off-screen colour bitmap with its drawing surface: a pen, a brush and a
// font, as the drawing primitives set them.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>

class TBitmap {
public:
    TBitmap();
    ~TBitmap();
    TBitmap(const TBitmap&) = delete;
    TBitmap& operator=(const TBitmap&) = delete;

    // A new white picture of that size; the surface starts on it.
    void setSize(int width, int height);
    // Ends the drawing and gives the picture.
    QImage release();

    QImage image;
    QPainter canvas;
    QColor fontColor;
};

// The font face of the pictures: Tahoma where installed, DejaVu Sans
// otherwise, sized in points at 96 dpi whatever the screen.
QFont pictureFont(int points);
