#pragma once

#include "ProcessFigures.h"

#include <QByteArray>
#include <functional>
#include <vector>

// The server side of a fanout-style benchmark: what the participants' process
// reports (see Phases.h), with the server's CPU and memory taken at each phase's ends.
namespace report {

struct Run {
    std::vector<double> latencyUs;
    std::int64_t cpuNs = 0, tputCpuNs = 0;
    int tputLines = 0;
    std::int64_t tputNs = 0;
    int joinMs = 0, lost = -1, duplicates = -1, tputLost = -1, tputDuplicates = -1;
    long rssBeforeKiB = -1, rssSeatedKiB = -1, rssEndKiB = -1; // before: set by the caller
    int lines = 0; // latency phase lines, for CPU per line
    std::int64_t oneReadCpuNs = 0;
    int oneReadLines = 0, oneReadLost = -1; // lines the one-read phase sent; set by the caller

    double p50() const { return figures::percentiles(latencyUs).p50; }
    double p99() const { return figures::percentiles(latencyUs).p99; }
    double linesPerSecond() const { return tputNs ? tputLines * 1e9 / double(tputNs) : 0; }
    double cpuPerLineUs() const { return lines ? double(cpuNs) / 1000.0 / lines : 0; }
    double batchedCpuPerLineUs() const {
        return tputLines ? double(tputCpuNs) / 1000.0 / tputLines : 0;
    }
    double oneReadCpuPerLineUs() const {
        return oneReadLines ? double(oneReadCpuNs) / 1000.0 / oneReadLines : 0;
    }
};

// Feeds one report line into a run. rss may be empty (a server in another process).
struct Collector {
    Collector(Run& r, std::function<std::int64_t()> cpu, std::function<long()> rss = {})
        : run(r), cpuNow(std::move(cpu)), rssNow(std::move(rss)) {}
    Run& run;
    std::function<std::int64_t()> cpuNow;
    std::function<long()> rssNow;
    std::int64_t mark = 0;
    void operator()(const QByteArray& line);
};

double median(std::vector<double> v);

struct Medians {
    double cpu = 0, cpuBatched = 0, p50 = 0, p99 = 0, tput = 0, joinMs = 0, rssSeated = 0,
           rssEnd = 0;
    // Growth over the run's own start, when it was noted: rounds share one process.
    double rssSeatedGrowth = 0, rssEndGrowth = 0;
    double cpuOneRead = 0;
};
Medians medians(const std::vector<Run>& runs);

} // namespace report
