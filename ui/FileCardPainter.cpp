#include "ui/FileCardPainter.h"

#include "ui/ChatLogDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

constexpr int kPad = 4; // inside the card and around its buttons

} // namespace

int FileCardPainter::height(const QStyleOptionViewItem& option) {
    return option.fontMetrics.height() + 4 * kPad + 2;
}

AttachmentPainter::Parts FileCardPainter::place(const QStyleOptionViewItem& option,
                                                const fileoffer::Offer& offer, QPoint at,
                                                QSize room, bool buttons) const {
    const QFontMetrics& fm = option.fontMetrics;
    const int saveW = fm.horizontalAdvance(QStringLiteral("另存为")) + 4 * kPad;
    const int takeW = fm.horizontalAdvance(QStringLiteral("接收")) + 4 * kPad;
    // Icon, name and size as paint spaces them, then the buttons.
    const int wanted = 4 * kPad + fm.height() +
                       fm.horizontalAdvance(offer.name + QStringLiteral("  ") + offer.sizeText) +
                       2 * kPad + (buttons ? takeW + saveW + 2 * kPad : 0) + 2;
    Parts parts;
    parts.box = QRect(at, QSize(std::max(std::min(wanted, room.width()), 8), height(option)));
    if (buttons) {
        const int h = fm.height() + 2 * kPad;
        const int y = parts.box.top() + (parts.box.height() - h) / 2;
        parts.saveAs = QRect(parts.box.right() - kPad - saveW, y, saveW, h);
        parts.receive = QRect(parts.saveAs.left() - kPad - takeW, y, takeW, h);
    }
    return parts;
}

void FileCardPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const fileoffer::Offer& offer, const Parts& parts,
                            const QColor& ink) const {
    const QColor base = option.palette.color(QPalette::Base);
    const QColor text = option.palette.color(QPalette::Text);
    painter->setPen(ChatLogDelegate::mix(base, text, 0.35));
    painter->setBrush(ChatLogDelegate::mix(base, text, 0.04));
    painter->drawRoundedRect(QRectF(parts.box).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    const QFontMetrics& fm = option.fontMetrics;
    QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    const int icon = fm.height();
    const QRect iconRect(parts.box.left() + 2 * kPad,
                         parts.box.top() + (parts.box.height() - icon) / 2, icon, icon);
    style->standardIcon(QStyle::SP_FileIcon, nullptr, option.widget).paint(painter, iconRect);
    const int textLeft = iconRect.right() + 2 * kPad;
    const int textRight =
        (parts.receive.isValid() ? parts.receive.left() : parts.box.right()) - 2 * kPad;
    const QString size = QStringLiteral("  ") + offer.sizeText;
    const int sizeWidth = fm.horizontalAdvance(size);
    const QString name =
        fm.elidedText(offer.name, Qt::ElideMiddle, std::max(textRight - textLeft - sizeWidth, 0));
    const QRect nameRect(textLeft, parts.box.top(), fm.horizontalAdvance(name), parts.box.height());
    painter->setFont(option.font);
    painter->setPen(ink);
    painter->drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, name);
    painter->setPen(ChatLogDelegate::mix(ink, base, 0.45));
    painter->drawText(QRect(nameRect.right(), parts.box.top(), sizeWidth, parts.box.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, size);
    const auto button = [&](const QRect& rect, const QString& label) {
        QStyleOptionButton b;
        if (option.widget != nullptr)
            b.initFrom(option.widget);
        b.rect = rect;
        b.text = label;
        b.state = QStyle::State_Enabled | QStyle::State_Raised;
        b.palette = option.palette;
        style->drawControl(QStyle::CE_PushButton, &b, painter, option.widget);
    };
    if (parts.receive.isValid()) {
        button(parts.receive, QStringLiteral("接收"));
        button(parts.saveAs, QStringLiteral("另存为"));
    }
}
