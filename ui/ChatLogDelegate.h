#pragma once

#include <QStyledItemDelegate>

class QTextLayout;

// Draws one chat-log row: the arrival time in a narrow column, then the line,
// wrapped to the width. Lines to the reader are bold on a band, the reader's own
// lines on a fainter band; both are mixed from the log's own text and background
// colours, so they read well whatever colours were chosen. Drawing only.
class ChatLogDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Height of a row laid out in the given width.
    int rowHeight(const QStyleOptionViewItem& option, const QModelIndex& index, int width) const;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Text found by the find bar, marked wherever it shows; empty marks nothing.
    void setFound(const QString& text) { found_ = text; }

    static QColor mix(const QColor& from, const QColor& to, qreal amount);

private:
    int timeWidth(const QStyleOptionViewItem& option) const;
    QFont rowFont(const QStyleOptionViewItem& option, const QModelIndex& index) const;
    qreal layOut(QTextLayout& layout, qreal width) const;

    QString found_;
};
