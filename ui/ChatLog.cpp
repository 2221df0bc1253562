#include "ui/ChatLog.h"

#include "protocol/Gb.h"

ChatLog::ChatLog(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setUndoRedoEnabled(false);
}

void ChatLog::appendLine(const QByteArray& line) {
    lines_.append(line);
    // A CR would show as a box; the bytes keep it.
    QString shown = gb::toDisplay(line);
    shown.remove(QLatin1Char('\r'));
    appendPlainText(shown);
}

void ChatLog::clearLines() {
    lines_.clear();
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
