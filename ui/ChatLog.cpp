#include "ui/ChatLog.h"

#include "protocol/Gb.h"

#include <QEvent>
#include <algorithm>

namespace {

// Events after which the user sees or takes the display's text.
bool readsDisplay(QEvent::Type type) {
    switch (type) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::Wheel:
    case QEvent::FocusIn:
        return true;
    default:
        return false;
    }
}

} // namespace

ChatLog::ChatLog(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
    flushTimer_.setSingleShot(true);
    connect(&flushTimer_, &QTimer::timeout, this, &ChatLog::flushDisplay);
}

void ChatLog::appendLine(const QByteArray& line) {
    lines_.append(line);
    if (lines_.size() - shown_ >= kMaxPendingLines) {
        flushDisplay();
        return;
    }
    if (flushTimer_.isActive())
        return;
    const qint64 since = sinceFlush_.isValid() ? sinceFlush_.elapsed() : kQuietMs;
    // An empty display shows at once too, so a selection made now has text to take.
    if (since >= kQuietMs || document()->isEmpty())
        flushDisplay();
    else
        flushTimer_.start(int(std::max<qint64>(0, kDisplayIntervalMs - since)));
}

void ChatLog::flushDisplay() {
    flushTimer_.stop();
    if (shown_ >= lines_.size())
        return;
    sinceFlush_.start();
    QString shown;
    for (qsizetype i = shown_; i < lines_.size(); ++i) {
        if (i > shown_)
            shown.append(QLatin1Char('\n'));
        // Each line is decoded on its own, as it arrived.
        shown.append(gb::toDisplay(lines_[i]));
    }
    // A CR would show as a box; the bytes keep it.
    shown.remove(QLatin1Char('\r'));
    shown_ = lines_.size();
    appendPlainText(shown);
}

void ChatLog::clearLines() {
    lines_.clear();
    shown_ = 0;
    flushTimer_.stop();
    sinceFlush_.invalidate();
    clear();
}

QByteArray ChatLog::savedBytes() const {
    QByteArray out;
    qsizetype size = 0;
    for (const QByteArray& line : lines_)
        size += line.size() + 2;
    out.reserve(size);
    for (const QByteArray& line : lines_)
        out.append(line).append("\r\n");
    return out;
}

bool ChatLog::event(QEvent* event) {
    if (readsDisplay(event->type()))
        flushDisplay();
    return QPlainTextEdit::event(event);
}

bool ChatLog::viewportEvent(QEvent* event) {
    if (readsDisplay(event->type()))
        flushDisplay();
    return QPlainTextEdit::viewportEvent(event);
}

QMimeData* ChatLog::createMimeDataFromSelection() const {
    // A copy right after an append takes the line too; a selection reaching the
    // end grows with the text added there.
    const_cast<ChatLog*>(this)->flushDisplay();
    return QPlainTextEdit::createMimeDataFromSelection();
}
