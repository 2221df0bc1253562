// Public-talk fanout, side by side in one run: the real host window, our own
// minimal epoll relay (the floor) and Debian's ngIRCd, each with the same raw
// participants in another process, each pinned to the same core, in interleaved
// rounds. Per target: the time until a line reaches all other participants, the
// server's CPU per relayed line, and lines per second reaching all others while
// the sender writes many lines per write.

#include "FanoutDriver.h"
#include "FloorRelay.h"
#include "HostWindow.h"
#include "IrcServer.h"
#include "Phases.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "RunReport.h"
#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"

#include <QApplication>
#include <QCheckBox>
#include <cstdio>
#include <functional>
#include <map>

namespace {

struct Options {
    int n = 100;
    int lines = 200;
    int spacingUs = 20000;
    int batches = 100;
    int batchLines = 32;
    int rounds = 3;
    int serverCore = 0;
    int driverCore = 1;
    // "record" too: the host keeping the room's talk, beside the host without it.
    QStringList targets{QStringLiteral("host"), QStringLiteral("floor"), QStringLiteral("ngircd")};
};

using report::Collector;
using report::Medians;
using report::Run;

figures::Child spawnDriver(const char* mode, quint16 port, const Options& o) {
    QStringList args{QStringLiteral("--driver"), QString::fromLatin1(mode)};
    for (int v : {int(port), o.n, o.lines, o.spacingUs, o.batches, o.batchLines, o.driverCore})
        args.append(QString::number(v));
    return figures::spawnSelf(args);
}

// The host keeping the room's record, or not: the only difference between the two.
Run runHost(const Options& o, bool record) {
    Run run;
    run.lines = o.lines;
    const quint16 port = freeLoopbackPort();
    auto form = std::make_unique<TForm1>();
    form->show();
    form->settings->roomHistory->setChecked(record);
    hostIn(*form, port, QStringLiteral("host"), QStringLiteral("room"));
    liftBudget(*form);
    runUntil([] { return false; }, 200); // first paint and settle
    const figures::Child child = spawnDriver("host", port, o);
    Collector collect(run, figures::cpuNs);
    runUntilChildEnds(child, std::ref(collect));
    figures::waitChild(child);
    // Let every departure run before the window goes.
    runUntil([&] { return seatedCount(*form) == 0; }, 30000);
    return run;
}

Run runFloor(const Options& o) {
    Run run;
    run.lines = o.lines;
    quint16 port = 0;
    const int listener = openListener(port);
    const figures::Child child = spawnDriver("floor", port, o);
    Collector collect(run, figures::cpuNs);
    runFloorRelay(listener, child.out, std::ref(collect));
    ::close(listener);
    figures::waitChild(child);
    return run;
}

Run runIrc(const Options& o) {
    Run run;
    run.lines = o.lines;
    IrcServer server;
    const quint16 port = freeLoopbackPort();
    if (!server.start(port, o.serverCore)) {
        std::fprintf(stderr, "ngircd did not start\n");
        return run;
    }
    const figures::Child child = spawnDriver("irc", port, o);
    Collector collect(run, [&] { return server.cpuNs(); });
    runUntilChildEnds(child, std::ref(collect));
    figures::waitChild(child);
    server.stop();
    return run;
}

void printRun(const char* what, const Run& r) {
    const figures::Percentiles p = figures::percentiles(r.latencyUs);
    std::printf("  %-6s p50 %7.1f us  p99 %7.1f us  cpu/line %7.1f us (batched %6.1f us)"
                "  %8.0f lines/s  lost %d dup %d (batched %d/%d)  joins %d ms\n",
                what, p.p50, p.p99, r.cpuPerLineUs(), r.batchedCpuPerLineUs(), r.linesPerSecond(),
                r.lost, r.duplicates, r.tputLost, r.tputDuplicates, r.joinMs);
    std::fflush(stdout);
}

Options parse(const QStringList& a) {
    Options o;
    const std::map<QString, int*> named{{QStringLiteral("--participants"), &o.n},
                                        {QStringLiteral("--lines"), &o.lines},
                                        {QStringLiteral("--spacing-us"), &o.spacingUs},
                                        {QStringLiteral("--batches"), &o.batches},
                                        {QStringLiteral("--batch-lines"), &o.batchLines},
                                        {QStringLiteral("--rounds"), &o.rounds},
                                        {QStringLiteral("--server-core"), &o.serverCore},
                                        {QStringLiteral("--driver-core"), &o.driverCore}};
    for (int i = 1; i + 1 < a.size(); ++i) {
        const auto it = named.find(a[i]);
        if (it != named.end())
            *it->second = a[i + 1].toInt();
        else if (a[i] == QLatin1String("--targets")) // e.g. "host" alone, for a profile
            o.targets = a[i + 1].split(QLatin1Char(','));
    }
    return o;
}

void printRatios(const char* name, const Medians& h, const Medians& r) {
    auto ratio = [](double a, double b) { return b > 0 ? a / b : 0.0; };
    std::printf("%-12s cpu/line %.2f  cpu/line batched %.2f  p50 %.2f  p99 %.2f  "
                "throughput %.2f\n",
                name, ratio(h.cpu, r.cpu), ratio(h.cpuBatched, r.cpuBatched), ratio(h.p50, r.p50),
                ratio(h.p99, r.p99), ratio(h.tput, r.tput));
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return fanoutDriverMain(args);
    }
    QStringList raw;
    for (int i = 0; i < argc; ++i)
        raw.append(QString::fromLocal8Bit(argv[i]));
    const Options o = parse(raw);
    // Before any thread exists, so that every thread of the servers runs on that core.
    driver::pinToCore(o.serverCore);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    const bool irc = IrcServer::available() && o.targets.contains(QLatin1String("ngircd"));

    std::printf("fanout: %d participants; %d lines %d us apart; then %d writes of %d lines; "
                "%d rounds; servers on core %d, participants on core %d\n",
                o.n, o.lines, o.spacingUs, o.batches, o.batchLines, o.rounds, o.serverCore,
                o.driverCore);
    if (irc)
        std::printf("reference: %s\n", IrcServer().version().constData());
    else
        std::printf("reference: ngircd not installed (apt-get install ngircd); skipped\n");
    // The record and the settings it is kept by go to a folder of this run's own.
    const ScratchHome home;
    std::vector<Run> host, floor, ngircd, record;
    for (int round = 1; round <= o.rounds; ++round) {
        std::printf("round %d\n", round);
        if (o.targets.contains(QLatin1String("host"))) {
            host.push_back(runHost(o, false));
            printRun("host", host.back());
        }
        if (o.targets.contains(QLatin1String("record"))) {
            record.push_back(runHost(o, true));
            printRun("record", record.back());
        }
        if (o.targets.contains(QLatin1String("floor"))) {
            floor.push_back(runFloor(o));
            printRun("floor", floor.back());
        }
        if (irc) {
            ngircd.push_back(runIrc(o));
            printRun("ngircd", ngircd.back());
        }
    }
    std::printf("\nmedians of %d rounds\n", o.rounds);
    const Medians h = report::medians(host), f = report::medians(floor),
                  g = report::medians(ngircd), k = report::medians(record);
    for (const auto& [name, m] : {std::pair{"host", h}, std::pair{"record", k},
                                  std::pair{"floor", f}, std::pair{"ngircd", g}})
        std::printf("  %-6s cpu/line %7.1f us  batched %6.1f us  p50 %7.1f us  p99 %7.1f us  "
                    "%8.0f lines/s\n",
                    name, m.cpu, m.cpuBatched, m.p50, m.p99, m.tput);
    std::printf("\n");
    printRatios("host/floor", h, f);
    if (!record.empty()) {
        printRatios("record/host", k, h);
    }
    if (irc)
        printRatios("host/ngircd", h, g);
    return 0;
}
