#include "ui/ChatLog.h"

#include "ui/ChatLogDelegate.h"
#include "ui/ChatLogModel.h"
#include "ui/FindBar.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <algorithm>

namespace {

// Heights of rows seen lately; more than this and the cache starts afresh.
constexpr int kHeightCacheRows = 4096;

} // namespace

// Repaints only when what it shows changes. In a long log every new line grows the range
// while the handle stays where it is, at the bottom and at its shortest; repainting it (and
// the group box behind it) for every line cost more than drawing the line.
class ChatLogScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

    // Range and value in one step, so that the moment between them (a longer range, the
    // handle not yet at its end) is never painted.
    void setSpan(int maximum, int value) {
        holding_ = true;
        setRange(0, maximum);
        setValue(value);
        holding_ = false;
        if (look() != painted_)
            update();
    }

protected:
    void sliderChange(SliderChange change) override {
        if (change != SliderOrientationChange && (holding_ || look() == painted_))
            return;
        QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent* event) override {
        painted_ = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect handle;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look look() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider,
                                        this),
                value() == minimum(), value() == maximum()};
    }
    bool holding_ = false;
    Look painted_;
};

ChatLog::ChatLog(QWidget* parent)
    : QListView(parent), model_(new ChatLogModel(this)), delegate_(new ChatLogDelegate(this)),
      bar_(new ChatLogScrollBar(Qt::Vertical, this)), marker_(new QToolButton(this)),
      findBar_(new FindBar(this)) {
    setVerticalScrollBar(bar_);
    setModel(model_);
    setItemDelegate(delegate_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setWordWrap(true);
    setMouseTracking(true);

    marker_->setObjectName(QStringLiteral("newLines"));
    marker_->setToolTip(QStringLiteral("转到最新 (End)"));
    marker_->setFocusPolicy(Qt::NoFocus);
    marker_->hide();
    connect(marker_, &QToolButton::clicked, this, &ChatLog::scrollToLatest);
    frameTimer_.setSingleShot(true);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        // Painted now rather than on another turn of the loop: one wake-up less per line.
        if (relayoutPending_)
            relayout(Paint::Now);
    });

    auto* find = new QShortcut(QKeySequence::Find, this);
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, this, &ChatLog::openFind);
    connect(findBar_, &FindBar::textChanged, this, &ChatLog::findChanged);
    connect(findBar_, &FindBar::step, this, &ChatLog::findStep);
    connect(findBar_, &FindBar::closed, this, &ChatLog::closeFind);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!extendingAll_)
            allSelected_ = false;
    });
}

void ChatLog::appendLine(const QByteArray& line) {
    model_->append(line);
}

void ChatLog::appendEarlier(const QByteArray& line, const QDateTime& arrived) {
    model_->appendEarlier(line, arrived.toSecsSinceEpoch());
}

void ChatLog::insertEarlier(int row, const QList<std::pair<QByteArray, QDateTime>>& lines) {
    QList<ChatLogModel::Earlier> earlier;
    earlier.reserve(lines.size());
    for (const auto& [line, arrived] : lines)
        earlier.append({line, arrived.toSecsSinceEpoch()});
    model_->insertEarlier(row, earlier);
    // Rows below moved: what was measured or found by row is measured again.
    forgetHeights();
    if (!findText_.isEmpty())
        findChanged(findText_);
}

qsizetype ChatLog::lineCount() const {
    return model_->store().size();
}

QList<QByteArray> ChatLog::lines() const {
    QList<QByteArray> out;
    const LineStore& store = model_->store();
    out.reserve(store.size());
    for (qsizetype row = 0; row < store.size(); ++row)
        out.append(store.line(row).toByteArray());
    return out;
}

void ChatLog::clearLines() {
    model_->clear();
    allSelected_ = false;
    forgetHeights();
    unseen_ = 0;
    following_ = true;
    found_.clear();
    foundAt_ = -1;
    findBar_->showCount(-1, 0);
    relayout();
}

QByteArray ChatLog::savedBytes() const {
    return model_->store().savedBytes();
}

void ChatLog::setOwnNickname(const QByteArray& nickname) {
    model_->setOwnNickname(nickname);
}

void ChatLog::copy() {
    QList<QItemSelectionRange> ranges = selectionModel()->selection();
    if (ranges.isEmpty())
        return;
    std::sort(ranges.begin(), ranges.end(),
              [](const auto& a, const auto& b) { return a.top() < b.top(); });
    QStringList taken;
    int next = 0; // rows below this are taken already
    for (const QItemSelectionRange& range : ranges) {
        for (int row = std::max(range.top(), next); row <= range.bottom(); ++row)
            taken.append(model_->text(row));
        next = std::max(next, range.bottom() + 1);
    }
    QGuiApplication::clipboard()->setText(taken.join(QLatin1Char('\n')));
}

void ChatLog::selectAll() {
    QListView::selectAll();
    allSelected_ = true;
}

void ChatLog::scrollToLatest() {
    following_ = true;
    relayout();
}

// ---- layout: rows from the scroll bar's value down to the viewport's bottom

int ChatLog::heightOf(int row) const {
    // Heights depend on the width the rows wrap to (and the font, which forgets them).
    if (heightsWidth_ != viewport()->width()) {
        heights_.clear();
        heightsWidth_ = viewport()->width();
    }
    const auto cached = heights_.constFind(row);
    if (cached != heights_.constEnd())
        return *cached;
    if (heights_.size() >= kHeightCacheRows)
        heights_.clear();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int height = delegate_->rowHeight(option, model_->index(row), viewport()->width());
    heights_.insert(row, height);
    return height;
}

int ChatLog::lineStep() const {
    return std::max(1, fontMetrics().lineSpacing());
}

const QList<ChatLog::Shown>& ChatLog::shownRows() const {
    if (shownValid_)
        return shown_;
    shown_.clear();
    const int rows = model_->rowCount();
    const int bottom = viewport()->height();
    int y = 0;
    for (int row = verticalScrollBar()->value(); row < rows && y < bottom; ++row) {
        const int height = heightOf(row);
        shown_.append({row, y, height});
        y += height;
    }
    shownValid_ = true;
    return shown_;
}

int ChatLog::topForBottom(int row) const {
    const int room = viewport()->height();
    int used = 0;
    for (int top = row; top >= 0; --top) {
        used += heightOf(top);
        if (used > room)
            return std::min(top + 1, row);
    }
    return 0;
}

int ChatLog::rowAtY(int y) const {
    const QList<Shown>& shown = shownRows();
    const int top = verticalScrollBar()->value();
    const int last = model_->rowCount() - 1;
    if (shown.isEmpty() || y < 0)
        return std::clamp(top + (y - lineStep() + 1) / lineStep(), 0, std::max(last, 0));
    for (const Shown& s : shown) {
        if (y < s.top + s.height)
            return s.row;
    }
    const Shown& end = shown.constLast();
    return std::min(last, end.row + 1 + (y - end.top - end.height) / lineStep());
}

void ChatLog::relayout(Paint paint) {
    relayoutPending_ = false;
    shownValid_ = false;
    const int rows = model_->rowCount();
    const int maxTop = rows > 0 ? topForBottom(rows - 1) : 0;
    adjusting_ = true;
    bar_->setSingleStep(1);
    bar_->setPageStep(std::max(1, viewport()->height() / lineStep() - 1));
    bar_->setSpan(maxTop, following_ ? maxTop : std::min(bar_->value(), maxTop));
    adjusting_ = false;
    shownValid_ = false;
    following_ = bar_->value() >= maxTop;
    if (following_)
        unseen_ = 0;
    updateMarker();
    repaintAfterLayout(paint);
}

void ChatLog::repaintAfterLayout(Paint paint) {
    if (viewport()->testAttribute(Qt::WA_WState_InPaintEvent)) {
        viewport()->update();
        return;
    }
    const auto dirty = [this, paint](const QRect& rect) {
        if (paint == Paint::Now)
            viewport()->repaint(rect);
        else
            viewport()->update(rect);
    };
    // Following a busy room, the rows on screen only move up: move their pixels and paint
    // just the rows that came in, not every row on screen for every line.
    const int top = bar_->value();
    const int width = viewport()->width();
    const int height = viewport()->height();
    if (painted_.isEmpty() || paintedWidth_ != width || top < painted_.constFirst().row) {
        dirty(viewport()->rect());
        return;
    }
    int shift = -1;   // how far the row now on top moves up
    int complete = 0; // bottom of the rows that were painted whole
    for (const Shown& s : painted_) {
        if (s.row == top)
            shift = s.top;
        if (s.top + s.height <= height)
            complete = s.top + s.height;
    }
    if (shift < 0) {
        dirty(viewport()->rect());
        return;
    }
    painted_.clear(); // until the next paint, only the whole-viewport fallback is safe
    if (shift > 0)
        viewport()->scroll(0, -shift);
    const int fresh = std::max(0, complete - shift);
    if (fresh < height)
        dirty(QRect(0, fresh, width, height - fresh));
}

void ChatLog::scheduleRelayout() {
    if (relayoutPending_)
        return;
    relayoutPending_ = true;
    // At most once a frame, however many lines the reads of a busy room bring; a
    // line after a quiet spell goes on screen on the next turn of the loop, after
    // whatever the read that brought it still has to do (the host's relay first).
    const qint64 since = sincePaint_.isValid() ? sincePaint_.elapsed() : kFrameMs;
    frameTimer_.start(int(std::max<qint64>(0, kFrameMs - since)));
}

void ChatLog::forgetHeights() {
    heights_.clear();
    painted_.clear();
    shownValid_ = false;
}

void ChatLog::updateGeometries() {
    relayout();
    placeOverlays();
    QAbstractItemView::updateGeometries();
}

void ChatLog::doItemsLayout() {
    shownValid_ = false;
    QAbstractItemView::doItemsLayout();
}

void ChatLog::resizeEvent(QResizeEvent* event) {
    forgetHeights();
    QAbstractItemView::resizeEvent(event);
    placeOverlays();
}

void ChatLog::scrollContentsBy(int, int) {
    shownValid_ = false;
    if (adjusting_)
        return; // the layout that moved the bar repaints what it changed
    viewport()->update();
    following_ = verticalScrollBar()->value() >= verticalScrollBar()->maximum();
    if (following_ && unseen_ > 0) {
        unseen_ = 0;
        updateMarker();
    }
}

void ChatLog::rowsInserted(const QModelIndex& parent, int start, int end) {
    QAbstractItemView::rowsInserted(parent, start, end);
    // Select-all stays all: a copy right after lines arrived takes them too. One range,
    // not one per arrival, so that painting a selected row stays cheap.
    if (allSelected_) {
        extendingAll_ = true;
        selectionModel()->select(QItemSelection(model_->index(0), model_->index(end)),
                                 QItemSelectionModel::ClearAndSelect);
        extendingAll_ = false;
    }
    if (!following_) {
        unseen_ += end - start + 1;
        updateMarker();
    }
    if (!findBytes_.isEmpty()) {
        for (int row = start; row <= end; ++row) {
            if (matches(row))
                found_.append(row);
        }
        findBar_->showCount(foundAt_, int(found_.size()));
    }
    scheduleRelayout();
    announceRows(start, end);
}

void ChatLog::announceRows(int start, int end) {
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface* log = QAccessible::queryAccessibleInterface(this);
    QAccessibleTableInterface* table = log != nullptr ? log->tableInterface() : nullptr;
    if (table == nullptr)
        return;
    // A reader is told of each new row as a new child of the log, which it can read at
    // once; a burst of lines tells only its last few.
    for (int row = std::max(start, end - 15); row <= end; ++row) {
        if (QAccessibleInterface* cell = table->cellAt(row, 0)) {
            QAccessibleEvent created(cell, QAccessible::ObjectCreated);
            QAccessible::updateAccessibility(&created);
        }
    }
}

// ---- the item view's geometry, over the rows on screen

QRect ChatLog::visualRect(const QModelIndex& index) const {
    if (!index.isValid())
        return {};
    for (const Shown& s : shownRows()) {
        if (s.row == index.row())
            return QRect(0, s.top, viewport()->width(), s.height);
    }
    return {};
}

QModelIndex ChatLog::indexAt(const QPoint& point) const {
    for (const Shown& s : shownRows()) {
        if (point.y() >= s.top && point.y() < s.top + s.height)
            return model_->index(s.row);
    }
    return {};
}

void ChatLog::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid())
        return;
    if (relayoutPending_)
        relayout();
    const int row = index.row();
    int top = verticalScrollBar()->value();
    switch (hint) {
    case PositionAtTop:
        top = row;
        break;
    case PositionAtBottom:
        top = topForBottom(row);
        break;
    case PositionAtCenter:
        top = std::max(0, row - viewport()->height() / lineStep() / 2);
        break;
    case EnsureVisible: {
        const QRect shown = visualRect(index);
        if (row < top)
            top = row;
        else if (!shown.isValid() || shown.bottom() >= viewport()->height())
            top = topForBottom(row);
        break;
    }
    }
    verticalScrollBar()->setValue(top);
}

int ChatLog::verticalOffset() const {
    // Whole lines: what the view's drag selection needs to follow a scroll.
    return verticalScrollBar()->value() * lineStep();
}

QModelIndex ChatLog::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = model_->rowCount();
    if (rows == 0)
        return {};
    const int current = currentIndex().isValid() ? currentIndex().row() : -1;
    const int from = current >= 0 ? current : verticalScrollBar()->value();
    const int page = std::max(1, int(shownRows().size()) - 1);
    int row = from;
    switch (action) {
    case MoveUp:
    case MovePrevious:
        row = current >= 0 ? from - 1 : from;
        break;
    case MoveDown:
    case MoveNext:
        row = current >= 0 ? from + 1 : from;
        break;
    case MovePageUp:
        row = from - page;
        break;
    case MovePageDown:
        row = from + page;
        break;
    case MoveHome:
        row = 0;
        break;
    case MoveEnd:
        row = rows - 1;
        break;
    default:
        break;
    }
    return model_->index(std::clamp(row, 0, rows - 1));
}

void ChatLog::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) {
    if (model_->rowCount() == 0)
        return;
    const int first = rowAtY(rect.top());
    const int last = rowAtY(rect.bottom());
    selectionModel()->select(
        QItemSelection(model_->index(std::min(first, last)), model_->index(std::max(first, last))),
        flags);
}

QRegion ChatLog::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    for (const Shown& s : shownRows()) {
        for (const QItemSelectionRange& range : selection) {
            if (s.row >= range.top() && s.row <= range.bottom()) {
                region += QRect(0, s.top, viewport()->width(), s.height);
                break;
            }
        }
    }
    return region;
}

QModelIndexList ChatLog::selectedIndexes() const {
    return selectionModel()->selectedIndexes();
}

// ---- drawing and keys

void ChatLog::paintEvent(QPaintEvent* event) {
    if (relayoutPending_)
        relayout();
    sincePaint_.start();
    QPainter painter(viewport());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex current = currentIndex();
    painted_ = shownRows();
    paintedWidth_ = viewport()->width();
    for (const Shown& s : shownRows()) {
        option.rect = QRect(0, s.top, viewport()->width(), s.height);
        if (!event->rect().intersects(option.rect))
            continue;
        const QModelIndex index = model_->index(s.row);
        option.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        if (selectionModel()->isSelected(index))
            option.state |= QStyle::State_Selected;
        delegate_->paint(&painter, option, index);
        if (index == current && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }
}

void ChatLog::keyPressEvent(QKeyEvent* event) {
    if (event == QKeySequence::Copy) {
        copy();
        event->accept();
        return;
    }
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    if (!shift && event->key() == Qt::Key_End) {
        scrollToLatest();
        return;
    }
    if (!shift && event->key() == Qt::Key_Home) {
        verticalScrollBar()->setValue(0);
        return;
    }
    if (event->key() == Qt::Key_Escape && findBar_->isVisible()) {
        closeFind();
        return;
    }
    // Space presses an offer's entry as it presses a button (Enter goes to the input line).
    if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier &&
        currentIndex().isValid() && openOfferMenu(currentIndex().row()))
        return;
    QAbstractItemView::keyPressEvent(event);
}

std::optional<ChatLogDelegate::OfferParts> ChatLog::partsOf(int row) const {
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex index = model_->index(row);
    option.rect = visualRect(index);
    if (option.rect.isEmpty())
        return std::nullopt;
    return delegate_->offerParts(option, index);
}

QRect ChatLog::offerButton(int row, bool saveAs) const {
    const auto parts = partsOf(row);
    return !parts ? QRect() : saveAs ? parts->saveAs : parts->receive;
}

QRect ChatLog::pictureRect(int row) const {
    const auto parts = partsOf(row);
    return parts && parts->opens ? parts->box : QRect();
}

void ChatLog::setPictures(std::function<PictureLook(const QString&)> lookup) {
    model_->setPictures(lookup);
    delegate_->setPictures(std::move(lookup));
    attachmentsChanged();
}

void ChatLog::attachmentsChanged() {
    forgetHeights();
    scheduleRelayout();
    viewport()->update();
}

int ChatLog::offerButtonAt(const QPoint& point, int* row) const {
    const QModelIndex index = indexAt(point);
    if (!index.isValid())
        return 0;
    *row = index.row();
    const auto parts = partsOf(*row);
    return !parts                                       ? 0
           : parts->receive.contains(point)             ? 1
           : parts->saveAs.contains(point)              ? 2
           : parts->opens && parts->box.contains(point) ? 3
                                                        : 0;
}

void ChatLog::mousePressEvent(QMouseEvent* event) {
    int row = -1;
    const int button =
        event->button() == Qt::LeftButton ? offerButtonAt(event->position().toPoint(), &row) : 0;
    if (button == 0) {
        QListView::mousePressEvent(event);
        return;
    }
    setCurrentIndex(model_->index(row));
    const QByteArray line = model_->store().line(row).toByteArray();
    if (button == 3)
        emit pictureOpened(line);
    else
        emit fileChosen(line, button == 2);
    event->accept();
}

void ChatLog::mouseMoveEvent(QMouseEvent* event) {
    int row = -1;
    if (offerButtonAt(event->position().toPoint(), &row) != 0)
        viewport()->setCursor(Qt::PointingHandCursor);
    else
        viewport()->unsetCursor();
    QListView::mouseMoveEvent(event);
}

bool ChatLog::openOfferMenu(int row) {
    const auto parts = partsOf(row);
    if (parts && parts->opens) {
        emit pictureOpened(model_->store().line(row).toByteArray());
        return true;
    }
    if (!parts || !parts->receive.isValid())
        return false;
    delete offerMenu_;
    offerMenu_ = new QMenu(this);
    offerMenu_->setObjectName(QStringLiteral("offerMenu"));
    offerMenu_->setAttribute(Qt::WA_DeleteOnClose);
    const QByteArray line = model_->store().line(row).toByteArray();
    // The file's name in each item, so a screen reader says what is taken.
    offerMenu_->addAction(QStringLiteral("接收 %1").arg(parts->offer.name), this,
                          [this, line] { emit fileChosen(line, false); });
    offerMenu_->addAction(QStringLiteral("另存为..."), this,
                          [this, line] { emit fileChosen(line, true); });
    offerMenu_->popup(viewport()->mapToGlobal(parts->box.bottomLeft()));
    offerMenu_->setActiveAction(offerMenu_->actions().constFirst());
    return true;
}

bool ChatLog::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Escape closes an open find bar, not the window.
        if (findBar_->isVisible() && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            event->accept();
            return true;
        }
        break;
    case QEvent::FontChange:
    case QEvent::StyleChange:
        forgetHeights();
        scheduleRelayout();
        break;
    default:
        break;
    }
    return QListView::event(event);
}
