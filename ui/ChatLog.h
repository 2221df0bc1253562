#pragma once

#include <QByteArray>
#include <QList>
#include <QPlainTextEdit>

// The chat log: keeps every line as the bytes that arrived (trailing CR included)
// beside what it displays, so a saved log is exactly what was received.
class ChatLog : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ChatLog(QWidget* parent = nullptr);

    void appendLine(const QByteArray& line);
    const QList<QByteArray>& lines() const { return lines_; }
    void clearLines();

    // The bytes written when the log is saved: every line followed by CR LF.
    QByteArray savedBytes() const;

private:
    QList<QByteArray> lines_;
};
