#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

class RoomView;
class TCustomWinSocket;

// Sends on behalf of one handler and everything it re-enters. A failed send must
// not stop a loop over the seats, and must not unwind through the socket layer's
// own events; the first failure is reported once, after the outermost handler.
// What a connection's buffer cannot take yet waits here, in order, until it drains,
// so a slow reader gets whole messages and never holds up the others.
// A message that a receiver cannot cut from what follows it (a whisper, a roster, a
// notice: anything not ending in CR) is followed by a short quiet time on its connection.
// While a Batch is open, the lines for a connection are held and leave in one send.
class SendErrors {
public:
    // When a reader is let go: it took nothing for stallMs while data waited, or what
    // waits for it grew far beyond what metered senders cause.
    struct Limits {
        qsizetype maxBacklog = 8 * 1024 * 1024;
        int stallMs = 30000;
    };
    // As long as a whisper window keeps its own whispers apart, and as the host's own
    // pauses keep other messages apart.
    static constexpr int kWhisperQuietMs = 200;
    static constexpr int kQuietMs = 100;

    explicit SendErrors(RoomView& view);

    void setLimits(const Limits& limits) { limits_ = limits; }

    // Takes one send's bytes as one read, for a connection whose reader is in this process.
    using LocalReader = std::function<void(QByteArrayView read)>;
    // What is sent to that connection goes to the reader instead of the kernel: the room
    // treats it as any seat, and the reader sees each send as a read of its own.
    void deliverLocally(TCustomWinSocket* connection, LocalReader reader);

    // Returns the bytes the connection took now (the rest waits), or -1 when it failed.
    int send(TCustomWinSocket* connection, const QByteArray& message);
    // The last message before the connection is closed: nothing follows it, so no quiet
    // time holds it back.
    void sendLast(TCustomWinSocket* connection, const QByteArray& message);
    // The connection can take more: its write event.
    void drained(TCustomWinSocket* connection);
    // The connection is gone; what waited for it is dropped.
    void forget(TCustomWinSocket* connection);
    void forgetAll();

    // Marks a handler; the report goes out when the outermost one ends.
    class Scope {
    public:
        explicit Scope(SendErrors& errors);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SendErrors& errors_;
    };

    // Marks the handling of one read: the "&S" lines it relays to a connection are
    // held and sent together when the outermost Batch ends. Only lines ending in CR
    // are joined, since a receiver splits a read only at CR followed by a code;
    // anything else sends what is held for that connection first, then itself alone.
    class Batch {
    public:
        explicit Batch(SendErrors& errors);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SendErrors& errors_;
    };

private:
    // Bytes of the held store, [from, to).
    struct Range {
        qsizetype from;
        qsizetype to;
    };

    // What waits for one connection, in order.
    struct Quiet {
        qsizetype end; // in bytes
        int ms;
    };
    struct Outbox {
        QByteArray bytes;
        QList<Quiet> quietAfter; // ends of messages that a quiet time follows
        qint64 quietUntil = 0;   // in a quiet time until then (ms on clock_), or 0
        qint64 lastTaken = 0;    // when the connection last took bytes, or the wait began
        qsizetype rosterAt = -1; // where a roster starts that ends bytes, or -1
    };

    static bool joinsBatch(const QByteArray& message);
    int sendNow(TCustomWinSocket* connection, QByteArrayView message);
    static int quietAfter(QByteArrayView message);
    int queue(TCustomWinSocket* connection, Outbox& outbox, QByteArrayView message, int quiet);
    void letGo(TCustomWinSocket* connection);
    // Sends what waits, up to the next quiet time; forgets an outbox that is done.
    void pump(TCustomWinSocket* connection);
    void startQuiet(Outbox& outbox, int ms);
    void quietEnded();
    void hold(TCustomWinSocket* connection, const QByteArray& message);
    void release(TCustomWinSocket* connection);
    void releaseAll();

    // Bytes taken, or -1 when the send raised (the connection has then left).
    qsizetype write(TCustomWinSocket* connection, QByteArrayView bytes);
    void flush();

    RoomView& view_;
    int depth_ = 0;
    std::optional<QString> first_;
    Limits limits_;
    QHash<TCustomWinSocket*, Outbox> backlog_;
    QHash<TCustomWinSocket*, LocalReader> local_;
    QElapsedTimer clock_;
    QTimer quiet_; // fires when the earliest quiet time ends

    int batchDepth_ = 0;
    // Each held line is stored once, however many seats it goes to; a seat holds
    // ranges of this store, usually one that grows line by line.
    QByteArray heldBytes_;
    QByteArray lastHeld_; // kept, so that no other message can reuse its address
    qsizetype lastHeldAt_ = 0;
    QHash<TCustomWinSocket*, QList<Range>> held_;
    // Connections in the order their first held line came: seat order for a relay.
    QList<TCustomWinSocket*> heldOrder_;
};
