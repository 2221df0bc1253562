#include "Phases.h"

#include <algorithm>
#include <sched.h>

namespace driver {

namespace {

const QByteArray kPad(" the quick brown fox jumps over the lazy dog 0123456789");

void drainReady(ReadySet& set, Participants& all, int timeoutMs, const Traffic& t) {
    for (int i : set.wait(timeoutMs)) {
        RawParticipant& p = *all[std::size_t(i)];
        p.drain();
        if (t.afterDrain)
            t.afterDrain(p);
    }
}

// One write of `lines` lines, told apart by `mark` and their index.
QByteArray batchOf(const Traffic& t, const QByteArray& mark, int lines) {
    QByteArray chunk;
    for (int j = 0; j < lines; ++j)
        chunk += t.lineBytes(mark + QByteArray::number(j) + "#" + kPad);
    return chunk;
}

// Adds what each receiver got of `mark` since the last call: the fewest any has, at most upTo.
int countReceived(Participants& all, std::vector<int>& count, QByteArrayView mark, int upTo) {
    int slowest = upTo;
    for (std::size_t i = 1; i < all.size(); ++i) {
        count[i] += takeCount(all[i]->received, mark);
        slowest = std::min(slowest, count[i]);
    }
    all[0]->received.clear();
    return slowest;
}

} // namespace

int takeCount(QByteArray& stream, QByteArrayView needle) {
    const int n = int(stream.count(needle));
    const qsizetype keep = std::min<qsizetype>(stream.size(), needle.size() - 1);
    stream.remove(0, stream.size() - keep);
    return n;
}

void latencyPhase(Participants& all, ReadySet& set, const Traffic& t, int lines, int spacingUs) {
    const std::size_t n = all.size();
    std::vector<std::int64_t> latency;
    std::vector<int> seen(n, 0);
    int lost = 0;
    say("BEGIN");
    for (int k = 0; k < lines; ++k) {
        const QByteArray mark = "T#" + QByteArray::number(k) + "#";
        std::vector<char> got(n, 0);
        int pending = int(n) - 1;
        const std::int64_t t0 = monotonicNs();
        all[0]->sendAll(t.lineBytes(mark + kPad));
        std::int64_t last = t0;
        while (pending > 0 && monotonicNs() - t0 < 5000000000LL) {
            for (int i : set.wait(100)) {
                RawParticipant& p = *all[std::size_t(i)];
                p.drain();
                if (t.afterDrain)
                    t.afterDrain(p);
                if (i > 0 && !got[std::size_t(i)] && p.received.contains(mark)) {
                    got[std::size_t(i)] = 1;
                    --pending;
                    last = monotonicNs();
                }
            }
        }
        if (pending > 0) {
            ++lost;
            QByteArray missing("MISSING " + mark);
            for (std::size_t i = 1; i < n; ++i)
                if (!got[i])
                    missing += ' ' + QByteArray::number(qulonglong(i)) +
                               (all[i]->peerClosed ? "(closed)" : "");
            say(missing);
        } else
            latency.push_back(last - t0);
        for (std::size_t i = 1; i < n; ++i)
            seen[i] += takeCount(all[i]->received, "T#");
        all[0]->received.clear();
        sleepUs(spacingUs);
    }
    say("END");
    // Late copies would show up as duplicates here.
    waitQuiet(all, 200);
    int duplicates = 0;
    for (std::size_t i = 1; i < n; ++i) {
        seen[i] += takeCount(all[i]->received, "T#");
        duplicates += std::max(0, seen[i] - lines);
    }
    QByteArray lat("LAT");
    for (std::int64_t v : latency)
        lat += ' ' + QByteArray::number(v);
    say(lat);
    say("CHECK " + QByteArray::number(lost) + ' ' + QByteArray::number(duplicates));
}

void throughputPhase(Participants& all, ReadySet& set, const Traffic& t, int batches,
                     int batchLines) {
    const std::size_t n = all.size();
    for (auto& p : all)
        p->received.clear();
    const int total = batches * batchLines;
    const int window = 8 * batchLines;
    const QByteArray chunk = batchOf(t, "U#", batchLines);
    std::vector<int> count(n, 0);
    int sent = 0;
    int slowest = 0;
    say("TBEGIN");
    const std::int64_t t0 = monotonicNs();
    while (slowest < total && monotonicNs() - t0 < 60000000000LL) {
        if (sent < total && sent - slowest < window) {
            all[0]->sendAll(chunk);
            sent += batchLines;
        }
        drainReady(set, all, sent < total && sent - slowest < window ? 0 : 100, t);
        slowest = countReceived(all, count, "U#", total);
    }
    const std::int64_t took = monotonicNs() - t0;
    say("TEND");
    say("TPUT " + QByteArray::number(slowest) + ' ' + QByteArray::number(took));
    waitQuiet(all, 200);
    int lost = 0, duplicates = 0;
    for (std::size_t i = 1; i < n; ++i) {
        count[i] += takeCount(all[i]->received, "U#");
        lost += std::max(0, total - count[i]);
        if (count[i] < total)
            say("SHORT " + QByteArray::number(qulonglong(i)) + ' ' + QByteArray::number(count[i]) +
                (all[i]->peerClosed ? " closed" : ""));
        duplicates += std::max(0, count[i] - total);
    }
    say("TCHECK " + QByteArray::number(lost) + ' ' + QByteArray::number(duplicates));
}

void oneReadPhase(Participants& all, ReadySet& set, const Traffic& t, int batches, int batchLines) {
    for (auto& p : all)
        p->received.clear();
    const QByteArray chunk = batchOf(t, "O#", batchLines);
    std::vector<int> count(all.size(), 0);
    int lost = 0;
    say("OBEGIN");
    for (int b = 0; b < batches; ++b) {
        all[0]->sendAll(chunk);
        const int want = (b + 1) * batchLines;
        const std::int64_t t0 = monotonicNs();
        int slowest = 0;
        while (slowest < want && monotonicNs() - t0 < 5000000000LL) {
            drainReady(set, all, 100, t);
            slowest = countReceived(all, count, "O#", want);
        }
        lost += want - slowest;
        if (slowest < want)
            break;
    }
    say("OEND");
    say("OCHECK " + QByteArray::number(lost));
}

void pinToCore(int core) {
    if (core < 0)
        return;
    cpu_set_t set;
    CPU_ZERO(&set);
    CPU_SET(core, &set);
    sched_setaffinity(0, sizeof set, &set);
}

} // namespace driver
