#include "Paint.h"

#include <cmath>

namespace art {

namespace {
constexpr int silver = 0xC0;
// Pixels at least this much covered become opaque; lower keeps thin diagonal lines whole.
constexpr int coverageThreshold = 100;
} // namespace

void shade(QPainter& p, const QPainterPath& path, const QColor& base, const QColor& outline,
           qreal pen) {
    const QRectF b = path.boundingRect();
    QLinearGradient g(b.topLeft(), b.bottomRight());
    g.setColorAt(0.0, base.lighter(128));
    g.setColorAt(0.45, base);
    g.setColorAt(1.0, base.darker(122));
    p.setBrush(g);
    p.setPen(pen > 0 ? QPen(outline, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : Qt::NoPen);
    p.drawPath(path);
}

void flat(QPainter& p, const QPainterPath& path, const QColor& base, const QColor& outline,
          qreal pen) {
    p.setBrush(base);
    p.setPen(pen > 0 ? QPen(outline, pen, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin) : Qt::NoPen);
    p.drawPath(path);
}

void line(QPainter& p, QPointF a, QPointF b, const QColor& c, qreal w) {
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(a, b);
}

QPainterPath circle(QPointF c, qreal r) {
    return ellipse(c, r, r);
}

QPainterPath ellipse(QPointF c, qreal rx, qreal ry) {
    QPainterPath path;
    path.addEllipse(c, rx, ry);
    return path;
}

QPainterPath roundRect(QRectF r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> pts) {
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(pts)));
    path.closeSubpath();
    return path;
}

QPainterPath starPath(QPointF c, qreal outer, qreal inner, qreal turn) {
    QPolygonF poly;
    for (int i = 0; i < 10; ++i) {
        const qreal a = turn + M_PI * i / 5.0 - M_PI / 2.0;
        const qreal r = (i % 2 == 0) ? outer : inner;
        poly << c + QPointF(std::cos(a) * r, std::sin(a) * r);
    }
    QPainterPath path;
    path.addPolygon(poly);
    path.closeSubpath();
    return path;
}

QImage blank(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

void begin(QPainter& p, QImage& img) {
    p.begin(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(img.width() / 32.0, img.width() / 32.0);
}

QImage maskOnSilver(const QImage& art) {
    const QImage src = art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(src.size(), QImage::Format_ARGB32);
    for (int y = 0; y < src.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            if (a < coverageThreshold) {
                dst[x] = qRgba(silver, silver, silver, 0);
                continue;
            }
            const auto over = [a](int c) { return c + silver * (255 - a) / 255; };
            int r = over(qRed(in[x])), g = over(qGreen(in[x])), b = over(qBlue(in[x]));
            // A transparent picture control would see exact silver as a hole.
            if (r == silver && g == silver && b == silver)
                b = silver + 1;
            dst[x] = qRgba(r, g, b, 255);
        }
    }
    out.setPixel(0, out.height() - 1, qRgba(silver, silver, silver, 0));
    return out;
}

} // namespace art
