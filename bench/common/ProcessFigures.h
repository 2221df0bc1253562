#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <vector>

// Figures of this process and helpers shared by the benchmarks.
namespace figures {

// Resident set size in KiB, from /proc/self/statm.
long rssKiB();
// The same of another process (0: this one).
long rssKiB(long pid);
// Open file descriptors, from /proc/self/fd.
int openFds();
// User + system CPU time of this process in nanoseconds.
std::int64_t cpuNs();
// Heap bytes in use: the sanitizer allocator's count under ASan, else mallinfo2.
std::int64_t heapBytes();

struct Percentiles {
    double p50 = 0, p90 = 0, p99 = 0, max = 0;
    std::size_t count = 0;
};
// Nearest-rank percentiles of a sample, in the sample's unit.
Percentiles percentiles(std::vector<double> sample);

// A child running this same executable with the given arguments; its stdout is `out`.
struct Child {
    int pid = -1;
    int out = -1;
};
Child spawnSelf(const QStringList& arguments);
int waitChild(const Child& child);

// Reads whole lines from a non-blocking descriptor; returns false at end of file.
bool readLines(int fd, QByteArray& pending, QList<QByteArray>& lines);

} // namespace figures
