#include "appearance/SetChooser.h"

#include "appearance/PictureSets.h"

#include <QComboBox>
#include <QPainter>

void ChooserRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->fillRect(opt.rect, opt.palette.brush(selected ? QPalette::Highlight : QPalette::Base));
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    painter->drawText(opt.rect.adjusted(textIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                      opt.text);
    painter->restore();
}

QSize ChooserRowDelegate::sizeHint(const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    return QSize(opt.fontMetrics.horizontalAdvance(opt.text) + 2 * textIndent, rowHeight);
}

void setUpSetChooser(QComboBox* com1) {
    com1->setEditable(false);
    com1->setItemDelegate(new ChooserRowDelegate(com1));
    for (int n = 0; n < PictureSets::setCount; ++n)
        com1->addItem(PictureSets::itemText(n));
    // Adding the first item selected it; as built nothing is selected.
    com1->setCurrentIndex(-1);
}
