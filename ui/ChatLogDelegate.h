#pragma once

#include "ui/FileCardPainter.h"
#include "ui/ThumbnailPainter.h"

#include <QFontMetrics>
#include <QStyledItemDelegate>
#include <QTextLayout>
#include <array>
#include <memory>
#include <optional>

// Draws one chat-log row: the arrival time in a narrow column, then the line,
// wrapped to the width. Lines to the reader are bold on a band, the reader's own
// lines on a fainter band; both are mixed from the log's own text and background
// colours, so they read well whatever colours were chosen. A line that offers a file
// gets what its attachment's painter draws under it. Drawing only.
class ChatLogDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Height of a row laid out in the given width.
    int rowHeight(const QStyleOptionViewItem& option, const QModelIndex& index, int width) const;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // How pictures look, as whoever fetches them says; without it they are file cards.
    void setPictures(PictureLookup lookup) { thumbnail_.setLookup(std::move(lookup)); }

    // Text found by the find bar, marked wherever it shows; empty marks nothing.
    void setFound(const QString& text) { found_ = text; }

    static QColor mix(const QColor& from, const QColor& to, qreal amount);

    // Where a row's attachment and its two buttons are; nothing for a row without an
    // offer. The buttons are empty for the reader's own offers and for earlier ones.
    struct OfferParts : AttachmentPainter::Parts {
        fileoffer::Offer offer;
        const AttachmentPainter* painter = nullptr;
    };
    std::optional<OfferParts> offerParts(const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const;

private:
    int timeWidth(const QStyleOptionViewItem& option) const;
    // The row's words as drawn: a picture's address is left to the picture.
    QString drawnText(const QModelIndex& index) const;
    QFont rowFont(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    qreal layOut(QTextLayout& layout, qreal width) const;
    int textHeight(const QStyleOptionViewItem& option, const QModelIndex& index, int width) const;
    int headerHeight(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    // The row's text laid out in the width, shared by measuring and painting: a new
    // line is measured and then painted at once, and shaping it is the costly part.
    struct Laid {
        QString text;
        QFont font;
        int width = -1;
        std::unique_ptr<QTextLayout> layout;
        qreal height = 0;
    };
    const Laid& laidOut(const QString& text, const QFont& font, int width) const;

    QString found_;
    FileCardPainter fileCard_;
    ThumbnailPainter thumbnail_;
    mutable std::array<Laid, 4> laid_; // the rows laid out last
    mutable size_t nextLaid_ = 0;
    mutable std::optional<QFontMetrics> timeMetrics_; // what timeWidth_ was measured with
    mutable int timeWidth_ = 0;
};
