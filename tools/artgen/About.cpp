#include "About.h"

#include "Characters.h"
#include "Paint.h"

#include <QtMath>

namespace art {

QImage drawIcon(int size) {
    QImage img = blank(size);
    QPainter p;
    begin(p, img);
    const Look& k = lookOf(5);
    QPainterPath bubble = roundRect(QRectF(19.5, 1.5, 11.5, 9), 3.5);
    bubble = bubble.united(polygon({{21, 9}, {19, 13.5}, {25, 10}}));
    shade(p, bubble.simplified(), QColor(0xFA, 0xFA, 0xF6), k.outline);
    for (int i = 0; i < 3; ++i)
        flat(p, circle(QPointF(22.4 + i * 3.3, 6.2), 0.95), k.outline, Qt::transparent, 0);
    drawPinwaHead(p, QPointF(13.5, 18.5), 9.6, Mood::Joy);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QImage drawThemeIcon(int size) {
    if (size > 16)
        return drawIcon(size);
    // At 16 pixels the bubble's dots merge into a smudge: the head fills the square alone,
    // on a one-pixel grid so its outline stays one whole pixel.
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    drawPinwaHead(p, QPointF(8, 8.2), 6.4, Mood::Happy);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QImage drawPortrait(int scale) {
    QImage img(96 * scale, 112 * scale, QImage::Format_ARGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    QLinearGradient skyFill(0, 0, 0, 112);
    skyFill.setColorAt(0, QColor(0x8C, 0xCC, 0xF4));
    skyFill.setColorAt(1, QColor(0xE4, 0xF4, 0xFF));
    p.fillRect(QRectF(0, 0, 96, 112), skyFill);
    flat(p, circle(QPointF(80, 14), 8), QColor(0xFF, 0xE0, 0x6A), QColor(0xF0, 0xB0, 0x30), 1.5);
    for (QPointF cl : {QPointF(16, 22), QPointF(80, 44)}) {
        QPainterPath cloud = ellipse(cl, 10, 4.5).united(circle(cl + QPointF(-3, -3), 4.5));
        cloud = cloud.united(circle(cl + QPointF(3.5, -3.5), 5));
        flat(p, cloud.simplified(), QColor(0xFF, 0xFF, 0xFF), Qt::transparent, 0);
    }
    QPainterPath hill = ellipse(QPointF(48, 132), 80, 38);
    shade(p, hill, QColor(0x7C, 0xCC, 0x5C), QColor(0x3A, 0x80, 0x3A), 1.5);
    for (QPointF f : {QPointF(12, 104), QPointF(84, 100), QPointF(22, 110)}) {
        for (int i = 0; i < 5; ++i)
            flat(p, circle(f + QPointF(qCos(i * 1.2566) * 2.2, qSin(i * 1.2566) * 2.2), 1.6),
                 QColor(0xFF, 0xFF, 0xFF), Qt::transparent, 0);
        flat(p, circle(f, 1.4), QColor(0xFF, 0xC8, 0x30), Qt::transparent, 0);
    }
    p.save();
    p.translate(48, 45);
    p.scale(3.0, 3.0);
    drawPinwaFigure(p, QPointF(0, 0), 7.8, Mood::Joy, true);
    p.restore();
    p.end();
    return img;
}

} // namespace art
