#pragma once

#include <QByteArray>
#include <cstdint>

// One participant as a plain non-blocking POSIX socket on 127.0.0.1, with
// everything it has received kept as one stream.
class RawParticipant {
public:
    RawParticipant() = default;
    ~RawParticipant();
    RawParticipant(const RawParticipant&) = delete;
    RawParticipant& operator=(const RawParticipant&) = delete;

    // Blocking connect (bounded by the kernel's own retries), then non-blocking.
    bool connectTo(quint16 port);
    int fd() const { return fd_; }
    // Takes over a socket connected (or connecting) elsewhere.
    void adopt(int fd);
    bool isOpen() const { return fd_ >= 0; }
    // Sends all bytes, waiting for buffer space at most timeoutMs.
    bool sendAll(const QByteArray& bytes, int timeoutMs = 5000);
    // Reads whatever is pending; returns false once the peer has closed.
    bool drain();
    // Waits until the stream contains needle (searched from `from`), at most timeoutMs.
    bool waitFor(const QByteArray& needle, int timeoutMs, qsizetype from = 0);
    void close();

    QByteArray received;
    bool peerClosed = false;

private:
    int fd_ = -1;
};

std::int64_t monotonicNs();
void sleepUs(long microseconds);
// A port on 127.0.0.1 that nothing listens on right now.
quint16 freeLoopbackPort();
// A port whose next one is free too, for a room and its web surface: below the range the
// kernel hands connecting sockets, so the participants of a round before cannot hold the
// second.
quint16 freeLoopbackPortPair();
