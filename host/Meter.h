#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QTimer>
#include <functional>
#include <optional>

class TCustomWinSocket;

// How much each connection may send the host: a bucket of messages and one of bytes,
// refilled over time. Over budget, the host stops reading the connection until the
// buckets refill; TCP then slows the sender, and nothing it sent is lost or reordered.
// The burst is far beyond what typing or pasting reaches.
class Meter {
public:
    struct Budget {
        double messagesPerSecond = 10;
        double messageBurst = 60;
        double bytesPerSecond = 16 * 1024;
        double byteBurst = 80 * 1024;
    };

    // resume is called when a held connection's budget allows more of what it sent.
    explicit Meter(std::function<void(TCustomWinSocket*)> resume);

    void setBudget(const Budget& budget) { budget_ = budget; }

    // The connection's messages of one read, to be served in order; only while not holding.
    void take(TCustomWinSocket* connection, QList<QByteArray> messages);
    // The next message the budget allows now; nothing when none is waiting or the
    // budget is spent (a later resume then serves the rest).
    std::optional<QByteArray> next(TCustomWinSocket* connection);
    // Whether the connection must not be read now: messages wait, or its budget is spent.
    bool holding(TCustomWinSocket* connection);

    void forget(TCustomWinSocket* connection);
    void forgetAll();

private:
    struct Bucket {
        double messages = 0;
        double bytes = 0;
        qint64 filledAt = 0;
        QList<QByteArray> waiting;
        qsizetype served = 0; // of waiting
        qint64 resumeAt = 0;  // ms on clock_, or 0 when no resume is due
    };

    Bucket& bucket(TCustomWinSocket* connection);
    void refill(Bucket& b);
    void scheduleResume(Bucket& b);
    void resumeDue();
    // What one message costs in messages: the ones that make the host work hard count more.
    static double cost(const QByteArray& message);

    Budget budget_;
    std::function<void(TCustomWinSocket*)> resume_;
    QHash<TCustomWinSocket*, Bucket> buckets_;
    QElapsedTimer clock_;
    QTimer timer_; // fires at the earliest resume due
};
