#include "ui/ChatLogDelegate.h"

#include "protocol/Attachment.h"
#include "protocol/LineKind.h"
#include "ui/ChatLogModel.h"

#include <QAbstractScrollArea>
#include <QDateTime>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTextLayout>
#include <cmath>

namespace {

constexpr int kGap = 6;  // between the time column and the line
constexpr int kEdge = 3; // left of the time column; the band's bar is this wide
constexpr int kPad = 4;  // around an attachment

wire::LineKind kindOf(const QModelIndex& index) {
    return wire::LineKind(index.data(ChatLogModel::KindRole).toInt());
}

bool isEarlier(const QModelIndex& index) {
    return index.data(ChatLogModel::EarlierRole).toBool();
}

} // namespace

QColor ChatLogDelegate::mix(const QColor& from, const QColor& to, qreal amount) {
    const auto channel = [amount](int a, int b) { return int(std::lround(a + (b - a) * amount)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

int ChatLogDelegate::timeWidth(const QStyleOptionViewItem& option) const {
    // Asked for every row laid out or painted; measuring text is not free.
    if (!timeMetrics_ || !(*timeMetrics_ == option.fontMetrics)) {
        timeMetrics_ = option.fontMetrics;
        timeWidth_ = kEdge + option.fontMetrics.horizontalAdvance(QStringLiteral("00:00")) + kGap;
    }
    return timeWidth_;
}

QFont ChatLogDelegate::rowFont(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QFont font = option.font;
    if (kindOf(index) == wire::LineKind::ToMe)
        font.setBold(true);
    return font;
}

qreal ChatLogDelegate::layOut(QTextLayout& layout, qreal width) const {
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    qreal y = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    layout.endLayout();
    return y;
}

const ChatLogDelegate::Laid& ChatLogDelegate::laidOut(const QString& text, const QFont& font,
                                                      int width) const {
    for (const Laid& laid : laid_) {
        if (laid.width == width && laid.text == text && laid.font == font)
            return laid;
    }
    Laid& laid = laid_[nextLaid_];
    nextLaid_ = (nextLaid_ + 1) % laid_.size();
    laid.text = text;
    laid.font = font;
    laid.width = width;
    laid.layout = std::make_unique<QTextLayout>(text, font);
    laid.height = layOut(*laid.layout, width);
    return laid;
}

QString ChatLogDelegate::drawnText(const QModelIndex& index) const {
    const QString text = index.data().toString();
    const auto* model = qobject_cast<const ChatLogModel*>(index.model());
    if (model == nullptr || model->attachment(index.row()) != attachment::Kind::Picture)
        return text;
    // The picture stands for its address, which would take more lines than the words
    // in a small log; the bytes, a copy and a saved log keep it.
    const auto offer = model->offer(index.row());
    const qsizetype at = offer ? text.lastIndexOf(offer->url) : -1;
    return at > 0 ? text.left(at).trimmed() : text;
}

int ChatLogDelegate::textHeight(const QStyleOptionViewItem& option, const QModelIndex& index,
                                int width) const {
    const int textWidth = std::max(width - timeWidth(option), 8);
    const qreal height = laidOut(drawnText(index), rowFont(option, index), textWidth).height;
    return std::max(int(std::ceil(height)), option.fontMetrics.height());
}

int ChatLogDelegate::headerHeight(const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const {
    return index.data(ChatLogModel::HeaderRole).toString().isEmpty()
               ? 0
               : option.fontMetrics.height() + 2 * kPad;
}

int ChatLogDelegate::rowHeight(const QStyleOptionViewItem& option, const QModelIndex& index,
                               int width) const {
    QStyleOptionViewItem at = option;
    at.rect = QRect(0, 0, width, 0);
    const auto parts = offerParts(at, index);
    return headerHeight(option, index) + textHeight(option, index, width) +
           (parts ? parts->box.height() + kPad : 0);
}

std::optional<ChatLogDelegate::OfferParts>
ChatLogDelegate::offerParts(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const auto* model = qobject_cast<const ChatLogModel*>(index.model());
    if (model == nullptr || model->attachment(index.row()) == attachment::Kind::None)
        return std::nullopt;
    const auto offer = model->offer(index.row());
    if (!offer)
        return std::nullopt;
    const QRect r = option.rect;
    const int left = r.left() + timeWidth(option);
    const int top =
        r.top() + headerHeight(option, index) + textHeight(option, index, r.width()) + kPad / 2;
    OfferParts parts;
    parts.offer = *offer;
    parts.painter = model->attachment(index.row()) == attachment::Kind::Picture
                        ? static_cast<const AttachmentPainter*>(&thumbnail_)
                        : &fileCard_;
    // What was offered before this session is gone with its room: no buttons.
    const bool buttons = kindOf(index) != wire::LineKind::Own && !isEarlier(index);
    // A row never outgrows the log: what is under the text gets the rest of its height.
    const auto* view = qobject_cast<const QAbstractScrollArea*>(option.widget);
    const int tall = view != nullptr ? view->viewport()->height() - (top - r.top()) - 2 * kPad
                                     : std::numeric_limits<int>::max();
    const QSize room(r.right() - left - kPad, std::max(tall, 48));
    static_cast<AttachmentPainter::Parts&>(parts) =
        parts.painter->place(option, *offer, QPoint(left, top), room, buttons);
    return parts;
}

QSize ChatLogDelegate::sizeHint(const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    return QSize(option.rect.width(), rowHeight(option, index, option.rect.width()));
}

void ChatLogDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QColor base = option.palette.color(QPalette::Base);
    const QColor text = option.palette.color(QPalette::Text);
    const bool selected = option.state & QStyle::State_Selected;
    const wire::LineKind kind = kindOf(index);
    painter->save();
    const int header = headerHeight(option, index);
    if (header > 0) {
        painter->setPen(mix(text, base, 0.5));
        painter->setFont(option.font);
        const QRect band(option.rect.left(), option.rect.top(), option.rect.width(), header);
        painter->drawLine(band.left() + kEdge, band.center().y(), band.right() - kEdge,
                          band.center().y());
        const QString word =
            QStringLiteral(" %1 ").arg(index.data(ChatLogModel::HeaderRole).toString());
        const int w = option.fontMetrics.horizontalAdvance(word) + 2 * kPad;
        const QRect label(band.center().x() - w / 2, band.top(), w, header);
        painter->fillRect(label, base);
        painter->drawText(label, Qt::AlignCenter, word);
    }
    const QRect r = option.rect.adjusted(0, header, 0, 0);
    if (selected)
        painter->fillRect(r, option.palette.color(QPalette::Highlight));
    else if (kind == wire::LineKind::ToMe)
        painter->fillRect(r, mix(base, text, 0.14));
    else if (kind == wire::LineKind::Own)
        painter->fillRect(r, mix(base, text, 0.06));
    if (kind == wire::LineKind::ToMe)
        painter->fillRect(QRect(r.left(), r.top(), kEdge - 1, r.height()), text);
    QColor ink = selected ? option.palette.color(QPalette::HighlightedText) : text;
    if (isEarlier(index) && !selected)
        ink = mix(ink, base, 0.4); // said before this session: there, but quieter

    const QString time =
        index.data(ChatLogModel::ArrivedRole).toDateTime().toString(QStringLiteral("HH:mm"));
    painter->setFont(option.font);
    painter->setPen(mix(ink, selected ? option.palette.color(QPalette::Highlight) : base, 0.45));
    painter->drawText(QRect(r.left() + kEdge, r.top(), timeWidth(option), r.height()),
                      Qt::AlignLeft | Qt::AlignTop, time);

    const QString shown = drawnText(index);
    QList<QTextLayout::FormatRange> marks;
    if (!found_.isEmpty()) {
        QTextLayout::FormatRange mark;
        mark.format.setBackground(mix(base, option.palette.color(QPalette::Highlight), 0.45));
        mark.length = int(found_.size());
        for (qsizetype at = shown.indexOf(found_, 0, Qt::CaseInsensitive); at >= 0;
             at = shown.indexOf(found_, at + found_.size(), Qt::CaseInsensitive)) {
            mark.start = int(at);
            marks.append(mark);
        }
    }
    const int left = timeWidth(option);
    const int width = std::max(r.width() - left, 8);
    const QPointF at(r.left() + left, r.top());
    painter->setPen(ink);
    if (marks.isEmpty()) {
        laidOut(shown, rowFont(option, index), width).layout->draw(painter, at);
    } else {
        QTextLayout layout(shown, rowFont(option, index));
        layout.setFormats(marks);
        layOut(layout, width);
        layout.draw(painter, at);
    }
    if (const auto parts = offerParts(option, index))
        parts->painter->paint(painter, option, parts->offer, *parts, ink);
    painter->restore();
}
