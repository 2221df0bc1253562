#include "SoakDriver.h"

#include "Driver.h"
#include "RawParticipant.h"
#include "protocol/Wire.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_set>

namespace {

constexpr std::int64_t Ms = 1000000;
constexpr int SendGapMs = 200;    // a participant's messages stay in separate reads
constexpr int OwedWaitMs = 10000; // a leaver waits this long for what it is owed
const QByteArray HostNick("host");

enum class State { Absent, Joining, Present, Leaving };

struct Slot {
    int index = 0;
    int generation = 0;
    State state = State::Absent;
    RawParticipant socket;
    QByteArray nick;
    qsizetype scanned = 0;
    std::int64_t lastSend = 0, leaveSince = 0, joinSince = 0;
    bool gotJoinRequest = false;
    std::unordered_set<int> owed; // ids sent while present, not yet received
    std::unordered_set<int> got;  // every id received in this generation
    // A whisper waiting for the host's answer with the target's seat.
    int whisperTarget = -1;
    std::int64_t whisperAsked = 0;
    qsizetype whisperFrom = 0;
};

struct Totals {
    long joins = 0, refusedFull = 0, joinTimeouts = 0, talks = 0, whispers = 0, leaves = 0,
         resets = 0, delivered = 0, extra = 0, duplicates = 0, lost = 0, whisperAnswersMissing = 0,
         rosterChecks = 0, rosterMismatches = 0, hostClosed = 0;
};

class Soak {
public:
    Soak(quint16 port, int count, double rate, unsigned seed)
        : port_(port), rate_(rate), random_(seed), slots_(std::size_t(count)) {
        for (int i = 0; i < count; ++i)
            slots_[std::size_t(i)].index = i;
    }

    void run(std::int64_t durationNs, std::int64_t checkpointNs);
    void everyoneLeaves();
    const Totals& totals() const { return totals_; }

private:
    void tick();
    void act();
    void poll(int timeoutMs);
    void onData(Slot& s);
    void scanIds(Slot& s);
    void startJoin(Slot& s);
    void talk(Slot& s);
    void askWhisper(Slot& s);
    void sendWhisper(Slot& s, const QByteArray& seatField);
    void beginLeave(Slot& s);
    void finishLeave(Slot& s, bool reset);
    void drop(Slot& s);
    void quiesceAndCheck();
    bool canSend(const Slot& s) const { return now() - s.lastSend >= SendGapMs * Ms; }
    static std::int64_t now() { return monotonicNs(); }
    Slot* randomPresent(const Slot* other);
    int joining() const;

    quint16 port_;
    double rate_;
    std::mt19937 random_;
    std::vector<Slot> slots_;
    driver::ReadySet set_;
    int nextId_ = 0;
    Totals totals_;
};

void Soak::startJoin(Slot& s) {
    // Non-blocking connect: a full backlog must not stall the other participants.
    s.socket.close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port_);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    s.socket.adopt(fd);
    ++s.generation;
    s.nick = "s" + QByteArray::number(s.index) + "g" + QByteArray::number(s.generation);
    s.state = State::Joining;
    s.scanned = 0;
    s.gotJoinRequest = false;
    s.owed.clear();
    s.got.clear();
    s.whisperTarget = -1;
    s.joinSince = now();
    set_.add(fd, s.index);
}

void Soak::drop(Slot& s) {
    if (s.socket.isOpen())
        set_.remove(s.socket.fd());
    s.socket.close();
    s.state = State::Absent;
    s.lastSend = now();
}

void Soak::onData(Slot& s) {
    s.socket.drain();
    if (s.state == State::Joining) {
        if (!s.gotJoinRequest && s.socket.received.startsWith(wire::joinRequest())) {
            s.gotJoinRequest = true;
            s.socket.sendAll(wire::joinReply(s.nick));
            s.lastSend = now();
        }
        if (s.socket.received.contains(wire::line(wire::kWelcome))) {
            s.state = State::Present;
            ++totals_.joins;
        } else if (s.socket.received.contains(wire::notice(wire::kRoomFull))) {
            // The seat of someone who just left may not be free at the host yet.
            ++totals_.refusedFull;
            drop(s);
            return;
        }
    }
    scanIds(s);
    if (s.whisperTarget >= 0) {
        Slot& target = slots_[std::size_t(s.whisperTarget)];
        const QByteArray head = wire::kWhisperRequest.toByteArray();
        const qsizetype at = s.socket.received.indexOf(head, s.whisperFrom);
        if (at >= 0 && s.socket.received.size() >= at + 5 &&
            s.socket.received.mid(at + 5).startsWith(target.nick))
            sendWhisper(s, s.socket.received.mid(at + 2, 3));
    }
    if (s.socket.peerClosed) {
        if (s.state == State::Present || s.state == State::Leaving) {
            ++totals_.hostClosed;
            totals_.lost += long(s.owed.size());
        } else {
            ++totals_.joinTimeouts;
        }
        drop(s);
    }
}

void Soak::scanIds(Slot& s) {
    const QByteArray& r = s.socket.received;
    for (;;) {
        qsizetype t = r.indexOf("T#", s.scanned), w = r.indexOf("W#", s.scanned);
        qsizetype at = t < 0 ? w : (w < 0 ? t : std::min(t, w));
        if (at < 0)
            break;
        const qsizetype end = r.indexOf('#', at + 2);
        if (end < 0)
            break; // the rest of this line has not arrived yet
        const int id = r.mid(at + 2, end - at - 2).toInt();
        s.scanned = end + 1;
        if (!s.got.insert(id).second) {
            ++totals_.duplicates;
            continue;
        }
        if (s.owed.erase(id))
            ++totals_.delivered;
        else
            ++totals_.extra; // sent while this one was still joining
    }
}

Slot* Soak::randomPresent(const Slot* other) {
    std::vector<Slot*> present;
    for (Slot& s : slots_)
        if (s.state == State::Present && &s != other)
            present.push_back(&s);
    if (present.empty())
        return nullptr;
    return present[std::uniform_int_distribution<std::size_t>(0, present.size() - 1)(random_)];
}

void Soak::talk(Slot& s) {
    const int id = nextId_++;
    Slot* to = randomPresent(&s);
    const QByteArray text = "T#" + QByteArray::number(id) + "# soak line";
    const QByteArray line =
        to ? wire::talkLine(s.nick, to->nick, text) : wire::selfTalkLine(s.nick, text);
    for (Slot& r : slots_)
        if (r.state == State::Present || r.state == State::Leaving)
            r.owed.insert(id);
    s.socket.sendAll(wire::line(line));
    s.lastSend = now();
    ++totals_.talks;
}

void Soak::askWhisper(Slot& s) {
    Slot* to = randomPresent(&s);
    if (!to)
        return;
    s.whisperTarget = to->index;
    s.whisperAsked = now();
    s.whisperFrom = s.socket.received.size();
    s.socket.sendAll(wire::whisperRequest(to->nick));
    s.lastSend = now();
}

void Soak::sendWhisper(Slot& s, const QByteArray& seatField) {
    Slot& target = slots_[std::size_t(s.whisperTarget)];
    s.whisperTarget = -1;
    // Only a target still connected owns that seat; one on its way out is skipped.
    if (target.state != State::Present)
        return;
    const int id = nextId_++;
    target.owed.insert(id);
    s.socket.sendAll(
        wire::whisper(seatField, wire::whisperLine(s.nick, "W#" + QByteArray::number(id) + "#")));
    s.lastSend = now();
    ++totals_.whispers;
}

void Soak::beginLeave(Slot& s) {
    s.state = State::Leaving;
    s.leaveSince = now();
}

void Soak::finishLeave(Slot& s, bool reset) {
    totals_.lost += long(s.owed.size());
    if (reset) {
        // Some leave with a reset instead of an orderly close.
        linger hard{1, 0};
        ::setsockopt(s.socket.fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ++totals_.resets;
    }
    ++totals_.leaves;
    drop(s);
}

int Soak::joining() const {
    int n = 0;
    for (const Slot& s : slots_)
        n += s.state == State::Joining;
    return n;
}

void Soak::poll(int timeoutMs) {
    for (int i : set_.wait(timeoutMs))
        onData(slots_[std::size_t(i)]);
}

void Soak::tick() {
    for (Slot& s : slots_) {
        if (s.state == State::Leaving && (s.owed.empty() || now() - s.leaveSince > OwedWaitMs * Ms))
            finishLeave(s, std::uniform_int_distribution<int>(0, 4)(random_) == 0);
        else if (s.state == State::Joining && now() - s.joinSince > 20000 * Ms) {
            ++totals_.joinTimeouts;
            drop(s);
        } else if (s.whisperTarget >= 0 && now() - s.whisperAsked > 5000 * Ms) {
            ++totals_.whisperAnswersMissing;
            s.whisperTarget = -1;
        }
    }
}

void Soak::act() {
    Slot& s = slots_[std::uniform_int_distribution<std::size_t>(0, slots_.size() - 1)(random_)];
    const int roll = std::uniform_int_distribution<int>(0, 99)(random_);
    if (s.state == State::Absent) {
        // Joins are kept few at a time: the host's listen backlog is small.
        if (joining() < 3 && canSend(s))
            startJoin(s);
    } else if (s.state == State::Present && s.whisperTarget < 0 && canSend(s)) {
        if (roll < 60)
            talk(s);
        else if (roll < 88)
            askWhisper(s);
        else
            beginLeave(s);
    }
}

void Soak::quiesceAndCheck() {
    // Let every join finish and every leaver go, with no new talk meanwhile.
    const std::int64_t until = now() + 30000 * Ms;
    for (;;) {
        poll(5);
        tick();
        bool busy = false;
        for (const Slot& s : slots_)
            busy = busy || s.state == State::Joining || s.state == State::Leaving ||
                   s.whisperTarget >= 0 || !s.owed.empty();
        if (!busy || now() > until)
            break;
    }
    // Then until nothing has arrived anywhere for 500 ms: the last roster is in.
    auto bytes = [this] {
        qsizetype n = 0;
        for (const Slot& s : slots_)
            n += s.socket.received.size();
        return n;
    };
    std::int64_t quietSince = now();
    for (qsizetype seen = bytes(); now() - quietSince < 500 * Ms && now() < until;) {
        poll(50);
        if (bytes() != seen) {
            seen = bytes();
            quietSince = now();
        }
    }
    std::set<QByteArray> expected{HostNick};
    for (const Slot& s : slots_)
        if (s.state == State::Present)
            expected.insert(s.nick);
    int mismatches = 0;
    for (const Slot& s : slots_) {
        if (s.state != State::Present)
            continue;
        const QByteArray& r = s.socket.received;
        const qsizetype at = r.lastIndexOf(wire::kRoster.toByteArray());
        qsizetype end = at < 0 ? -1 : r.indexOf('&', at + 2);
        const QByteArray text = at < 0 ? QByteArray() : r.mid(at + 2, end < 0 ? -1 : end - at - 2);
        const QList<QByteArray> names = wire::rosterLines(text);
        const std::set<QByteArray> got(names.begin(), names.end());
        if (got != expected || names.isEmpty() || names.last() != HostNick ||
            names.size() != qsizetype(got.size()))
            ++mismatches;
    }
    ++totals_.rosterChecks;
    totals_.rosterMismatches += mismatches;
    QByteArray seats("ROSTER " + QByteArray::number(expected.size() - 1));
    for (const QByteArray& n : expected)
        if (n != HostNick)
            seats += ' ' + n;
    driver::say(seats);
    driver::say("CLIENTVIEW " + QByteArray::number(mismatches));
}

void Soak::run(std::int64_t durationNs, std::int64_t checkpointNs) {
    const std::int64_t start = now(), end = start + durationNs;
    std::int64_t nextCheck = start + checkpointNs;
    std::int64_t nextAction = start;
    const std::int64_t gap = std::int64_t(1e9 / rate_);
    while (now() < end) {
        poll(2);
        tick();
        while (now() >= nextAction) {
            act();
            nextAction += gap;
        }
        if (now() >= nextCheck) {
            quiesceAndCheck();
            nextCheck = now() + checkpointNs;
            nextAction = now();
        }
    }
    quiesceAndCheck();
}

void Soak::everyoneLeaves() {
    for (Slot& s : slots_)
        if (s.state == State::Present)
            beginLeave(s);
    const std::int64_t until = now() + 60000 * Ms;
    for (;;) {
        poll(5);
        tick();
        bool anyone = false;
        for (Slot& s : slots_) {
            if (s.state == State::Joining)
                drop(s);
            anyone = anyone || s.state != State::Absent;
        }
        if (!anyone || now() > until)
            break;
    }
}

} // namespace

int soakDriverMain(const QStringList& args) {
    const quint16 port = quint16(args.value(0).toUInt());
    const double seconds = args.value(1).toDouble();
    const int count = args.value(2).toInt();
    const double rate = args.value(3).toDouble();
    const unsigned seed = args.value(4).toUInt();
    const double checkpointSeconds = args.value(5).toDouble();
    driver::say("READY");
    sleepUs(500000); // the host takes its starting figures now
    Soak soak(port, count, rate, seed);
    soak.run(std::int64_t(seconds * 1e9), std::int64_t(checkpointSeconds * 1e9));
    soak.everyoneLeaves();
    const Totals& t = soak.totals();
    driver::say(
        "TOTALS joins=" + QByteArray::number(t.joins) + " refused_full=" +
        QByteArray::number(t.refusedFull) + " joins_failed=" + QByteArray::number(t.joinTimeouts) +
        " leaves=" + QByteArray::number(t.leaves) + " resets=" + QByteArray::number(t.resets) +
        " talks=" + QByteArray::number(t.talks) + " whispers=" + QByteArray::number(t.whispers) +
        " delivered=" + QByteArray::number(t.delivered) + " extra=" + QByteArray::number(t.extra) +
        " lost=" + QByteArray::number(t.lost) + " duplicates=" + QByteArray::number(t.duplicates) +
        " whisper_answers_missing=" + QByteArray::number(t.whisperAnswersMissing) +
        " roster_checks=" + QByteArray::number(t.rosterChecks) +
        " roster_mismatches=" + QByteArray::number(t.rosterMismatches) +
        " closed_by_host=" + QByteArray::number(t.hostClosed));
    driver::say("GONE");
    return 0;
}
