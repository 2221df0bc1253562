#pragma once

#include "ui/AttachmentPainter.h"

// A file: a card with its icon, its name and size, and 接收 / 另存为.
class FileCardPainter : public AttachmentPainter {
public:
    Parts place(const QStyleOptionViewItem& option, const fileoffer::Offer& offer, QPoint at,
                QSize room, bool buttons) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const fileoffer::Offer& offer,
               const Parts& parts, const QColor& ink) const override;

    static int height(const QStyleOptionViewItem& option);
};
