#include "ui/ThumbnailPainter.h"

#include "ui/ChatLogDelegate.h"

#include <QPainter>
#include <QWidget>

namespace {

qreal ratioOf(const QStyleOptionViewItem& option) {
    return option.widget != nullptr ? option.widget->devicePixelRatioF() : 1.0;
}

} // namespace

PictureLook ThumbnailPainter::look(const fileoffer::Offer& offer) const {
    return lookup_ ? lookup_(offer.token) : PictureLook();
}

fileoffer::Offer ThumbnailPainter::withWord(const fileoffer::Offer& offer,
                                            const PictureLook& look) {
    fileoffer::Offer shown = offer;
    const QString word =
        look.state == PictureLook::State::Fetching ? QStringLiteral("正在取图片") : look.word;
    if (!word.isEmpty())
        shown.sizeText += QStringLiteral(" · ") + word;
    return shown;
}

AttachmentPainter::Parts ThumbnailPainter::place(const QStyleOptionViewItem& option,
                                                 const fileoffer::Offer& offer, QPoint at,
                                                 QSize room, bool buttons) const {
    const PictureLook seen = look(offer);
    if (seen.state != PictureLook::State::Shown)
        return card_.place(option, withWord(offer, seen), at, room, buttons);
    Parts parts;
    QSizeF size = QSizeF(seen.size) / ratioOf(option);
    // A small log (a whisper window's) shows it smaller, never cut.
    if (size.width() > room.width() || size.height() > room.height())
        size = size.scaled(QSizeF(room), Qt::KeepAspectRatio);
    parts.box = QRect(at, size.toSize().expandedTo(QSize(8, 8)));
    parts.opens = true;
    return parts;
}

void ThumbnailPainter::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const fileoffer::Offer& offer, const Parts& parts,
                             const QColor& ink) const {
    const PictureLook seen = look(offer);
    if (!parts.opens || seen.state != PictureLook::State::Shown) {
        card_.paint(painter, option, withWord(offer, seen), parts, ink);
        return;
    }
    const QColor base = option.palette.color(QPalette::Base);
    if (seen.image.isNull()) {
        painter->fillRect(parts.box, ChatLogDelegate::mix(base, ink, 0.06));
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->drawImage(QRectF(parts.box), seen.image);
    painter->setPen(ChatLogDelegate::mix(base, ink, 0.25));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(parts.box).adjusted(-0.5, -0.5, 0.5, 0.5));
    painter->restore();
}
