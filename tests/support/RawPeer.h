#pragma once

#include <QByteArray>
#include <QList>

// A plain POSIX TCP peer on 127.0.0.1 for checking exact bytes on the wire.
// It never blocks the event loop: poll() reads whatever has arrived.
class RawPeer {
public:
    explicit RawPeer(quint16 port);
    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void send(const QByteArray& bytes);
    // Everything received so far; reading stops at the peer's close.
    const QByteArray& poll();
    // The bytes received so far, cut into the pieces individual reads returned.
    const QList<QByteArray>& reads() const { return reads_; }
    void forget() {
        received_.clear();
        reads_.clear();
    }
    bool closedByPeer();
    // Close with an RST instead of an orderly close.
    void reset();
    void close();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
    bool peerClosed_ = false;
    QByteArray received_;
    QList<QByteArray> reads_;
};

// A port on 127.0.0.1 that nothing listens on right now.
quint16 freePort();
// A port whose next one is free too, for a room and its web surface. Taken below the
// range the kernel hands to connecting sockets, so no connection made meanwhile (this
// test's own) can take the second before the host listens on it.
quint16 freePortPair();
