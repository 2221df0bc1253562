#include "HostProbe.h"

#include "ProcessFigures.h"

#include <QDir>
#include <cstdio>
#include <unistd.h>

long rssKiBOf(int pid) {
    FILE* f =
        std::fopen(QByteArray("/proc/" + QByteArray::number(pid) + "/statm").constData(), "r");
    if (f == nullptr)
        return -1;
    long size = 0, resident = 0;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
        resident = -1;
    std::fclose(f);
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int fdsOf(int pid) {
    return int(
        QDir(QStringLiteral("/proc/%1/fd").arg(pid)).entryList(QDir::Files | QDir::System).size());
}

Seen seenIn(Samples& s, const Window& w) {
    const std::lock_guard hold(s.lock);
    auto inside = [&](std::int64_t at) { return at >= w.from && at <= w.to; };
    Seen seen;
    std::vector<double> loadMs, lineMs;
    for (const auto& l : s.loads) {
        if (!inside(l.at))
            continue;
        ++seen.loads;
        // A refused or missing answer counts against the page, and its wait is a wait too.
        loadMs.push_back(l.ms);
        seen.loads200 += l.status == 200;
    }
    for (const auto& t : s.seats) {
        if (!inside(t.at))
            continue;
        ++seen.seatsTried;
        seen.seated += t.seated;
        seen.refused503 += t.upgrade == 503;
    }
    for (const auto& l : s.lines) {
        if (!inside(l.at))
            continue;
        ++seen.linesSent;
        if (l.ms >= 0) {
            ++seen.linesGot;
            lineMs.push_back(l.ms);
        }
    }
    bool first = true;
    for (const auto& p : s.proc) {
        if (!inside(p.at))
            continue;
        if (first) {
            seen.rssFirst = seen.rssPeak = p.rssKiB;
            seen.fdsFirst = seen.fdsPeak = p.fds;
            first = false;
        }
        seen.rssPeak = std::max(seen.rssPeak, p.rssKiB);
        seen.fdsPeak = std::max(seen.fdsPeak, p.fds);
        seen.rssLast = p.rssKiB;
        seen.fdsLast = p.fds;
    }
    const figures::Percentiles load = figures::percentiles(loadMs);
    const figures::Percentiles line = figures::percentiles(lineMs);
    seen.loadP50 = load.p50;
    seen.loadP99 = load.p99;
    seen.loadMax = load.max;
    seen.lineP50 = line.p50;
    seen.lineP99 = line.p99;
    seen.lineMax = line.max;
    return seen;
}
