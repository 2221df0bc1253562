#include "RawPeer.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QRandomGenerator>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

RawPeer::RawPeer(quint16 port) {
    // Non-blocking from the start: the host accepts only when the event loop runs.
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawPeer::~RawPeer() {
    close();
}

void RawPeer::send(const QByteArray& bytes) {
    qsizetype sent = 0;
    QDeadlineTimer deadline(10000);
    while (fd_ >= 0 && sent < bytes.size() && !deadline.hasExpired()) {
        const ssize_t n = ::send(fd_, bytes.constData() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += n;
        else if (n < 0 && errno != EAGAIN && errno != EINTR && errno != ENOTCONN)
            break;
        else // not connected yet, or the host's buffer is full: let the host run
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

const QByteArray& RawPeer::poll() {
    char buffer[65536];
    while (fd_ >= 0 && !peerClosed_) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            received_.append(buffer, n);
            reads_.append(QByteArray(buffer, n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR && errno != ENOTCONN)) {
            peerClosed_ = true;
        } else {
            break;
        }
    }
    return received_;
}

bool RawPeer::closedByPeer() {
    poll();
    return peerClosed_;
}

void RawPeer::reset() {
    if (fd_ < 0)
        return;
    linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

void RawPeer::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

namespace {

// The port bound on 127.0.0.1 (0 for any), with the reuse the host's server asks for;
// 0 when it cannot be had.
quint16 bindLoopback(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
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

quint16 freePortPair() {
    // Linux hands connecting sockets ports from 32768 up unless told otherwise.
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(20000 + QRandomGenerator::global()->bounded(12000));
        if (bindLoopback(port) && bindLoopback(port + 1))
            return port;
    }
    return freePort();
}

quint16 freePort() {
    return bindLoopback(0);
}
