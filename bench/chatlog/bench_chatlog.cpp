// The chat log at scale: 1,000,000 relayed talk lines appended to the host
// window's chat log (ChatLog::appendLine on the shown window, in batches from
// the event loop as reads would arrive), then the whole log saved through the
// window's own save item.

#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "ScriptedDialogs.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

QByteArray talk(int i) {
    static const QByteArray hello = gb::fromTyped(QStringLiteral("大家好，今天的会议改到下午三点"));
    const QByteArray sender = "p" + QByteArray::number(i % 100).rightJustified(3, '0');
    return wire::talkLine(sender, "host", hello + ' ' + QByteArray::number(i));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;

    int total = 1000000, batch = 100;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == QLatin1String("--lines"))
            total = a[i + 1].toInt();
        else if (a[i] == QLatin1String("--batch"))
            batch = a[i + 1].toInt();
    }
    const int window = std::min(10000, total / 2);

    std::unique_ptr<TForm1> form = startHostWindow(freeLoopbackPort());
    ChatLog* log = form->chat->Memo1;
    runUntil([] { return false; }, 300);
    const long rssBefore = figures::rssKiB();
    const std::int64_t heapBefore = figures::heapBytes();
    qsizetype expectedBytes = 0;

    // Appends from the event loop, batch lines per turn; a 0 ms probe timer shows
    // how late the loop gets round to other work meanwhile.
    std::vector<double> appendNs(static_cast<std::size_t>(total));
    std::vector<double> lateMs;
    int next = 0;
    QElapsedTimer wall;
    wall.start();
    std::int64_t firstWallNs = 0, lastWallStart = 0, lastWallNs = 0;
    QTimer feeder;
    feeder.setInterval(0);
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        for (int k = 0; k < batch && next < total; ++k, ++next) {
            const QByteArray line = talk(next);
            expectedBytes += line.size() + 2;
            const std::int64_t t0 = monotonicNs();
            log->appendLine(line);
            appendNs[std::size_t(next)] = double(monotonicNs() - t0);
        }
        if (next == window)
            firstWallNs = wall.nsecsElapsed();
        if (next == total - window)
            lastWallStart = wall.nsecsElapsed();
        if (next >= total) {
            lastWallNs = wall.nsecsElapsed() - lastWallStart;
            feeder.stop();
        }
    });
    std::int64_t armed = monotonicNs();
    QTimer probe;
    probe.setSingleShot(true);
    probe.setInterval(0);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        lateMs.push_back(double(monotonicNs() - armed) / 1e6);
        if (next < total) {
            armed = monotonicNs();
            probe.start();
        }
    });
    feeder.start();
    probe.start();
    runUntil([&] { return next >= total; }, 3600 * 1000);
    const double appendSeconds = double(wall.nsecsElapsed()) / 1e9;
    runUntil([] { return false; }, 300);
    const long rssAfter = figures::rssKiB();
    const std::int64_t heapAfter = figures::heapBytes();

    double first = 0, last = 0;
    for (int i = 0; i < window; ++i) {
        first += appendNs[std::size_t(i)];
        last += appendNs[std::size_t(total - window + i)];
    }
    first /= window;
    last /= window;

    // Save through the window's own popup item, as the user would.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.txt"));
    dialogs.saveAnswers.append(path);
    QElapsedTimer saveTimer;
    saveTimer.start();
    form->chat->S1->trigger();
    const double saveSeconds = double(saveTimer.nsecsElapsed()) / 1e9;
    QElapsedTimer bytesTimer;
    bytesTimer.start();
    const qsizetype savedSize = log->savedBytes().size();
    const double bytesSeconds = double(bytesTimer.nsecsElapsed()) / 1e9;
    const qint64 fileSize = QFile(path).size();

    const figures::Percentiles late = figures::percentiles(lateMs);
    std::printf("chat log: %d lines appended with ChatLog::appendLine on the shown host window,"
                " %d per event-loop turn, in %.1f s\n",
                total, batch, appendSeconds);
    std::printf("cost per line (wall time: append, display, painting), first %d lines: %.2f us;"
                " last %d: %.2f us; ratio %.2f (target <= 1.1)\n",
                window, double(firstWallNs) / window / 1000, window,
                double(lastWallNs) / window / 1000, double(lastWallNs) / double(firstWallNs));
    std::printf("the appendLine call alone (bytes stored, row inserted), first %d: %.2f us;"
                " last %d: %.2f us; ratio %.2f\n",
                window, first / 1000, window, last / 1000, last / first);
    std::printf("event loop lateness of a 0 ms timer while appending: p50 %.2f ms  p99 %.2f ms"
                "  max %.2f ms (%zu samples; target p99 < 5 ms)\n",
                late.p50, late.p99, late.max, late.count);
    std::printf("memory: RSS %ld -> %ld KiB, %.0f bytes/line (target <= 150); heap %.0f bytes/line;"
                " line bytes on average %.1f\n",
                rssBefore, rssAfter, double(rssAfter - rssBefore) * 1024 / total,
                double(heapAfter - heapBefore) / total, double(expectedBytes) / total - 2);
    std::printf("save of the whole log through the save item: %.3f s (target < 1 s), %lld bytes"
                " written, expected %lld; savedBytes() alone %.3f s\n",
                saveSeconds, (long long)fileSize, (long long)expectedBytes, bytesSeconds);
    std::printf("log lines kept: %lld, rows in the view's model: %d\n", (long long)log->lineCount(),
                log->model()->rowCount());
    if (fileSize != expectedBytes || savedSize != expectedBytes)
        std::printf("ERROR: saved log is not the bytes that were appended\n");
    return 0;
}
