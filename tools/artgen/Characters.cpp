#include "Characters.h"

#include <QtMath>
#include <array>

namespace art {

namespace {

const QColor cheek(0xFF, 0x70, 0x80, 120);
const QColor coal(0x28, 0x28, 0x30);
const QColor snow(0xF4, 0xF8, 0xFF);
const QColor scarfRed(0xE0, 0x38, 0x38);
const QColor gold(0xFF, 0xD0, 0x38);
const QColor heartRed(0xF0, 0x40, 0x58);

const std::array<Look, setCount> looks = {{
    // kitten: warm oranges
    {{0x4A, 0x2A, 0x12},
     {0xF0, 0x90, 0x30},
     {0x9A, 0x5A, 0x2A},
     {0x3A, 0x22, 0x10},
     {0xF4, 0xA4, 0x48}},
    // girl with a bun: pinks and chestnut
    {{0x5A, 0x24, 0x2A},
     {0xEC, 0x5A, 0x7C},
     {0xB0, 0x5A, 0x30},
     {0x40, 0x1C, 0x18},
     {0xFF, 0xD6, 0xB8}},
    // little people: blues
    {{0x1E, 0x26, 0x40},
     {0x3C, 0x7C, 0xDC},
     {0x8A, 0x5A, 0x36},
     {0x20, 0x20, 0x28},
     {0xF6, 0xC8, 0xA0}},
    // stars: night blue and gold
    {{0x1A, 0x1C, 0x4C}, {0x4A, 0x50, 0xC8}, {0xE8, 0xA8, 0x20}, {0x40, 0x28, 0x08}, {}},
    // hats: crimson and felt black
    {{0x26, 0x16, 0x1A}, {0xC8, 0x34, 0x40}, {0x5A, 0x4A, 0x60}, {0xFF, 0xFF, 0xFF}, {}},
    // Pinwa mascot: fresh greens
    {{0x1C, 0x2C, 0x44},
     {0x30, 0xAC, 0x5C},
     {0x3A, 0x7A, 0xE0},
     {0x22, 0x22, 0x30},
     {0xFF, 0xEE, 0xCC}},
    // snowman: icy blue and scarf red
    {{0x22, 0x34, 0x50},
     {0x4C, 0xA6, 0xE4},
     {0xD0, 0x3A, 0x3A},
     {0x28, 0x28, 0x30},
     {0xE0, 0x38, 0x38}},
}};

QPointF at(QPointF c, qreal r, qreal dx, qreal dy) {
    return c + QPointF(dx * r, dy * r);
}
QPointF dir(qreal deg) {
    return {qCos(qDegreesToRadians(deg)), qSin(qDegreesToRadians(deg))};
}
qreal featurePen(qreal r) {
    return qMax(1.0, r * 0.14);
}

void arc(QPainter& p, QPointF a, QPointF ctrl, QPointF b, const QColor& c, qreal w) {
    QPainterPath path;
    path.moveTo(a);
    path.quadTo(ctrl, b);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

struct FaceGeom {
    qreal spread = 0.38; // eye distance from the centre line
    qreal eyeY = -0.05;
    qreal mouthY = 0.36;
    qreal mouthW = 0.28;
    bool cheeks = true;
};

void eye(QPainter& p, QPointF e, qreal r, bool closedHappy, bool asleep, const QColor& ink) {
    const qreal s = qMax(1.0, r * 0.15);
    if (closedHappy)
        arc(p, e + QPointF(-s * 1.3, s * 0.6), e + QPointF(0, -s * 1.4),
            e + QPointF(s * 1.3, s * 0.6), ink, featurePen(r));
    else if (asleep)
        arc(p, e + QPointF(-s * 1.3, 0), e + QPointF(0, s * 1.3), e + QPointF(s * 1.3, 0), ink,
            featurePen(r));
    else
        flat(p, ellipse(e, s, s * 1.2), ink, Qt::transparent, 0);
}

void face(QPainter& p, QPointF c, qreal r, Mood m, const QColor& ink, const FaceGeom& g = {}) {
    const QPointF le = at(c, r, -g.spread, g.eyeY), re = at(c, r, g.spread, g.eyeY);
    if (g.cheeks) {
        flat(p, ellipse(at(c, r, -g.spread - 0.14, g.mouthY - 0.06), r * 0.17, r * 0.11), cheek,
             Qt::transparent, 0);
        flat(p, ellipse(at(c, r, g.spread + 0.14, g.mouthY - 0.06), r * 0.17, r * 0.11), cheek,
             Qt::transparent, 0);
    }
    eye(p, le, r, m == Mood::Joy, m == Mood::Sleep, ink);
    eye(p, re, r, m == Mood::Joy || m == Mood::Wink, m == Mood::Sleep, ink);
    const QPointF ml = at(c, r, -g.mouthW, g.mouthY), mr = at(c, r, g.mouthW, g.mouthY);
    switch (m) {
    case Mood::Joy: {
        QPainterPath mouth;
        mouth.moveTo(ml);
        mouth.quadTo(at(c, r, 0, g.mouthY + 0.5), mr);
        mouth.closeSubpath();
        flat(p, mouth, QColor(0xC8, 0x30, 0x40), ink, qMax(0.8, r * 0.08));
        break;
    }
    case Mood::Sleep:
    case Mood::Hush:
        flat(p, ellipse(at(c, r, 0, g.mouthY + 0.06), r * 0.1, r * 0.12), ink, Qt::transparent, 0);
        break;
    default:
        arc(p, ml, at(c, r, 0, g.mouthY + 0.32), mr, ink, featurePen(r));
    }
}

// ---- the seven characters' heads -----------------------------------------------------------

void kittenHead(QPainter& p, QPointF c, qreal r, Mood m) {
    const Look& k = looks[0];
    const QColor fur(0xF4, 0xA0, 0x40), pink(0xFF, 0xA8, 0xB4), cream(0xFF, 0xF4, 0xE4);
    for (int s : {-1, 1}) {
        shade(p,
              polygon(
                  {at(c, r, s * 0.98, -0.15), at(c, r, s * 0.82, -1.22), at(c, r, s * 0.12, -0.8)}),
              fur, k.outline);
        flat(p,
             polygon(
                 {at(c, r, s * 0.78, -0.4), at(c, r, s * 0.76, -0.95), at(c, r, s * 0.38, -0.72)}),
             pink, Qt::transparent, 0);
    }
    shade(p, ellipse(c, r * 1.06, r * 0.92), fur, k.outline);
    for (int s : {-1, 0, 1})
        line(p, at(c, r, s * 0.22, -0.88), at(c, r, s * 0.18, -0.6), fur.darker(150),
             featurePen(r));
    for (int s : {-1, 1})
        flat(p, ellipse(at(c, r, s * 0.2, 0.42), r * 0.3, r * 0.24), cream, Qt::transparent, 0);
    FaceGeom g;
    g.spread = 0.42;
    g.mouthY = 0.42;
    g.mouthW = 0.2;
    face(p, c, r, m, k.ink, g);
    flat(p, polygon({at(c, r, -0.12, 0.2), at(c, r, 0.12, 0.2), at(c, r, 0, 0.34)}), pink,
         k.outline, qMax(0.6, r * 0.06));
    if (r >= 8) {
        for (int s : {-1, 1}) {
            line(p, at(c, r, s * 0.62, 0.3), at(c, r, s * 1.22, 0.18), k.outline, 0.9);
            line(p, at(c, r, s * 0.62, 0.45), at(c, r, s * 1.2, 0.55), k.outline, 0.9);
        }
    }
}

void girlHead(QPainter& p, QPointF c, qreal r, Mood m) {
    const Look& k = looks[1];
    const QColor hair(0x7A, 0x3E, 0x1E), skin(0xFF, 0xDC, 0xC0), tie(0xF0, 0x4A, 0x6A);
    shade(p, circle(at(c, r, 0, -1.02), r * 0.45), hair, k.outline);
    shade(p, circle(c, r), hair, k.outline);
    flat(p, ellipse(at(c, r, 0, -0.8), r * 0.32, r * 0.13), tie, k.outline, qMax(0.7, r * 0.07));
    QPainterPath skinArea = circle(at(c, r, 0, 0.1), r * 0.88);
    QPainterPath below;
    below.addRect(QRectF(at(c, r, -1.2, -0.36), at(c, r, 1.2, 1.2)));
    // The fringe dips in the middle so the face reads as a girl's, not a helmet.
    below = below.subtracted(ellipse(at(c, r, 0, -0.36), r * 0.36, r * 0.12));
    shade(p, skinArea.intersected(below).simplified(), skin, k.outline);
    FaceGeom g;
    g.spread = 0.36;
    g.eyeY = 0.12;
    g.mouthY = 0.48;
    g.mouthW = 0.24;
    face(p, c, r, m, k.ink, g);
}

struct Person {
    QColor hair, shirt;
    bool longHair = false;
    bool glasses = false;
};

void personHead(QPainter& p, QPointF c, qreal r, Mood m, const Person& who) {
    const Look& k = looks[2];
    const QColor skin(0xF6, 0xC8, 0xA0);
    if (who.longHair)
        shade(p, roundRect(QRectF(at(c, r, -1.08, -0.6), at(c, r, 1.08, 0.95)), r * 0.5), who.hair,
              k.outline);
    shade(p, circle(c, r), skin, k.outline);
    QPainterPath top;
    top.addRect(QRectF(at(c, r, -1.2, -1.3), at(c, r, 1.2, -0.28)));
    QPainterPath hair = circle(at(c, r, 0, -0.04), r * 1.06).intersected(top);
    hair =
        hair.united(polygon({at(c, r, -1.02, -0.4), at(c, r, -0.96, 0.05), at(c, r, -0.7, -0.3)}));
    shade(p, hair.simplified(), who.hair, k.outline);
    FaceGeom g;
    g.spread = 0.4;
    g.eyeY = 0.08;
    g.mouthY = 0.45;
    g.cheeks = false;
    face(p, c, r, m, k.ink, g);
    if (who.glasses) {
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(k.outline, 0.9));
        for (int s : {-1, 1})
            p.drawEllipse(at(c, r, s * 0.4, 0.08), r * 0.25, r * 0.22);
        line(p, at(c, r, -0.15, 0.06), at(c, r, 0.15, 0.06), k.outline, 0.9);
    }
}

void shoulders(QPainter& p, QPointF c, qreal r, const QColor& shirt, const QColor& outline) {
    shade(p, roundRect(QRectF(at(c, r, -1.0, 0.78), at(c, r, 1.0, 2.2)), r * 0.55), shirt, outline);
}

void starHead(QPainter& p, QPointF c, qreal r, Mood m) {
    const Look& k = looks[3];
    shade(p, starPath(c, r * 1.25, r * 0.62), gold, k.outline);
    FaceGeom g;
    g.spread = 0.26;
    g.eyeY = 0.02;
    g.mouthY = 0.3;
    g.mouthW = 0.2;
    face(p, c, r, m, k.ink, g);
}

void topHat(QPainter& p, QPointF c, qreal r, const QColor& felt, const QColor& band, bool withFace,
            Mood m) {
    const Look& k = looks[4];
    shade(p, ellipse(at(c, r, 0, 0.55), r * 1.15, r * 0.32), felt, k.outline);
    QPainterPath crown = roundRect(QRectF(at(c, r, -0.66, -1.0), at(c, r, 0.66, 0.6)), r * 0.12);
    shade(p, crown, felt, k.outline);
    flat(p, QPainterPath(roundRect(QRectF(at(c, r, -0.66, 0.2), at(c, r, 0.66, 0.5)), 0.3)), band,
         k.outline, 0.8);
    if (withFace) {
        FaceGeom g;
        g.spread = 0.28;
        g.eyeY = -0.5;
        g.mouthY = -0.18;
        g.mouthW = 0.2;
        g.cheeks = false;
        face(p, c, r, m, k.ink, g);
    }
}

void bladesAndFace(QPainter& p, QPointF c, qreal r, Mood m) {
    const Look& k = looks[5];
    const std::array<QColor, 4> blade = {
        {{0xE8, 0x44, 0x3A}, {0xFF, 0xC4, 0x30}, {0x3C, 0xB4, 0x4C}, {0x3A, 0x7A, 0xE0}}};
    // Each blade has one straight edge and one curled edge, all turning the same way.
    for (int i = 0; i < 4; ++i) {
        const qreal a = -110 + 90 * i;
        QPainterPath b;
        b.moveTo(c);
        b.lineTo(c + dir(a) * r * 1.36);
        b.quadTo(c + dir(a + 58) * r * 1.32, c + dir(a + 100) * r * 0.6);
        b.closeSubpath();
        shade(p, b, blade[i], k.outline);
    }
    shade(p, circle(c, r * 0.62), k.hand, k.outline);
    FaceGeom g;
    g.spread = 0.25;
    g.eyeY = -0.08;
    g.mouthY = 0.22;
    g.mouthW = 0.18;
    g.cheeks = r * p.transform().m11() >= 9; // blush muddies the smaller faces
    face(p, c, r, m, k.ink, g);
}

void snowHead(QPainter& p, QPointF c, qreal r, Mood m, int hat) {
    const Look& k = looks[6];
    shade(p, circle(c, r), snow, k.outline);
    FaceGeom g;
    g.spread = 0.36;
    g.eyeY = -0.12;
    g.mouthY = 0.52;
    g.mouthW = 0.26;
    g.cheeks = false;
    face(p, c, r, m, coal, g);
    // A carrot with a dark edge turns to a smudge at this size, so it is drawn bright and bare.
    flat(p, polygon({at(c, r, -0.05, 0.08), at(c, r, 0.72, 0.24), at(c, r, -0.05, 0.4)}),
         QColor(0xFF, 0x7A, 0x10), Qt::transparent, 0);
    if (hat == 0) { // top hat
        shade(p, ellipse(at(c, r, 0, -0.82), r * 0.85, r * 0.2), coal, k.outline);
        shade(p, roundRect(QRectF(at(c, r, -0.52, -1.6), at(c, r, 0.52, -0.82)), 0.5), coal,
              k.outline);
        flat(p, QPainterPath(roundRect(QRectF(at(c, r, -0.52, -1.08), at(c, r, 0.52, -0.9)), 0.2)),
             scarfRed, Qt::transparent, 0);
    } else if (hat == 1) { // red beanie
        QPainterPath cap = circle(at(c, r, 0, -0.5), r * 0.78);
        QPainterPath top;
        top.addRect(QRectF(at(c, r, -1, -1.5), at(c, r, 1, -0.55)));
        shade(p, cap.intersected(top), scarfRed, k.outline);
        shade(p, roundRect(QRectF(at(c, r, -0.8, -0.72), at(c, r, 0.8, -0.45)), r * 0.12),
              snow.darker(105), k.outline);
        shade(p, circle(at(c, r, 0, -1.3), r * 0.22), snow, k.outline);
    } else if (hat == 2) { // blue bucket
        shade(p,
              polygon({at(c, r, -0.45, -1.5), at(c, r, 0.45, -1.5), at(c, r, 0.65, -0.7),
                       at(c, r, -0.65, -0.7)}),
              looks[6].accent, k.outline);
    } else if (hat == 3) { // nightcap drooping to the side
        QPainterPath cap;
        cap.moveTo(at(c, r, -0.8, -0.62));
        cap.quadTo(at(c, r, -0.4, -1.6), at(c, r, 0.9, -1.35));
        cap.quadTo(at(c, r, 0.5, -1.0), at(c, r, 0.8, -0.62));
        cap.closeSubpath();
        shade(p, cap, QColor(0x6A, 0x7C, 0xE0), k.outline);
        shade(p, circle(at(c, r, 0.95, -1.3), r * 0.2), snow, k.outline);
        shade(p, roundRect(QRectF(at(c, r, -0.84, -0.75), at(c, r, 0.84, -0.5)), r * 0.12), snow,
              k.outline);
    }
}

void scarf(QPainter& p, QPointF c, qreal r) {
    const Look& k = looks[6];
    shade(p, roundRect(QRectF(at(c, r, -0.85, 0.78), at(c, r, 0.85, 1.15)), r * 0.15), scarfRed,
          k.outline);
    shade(p, roundRect(QRectF(at(c, r, 0.25, 0.9), at(c, r, 0.62, 1.75)), r * 0.1), scarfRed,
          k.outline);
}

void hushHand(QPainter& p, QPointF c, qreal r, const Look& k, qreal dy) {
    if (!k.hand.isValid())
        return;
    shade(p, roundRect(QRectF(at(c, r, 0.3, dy - 0.5), at(c, r, 0.92, dy + 0.42)), r * 0.26),
          k.hand.darker(106), k.outline);
}

// ---- props of the decorative pictures ------------------------------------------------------

void heart(QPainter& p, QPointF c, qreal s, const QColor& outline) {
    QPainterPath h;
    h.moveTo(c + QPointF(0, s * 0.9));
    h.cubicTo(c + QPointF(-s * 1.4, -s * 0.1), c + QPointF(-s * 0.7, -s * 1.2),
              c + QPointF(0, -s * 0.35));
    h.cubicTo(c + QPointF(s * 0.7, -s * 1.2), c + QPointF(s * 1.4, -s * 0.1),
              c + QPointF(0, s * 0.9));
    shade(p, h, heartRed, outline);
}

void note(QPainter& p, QPointF c, const QColor& outline) {
    flat(p, ellipse(c + QPointF(-1.5, 3), 1.8, 1.4), outline, Qt::transparent, 0);
    flat(p, ellipse(c + QPointF(3.5, 2), 1.8, 1.4), outline, Qt::transparent, 0);
    line(p, c + QPointF(0.1, 3), c + QPointF(0.1, -3.5), outline, 1.1);
    line(p, c + QPointF(5.1, 2), c + QPointF(5.1, -4.5), outline, 1.1);
    line(p, c + QPointF(0.1, -3.5), c + QPointF(5.1, -4.5), outline, 1.6);
}

void zz(QPainter& p, QPointF c, const QColor& ink) {
    auto z = [&](QPointF o, qreal s) {
        QPainterPath path;
        path.moveTo(o);
        path.lineTo(o + QPointF(s, 0));
        path.lineTo(o + QPointF(0, s));
        path.lineTo(o + QPointF(s, s));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(path);
    };
    z(c, 4);
    z(c + QPointF(-4.5, 4.5), 3);
}

void sparkle(QPainter& p, QPointF c, qreal s, const QColor& outline) {
    shade(p, starPath(c, s, s * 0.4), gold, outline, 0.8);
}

void prop(QPainter& p, int variant, const Look& k, QPointF where) {
    switch (variant) {
    case 0:
        sparkle(p, where, 4.0, k.outline);
        break;
    case 1:
        heart(p, where, 3.0, k.outline);
        break;
    case 2:
        note(p, where + QPointF(-2, 0), k.outline);
        break;
    case 3:
        zz(p, where + QPointF(-1, -3), k.outline);
        break;
    default:
        break;
    }
}

constexpr std::array<Mood, 4> decorMoods = {Mood::Happy, Mood::Wink, Mood::Joy, Mood::Sleep};

const std::array<Person, 4> people = {{
    {{0x2A, 0x26, 0x2A}, {0x3C, 0x7C, 0xDC}},
    {{0x8A, 0x4A, 0x22}, {0xE8, 0x4A, 0x5A}, true},
    {{0xF0, 0xC8, 0x40}, {0x40, 0xA8, 0x50}},
    {{0xC8, 0xCC, 0xD4}, {0x8A, 0x5A, 0xC0}, false, true},
}};

void sky(QPainter& p, const Look& k) {
    QRadialGradient g(QPointF(11, 9), 20);
    g.setColorAt(0, QColor(0x3A, 0x40, 0x9A));
    g.setColorAt(1, QColor(0x14, 0x18, 0x48));
    p.setBrush(g);
    p.setPen(QPen(k.outline, 1));
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);
}

void constellation(QPainter& p, const Look& k, const std::vector<QPointF>& stars,
                   const std::vector<std::pair<int, int>>& links) {
    sky(p, k);
    for (auto [a, b] : links)
        line(p, stars[a], stars[b], QColor(0x90, 0xA8, 0xF0), 1.0);
    for (const QPointF& s : stars)
        flat(p, starPath(s, 2.3, 1.0), gold, Qt::transparent, 0);
}

void hatDecor(QPainter& p, int variant) {
    const Look& k = looks[4];
    switch (variant) {
    case 0:
        topHat(p, QPointF(16, 18), 11.5, QColor(0x3A, 0x34, 0x44), k.accent, true, Mood::Happy);
        sparkle(p, QPointF(26, 6), 3.2, k.outline);
        break;
    case 1: { // wizard's hat with a star
        shade(p, ellipse(QPointF(16, 25), 14, 4), QColor(0x7A, 0x4A, 0xC8), k.outline);
        QPainterPath cone;
        cone.moveTo(8, 25);
        cone.quadTo(13, 12, 20, 2);
        cone.quadTo(19, 14, 24, 25);
        cone.closeSubpath();
        shade(p, cone, QColor(0x7A, 0x4A, 0xC8), k.outline);
        flat(p, roundRect(QRectF(8.5, 21, 15.5, 3.5), 1), gold, k.outline);
        sparkle(p, QPointF(15.5, 14), 3.0, k.outline);
        break;
    }
    case 2: { // cap with a peak
        const QColor blue(0x38, 0x78, 0xD8);
        shade(p, ellipse(QPointF(23, 21.5), 8, 3), blue.darker(130), k.outline);
        QPainterPath dome = circle(QPointF(14, 22), 11);
        QPainterPath top;
        top.addRect(QRectF(2, 8, 24, 14.5));
        shade(p, dome.intersected(top), blue, k.outline);
        for (qreal x : {9.5, 18.5})
            line(p, QPointF(14, 11.5), QPointF(x, 22), blue.darker(140), 1);
        shade(p, circle(QPointF(14, 10.5), 1.8), k.accent, k.outline);
        shade(p, circle(QPointF(14, 17), 2.8), QColor(0xFF, 0xD0, 0x38), k.outline);
        break;
    }
    default: { // crown
        QPainterPath crown =
            polygon({{4, 24}, {3, 9}, {10, 16}, {16, 6}, {22, 16}, {29, 9}, {28, 24}});
        shade(p, crown, gold, k.outline);
        flat(p, roundRect(QRectF(4, 21, 24, 4.5), 1), QColor(0xE8, 0xA8, 0x20), k.outline);
        for (QPointF b : {QPointF(3, 9), QPointF(16, 6), QPointF(29, 9)})
            shade(p, circle(b, 1.8), k.accent, k.outline);
        shade(p, circle(QPointF(16, 16.5), 2.2), QColor(0x40, 0x90, 0xE8), k.outline);
        break;
    }
    }
}

} // namespace

const Look& lookOf(int set) {
    return looks[qBound(0, set, setCount - 1)];
}

void drawPinwaHead(QPainter& p, QPointF c, qreal r, Mood mood) {
    bladesAndFace(p, c, r, mood);
}

void drawPinwaFigure(QPainter& p, QPointF c, qreal r, Mood mood, bool wave) {
    const Look& k = looks[5];
    for (int s : {-1, 1})
        shade(p, ellipse(at(c, r, s * 0.38, 2.0), r * 0.3, r * 0.17), k.accent, k.outline);
    const QPointF arm = wave ? at(c, r, 0.9, 0.95) : at(c, r, 0.72, 1.45);
    shade(p, ellipse(arm, r * 0.18, r * 0.26), k.hand, k.outline);
    shade(p, ellipse(at(c, r, -0.72, 1.45), r * 0.18, r * 0.26), k.hand, k.outline);
    shade(p, ellipse(at(c, r, 0, 1.45), r * 0.62, r * 0.58), k.hand, k.outline);
    flat(p, ellipse(at(c, r, 0, 1.55), r * 0.32, r * 0.3), QColor(0xFF, 0xFF, 0xF4),
         Qt::transparent, 0);
    bladesAndFace(p, c, r, mood);
}

void drawBadge(QPainter& p, int set, Mood mood) {
    const QPointF c(8, 24);
    const Look& k = lookOf(set);
    switch (set) {
    case 0:
        kittenHead(p, c, 6.4, mood);
        if (mood == Mood::Hush)
            hushHand(p, c, 6.4, k, 0.4);
        break;
    case 1:
        girlHead(p, QPointF(8, 24.6), 6.5, mood);
        if (mood == Mood::Hush)
            hushHand(p, QPointF(8, 24.6), 6.5, k, 0.5);
        break;
    case 2:
        shoulders(p, QPointF(8, 22.5), 5.8, people[0].shirt, k.outline);
        personHead(p, QPointF(8, 22.5), 5.8, mood, people[0]);
        if (mood == Mood::Hush)
            hushHand(p, QPointF(8, 22.5), 5.8, k, 0.45);
        break;
    case 3:
        starHead(p, QPointF(8, 24), 6.2, mood);
        break;
    case 4:
        topHat(p, QPointF(8, 24), 6.5, QColor(0x3A, 0x34, 0x44), k.accent, true, mood);
        break;
    case 5:
        bladesAndFace(p, QPointF(8, 23.5), 6.9, mood);
        if (mood == Mood::Hush)
            hushHand(p, QPointF(8, 23.5), 6.9, k, 0.25);
        break;
    default:
        scarf(p, QPointF(8, 24), 5.6);
        snowHead(p, QPointF(8, 24), 5.6, mood, 0);
        if (mood == Mood::Hush)
            hushHand(p, QPointF(8, 24), 5.6, k, 0.5);
        break;
    }
}

void drawDecor(QPainter& p, int set, int v) {
    const Look& k = lookOf(set);
    const Mood m = decorMoods[v];
    switch (set) {
    case 0:
        kittenHead(p, QPointF(15.5, 18), 10.5, m);
        prop(p, v, k, QPointF(27, 5));
        break;
    case 1:
        girlHead(p, QPointF(15, 18.5), 10.5, m);
        prop(p, v, k, QPointF(27, 5));
        break;
    case 2:
        shoulders(p, QPointF(16, 15), 8.5, people[v].shirt, k.outline);
        personHead(p, QPointF(16, 15), 8.5, m, people[v]);
        prop(p, v, k, QPointF(27, 5));
        break;
    case 3:
        if (v == 0) {
            starHead(p, QPointF(16, 17), 11.5, Mood::Joy);
        } else if (v == 1) { // the Plough
            constellation(
                p, k, {{6, 9}, {10, 10.5}, {13.5, 13}, {17, 15.5}, {18, 22}, {25, 22.5}, {26, 15}},
                {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 3}});
        } else if (v == 2) { // Orion
            constellation(p, k,
                          {{10.5, 8},
                           {21.5, 9},
                           {13, 16.5},
                           {16, 15.7},
                           {19, 15},
                           {11, 24},
                           {21.5, 24},
                           {16, 5}},
                          {{0, 2}, {1, 4}, {2, 3}, {3, 4}, {2, 5}, {4, 6}, {0, 7}, {1, 7}});
        } else { // asleep on the moon
            QPainterPath moon =
                circle(QPointF(15, 17), 12.5).subtracted(circle(QPointF(21, 12), 10.5));
            shade(p, moon.simplified(), QColor(0xFF, 0xE8, 0x8A), k.outline);
            starHead(p, QPointF(19, 18.5), 6.0, Mood::Sleep);
            zz(p, QPointF(24, 3), k.outline);
        }
        break;
    case 4:
        hatDecor(p, v);
        break;
    case 5:
        bladesAndFace(p, QPointF(15, 17.5), 10.2, m);
        prop(p, v, k, QPointF(27.5, 4.5));
        break;
    default: {
        const QPointF head(16, 11);
        const qreal hr = 6.8;
        const Look& s = looks[6];
        if (v == 0) {
            const QColor twig(0x7A, 0x4A, 0x22);
            line(p, QPointF(10, 21), QPointF(3, 15), twig, 1.4);
            line(p, QPointF(22, 21), QPointF(29, 14), twig, 1.4);
            line(p, QPointF(27.5, 15.5), QPointF(29.5, 17), twig, 1.2);
            line(p, QPointF(4.5, 16.5), QPointF(2.5, 17), twig, 1.2);
        }
        shade(p, circle(QPointF(16, 24), 6.8), snow, s.outline);
        for (int i = 0; i < 2; ++i)
            flat(p, circle(QPointF(16, 23 + i * 3.6), 1.1), coal, Qt::transparent, 0);
        scarf(p, head, hr);
        snowHead(p, head, hr, m, v);
        if (v == 1)
            heart(p, QPointF(26.5, 5), 3.0, s.outline);
        if (v == 2)
            for (QPointF f : {QPointF(4, 5), QPointF(27, 8), QPointF(5, 18)}) {
                for (int a = 0; a < 3; ++a)
                    line(p, f - dir(a * 60 + 30) * 2.6, f + dir(a * 60 + 30) * 2.6,
                         s.accent.darker(130), 0.9);
            }
        if (v == 3)
            zz(p, QPointF(26, 3), s.outline);
        break;
    }
    }
}

} // namespace art
