#pragma once

#include "ui/ChatLogDelegate.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <functional>

struct PictureLook;

class ChatLogScrollBar;
class ChatLogModel;
class FindBar;
class QToolButton;

// The chat log: keeps every line as the bytes that arrived (trailing CR included),
// so a saved or copied log is exactly what was received, and shows them as a list
// view whose cost follows what is on screen, not what is stored: rows are decoded,
// laid out (wrapped to the width) and painted only while visible. It scrolls by
// whole lines; while scrolled up, new lines leave the view where it is and a marker
// counts them. Ctrl+F opens a find bar over it. A line offering a file shows 接收 and
// 另存为; Space on it opens the same two as a menu. A picture shows as a thumbnail that
// a click or Space opens whole.
class ChatLog : public QListView {
    Q_OBJECT

public:
    explicit ChatLog(QWidget* parent = nullptr);

    static constexpr int kFrameMs = 16;

    void appendLine(const QByteArray& line);
    // A line said before this session, kept by the room: drawn dimmed, under its date.
    void appendEarlier(const QByteArray& line, const QDateTime& arrived);
    // The same for lines that came after this session began: put above `row`.
    void insertEarlier(int row, const QList<std::pair<QByteArray, QDateTime>>& lines);
    qsizetype lineCount() const;
    QList<QByteArray> lines() const;
    void clearLines();
    // The bytes written when the log is saved: every line followed by CR LF.
    QByteArray savedBytes() const;

    // Whose lines are the reader's own and which are addressed to them, for the
    // lines that arrive from now on.
    void setOwnNickname(const QByteArray& nickname);

    // Copies the selected lines, whole, as shown; nothing when nothing is selected.
    void copy();

    // Lines that arrived while the view was scrolled up and were not seen yet.
    int unseenLines() const { return unseen_; }
    void scrollToLatest();

    FindBar* findBar() const { return findBar_; }
    void openFind();

    // Lines that arrive after a select-all are selected too, until the selection changes.
    void selectAll() override;

    // The offer menu Space opens on a line offering a file, while it is open.
    QMenu* offerMenu() const { return offerMenu_; }
    // Where a shown row's 接收 or 另存为 is drawn, in the viewport; empty for none.
    QRect offerButton(int row, bool saveAs) const;
    // Where a shown row's picture is drawn, when it shows as one; empty otherwise.
    QRect pictureRect(int row) const;

    void setPictures(std::function<PictureLook(const QString& token)> lookup);
    // A picture came in or went: rows are measured again.
    void attachmentsChanged();

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;
    // Typing in the log jumps nowhere: matching by prefix would decode every line.
    void keyboardSearch(const QString&) override {}

signals:
    // 接收 (saveAs false) or 另存为 chosen on the line with these bytes.
    void fileChosen(const QByteArray& line, bool saveAs);
    // A picture's thumbnail clicked, or Space on its row.
    void pictureOpened(const QByteArray& line);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void updateGeometries() override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags flags) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    QModelIndexList selectedIndexes() const override;
    bool isIndexHidden(const QModelIndex&) const override { return false; }

private:
    struct Shown {
        int row;
        int top;
        int height;
    };
    const QList<Shown>& shownRows() const;
    int heightOf(int row) const;
    int topForBottom(int row) const;
    int rowAtY(int y) const;
    int lineStep() const;
    enum class Paint { Later, Now };
    void relayout(Paint paint = Paint::Later);
    void repaintAfterLayout(Paint paint);
    void scheduleRelayout();
    void forgetHeights();
    void placeOverlays();
    void updateMarker();
    void announceRows(int start, int end);
    // The offer's part under a point: 0 none, 1 接收, 2 另存为, 3 the picture.
    int offerButtonAt(const QPoint& point, int* row) const;
    std::optional<ChatLogDelegate::OfferParts> partsOf(int row) const;
    bool openOfferMenu(int row);

    void findChanged(const QString& text);
    void findStep(int direction);
    void closeFind();
    bool matches(int row) const;

    ChatLogModel* model_;
    ChatLogDelegate* delegate_;
    ChatLogScrollBar* bar_;
    QToolButton* marker_;
    FindBar* findBar_;
    QPointer<QMenu> offerMenu_;
    mutable QHash<int, int> heights_;
    mutable int heightsWidth_ = -1;
    QList<Shown> painted_; // the rows as the last paint laid them out
    int paintedWidth_ = -1;
    mutable QList<Shown> shown_;
    mutable bool shownValid_ = false;
    bool relayoutPending_ = false;
    QTimer frameTimer_;
    QElapsedTimer sincePaint_;
    bool adjusting_ = false;
    bool following_ = true;
    int unseen_ = 0;
    bool allSelected_ = false;
    bool extendingAll_ = false; // our own select, not the user's
    QString findText_;
    QByteArray findBytes_;         // ASCII letters folded to lower case
    bool findUnencodable_ = false; // the text has a character GB2312 lacks
    QList<int> found_;
    int foundAt_ = -1;
};
