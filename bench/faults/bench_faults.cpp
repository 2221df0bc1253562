// Faults a host must ride out, with the real dialogs a user sees (offscreen):
//   --storm: participants join in waves and vanish with a reset; the host's open
//            error boxes and resident memory before and after.
//   --silent: 100 connections take every seat and never answer the join request;
//             how long until a newcomer gets in (given up after --give-up seconds).
//   --flood:  one participant writes talk lines as fast as the host takes them for
//             --seconds; another talks every 100 ms; how soon three readers hear the
//             talker, whether anyone is let go, and the host's memory.
// The participants live in a second process (this executable with --driver).

#include "Driver.h"
#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "app/RealDialogs.h"
#include "app/TForm1.h"
#include "net/SocketExceptionHook.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"

#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

void resetClose(RawParticipant& p) {
    const linger hard{1, 0};
    ::setsockopt(p.fd(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    p.close();
}

int stormDriver(quint16 port, int total, int wave) {
    int gone = 0;
    for (int w = 0; gone < total; ++w) {
        driver::Participants all;
        for (int i = 0; i < wave && gone + i < total; ++i) {
            all.push_back(std::make_unique<RawParticipant>());
            const QByteArray nick = "w" + QByteArray::number(w) + "p" + QByteArray::number(i);
            if (!driver::join(*all.back(), port, nick))
                driver::say("JOINFAIL " + nick);
        }
        driver::waitQuiet(all, 300);
        for (auto& p : all)
            resetClose(*p);
        gone += int(all.size());
        driver::say("WAVE " + QByteArray::number(w) + " " + QByteArray::number(gone));
        sleepUs(1000000);
    }
    return 0;
}

int silentDriver(quint16 port, int silentCount, int giveUpSeconds) {
    driver::Participants silent;
    for (int i = 0; i < silentCount; ++i) {
        silent.push_back(std::make_unique<RawParticipant>());
        if (!silent.back()->connectTo(port) || !silent.back()->waitFor(wire::joinRequest(), 10000))
            driver::say("SILENTFAIL " + QByteArray::number(i));
    }
    const std::int64_t held = monotonicNs();
    driver::say("HELD");
    int attempts = 0;
    while (monotonicNs() - held < std::int64_t(giveUpSeconds) * 1000000000) {
        ++attempts;
        RawParticipant newcomer;
        if (driver::join(newcomer, port, "newcomer", 2000)) {
            driver::say("JOINED " + QByteArray::number(double(monotonicNs() - held) / 1e9) + " " +
                        QByteArray::number(attempts));
            return 0;
        }
        sleepUs(500000);
    }
    driver::say("NEVER " + QByteArray::number(giveUpSeconds) + " " + QByteArray::number(attempts));
    return 0;
}

int floodDriver(quint16 port, int seconds) {
    driver::Participants all;
    const QList<QByteArray> nicks{"joe", "amy", "r0", "r1", "r2"};
    for (const QByteArray& nick : nicks) {
        all.push_back(std::make_unique<RawParticipant>());
        if (!driver::join(*all.back(), port, nick))
            driver::say("JOINFAIL " + nick);
    }
    driver::waitQuiet(all, 500);
    for (auto& p : all)
        p->received.clear();
    // joe writes whatever his connection takes, numbered, from a thread of his own.
    std::atomic<bool> stop{false};
    std::atomic<long> written{0};
    std::thread flooder([&] {
        const int fd = all[0]->fd();
        QByteArray chunk;
        while (!stop) {
            if (chunk.isEmpty()) {
                for (int i = 0; i < 64; ++i)
                    chunk += wire::line(
                        wire::talkLine("joe", "host", "f" + QByteArray::number(written + i)));
            }
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            const ssize_t n =
                ::send(fd, chunk.constData(), size_t(chunk.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0)
                continue;
            chunk.remove(0, n);
            if (chunk.isEmpty())
                written += 64;
        }
    });
    std::vector<std::int64_t> saidAt;
    std::vector<std::vector<std::int64_t>> heardAt(3);
    const std::int64_t start = monotonicNs();
    std::int64_t nextSay = start;
    while (monotonicNs() - start < std::int64_t(seconds) * 1000000000) {
        if (monotonicNs() >= nextSay) {
            saidAt.push_back(monotonicNs());
            all[1]->sendAll(wire::line(
                wire::talkLine("amy", "host", "h" + QByteArray::number(saidAt.size() - 1))));
            nextSay += 100000000;
        }
        for (auto& p : all)
            p->drain();
        for (int r = 0; r < 3; ++r) {
            const QByteArray& got = all[size_t(2 + r)]->received;
            while (heardAt[size_t(r)].size() < saidAt.size() &&
                   got.contains(wire::talkLine(
                       "amy", "host", "h" + QByteArray::number(heardAt[size_t(r)].size()))))
                heardAt[size_t(r)].push_back(monotonicNs());
        }
        sleepUs(1000);
    }
    stop = true;
    flooder.join();
    std::vector<double> latencies;
    int seated = 0;
    for (int r = 0; r < 3; ++r) {
        seated += !all[size_t(2 + r)]->peerClosed &&
                  !all[size_t(2 + r)]->received.contains(wire::kLeaves);
        for (size_t i = 0; i < heardAt[size_t(r)].size(); ++i)
            latencies.push_back(double(heardAt[size_t(r)][i] - saidAt[i]) / 1e6);
    }
    // joe's lines at a reader: numbered from 0 with none missing, in order.
    const QByteArray& r0 = all[2]->received;
    const QByteArray prefix = wire::talkLine("joe", "host", "f").chopped(1);
    long relayed = 0;
    bool inOrder = true;
    for (qsizetype at = r0.indexOf(prefix); at >= 0; at = r0.indexOf(prefix, at + 1), ++relayed)
        inOrder =
            inOrder && r0.mid(at + prefix.size()).startsWith(QByteArray::number(relayed) + "\r");
    const figures::Percentiles p = figures::percentiles(latencies);
    const QByteArray result =
        "FLOOD joe wrote " + QByteArray::number(written.load()) + ", readers got " +
        QByteArray::number(relayed) + (inOrder ? " in order" : " OUT OF ORDER") +
        "; readers still seated " + QByteArray::number(seated) + "/3; amy heard " +
        QByteArray::number(latencies.size()) + "/" + QByteArray::number(saidAt.size() * 3) +
        " times, p50 " + QByteArray::number(p.p50, 'f', 1) + " ms, p99 " +
        QByteArray::number(p.p99, 'f', 1) + " ms, max " + QByteArray::number(p.max, 'f', 1) + " ms";
    // Also where a host stuck under error boxes cannot swallow it.
    std::fprintf(stderr, "%s\n", result.constData());
    driver::say(result);
    return 0;
}

int openBoxes() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<QMessageBox*>(w) != nullptr && w->isVisible();
    return n;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        const quint16 port = quint16(QByteArray(argv[3]).toUInt());
        if (QByteArray(argv[2]) == "flood")
            return floodDriver(port, QByteArray(argv[4]).toInt());
        if (QByteArray(argv[2]) == "storm")
            return stormDriver(port, QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
        return silentDriver(port, QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    RealDialogs dialogs;
    Dialogs::install(&dialogs);
    setSocketExceptionHook([](const std::exception& e) { reportError(e); });

    const QStringList a = app.arguments();
    const bool silent = a.contains(QStringLiteral("--silent"));
    const bool flood = a.contains(QStringLiteral("--flood"));
    const int seconds = a.contains(QStringLiteral("--seconds"))
                            ? a[a.indexOf(QStringLiteral("--seconds")) + 1].toInt()
                            : 20;
    const int resets = a.contains(QStringLiteral("--resets"))
                           ? a[a.indexOf(QStringLiteral("--resets")) + 1].toInt()
                           : 300;
    const int giveUp = a.contains(QStringLiteral("--give-up"))
                           ? a[a.indexOf(QStringLiteral("--give-up")) + 1].toInt()
                           : 60;

    const quint16 port = freeLoopbackPort();
    std::unique_ptr<TForm1> form = startHostWindow(port);
    runUntil([] { return false; }, 500);
    const long rssBefore = figures::rssKiB();
    std::printf("%s: host RSS before %ld KiB\n",
                flood    ? "flood"
                : silent ? "silent"
                         : "storm",
                rssBefore);
    std::fflush(stdout);

    const figures::Child child =
        flood    ? figures::spawnSelf({QStringLiteral("--driver"), QStringLiteral("flood"),
                                       QString::number(port), QString::number(seconds)})
        : silent ? figures::spawnSelf({QStringLiteral("--driver"), QStringLiteral("silent"),
                                       QString::number(port), QStringLiteral("100"),
                                       QString::number(giveUp)})
                 : figures::spawnSelf({QStringLiteral("--driver"), QStringLiteral("storm"),
                                       QString::number(port), QString::number(resets),
                                       QStringLiteral("75")});
    // Everything from here runs in callbacks: a real error box runs a nested event
    // loop, so the code below may never get control back while boxes are open.
    int mostBoxes = 0;
    long rssPeak = rssBefore;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        mostBoxes = std::max(mostBoxes, openBoxes());
        rssPeak = std::max(rssPeak, figures::rssKiB());
    });
    sampler.start(100);
    QByteArray pending;
    QSocketNotifier notifier(child.out, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        QList<QByteArray> lines;
        const bool open = figures::readLines(child.out, pending, lines);
        for (const QByteArray& line : lines) {
            std::printf("  driver: %s (open boxes %d, RSS %ld KiB)\n", line.constData(),
                        openBoxes(), figures::rssKiB());
            std::fflush(stdout);
        }
        if (open)
            return;
        notifier.setEnabled(false);
        QTimer::singleShot(3000, [&] {
            std::printf("after: open error boxes %d (most at once %d), RSS %ld KiB (%+ld KiB),"
                        " peak %ld KiB\n",
                        openBoxes(), mostBoxes, figures::rssKiB(), figures::rssKiB() - rssBefore,
                        rssPeak);
            std::fflush(stdout);
            figures::waitChild(child);
            ::_exit(0); // boxes may still be open, nested on the stack
        });
    });
    return app.exec();
}
