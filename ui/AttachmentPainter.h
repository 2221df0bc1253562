#pragma once

#include "protocol/FileOffer.h"

#include <QRect>
#include <QStyleOptionViewItem>

class QPainter;

// Draws what a log row offers, under its words: one painter for each kind of
// attachment, so that the row, its height, its buttons and its keys do not care which.
class AttachmentPainter {
public:
    // Where the attachment is, and its 接收 and 另存为 (empty where nothing is to be taken).
    struct Parts {
        QRect box;
        QRect receive;
        QRect saveAs;
        bool opens = false; // the box itself opens the attachment whole
    };

    virtual ~AttachmentPainter() = default;

    // Laid out from `at`, within `room` (what the log has beside and below it).
    virtual Parts place(const QStyleOptionViewItem& option, const fileoffer::Offer& offer,
                        QPoint at, QSize room, bool buttons) const = 0;
    virtual void paint(QPainter* painter, const QStyleOptionViewItem& option,
                       const fileoffer::Offer& offer, const Parts& parts,
                       const QColor& ink) const = 0;
};
