#include "RawParticipant.h"

#include <QRandomGenerator>
#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::int64_t monotonicNs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void sleepUs(long microseconds) {
    timespec ts{microseconds / 1000000, (microseconds % 1000000) * 1000};
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

RawParticipant::~RawParticipant() {
    close();
}

bool RawParticipant::connectTo(quint16 port) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    // Our client sets this too: lines are tiny and must not wait for Nagle.
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close();
        return false;
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    peerClosed = false;
    received.clear();
    return true;
}

bool RawParticipant::sendAll(const QByteArray& bytes, int timeoutMs) {
    qsizetype sent = 0;
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    while (fd_ >= 0 && sent < bytes.size()) {
        const ssize_t n =
            ::send(fd_, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (monotonicNs() > deadline)
            return false;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 10);
    }
    return sent == bytes.size();
}

bool RawParticipant::drain() {
    char buffer[65536];
    while (fd_ >= 0 && !peerClosed) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0)
            received.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            peerClosed = true;
        else
            break;
    }
    return !peerClosed;
}

bool RawParticipant::waitFor(const QByteArray& needle, int timeoutMs, qsizetype from) {
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        drain();
        if (received.indexOf(needle, from) >= 0)
            return true;
        if (peerClosed || fd_ < 0)
            return false;
        const std::int64_t left = (deadline - monotonicNs()) / 1000000;
        if (left <= 0)
            return false;
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, int(left));
    }
}

void RawParticipant::adopt(int fd) {
    close();
    fd_ = fd;
    peerClosed = false;
    received.clear();
}

void RawParticipant::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

namespace {

// Binds 127.0.0.1:port (0: any) and lets it go: the port it got, or 0.
quint16 bindLoopback(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    socklen_t length = sizeof address;
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                       ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    ::close(fd);
    return bound ? ntohs(address.sin_port) : 0;
}

} // namespace

quint16 freeLoopbackPort() {
    return bindLoopback(0);
}

quint16 freeLoopbackPortPair() {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        if (bindLoopback(port) != 0 && bindLoopback(port + 1) != 0)
            return port;
    }
    return 0;
}
