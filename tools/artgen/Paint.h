#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace art {

// The colours one picture set is drawn with.
struct Look {
    QColor outline; // dark edge of every shape
    QColor accent;  // main colour of the slot symbols
    QColor accent2; // second colour of the slot symbols
    QColor ink;     // eyes and mouths
    QColor hand;    // the hand held at the mouth for a whisper
};

// Light comes from the top left in every set.
void shade(QPainter& p, const QPainterPath& path, const QColor& base, const QColor& outline,
           qreal pen = 1.0);
void flat(QPainter& p, const QPainterPath& path, const QColor& base, const QColor& outline,
          qreal pen = 1.0);
void line(QPainter& p, QPointF a, QPointF b, const QColor& c, qreal w = 1.0);
QPainterPath circle(QPointF c, qreal r);
QPainterPath ellipse(QPointF c, qreal rx, qreal ry);
QPainterPath roundRect(QRectF r, qreal radius);
QPainterPath polygon(std::initializer_list<QPointF> pts);
QPainterPath starPath(QPointF c, qreal outer, qreal inner, qreal turn = 0);

// A transparent canvas of size x size, painted in 32-unit coordinates.
QImage blank(int size);
void begin(QPainter& p, QImage& img);

// Binary mask for the image lists: edges are blended into silver, partly covered pixels
// become either opaque or transparent, and the bottom-left pixel is always transparent.
QImage maskOnSilver(const QImage& art);

} // namespace art
