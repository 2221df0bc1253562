#pragma once

#include "ui/FileCardPainter.h"

#include <QImage>
#include <functional>

// What a row shows of an offered picture, as whoever fetches pictures says.
struct PictureLook {
    enum class State { None, Fetching, Shown, Refused };
    State state = State::None;
    QImage image; // null while it is being made again: a frame of its size holds the place
    QSize size;   // device pixels
    QString word; // why it is not shown
};
using PictureLookup = std::function<PictureLook(const QString& token)>;

// A picture: its thumbnail, which opens it whole; until there is one, or when there
// never will be (too large, not a picture, broken), the file card with a word.
class ThumbnailPainter : public AttachmentPainter {
public:
    void setLookup(PictureLookup lookup) { lookup_ = std::move(lookup); }

    Parts place(const QStyleOptionViewItem& option, const fileoffer::Offer& offer, QPoint at,
                QSize room, bool buttons) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const fileoffer::Offer& offer,
               const Parts& parts, const QColor& ink) const override;

private:
    PictureLook look(const fileoffer::Offer& offer) const;
    // The card's offer, its size followed by the word.
    static fileoffer::Offer withWord(const fileoffer::Offer& offer, const PictureLook& look);

    PictureLookup lookup_;
    FileCardPainter card_;
};
