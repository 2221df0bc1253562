#pragma once

#include <QStyledItemDelegate>

class QComboBox;

// The rows of the picture set chooser: 16 pixels high, plain text 2 pixels from the
// left edge.
class ChooserRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    static constexpr int rowHeight = 16;
    static constexpr int textIndent = 2;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Gives com1 its seven items and row drawing, with no item selected.
void setUpSetChooser(QComboBox* com1);
