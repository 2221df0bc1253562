#include "FanoutDriver.h"

#include "Driver.h"
#include "IrcParticipant.h"
#include "protocol/Wire.h"

#include <algorithm>
#include <sched.h>

namespace {

enum class Mode { Host, Floor, Irc };

struct Plan {
    Mode mode = Mode::Host;
    quint16 port = 0;
    int n = 0;
    int lines = 0;
    int spacingUs = 0;
    int batches = 0;
    int batchLines = 0;
};

QByteArray nickname(int i) {
    return "p" + QByteArray::number(i).rightJustified(3, '0');
}

const QByteArray kPad(" the quick brown fox jumps over the lazy dog 0123456789");

// What participant 0 writes for one line of text.
QByteArray lineBytes(Mode mode, const QByteArray& text) {
    if (mode == Mode::Irc)
        return irc::privmsg(text);
    return wire::line(wire::talkLine(nickname(0), "host", text));
}

// The byte that ends every relayed line the participants receive.
char lineEnd(Mode mode) {
    return mode == Mode::Irc ? '\n' : wire::CR;
}

bool joinAll(const Plan& plan, driver::Participants& all) {
    for (int i = 0; i < plan.n; ++i) {
        auto p = std::make_unique<RawParticipant>();
        bool ok = false;
        if (plan.mode == Mode::Host)
            ok = driver::join(*p, plan.port, nickname(i));
        else if (plan.mode == Mode::Irc)
            ok = irc::join(*p, plan.port, nickname(i));
        else
            ok = p->connectTo(plan.port);
        if (!ok) {
            driver::say("ERROR join " + QByteArray::number(i));
            return false;
        }
        all.push_back(std::move(p));
    }
    return true;
}

void drainReady(driver::ReadySet& set, driver::Participants& all, int timeoutMs, Mode mode) {
    for (int i : set.wait(timeoutMs)) {
        RawParticipant& p = *all[std::size_t(i)];
        p.drain();
        if (mode == Mode::Irc && p.received.contains("PING "))
            irc::answerPings(p);
    }
}

// One line at a time, spaced: the time until all others have it.
void latencyPhase(const Plan& plan, driver::Participants& all, driver::ReadySet& set) {
    std::vector<std::int64_t> latency;
    std::vector<int> seen(std::size_t(plan.n), 0);
    int lost = 0;
    driver::say("BEGIN");
    for (int k = 0; k < plan.lines; ++k) {
        const QByteArray mark = "T#" + QByteArray::number(k) + "#";
        std::vector<char> got(std::size_t(plan.n), 0);
        int pending = plan.n - 1;
        const std::int64_t t0 = monotonicNs();
        all[0]->sendAll(lineBytes(plan.mode, mark + kPad));
        std::int64_t last = t0;
        while (pending > 0 && monotonicNs() - t0 < 5000000000LL) {
            for (int i : set.wait(100)) {
                RawParticipant& p = *all[std::size_t(i)];
                p.drain();
                if (i > 0 && !got[std::size_t(i)] && p.received.contains(mark)) {
                    got[std::size_t(i)] = 1;
                    --pending;
                    last = monotonicNs();
                }
            }
        }
        if (pending > 0)
            ++lost;
        else
            latency.push_back(last - t0);
        for (int i = 1; i < plan.n; ++i) {
            RawParticipant& p = *all[std::size_t(i)];
            seen[std::size_t(i)] += int(p.received.count("T#"));
            p.received.clear();
        }
        all[0]->received.clear();
        sleepUs(plan.spacingUs);
    }
    driver::say("END");
    // Late copies would show up as duplicates here.
    driver::waitQuiet(all, 200);
    int duplicates = 0;
    for (int i = 1; i < plan.n; ++i) {
        seen[std::size_t(i)] += int(all[std::size_t(i)]->received.count("T#"));
        duplicates += std::max(0, seen[std::size_t(i)] - plan.lines);
    }
    QByteArray lat("LAT");
    for (std::int64_t v : latency)
        lat += ' ' + QByteArray::number(v);
    driver::say(lat);
    driver::say("CHECK " + QByteArray::number(lost) + ' ' + QByteArray::number(duplicates));
}

// Participant 0 writes batchLines lines per write, as fast as the slowest
// receiver keeps up (at most 8 writes ahead of it): lines per second reaching all others.
void throughputPhase(const Plan& plan, driver::Participants& all, driver::ReadySet& set) {
    for (auto& p : all)
        p->received.clear();
    const int total = plan.batches * plan.batchLines;
    const int window = 8 * plan.batchLines;
    QByteArray chunk;
    for (int j = 0; j < plan.batchLines; ++j)
        chunk += lineBytes(plan.mode, "U#" + QByteArray::number(j) + "#" + kPad);
    std::vector<int> count(std::size_t(plan.n), 0);
    int sent = 0;
    int slowest = 0;
    driver::say("TBEGIN");
    const std::int64_t t0 = monotonicNs();
    while (slowest < total && monotonicNs() - t0 < 60000000000LL) {
        if (sent < total && sent - slowest < window) {
            all[0]->sendAll(chunk);
            sent += plan.batchLines;
        }
        drainReady(set, all, sent < total && sent - slowest < window ? 0 : 100, plan.mode);
        slowest = total;
        for (int i = 1; i < plan.n; ++i) {
            RawParticipant& p = *all[std::size_t(i)];
            count[std::size_t(i)] += int(p.received.count(lineEnd(plan.mode)));
            p.received.clear();
            slowest = std::min(slowest, count[std::size_t(i)]);
        }
        all[0]->received.clear();
    }
    const std::int64_t took = monotonicNs() - t0;
    driver::say("TEND");
    driver::say("TPUT " + QByteArray::number(slowest) + ' ' + QByteArray::number(took));
}

void pinToCore(int core) {
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    sched_setaffinity(0, sizeof set, &set);
}

} // namespace

int fanoutDriverMain(const QStringList& args) {
    Plan plan;
    const QString mode = args.value(0);
    plan.mode = mode == QLatin1String("irc")     ? Mode::Irc
                : mode == QLatin1String("floor") ? Mode::Floor
                                                 : Mode::Host;
    plan.port = quint16(args.value(1).toUInt());
    plan.n = args.value(2).toInt();
    plan.lines = args.value(3).toInt();
    plan.spacingUs = args.value(4).toInt();
    plan.batches = args.value(5).toInt();
    plan.batchLines = args.value(6).toInt();
    if (args.value(7).toInt() >= 0)
        pinToCore(args.value(7).toInt());

    driver::Participants all;
    const std::int64_t joinStart = monotonicNs();
    if (!joinAll(plan, all))
        return 1;
    // The host's last roster follows its last welcome by its 100 ms pause.
    driver::waitQuiet(all, 400);
    driver::say("JOINED " + QByteArray::number((monotonicNs() - joinStart) / 1000000));
    for (auto& p : all)
        p->received.clear();
    driver::ReadySet set;
    for (int i = 0; i < plan.n; ++i)
        set.add(all[std::size_t(i)]->fd(), i);
    latencyPhase(plan, all, set);
    throughputPhase(plan, all, set);
    return 0;
}
