#include "ContactSheet.h"

#include <QFont>
#include <QPainter>

namespace art {

namespace {

const QColor sheetColour(0x50, 0x54, 0x5C);

QImage onSilver(const QImage& picture) {
    QImage out(picture.size(), QImage::Format_ARGB32);
    out.fill(QColor(0xC0, 0xC0, 0xC0));
    QPainter q(&out);
    q.drawImage(0, 0, picture);
    return out;
}

} // namespace

QImage actualSizeSheet(const Sets& sets) {
    const int cell = 32, gap = 4;
    QImage sheet(slotCount * (cell + gap) + gap, setCount * (cell + gap) + gap,
                 QImage::Format_ARGB32);
    sheet.fill(sheetColour);
    QPainter p(&sheet);
    for (int s = 0; s < setCount; ++s)
        for (int i = 0; i < slotCount; ++i)
            p.drawImage(gap + i * (cell + gap), gap + s * (cell + gap), onSilver(sets[s][i]));
    return sheet;
}

QImage bothScalesSheet(const Sets& sets, const Sets& sharp) {
    const int cell = 64, gap = 6, label = 84, top = 22, setGap = 10;
    const int setHeight = 2 * (cell + gap) + setGap;
    QImage sheet(label + slotCount * (cell + gap) + gap, top + setCount * setHeight,
                 QImage::Format_ARGB32);
    sheet.fill(sheetColour);
    QPainter p(&sheet);
    QFont f("DejaVu Sans");
    f.setPixelSize(14);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    for (int i = 0; i < slotCount; ++i)
        p.drawText(QRect(label + gap + i * (cell + gap), 2, cell, top - 4), Qt::AlignCenter,
                   QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')));
    for (int s = 0; s < setCount; ++s) {
        const int y = top + gap + s * setHeight;
        p.drawText(QRect(4, y, label - 8, cell), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("set %1\n32 px").arg(s));
        p.drawText(QRect(4, y + cell + gap, label - 8, cell), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("set %1\n@2x").arg(s));
        for (int i = 0; i < slotCount; ++i) {
            const int x = label + gap + i * (cell + gap);
            p.drawImage(x, y, onSilver(sets[s][i]).scaled(cell, cell));
            p.drawImage(x, y + cell + gap, onSilver(sharp[s][i]));
        }
    }
    return sheet;
}

} // namespace art
