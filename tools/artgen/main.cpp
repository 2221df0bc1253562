// Draws every picture of the seven picture sets, the about-page pictures and a contact sheet.
// Usage: pinwa_artgen [repository root]   (default: the current directory)

#include "Characters.h"
#include "Paint.h"
#include "Symbols.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QTextStream>
#include <array>
#include <cstdio>

namespace {

using namespace art;

constexpr int slotCount = 13;
const QColor silverColour(0xC0, 0xC0, 0xC0);

// The character's mood fits what the slot does; slot 5 holds a hand at the mouth.
constexpr std::array<Mood, 9> slotMoods = {Mood::Happy, Mood::Joy,  Mood::Happy,
                                           Mood::Joy,   Mood::Wink, Mood::Hush,
                                           Mood::Happy, Mood::Wink, Mood::Happy};

QImage drawPicture(int set, int slot) {
    QImage img = blank(32);
    QPainter p;
    begin(p, img);
    if (slot < 9) {
        drawSymbol(p, slot, lookOf(set));
        drawBadge(p, set, slotMoods[slot]);
    } else {
        drawDecor(p, set, slot - 9);
    }
    p.end();
    return maskOnSilver(img);
}

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

QImage drawPortrait() {
    QImage img(96, 112, QImage::Format_ARGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient skyFill(0, 0, 0, 112);
    skyFill.setColorAt(0, QColor(0x8C, 0xCC, 0xF4));
    skyFill.setColorAt(1, QColor(0xE4, 0xF4, 0xFF));
    p.fillRect(img.rect(), skyFill);
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

QImage contactSheet(const std::array<std::array<QImage, slotCount>, setCount>& sets, int scale) {
    const int cell = 32 * scale, gap = 2 * scale + 2, label = scale > 1 ? 64 : 0;
    const int top = scale > 1 ? 22 : 0;
    QImage sheet(label + slotCount * (cell + gap) + gap, top + setCount * (cell + gap) + gap,
                 QImage::Format_ARGB32);
    sheet.fill(QColor(0x50, 0x54, 0x5C));
    QPainter p(&sheet);
    QFont f("DejaVu Sans");
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    for (int s = 0; s < setCount; ++s) {
        const int y = top + gap + s * (cell + gap);
        if (label)
            p.drawText(QRect(4, y, label - 8, cell), Qt::AlignVCenter | Qt::AlignLeft,
                       QStringLiteral("set %1").arg(s));
        for (int i = 0; i < slotCount; ++i) {
            const int x = label + gap + i * (cell + gap);
            if (s == 0 && top)
                p.drawText(QRect(x, 2, cell, top - 4), Qt::AlignCenter,
                           QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
            QImage onSilver(32, 32, QImage::Format_ARGB32);
            onSilver.fill(silverColour);
            QPainter q(&onSilver);
            q.drawImage(0, 0, sets[s][i]);
            q.end();
            p.drawImage(QRect(x, y, cell, cell), onSilver.scaled(cell, cell));
        }
    }
    return sheet;
}

bool save(const QImage& img, const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    if (img.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the contact sheet labels
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    bool ok = true;
    std::array<std::array<QImage, slotCount>, setCount> sets;
    for (int s = 0; s < setCount; ++s) {
        for (int i = 0; i < slotCount; ++i) {
            sets[s][i] = drawPicture(s, i);
            ok &= save(sets[s][i], QStringLiteral("%1/resources/sets/set%2/%3.png")
                                       .arg(root)
                                       .arg(s)
                                       .arg(i, 2, 10, QLatin1Char('0')));
        }
    }
    ok &= save(drawIcon(32), root + "/resources/about/pinwa.png");
    ok &= save(drawIcon(64), root + "/resources/about/pinwa-64.png");
    ok &= save(drawPortrait(), root + "/resources/about/portrait.png");
    ok &= save(contactSheet(sets, 3), root + "/docs/art/contact-sheet.png");
    ok &= save(contactSheet(sets, 1), root + "/docs/art/contact-sheet-1x.png");
    return ok ? 0 : 1;
}
