#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QPlainTextEdit>
#include <QTimer>

// The chat log: keeps every line as the bytes that arrived (trailing CR included)
// beside what it displays, so a saved log is exactly what was received.
// The bytes are stored at once. A line after a quiet spell is shown at once; in a
// busy room the display takes the lines that arrived meanwhile in one edit, at
// most every kDisplayIntervalMs, so it is laid out and painted about ten times a
// second and not once per line. Input that reads the display (keys, mouse, copy)
// brings it up to date first.
class ChatLog : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit ChatLog(QWidget* parent = nullptr);

    static constexpr int kDisplayIntervalMs = 100;
    static constexpr int kQuietMs = 250;
    // A flood is shown in pieces this big, so no single update stalls the loop.
    static constexpr int kMaxPendingLines = 1000;

    void appendLine(const QByteArray& line);
    const QList<QByteArray>& lines() const { return lines_; }
    void clearLines();

    // The bytes written when the log is saved: every line followed by CR LF.
    QByteArray savedBytes() const;

    // Shows the lines not shown yet; runs by itself soon after an append.
    void flushDisplay();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    QList<QByteArray> lines_;
    qsizetype shown_ = 0; // lines_ from here on still wait for the display
    QTimer flushTimer_;
    QElapsedTimer sinceFlush_;
};
