#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <optional>

class RoomView;
class TCustomWinSocket;

// Sends on behalf of one handler and everything it re-enters. A failed send must
// not stop a loop over the seats, and must not unwind through the socket layer's
// own events; the first failure is reported once, after the outermost handler.
// What a connection's buffer cannot take yet waits here, in order, until it drains,
// so a slow reader gets whole messages and never holds up the others.
// While a Batch is open, the lines for a connection are held and leave in one send.
class SendErrors {
public:
    // A reader this far behind is not reading at all; it is let go.
    static constexpr qsizetype kMaxBacklog = 512 * 1024;

    explicit SendErrors(RoomView& view) : view_(view) {}

    // Returns the bytes the connection took now (the rest waits), or -1 when it failed.
    int send(TCustomWinSocket* connection, const QByteArray& message);
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

    static bool joinsBatch(const QByteArray& message);
    int sendNow(TCustomWinSocket* connection, QByteArrayView message);
    void hold(TCustomWinSocket* connection, const QByteArray& message);
    void release(TCustomWinSocket* connection);
    void releaseAll();

    // Bytes taken, or -1 when the send raised (the connection has then left).
    qsizetype write(TCustomWinSocket* connection, QByteArrayView bytes);
    void flush();

    RoomView& view_;
    int depth_ = 0;
    std::optional<QString> first_;
    QHash<TCustomWinSocket*, QByteArray> backlog_;

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
