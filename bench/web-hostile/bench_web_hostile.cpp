// The web surface under one hostile address: the real host window serving its
// page (offscreen), and in a second process honest users who use the room the
// whole time (a desktop client, a legacy raw peer, seated pages, newcomers) while
// one address with no seat runs eight attacks in turn. Prints what each attack
// got, what the honest users saw meanwhile, and the host's RSS and descriptors
// (from /proc of the host process), against the targets. Never fails on timing:
// the exit code only says whether the run itself worked.

#include "Attacks.h"
#include "Driver.h"
#include "HostWindow.h"
#include "ProcessFigures.h"
#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "web/WebGateway.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QSignalBlocker>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <malloc.h>
#include <unistd.h>

namespace {

// ---- the users' process ----

void say(const QString& line) {
    driver::say(line.toUtf8());
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().trimmed().left(14))
                                       : QStringLiteral("?");
}

QString orDash(bool known, const QString& text) {
    return known ? text : QStringLiteral("-");
}

void printWindowRow(const Window& w, const Seen& s, long rssBase, int fdsBase) {
    const bool proc = s.rssPeak >= 0;
    say(QStringLiteral("| %1 | %2 | %3/%4 | %5 | %6/%7 | %8 | %9/%10 | %11 | %12 | %13 |")
            .arg(w.name)
            .arg(double(w.to - w.from) / 1e9, 0, 'f', 1)
            .arg(s.loads200)
            .arg(s.loads)
            .arg(orDash(
                s.loads > 0,
                QStringLiteral("%1 / %2").arg(s.loadP50, 0, 'f', 1).arg(s.loadMax, 0, 'f', 0)))
            .arg(s.seated)
            .arg(s.seatsTried)
            .arg(s.refused503)
            .arg(s.linesGot)
            .arg(s.linesSent)
            .arg(orDash(s.linesGot > 0, QStringLiteral("%1 / %2 / %3")
                                            .arg(s.lineP50, 0, 'f', 1)
                                            .arg(s.lineP99, 0, 'f', 1)
                                            .arg(s.lineMax, 0, 'f', 1)))
            .arg(orDash(proc, QString::number(double(s.rssPeak - rssBase) / 1024.0, 'f', 1)))
            .arg(orDash(proc, QString::number(s.fdsPeak - fdsBase))));
}

// Asks the host to give the heap it freed back to the system and waits for its
// word (SIGUSR1), so that an attack's RSS growth is its own and not what the
// allocator kept from the attack before. The word comes when the host's event
// loop gets to it: after an attack, how long the host stayed busy with it.
void trimHost(int hostPid) {
    constexpr int kLimitS = 60;
    const long before = rssKiBOf(hostPid);
    const std::int64_t asked = monotonicNs();
    say(QStringLiteral("TRIM"));
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    const timespec limit{kLimitS, 0};
    const bool answered = sigtimedwait(&usr1, nullptr, &limit) == SIGUSR1;
    say(QStringLiteral("  (the host's loop answered %1; RSS %2 -> %3 MiB once it gave freed "
                       "heap back)")
            .arg(answered
                     ? QStringLiteral("in %1 s").arg(double(monotonicNs() - asked) / 1e9, 0, 'f', 2)
                     : QStringLiteral("not in %1 s").arg(kLimitS))
            .arg(double(before) / 1024.0, 0, 'f', 1)
            .arg(double(rssKiBOf(hostPid)) / 1024.0, 0, 'f', 1));
}

// Arguments: room port, host pid, the attacks to run ("1,4"; all when empty).
int driverMain(const QStringList& a) {
    RawPage uploader;
    Context c{Room{}, uploader, {}};
    c.room.port = quint16(a.value(0).toUInt());
    c.room.webPort = quint16(c.room.port + 1);
    c.room.hostPid = a.value(1).toInt();
    // Before any thread starts, so that only trimHost() takes the host's word.
    sigset_t usr1;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, nullptr);
    Samples samples;
    Honest honest(c.room, samples);
    QByteArray why;
    if (!honest.start(&why)) {
        say(QStringLiteral("ERROR %1").arg(QString::fromLatin1(why)));
        return 1;
    }
    if (c.honestPage.open(c.room.webPort, 5000, kHonestAddress) != 101 ||
        !joinPage(c.honestPage, QStringLiteral("uploader"))) {
        say(QStringLiteral("ERROR the uploading page could not take its seat"));
        return 1;
    }
    say(QStringLiteral("load average at start: %1").arg(loadAverage()));

    std::vector<Window> windows;
    auto quietly = [&](const QString& name, int ms) {
        windows.push_back({name, monotonicNs(), 0});
        sleepUs(long(ms) * 1000); // the honest users alone, for a baseline and a settling
        windows.back().to = monotonicNs();
    };
    trimHost(c.room.hostPid);
    quietly(QStringLiteral("0 quiet"), 5000);
    const QStringList chosen = a.value(2).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const Attack& attack : attacks()) {
        if (!chosen.isEmpty() &&
            !chosen.contains(QString::fromLatin1(attack.name).section(' ', 0, 0)))
            continue;
        if (attack.needsRoomFile && !ensureRoomFile(c))
            say(QStringLiteral("the honest page could not send the room's file"));
        say(QStringLiteral("\n== %1: %2")
                .arg(QString::fromLatin1(attack.name), QString::fromLatin1(attack.what)));
        windows.push_back({QString::fromLatin1(attack.name), monotonicNs(), 0});
        const Found found = attack.run(c);
        for (const auto& [label, value] : found.figures)
            say(QStringLiteral("  %1: %2").arg(label, value));
        // The window lasts until the host is back: what it still chews on counts too.
        trimHost(c.room.hostPid);
        windows.back().to = monotonicNs();
        say(QStringLiteral("  (%1 s; load average %2)")
                .arg(double(windows.back().to - windows.back().from) / 1e9, 0, 'f', 1)
                .arg(loadAverage()));
    }
    quietly(QStringLiteral("9 after"), 3000);
    say(QStringLiteral("load average at end: %1").arg(loadAverage()));
    honest.stop();
    leavePage(c.honestPage);

    const Seen base = seenIn(samples, windows.front());
    const long rssBase = base.rssLast;
    const int fdsBase = base.fdsLast;
    say(QStringLiteral("\nWhat the honest users saw in each window (growth over the quiet "
                       "window's last sample: RSS %1 KiB, %2 descriptors)")
            .arg(rssBase)
            .arg(fdsBase));
    say(QStringLiteral("| window | s | GET / 200 | GET / p50 / max (ms) | seats taken | 503 | "
                       "lines at the page | line p50 / p99 / max (ms) | RSS peak growth (MiB) | "
                       "fds peak growth |"));
    say(QStringLiteral("|---|---|---|---|---|---|---|---|---|---|"));
    for (const Window& w : windows)
        printWindowRow(w, seenIn(samples, w), rssBase, fdsBase);
    const Window whole{QStringLiteral("whole run"), windows.front().from, windows.back().to};
    const Seen all = seenIn(samples, whole);
    printWindowRow(whole, all, rssBase, fdsBase);
    say(QStringLiteral("legacy raw peer got %1 of %2 lines")
            .arg(samples.legacyLines)
            .arg(samples.lines.size()));

    auto verdict = [](bool ok) { return ok ? QStringLiteral("pass") : QStringLiteral("FAIL"); };
    const double rssGrowth = double(all.rssPeak - rssBase) / 1024.0;
    const int fdsGrowth = all.fdsPeak - fdsBase;
    say(QStringLiteral("\nTargets over the whole run"));
    say(QStringLiteral("  honest line p99 under 250 ms: %1 ms (max %2 ms, %3 of %4 lines): %5")
            .arg(all.lineP99, 0, 'f', 1)
            .arg(all.lineMax, 0, 'f', 1)
            .arg(all.linesGot)
            .arg(all.linesSent)
            .arg(verdict(all.lineP99 < 250 && all.linesGot == all.linesSent)));
    say(QStringLiteral("  host RSS growth at most 64 MiB: +%1 MiB at the peak: %2")
            .arg(rssGrowth, 0, 'f', 1)
            .arg(verdict(rssGrowth <= 64)));
    say(QStringLiteral("  host descriptor growth at most 64: %1 at the peak: %2")
            .arg(fdsGrowth)
            .arg(verdict(fdsGrowth <= 64)));
    say(QStringLiteral("  honest page loads answered 200: %1 of %2: %3")
            .arg(all.loads200)
            .arg(all.loads)
            .arg(verdict(all.loads200 == all.loads)));
    say(QStringLiteral("  the honest page's 1 KiB files through: %1 of %2: %3")
            .arg(c.filesThrough)
            .arg(c.filesTried)
            .arg(verdict(c.filesThrough == c.filesTried)));
    say(QStringLiteral("  honest newcomers seated (no 503): %1 of %2, 503 %3: %4")
            .arg(all.seated)
            .arg(all.seatsTried)
            .arg(all.refused503)
            .arg(verdict(all.seated == all.seatsTried)));
    return 0;
}

// ---- the host's process ----

int hostMain(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    const quint16 port = freeLoopbackPortPair();
    auto form = std::make_unique<TForm1>();
    form->show();
    {
        // Not remembered: the user's own settings file stays as it was.
        const QSignalBlocker quiet(form->settings->webJoin);
        form->settings->webJoin->setChecked(true);
    }
    hostIn(*form, port, QStringLiteral("host"), QStringLiteral("room"));
    if (!form->web->isRunning() || form->web->files() == nullptr) {
        std::fprintf(stderr, "web port %d not served\n", port + 1);
        return 1;
    }
    runUntil([] { return false; }, 200); // first paint and settle
    const FileStore::Limits& limits = form->web->files()->limits();
    std::printf("web-hostile: host window on room port %d, web port %d; file limits %lld MiB a "
                "file, %lld GiB a room, %d uploads at once a sender; nproc %ld\n",
                port, port + 1, limits.perFile >> 20, limits.perRoom >> 30, limits.uploadsPerSender,
                ::sysconf(_SC_NPROCESSORS_ONLN));
    std::fflush(stdout);
    const QStringList args = app.arguments();
    const qsizetype only = args.indexOf(QStringLiteral("--attacks"));
    const figures::Child child = figures::spawnSelf(
        {QStringLiteral("--driver"), QString::number(port), QString::number(::getpid()),
         only >= 0 ? args.value(only + 1) : QString()});
    runUntilChildEnds(child, [&child](const QByteArray& line) {
        if (line == "TRIM") {
            ::malloc_trim(0);
            ::kill(child.pid, SIGUSR1);
            return;
        }
        std::printf("%s\n", line.constData());
        std::fflush(stdout);
    });
    const int status = figures::waitChild(child);
    // Let every departure run, the pages' seats too, before the window goes.
    runUntil([&] { return seatedCount(*form) == 0 && form->web->seatCount() == 0; }, 5000);
    std::printf("\nhost: room still seats %d, web seats %d\n", seatedCount(*form),
                form->web->seatCount());
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return driverMain(args);
    }
    return hostMain(argc, argv);
}
