// Start-up: from the fork of a fresh process to the main window's first paint,
// over several runs; resident memory after start-up and with 100 participants seated.
// The child starts exactly as the program does (main.cpp's steps) and reports
// its figures on stdout.

#include "Driver.h"
#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "app/RealDialogs.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {

// Notes the first paint of any widget of the window, and when that frame is done.
class FirstPaint : public QObject {
public:
    std::int64_t paintNs = 0, frameNs = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (paintNs == 0 && event->type() == QEvent::Paint && watched->isWidgetType()) {
            paintNs = monotonicNs();
            QTimer::singleShot(0, this, [this] { frameNs = monotonicNs(); });
        }
        return false;
    }
};

int appMain(int argc, char** argv, std::int64_t forkedAt, int seatPort) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setApplicationDisplayName(applicationTitle());
    RealDialogs dialogs;
    Dialogs::install(&dialogs);
    if (!gb::available())
        return 1;
    FirstPaint first;
    app.installEventFilter(&first);

    TForm1 window;
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    runUntil([&] { return first.frameNs != 0; }, 30000);
    runUntil([] { return false; }, 500); // let start-up work finish before measuring
    std::printf("PAINT %lld %lld %ld\n", (long long)(first.paintNs - forkedAt),
                (long long)(first.frameNs - forkedAt), figures::rssKiB());
    std::fflush(stdout);
    if (seatPort == 0)
        return 0;

    // Host in the same window, through its own run button.
    hostIn(window, quint16(seatPort), QStringLiteral("host"), QStringLiteral("room"));
    std::printf("HOSTING\n");
    std::fflush(stdout);
    runUntil([&] { return seatedCount(window) == 100; }, 120000);
    runUntil([] { return false; }, 500);
    std::printf("SEATED %d %ld\n", seatedCount(window), figures::rssKiB());
    std::fflush(stdout);
    runUntil([&] { return seatedCount(window) == 0; }, 60000);
    return 0;
}

QByteArray readLine(int fd) {
    QByteArray line;
    char c;
    for (;;) {
        const ssize_t n = ::read(fd, &c, 1);
        if (n == 1 && c != '\n')
            line.append(c);
        else if (n == 1 || n == 0 || errno != EAGAIN)
            return line;
        else
            sleepUs(1000);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && QByteArray(argv[1]) == "--app") {
        const std::int64_t forkedAt = QByteArray(argv[2]).toLongLong();
        const int seatPort = argc > 3 ? QByteArray(argv[3]).toInt() : 0;
        return appMain(argc, argv, forkedAt, seatPort);
    }
    int runs = 9;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--runs")
            runs = QByteArray(argv[i + 1]).toInt();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const ScratchHome home; // every start-up below uses it, as a first start would

    std::vector<double> paintMs, frameMs;
    std::vector<long> rss;
    for (int r = 0; r < runs; ++r) {
        const figures::Child child =
            figures::spawnSelf({QStringLiteral("--app"), QString::number(monotonicNs())});
        const QList<QByteArray> f = readLine(child.out).split(' ');
        figures::waitChild(child);
        if (f.size() < 4 || f[0] != "PAINT") {
            std::fprintf(stderr, "startup: run %d gave no paint\n", r);
            continue;
        }
        paintMs.push_back(f[1].toDouble() / 1e6);
        frameMs.push_back(f[2].toDouble() / 1e6);
        rss.push_back(f[3].toLong());
    }
    const figures::Percentiles p = figures::percentiles(paintMs);
    const figures::Percentiles q = figures::percentiles(frameMs);
    std::sort(rss.begin(), rss.end());
    std::printf("start-up on QT_QPA_PLATFORM=%s, %zu runs: process start to first paint event"
                " median %.1f ms (max %.1f); to first frame done median %.1f ms (max %.1f)\n",
                platform.constData(), p.count, p.p50, p.max, q.p50, q.max);
    std::printf("resident memory after start-up: median %ld KiB\n",
                rss.empty() ? 0 : rss[rss.size() / 2]);

    // One more run that hosts and seats 100 raw participants.
    const quint16 port = freeLoopbackPort();
    const figures::Child child = figures::spawnSelf(
        {QStringLiteral("--app"), QString::number(monotonicNs()), QString::number(port)});
    const QList<QByteArray> startup = readLine(child.out).split(' ');
    readLine(child.out); // HOSTING
    driver::Participants all;
    for (int i = 0; i < 100; ++i) {
        auto peer = std::make_unique<RawParticipant>();
        if (!driver::join(*peer, port, "s" + QByteArray::number(i).rightJustified(3, '0')))
            std::fprintf(stderr, "startup: participant %d was not admitted\n", i);
        all.push_back(std::move(peer));
    }
    driver::waitQuiet(all, 300);
    const QList<QByteArray> seated = readLine(child.out).split(' ');
    all.clear();
    figures::waitChild(child);
    std::printf("resident memory of the hosting window: %s KiB after start-up, %s KiB with %s"
                " participants seated\n",
                startup.value(3).constData(), seated.value(2).constData(),
                seated.value(1).constData());
    return 0;
}
