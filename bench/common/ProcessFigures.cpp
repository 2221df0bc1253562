#include "ProcessFigures.h"

#include <QDir>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PINWA_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define PINWA_ASAN 1
#endif
#ifdef PINWA_ASAN
// From the sanitizer runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace figures {

long rssKiB() {
    return rssKiB(0);
}

long rssKiB(long pid) {
    char path[64];
    if (pid > 0)
        std::snprintf(path, sizeof path, "/proc/%ld/statm", pid);
    else
        std::snprintf(path, sizeof path, "/proc/self/statm");
    FILE* f = std::fopen(path, "r");
    if (!f)
        return -1;
    long size = 0, resident = 0;
    if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
        resident = -1;
    std::fclose(f);
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

int openFds() {
    // The listing itself holds one descriptor open while it runs.
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size()) -
           1;
}

std::int64_t cpuNs() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    auto ns = [](const timeval& t) {
        return std::int64_t(t.tv_sec) * 1000000000 + t.tv_usec * 1000;
    };
    return ns(u.ru_utime) + ns(u.ru_stime);
}

std::int64_t heapBytes() {
#ifdef PINWA_ASAN
    return std::int64_t(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 m = ::mallinfo2();
    return std::int64_t(m.uordblks + m.hblkhd);
#endif
}

Percentiles percentiles(std::vector<double> sample) {
    Percentiles p;
    p.count = sample.size();
    if (sample.empty())
        return p;
    std::sort(sample.begin(), sample.end());
    auto rank = [&](double q) {
        const std::size_t i = std::size_t(std::ceil(q * double(sample.size())));
        return sample[std::min(sample.size() - 1, i == 0 ? 0 : i - 1)];
    };
    p.p50 = rank(0.50);
    p.p90 = rank(0.90);
    p.p99 = rank(0.99);
    p.max = sample.back();
    return p;
}

Child spawnSelf(const QStringList& arguments) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    QList<QByteArray> owned;
    owned.append(QByteArray("/proc/self/exe"));
    for (const QString& a : arguments)
        owned.append(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : owned)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::execv("/proc/self/exe", argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::fcntl(pipeFds[0], F_SETFL, ::fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
    return {pid, pipeFds[0]};
}

int waitChild(const Child& child) {
    int status = 0;
    while (::waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (child.out >= 0)
        ::close(child.out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool readLines(int fd, QByteArray& pending, QList<QByteArray>& lines) {
    char buffer[65536];
    bool open = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            pending.append(buffer, n);
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            open = false;
        break;
    }
    qsizetype nl;
    while ((nl = pending.indexOf('\n')) >= 0) {
        lines.append(pending.left(nl));
        pending.remove(0, nl + 1);
    }
    return open;
}

} // namespace figures
