#include "Symbols.h"

#include <cmath>

namespace art {

namespace {

const QColor white(0xFA, 0xFA, 0xF6);
const QColor paper(0xFF, 0xFE, 0xF0);
const QColor metal(0xD8, 0xDC, 0xE4);

void gear(QPainter& p, const Look& k) {
    const QPointF c(21, 11);
    QPainterPath body = circle(c, 7.2);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-2.0, -10.2, 4.0, 5.0), 0.8, 0.8);
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45.0 + 22.5);
        body = body.united(t.map(tooth));
    }
    body = body.subtracted(circle(c, 3.0));
    shade(p, body.simplified(), k.accent, k.outline);
    flat(p, circle(c, 3.0).subtracted(circle(c, 1.6)), k.accent.darker(135), Qt::transparent, 0);
}

void chat(QPainter& p, const Look& k) {
    QPainterPath back = roundRect(QRectF(15.5, 1.5, 15, 10.5), 4);
    back = back.united(polygon({{24, 11}, {29.5, 16.5}, {28, 11}}));
    shade(p, back.simplified(), k.accent, k.outline);
    QPainterPath front = roundRect(QRectF(9.5, 6.5, 16.5, 11.5), 4.5);
    front = front.united(polygon({{13, 17}, {11, 22.5}, {18, 17}}));
    shade(p, front.simplified(), white, k.outline);
    for (int i = 0; i < 3; ++i)
        flat(p, circle(QPointF(13.5 + i * 4.2, 12.3), 1.25), k.outline, Qt::transparent, 0);
}

void about(QPainter& p, const Look& k) {
    const QPointF c(21, 10.5);
    shade(p, circle(c, 9.5), k.accent, k.outline);
    flat(p, circle(QPointF(21, 5.6), 1.9), white, k.outline);
    QPainterPath stem = roundRect(QRectF(19.2, 9.0, 3.6, 8.5), 1.0);
    stem = stem.united(roundRect(QRectF(17.8, 9.0, 4.0, 2.0), 0.8));
    stem = stem.united(roundRect(QRectF(17.6, 15.6, 6.8, 2.0), 0.8));
    flat(p, stem.simplified(), white, k.outline);
}

void broadcast(QPainter& p, const Look& k) {
    flat(p, roundRect(QRectF(8.5, 8.5, 4, 6), 1), k.accent.darker(130), k.outline);
    QPainterPath handle = polygon({{14, 13}, {17, 13}, {17.5, 19.5}, {15, 19.5}});
    shade(p, handle, k.accent2.darker(110), k.outline);
    QPainterPath cone = polygon({{12, 8}, {23, 2}, {23, 21}, {12, 15}});
    shade(p, cone, k.accent, k.outline);
    shade(p, ellipse(QPointF(23, 11.5), 2.2, 9.5), white, k.outline);
    flat(p, ellipse(QPointF(23.3, 11.5), 1.0, 6.5), k.accent.darker(150), Qt::transparent, 0);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(k.outline, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(21, 6.5, 6, 10), -50 * 16, 100 * 16);
    p.drawArc(QRectF(21, 3, 9.5, 17), -50 * 16, 100 * 16);
}

void kick(QPainter& p, const Look& k) {
    p.save();
    p.translate(21, 11);
    p.rotate(-22);
    QPainterPath boot;
    boot.moveTo(-7, -10);
    boot.lineTo(0, -10);
    boot.lineTo(0, 0);
    boot.cubicTo(4, 0, 10, 0.5, 10, 4.5);
    boot.lineTo(10, 7);
    boot.lineTo(-7, 7);
    boot.closeSubpath();
    shade(p, boot, k.accent2, k.outline);
    flat(p, roundRect(QRectF(-7.5, 5, 18, 3), 1.2), k.outline.lighter(150), k.outline);
    flat(p, roundRect(QRectF(-8, -11, 9, 3), 1), white, k.outline);
    line(p, QPointF(0, 1), QPointF(-3, 3), k.outline, 1);
    p.restore();
    line(p, QPointF(5, 4), QPointF(10, 6), k.outline, 1.2);
    line(p, QPointF(4, 9), QPointF(10, 10), k.outline, 1.2);
    line(p, QPointF(5, 14), QPointF(10, 14), k.outline, 1.2);
}

void whisper(QPainter& p, const Look& k) {
    QPainterPath b = roundRect(QRectF(16.5, 3.5, 14, 10), 4);
    b = b.united(polygon({{19, 11}, {16, 18}, {25, 13}}));
    shade(p, b.simplified(), white, k.outline);
    for (int i = 0; i < 3; ++i)
        flat(p, circle(QPointF(19.9 + i * 3.6, 8.6), 1.05), k.accent.darker(120), Qt::transparent,
             0);
}

void save(QPainter& p, const Look& k) {
    QPainterPath disk;
    disk.moveTo(11.5, 2.5);
    disk.lineTo(27, 2.5);
    disk.lineTo(30.5, 6);
    disk.lineTo(30.5, 21.5);
    disk.lineTo(11.5, 21.5);
    disk.closeSubpath();
    shade(p, disk, k.accent, k.outline);
    flat(p, QPainterPath(roundRect(QRectF(15.5, 2.5, 10, 6.5), 0.5)), metal, k.outline);
    flat(p, QPainterPath(roundRect(QRectF(21, 3.8, 2.6, 4), 0.3)), k.outline, Qt::transparent, 0);
    flat(p, roundRect(QRectF(14.5, 12, 13, 9.5), 1), paper, k.outline);
    for (int i = 0; i < 2; ++i)
        line(p, QPointF(17, 15 + i * 3), QPointF(25, 15 + i * 3), k.accent.lighter(120), 1);
}

void clear(QPainter& p, const Look& k) {
    p.save();
    p.translate(21.5, 10.5);
    p.rotate(-35);
    QPainterPath body = roundRect(QRectF(-9.5, -4.5, 19, 9), 1.5);
    shade(p, body, k.accent, k.outline);
    flat(p, roundRect(QRectF(1.5, -4.5, 8, 9), 1.5), QColor(0xFF, 0xC8, 0xD2), k.outline);
    line(p, QPointF(1.5, -4.5), QPointF(1.5, 4.5), k.outline, 1);
    p.restore();
    const QColor dust = k.outline.lighter(160);
    line(p, QPointF(12, 21), QPointF(24, 21), dust, 1.3);
    flat(p, circle(QPointF(27, 19.5), 1.1), dust, Qt::transparent, 0);
    flat(p, circle(QPointF(29.5, 21.5), 0.9), dust, Qt::transparent, 0);
}

void copy(QPainter& p, const Look& k) {
    shade(p, roundRect(QRectF(10.5, 1.5, 13, 15.5), 1.2), k.accent.lighter(150), k.outline);
    QPainterPath front;
    front.moveTo(16.5, 6.5);
    front.lineTo(26.5, 6.5);
    front.lineTo(30.5, 10.5);
    front.lineTo(30.5, 22.5);
    front.lineTo(16.5, 22.5);
    front.closeSubpath();
    shade(p, front, paper, k.outline);
    flat(p, polygon({{26.5, 6.5}, {26.5, 10.5}, {30.5, 10.5}}), k.accent, k.outline);
    for (int i = 0; i < 3; ++i)
        line(p, QPointF(19, 13 + i * 3), QPointF(28, 13 + i * 3), k.accent, 1);
}

} // namespace

void drawSymbol(QPainter& p, int slot, const Look& look) {
    switch (slot) {
    case 0:
        gear(p, look);
        break;
    case 1:
        chat(p, look);
        break;
    case 2:
        about(p, look);
        break;
    case 3:
        broadcast(p, look);
        break;
    case 4:
        kick(p, look);
        break;
    case 5:
        whisper(p, look);
        break;
    case 6:
        save(p, look);
        break;
    case 7:
        clear(p, look);
        break;
    case 8:
        copy(p, look);
        break;
    default:
        break;
    }
}

} // namespace art
