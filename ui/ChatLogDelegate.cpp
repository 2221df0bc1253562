#include "ui/ChatLogDelegate.h"

#include "protocol/LineKind.h"
#include "ui/ChatLogModel.h"

#include <QDateTime>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {

constexpr int kGap = 6;  // between the time column and the line
constexpr int kEdge = 3; // left of the time column; the band's bar is this wide

wire::LineKind kindOf(const QModelIndex& index) {
    return wire::LineKind(index.data(ChatLogModel::KindRole).toInt());
}

} // namespace

QColor ChatLogDelegate::mix(const QColor& from, const QColor& to, qreal amount) {
    const auto channel = [amount](int a, int b) { return int(std::lround(a + (b - a) * amount)); };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

int ChatLogDelegate::timeWidth(const QStyleOptionViewItem& option) const {
    return kEdge + option.fontMetrics.horizontalAdvance(QStringLiteral("00:00")) + kGap;
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

int ChatLogDelegate::rowHeight(const QStyleOptionViewItem& option, const QModelIndex& index,
                               int width) const {
    QTextLayout layout(index.data().toString(), rowFont(option, index));
    const qreal textWidth = std::max(width - timeWidth(option), 8);
    return std::max(int(std::ceil(layOut(layout, textWidth))), option.fontMetrics.height());
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
    const QRect r = option.rect;
    painter->save();
    if (selected)
        painter->fillRect(r, option.palette.color(QPalette::Highlight));
    else if (kind == wire::LineKind::ToMe)
        painter->fillRect(r, mix(base, text, 0.14));
    else if (kind == wire::LineKind::Own)
        painter->fillRect(r, mix(base, text, 0.06));
    if (kind == wire::LineKind::ToMe)
        painter->fillRect(QRect(r.left(), r.top(), kEdge - 1, r.height()), text);
    const QColor ink = selected ? option.palette.color(QPalette::HighlightedText) : text;

    const QString time =
        index.data(ChatLogModel::ArrivedRole).toDateTime().toString(QStringLiteral("HH:mm"));
    painter->setFont(option.font);
    painter->setPen(mix(ink, selected ? option.palette.color(QPalette::Highlight) : base, 0.45));
    painter->drawText(QRect(r.left() + kEdge, r.top(), timeWidth(option), r.height()),
                      Qt::AlignLeft | Qt::AlignTop, time);

    const QString shown = index.data().toString();
    QTextLayout layout(shown, rowFont(option, index));
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
    layout.setFormats(marks);
    const int left = timeWidth(option);
    layOut(layout, std::max(r.width() - left, 8));
    painter->setPen(ink);
    layout.draw(painter, QPointF(r.left() + left, r.top()));
    painter->restore();
}
