#pragma once

#include "RawParticipant.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <vector>

// The participant side of a benchmark, in a process of its own: plain sockets
// and an epoll set, no Qt event loop.
namespace driver {

using Participants = std::vector<std::unique_ptr<RawParticipant>>;

// Joins one participant the way our client does: wait for "&U", answer with the
// nickname, wait for the welcome. False when the host refused or did not answer.
bool join(RawParticipant& p, quint16 port, const QByteArray& nickname, int timeoutMs = 10000);

// Reads every participant until none has received anything for quietMs.
void waitQuiet(Participants& all, int quietMs, int maxMs = 30000);

// Level-triggered epoll set over participants; wait() returns the ready indexes.
class ReadySet {
public:
    ReadySet();
    ~ReadySet();
    ReadySet(const ReadySet&) = delete;
    ReadySet& operator=(const ReadySet&) = delete;
    void add(int fd, int index);
    void remove(int fd);
    QList<int> wait(int timeoutMs);

private:
    int epoll_ = -1;
};

// One line per figure on stdout, flushed at once so the parent sees it.
void say(const QByteArray& line);

} // namespace driver
