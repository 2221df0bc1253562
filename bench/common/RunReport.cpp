#include "RunReport.h"

#include <QList>
#include <algorithm>
#include <cstdio>

namespace report {

void Collector::operator()(const QByteArray& line) {
    const QList<QByteArray> f = line.split(' ');
    if (f[0] == "JOINED") {
        run.joinMs = f.value(1).toInt();
        if (rssNow)
            run.rssSeatedKiB = rssNow();
    } else if (f[0] == "BEGIN" || f[0] == "TBEGIN" || f[0] == "OBEGIN") {
        mark = cpuNow();
    } else if (f[0] == "END") {
        run.cpuNs = cpuNow() - mark;
    } else if (f[0] == "OEND") {
        run.oneReadCpuNs = cpuNow() - mark;
    } else if (f[0] == "OCHECK") {
        run.oneReadLost = f.value(1).toInt();
    } else if (f[0] == "TEND") {
        run.tputCpuNs = cpuNow() - mark;
        if (rssNow)
            run.rssEndKiB = rssNow();
    } else if (f[0] == "LAT") {
        for (int i = 1; i < f.size(); ++i)
            run.latencyUs.push_back(f[i].toDouble() / 1000.0);
    } else if (f[0] == "TPUT") {
        run.tputLines = f.value(1).toInt();
        run.tputNs = f.value(2).toLongLong();
    } else if (f[0] == "CHECK") {
        run.lost = f.value(1).toInt();
        run.duplicates = f.value(2).toInt();
    } else if (f[0] == "TCHECK") {
        run.tputLost = f.value(1).toInt();
        run.tputDuplicates = f.value(2).toInt();
    } else {
        std::fprintf(stderr, "driver: %s\n", line.constData());
    }
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

Medians medians(const std::vector<Run>& runs) {
    std::vector<double> cpu, cpuB, p50, p99, tput, join, rssS, rssE, growS, growE, cpuO;
    for (const Run& r : runs) {
        cpuO.push_back(r.oneReadCpuPerLineUs());
        cpu.push_back(r.cpuPerLineUs());
        cpuB.push_back(r.batchedCpuPerLineUs());
        p50.push_back(r.p50());
        p99.push_back(r.p99());
        tput.push_back(r.linesPerSecond());
        join.push_back(r.joinMs);
        rssS.push_back(double(r.rssSeatedKiB));
        rssE.push_back(double(r.rssEndKiB));
        growS.push_back(double(r.rssSeatedKiB - r.rssBeforeKiB));
        growE.push_back(double(r.rssEndKiB - r.rssBeforeKiB));
    }
    return {median(cpu),  median(cpuB), median(p50),   median(p99),   median(tput), median(join),
            median(rssS), median(rssE), median(growS), median(growE), median(cpuO)};
}

} // namespace report
