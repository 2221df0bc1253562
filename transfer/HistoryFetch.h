#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QWebSocket>

// A desktop copy asking the host's web surface (room port + 1) for the talk the
// room kept, once it holds a seat: the same proof as its uploads. A host without
// a web surface or without a record, or one that never answers, yields nothing.
class HistoryFetch : public QObject {
    Q_OBJECT
public:
    struct Line {
        QDateTime arrived;
        QByteArray message; // "&S" + line, or "&G" + notice, as the room relayed it
    };
    // Beyond these the answer is not believed and the fetch gives up.
    static constexpr int kMaxLines = 10000;
    static constexpr int kWaitMs = 10000;

    HistoryFetch(const QString& hostAddress, quint16 webPort, quint16 seatPort,
                 QObject* parent = nullptr);
    ~HistoryFetch() override;

signals:
    // The room keeps its talk: what it kept, oldest first (possibly nothing).
    void received(const QList<HistoryFetch::Line>& lines);
    // No answer worth showing; nothing is said about it.
    void nothing();

private:
    void message(const QString& text);
    void finish(bool got);

    QWebSocket socket_;
    QTimer deadline_;
    QList<Line> lines_;
    quint16 seatPort_;
    bool over_ = false;
};
