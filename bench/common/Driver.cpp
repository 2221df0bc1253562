#include "Driver.h"

#include "protocol/Wire.h"

#include <cstdio>
#include <sys/epoll.h>
#include <unistd.h>

namespace driver {

bool join(RawParticipant& p, quint16 port, const QByteArray& nickname, int timeoutMs) {
    if (!p.connectTo(port))
        return false;
    if (!p.waitFor(wire::joinRequest(), timeoutMs))
        return false;
    const qsizetype from = p.received.size();
    if (!p.sendAll(wire::joinReply(nickname)))
        return false;
    return p.waitFor(wire::line(wire::kWelcome), timeoutMs, from);
}

void waitQuiet(Participants& all, int quietMs, int maxMs) {
    ReadySet set;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i]->isOpen())
            set.add(all[i]->fd(), int(i));
    const std::int64_t end = monotonicNs() + std::int64_t(maxMs) * 1000000;
    std::int64_t last = monotonicNs();
    while (monotonicNs() < end && monotonicNs() - last < std::int64_t(quietMs) * 1000000) {
        const QList<int> ready = set.wait(quietMs);
        for (int i : ready) {
            all[std::size_t(i)]->drain();
            if (all[std::size_t(i)]->peerClosed)
                set.remove(all[std::size_t(i)]->fd());
        }
        if (!ready.isEmpty())
            last = monotonicNs();
    }
}

ReadySet::ReadySet() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

ReadySet::~ReadySet() {
    ::close(epoll_);
}

void ReadySet::add(int fd, int index) {
    epoll_event e{};
    e.events = EPOLLIN;
    e.data.u32 = std::uint32_t(index);
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e);
}

void ReadySet::remove(int fd) {
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

QList<int> ReadySet::wait(int timeoutMs) {
    epoll_event events[256];
    const int n = ::epoll_wait(epoll_, events, 256, timeoutMs);
    QList<int> ready;
    for (int i = 0; i < n; ++i)
        ready.append(int(events[i].data.u32));
    return ready;
}

void say(const QByteArray& line) {
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace driver
