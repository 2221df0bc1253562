// Public-talk fanout: the real host window against N raw participants in another
// process, and our own minimal epoll relay (the floor) under the same load.
// Per line: time from the send until every participant, the sender included,
// has received the relayed line.

#include "Driver.h"
#include "FloorRelay.h"
#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "ScriptedDialogs.h"
#include "app/TForm1.h"
#include "protocol/Wire.h"

#include <QApplication>
#include <cstdio>
#include <map>

namespace {

const QByteArray HostNick("host");

QByteArray nickname(int i) {
    return "p" + QByteArray::number(i).rightJustified(3, '0');
}

// ---- driver process ---------------------------------------------------------

int driverMain(const QStringList& args) {
    const bool host = args.value(0) == QLatin1String("host");
    const quint16 port = quint16(args.value(1).toUInt());
    const int n = args.value(2).toInt();
    const int m = args.value(3).toInt();
    const int spacingUs = args.value(4).toInt();

    driver::Participants all;
    const std::int64_t joinStart = monotonicNs();
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<RawParticipant>();
        const bool ok = host ? driver::join(*p, port, nickname(i)) : p->connectTo(port);
        if (!ok) {
            driver::say("ERROR join " + QByteArray::number(i));
            return 1;
        }
        all.push_back(std::move(p));
    }
    // The last roster follows the last welcome by the host's 100 ms pause.
    driver::waitQuiet(all, 400);
    driver::say("JOINED " + QByteArray::number((monotonicNs() - joinStart) / 1000000));
    for (auto& p : all)
        p->received.clear();

    driver::ReadySet set;
    for (int i = 0; i < n; ++i)
        set.add(all[std::size_t(i)]->fd(), i);
    std::vector<std::int64_t> latency;
    std::vector<int> seen(std::size_t(n), 0);
    int lost = 0;
    const QByteArray pad(" the quick brown fox jumps over the lazy dog 0123456789");
    driver::say("BEGIN");
    for (int k = 0; k < m; ++k) {
        const QByteArray mark = "T#" + QByteArray::number(k) + "#";
        const QByteArray line = wire::talkLine(nickname(0), HostNick, mark + pad);
        std::vector<char> got(std::size_t(n), 0);
        int pending = n;
        const std::int64_t t0 = monotonicNs();
        all[0]->sendAll(wire::line(line));
        std::int64_t last = t0;
        while (pending > 0 && monotonicNs() - t0 < 5000000000LL) {
            for (int i : set.wait(100)) {
                RawParticipant& p = *all[std::size_t(i)];
                p.drain();
                if (!got[std::size_t(i)] && p.received.contains(mark)) {
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
        for (int i = 0; i < n; ++i) {
            RawParticipant& p = *all[std::size_t(i)];
            seen[std::size_t(i)] += int(p.received.count("T#"));
            p.received.clear();
        }
        sleepUs(spacingUs);
    }
    driver::say("END");
    // Late copies would show up as duplicates here.
    driver::waitQuiet(all, 200);
    int duplicates = 0;
    for (int i = 0; i < n; ++i) {
        seen[std::size_t(i)] += int(all[std::size_t(i)]->received.count("T#"));
        if (seen[std::size_t(i)] > m)
            duplicates += seen[std::size_t(i)] - m;
    }
    QByteArray lat("LAT");
    for (std::int64_t v : latency)
        lat += ' ' + QByteArray::number(v);
    driver::say(lat);
    driver::say("CHECK " + QByteArray::number(lost) + ' ' + QByteArray::number(duplicates));
    return 0;
}

// ---- host and floor side ----------------------------------------------------

struct Run {
    int n = 0;
    int lines = 0;
    std::vector<double> latencyUs;
    std::int64_t cpuNs = 0;
    long rssBeforeKiB = 0, rssSeatedKiB = 0;
    int joinMs = 0, lost = -1, duplicates = -1;
    bool ok = false;
};

// Reads the driver's report lines into a run; CPU is counted from BEGIN to END.
struct Collector {
    explicit Collector(Run& r) : run(r) {}
    Run& run;
    std::int64_t cpuAtBegin = 0;
    std::function<void()> onJoined;
    void operator()(const QByteArray& line) {
        const QList<QByteArray> f = line.split(' ');
        if (f[0] == "JOINED") {
            run.joinMs = f.value(1).toInt();
            if (onJoined)
                onJoined();
        } else if (f[0] == "BEGIN") {
            cpuAtBegin = figures::cpuNs();
        } else if (f[0] == "END") {
            run.cpuNs = figures::cpuNs() - cpuAtBegin;
        } else if (f[0] == "LAT") {
            for (int i = 1; i < f.size(); ++i)
                run.latencyUs.push_back(f[i].toDouble() / 1000.0);
        } else if (f[0] == "CHECK") {
            run.lost = f.value(1).toInt();
            run.duplicates = f.value(2).toInt();
            run.ok = true;
        } else {
            std::fprintf(stderr, "driver: %s\n", line.constData());
        }
    }
};

QStringList driverArgs(const char* mode, quint16 port, int n, int m, int spacingUs) {
    return {QStringLiteral("--driver"), QString::fromLatin1(mode), QString::number(port),
            QString::number(n),         QString::number(m),        QString::number(spacingUs)};
}

Run runHost(int n, int m, int spacingUs) {
    Run run;
    run.n = n;
    run.lines = m;
    const quint16 port = freeLoopbackPort();
    std::unique_ptr<TForm1> form = startHostWindow(port, QString::fromLatin1(HostNick));
    runUntil([] { return false; }, 200); // first paint and settle
    run.rssBeforeKiB = figures::rssKiB();
    const figures::Child child = figures::spawnSelf(driverArgs("host", port, n, m, spacingUs));
    Collector collect(run);
    collect.onJoined = [&] { run.rssSeatedKiB = figures::rssKiB(); };
    runUntilChildEnds(child, std::ref(collect));
    figures::waitChild(child);
    // Let every departure run before the window goes.
    runUntil([&] { return seatedCount(*form) == 0; }, 30000);
    return run;
}

Run runFloor(int n, int m, int spacingUs) {
    Run run;
    run.n = n;
    run.lines = m;
    quint16 port = 0;
    const int listener = openListener(port);
    const figures::Child child = figures::spawnSelf(driverArgs("floor", port, n, m, spacingUs));
    Collector collect(run);
    runFloorRelay(listener, child.out, std::ref(collect));
    ::close(listener);
    figures::waitChild(child);
    return run;
}

void printRun(const char* what, const Run& r) {
    const figures::Percentiles p = figures::percentiles(r.latencyUs);
    std::printf("%-6s N=%3d lines=%5zu  p50 %8.1f us  p90 %8.1f us  p99 %8.1f us  max %8.1f us"
                "  cpu/line %7.1f us  lost %d dup %d\n",
                what, r.n, p.count, p.p50, p.p90, p.p99, p.max,
                r.lines ? double(r.cpuNs) / 1000.0 / r.lines : 0.0, r.lost, r.duplicates);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return driverMain(args);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;

    int m = 1000, spacingUs = 2000;
    QList<int> sizes{10, 50, 100};
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == QLatin1String("--lines"))
            m = a[i + 1].toInt();
        else if (a[i] == QLatin1String("--spacing-us"))
            spacingUs = a[i + 1].toInt();
        else if (a[i] == QLatin1String("--sizes")) {
            sizes.clear();
            for (const QString& s : a[i + 1].split(QLatin1Char(',')))
                sizes.append(s.toInt());
        }
    }
    std::printf("fanout: %d lines per run, %d us between lines, participants in a second process\n",
                m, spacingUs);
    std::map<int, Run> host, floor;
    for (int n : sizes) {
        host[n] = runHost(n, m, spacingUs);
        printRun("host", host[n]);
        std::fflush(stdout);
        floor[n] = runFloor(n, m, spacingUs);
        printRun("floor", floor[n]);
        std::fflush(stdout);
    }
    std::printf("\nhost/floor ratios (targets at N=100: p50 <= 1.5, p99 <= 2.0)\n");
    for (int n : sizes) {
        const figures::Percentiles h = figures::percentiles(host[n].latencyUs);
        const figures::Percentiles f = figures::percentiles(floor[n].latencyUs);
        std::printf("N=%3d  p50 %.2f  p90 %.2f  p99 %.2f  max %.2f\n", n, h.p50 / f.p50,
                    h.p90 / f.p90, h.p99 / f.p99, h.max / f.max);
    }
    std::printf("\nhost CPU per relayed line (process CPU over the talk phase / lines)\n");
    const double base = double(host[sizes.first()].cpuNs) / sizes.first();
    for (int n : sizes) {
        const Run& r = host[n];
        const double perLine = double(r.cpuNs) / 1000.0 / r.lines;
        std::printf("N=%3d  %7.1f us/line  %5.2f us per participant per line  growth vs N=%d "
                    "per participant %.2f\n",
                    n, perLine, perLine / n, sizes.first(), (double(r.cpuNs) / n) / base);
    }
    std::printf("\nhost resident memory: before joins %ld KiB; with N seated:",
                host[sizes.first()].rssBeforeKiB);
    for (int n : sizes)
        std::printf("  N=%d %ld KiB (joins took %d ms)", n, host[n].rssSeatedKiB, host[n].joinMs);
    std::printf("\n");
    return 0;
}
