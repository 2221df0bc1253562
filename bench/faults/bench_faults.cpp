// Faults a host must ride out, with the real dialogs a user sees (offscreen):
//   --storm: participants join in waves and vanish with a reset; the host's open
//            error boxes and resident memory before and after.
//   --silent: 100 connections take every seat and never answer the join request;
//             how long until a newcomer gets in (given up after --give-up seconds).
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
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
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
        if (QByteArray(argv[2]) == "storm")
            return stormDriver(port, QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
        return silentDriver(port, QByteArray(argv[4]).toInt(), QByteArray(argv[5]).toInt());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    RealDialogs dialogs;
    Dialogs::install(&dialogs);
    setSocketExceptionHook([](const std::exception& e) { reportError(e); });

    const QStringList a = app.arguments();
    const bool silent = a.contains(QStringLiteral("--silent"));
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
    std::printf("%s: host RSS before %ld KiB\n", silent ? "silent" : "storm", rssBefore);
    std::fflush(stdout);

    const figures::Child child =
        silent ? figures::spawnSelf({QStringLiteral("--driver"), QStringLiteral("silent"),
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
