#include "FloorRelay.h"

#include "ProcessFigures.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <set>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

int openListener(quint16& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    ::listen(fd, 128);
    return fd;
}

void runFloorRelay(int listener, int stopFd, const std::function<void(const QByteArray&)>& onLine) {
    const int ep = ::epoll_create1(EPOLL_CLOEXEC);
    auto watch = [&](int fd) {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = fd;
        ::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &e);
    };
    watch(listener);
    watch(stopFd);
    std::set<int> connections;
    QByteArray pending;
    char buffer[65536];
    bool running = true;
    while (running) {
        epoll_event events[128];
        const int n = ::epoll_wait(ep, events, 128, -1);
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == listener) {
                int c;
                while ((c = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >=
                       0) {
                    // The same option the host's layer sets on every accepted connection.
                    const int one = 1;
                    ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                    connections.insert(c);
                    watch(c);
                }
            } else if (fd == stopFd) {
                QList<QByteArray> lines;
                running = figures::readLines(stopFd, pending, lines);
                for (const QByteArray& line : lines)
                    onLine(line);
            } else {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0) {
                    ::epoll_ctl(ep, EPOLL_CTL_DEL, fd, nullptr);
                    ::close(fd);
                    connections.erase(fd);
                    continue;
                }
                for (int c : connections)
                    ::send(c, buffer, size_t(got), MSG_NOSIGNAL);
            }
        }
    }
    for (int c : connections)
        ::close(c);
    ::close(ep);
}
