#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <optional>

class RoomView;
class TCustomWinSocket;

// Sends on behalf of one handler and everything it re-enters. A failed send must
// not stop a loop over the seats, and must not unwind through the socket layer's
// own events; the first failure is reported once, after the outermost handler.
// What a connection's buffer cannot take yet waits here, in order, until it drains,
// so a slow reader gets whole messages and never holds up the others.
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
    void forget(TCustomWinSocket* connection) { backlog_.remove(connection); }
    void forgetAll() { backlog_.clear(); }

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

private:
    // Bytes taken, or -1 when the send raised (the connection has then left).
    qsizetype write(TCustomWinSocket* connection, const QByteArray& bytes);
    void flush();

    RoomView& view_;
    int depth_ = 0;
    std::optional<QString> first_;
    QHash<TCustomWinSocket*, QByteArray> backlog_;
};
