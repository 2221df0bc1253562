// Web seats beside desktop seats, side by side in one run: the real host window
// serving its web page, with N participants in another process, either all
// desktop-style (raw "&U" joins on the room's port) or half of them pages on
// the web port (WebSocket, JSON). Interleaved rounds (A, B, A, B, ...), medians.
// A web seat is a room client inside the host process, so it costs the host a
// second connection and a JSON frame per line on top of what a desktop seat costs.

#include "Driver.h"
#include "HostWindow.h"
#include "Phases.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "RunReport.h"
#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "web/WebGateway.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QSignalBlocker>
#include <algorithm>
#include <cstdio>
#include <malloc.h>

namespace {

// ---- the participants' process ----

QByteArray nickname(int i) {
    return "p" + QByteArray::number(i).rightJustified(3, '0');
}

// A text frame as a client must send it: masked, with a fresh key.
QByteArray maskedText(const QByteArray& payload) {
    QByteArray frame(1, char(0x81));
    const qsizetype n = payload.size();
    if (n < 126) {
        frame += char(0x80 | n);
    } else {
        frame += char(0x80 | 126);
        frame += char(n >> 8);
        frame += char(n & 0xff);
    }
    const quint32 key = QRandomGenerator::global()->generate();
    const char mask[4] = {char(key), char(key >> 8), char(key >> 16), char(key >> 24)};
    frame.append(mask, 4);
    for (qsizetype i = 0; i < n; ++i)
        frame += char(payload[i] ^ mask[i % 4]);
    return frame;
}

// A page's join: the upgrade with our own origin, then {"type":"join"}; seated
// when the room's welcome line arrives. The gateway's frames are unmasked, so the
// marks the phases look for appear in the stream as they are.
bool webJoin(RawParticipant& p, quint16 webPort, const QByteArray& name) {
    if (!p.connectTo(webPort))
        return false;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(webPort);
    quint32 nonce[4];
    QRandomGenerator::global()->fillRange(nonce);
    const QByteArray key =
        QByteArray(reinterpret_cast<const char*>(nonce), sizeof nonce).toBase64();
    const QByteArray accept = QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                                       QCryptographicHash::Sha1)
                                  .toBase64();
    if (!p.sendAll("GET /ws HTTP/1.1\r\nHost: " + host +
                   "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key +
                   "\r\nSec-WebSocket-Version: 13\r\nOrigin: http://" + host + "\r\n\r\n") ||
        !p.waitFor("\r\n\r\n", 10000) || !p.received.startsWith("HTTP/1.1 101") ||
        !p.received.contains(accept))
        return false;
    const qsizetype from = p.received.size();
    static const QByteArray welcome = gb::toDisplay(wire::kWelcome).toUtf8();
    return p.sendAll(maskedText(R"({"type":"join","nickname":")" + name + "\"}")) &&
           p.waitFor(welcome, 10000, from);
}

// Arguments: port participants web lines spacingUs batches batchLines core oneReadBatches.
int driverMain(const QStringList& a) {
    const quint16 port = quint16(a.value(0).toUInt());
    const int n = a.value(1).toInt(), web = a.value(2).toInt();
    driver::pinToCore(a.value(7).toInt());
    driver::Participants all;
    const std::int64_t joinStart = monotonicNs();
    for (int i = 0; i < n; ++i) {
        auto p = std::make_unique<RawParticipant>();
        const bool ok = i < n - web ? driver::join(*p, port, nickname(i))
                                    : webJoin(*p, quint16(port + 1), nickname(i));
        if (!ok) {
            driver::say("ERROR join " + QByteArray::number(i));
            return 1;
        }
        all.push_back(std::move(p));
    }
    // The host's last roster follows its last welcome by its 100 ms pause.
    driver::waitQuiet(all, 400);
    driver::say("JOINED " + QByteArray::number((monotonicNs() - joinStart) / 1000000));
    driver::ReadySet set;
    for (int i = 0; i < n; ++i) {
        all[std::size_t(i)]->received.clear();
        set.add(all[std::size_t(i)]->fd(), i);
    }
    driver::Traffic traffic;
    traffic.lineBytes = [](const QByteArray& text) {
        return wire::line(wire::talkLine(nickname(0), "host", text));
    };
    driver::latencyPhase(all, set, traffic, a.value(3).toInt(), a.value(4).toInt());
    driver::throughputPhase(all, set, traffic, a.value(5).toInt(), a.value(6).toInt());
    driver::oneReadPhase(all, set, traffic, a.value(8).toInt(), a.value(6).toInt());
    // A page that only drops would keep its seat for a minute; these give it up.
    for (int i = n - web; i < n; ++i)
        all[std::size_t(i)]->sendAll(maskedText(R"({"type":"leave"})"));
    return 0;
}

// ---- the host's process ----

struct Options {
    int n = 100, web = 50, lines = 200, spacingUs = 20000, batches = 100, batchLines = 32,
        rounds = 3, oneReadBatches = 100;
};

// The host's heap in use (KiB): unlike RSS, it falls back when a round's seats go, so
// every round measures the seats it seats.
long heapKiB() {
    const struct mallinfo2 m = mallinfo2();
    return long((m.uordblks + m.hblkhd) / 1024);
}

struct HeapGrowth {
    long seatedKiB = 0; // once everyone is seated, before any line
    long endKiB = 0;    // after the last line: the seats' replays hold every line since
};

report::Run runHost(const Options& o, int web, HeapGrowth& heap) {
    report::Run run;
    run.lines = o.lines;
    run.oneReadLines = o.oneReadBatches * o.batchLines;
    const quint16 port = freeLoopbackPortPair();
    auto form = std::make_unique<TForm1>();
    form->show();
    {
        // Not remembered: the user's own settings file stays as it was.
        const QSignalBlocker quiet(form->settings->webJoin);
        form->settings->webJoin->setChecked(true);
        // No room record: the seats are what is measured here; the record's own cost is
        // bench_fanout's `record`.
        const QSignalBlocker still(form->settings->roomHistory);
        form->settings->roomHistory->setChecked(false);
    }
    hostIn(*form, port, QStringLiteral("host"), QStringLiteral("room"));
    liftBudget(*form);
    {
        // Every page comes from the one address here; a LAN's phones each have their own.
        WebLimits limits = form->web->limits();
        limits.joinBurst = o.n;
        form->web->setLimits(limits);
    }
    if (!form->web->isRunning()) {
        std::fprintf(stderr, "web port %d not served\n", port + 1);
        return run;
    }
    runUntil([] { return false; }, 200); // first paint and settle
    QStringList args{QStringLiteral("--driver")};
    for (int v :
         {int(port), o.n, web, o.lines, o.spacingUs, o.batches, o.batchLines, 1, o.oneReadBatches})
        args.append(QString::number(v));
    const figures::Child child = figures::spawnSelf(args);
    run.rssBeforeKiB = figures::rssKiB();
    const long heapBefore = heapKiB();
    bool seated = false;
    report::Collector collect(run, figures::cpuNs, [&] {
        // Asked once everyone is seated, then again after the last line.
        (seated ? heap.endKiB : heap.seatedKiB) = heapKiB() - heapBefore;
        seated = true;
        return figures::rssKiB();
    });
    runUntilChildEnds(child, std::ref(collect));
    figures::waitChild(child);
    // Let every departure run, the pages' seats too, before the window goes.
    runUntil([&] { return seatedCount(*form) == 0 && form->web->seatCount() == 0; }, 30000);
    return run;
}

bool clean(const report::Run& r) {
    return r.lost == 0 && r.duplicates == 0 && r.tputLost == 0 && r.tputDuplicates == 0 &&
           r.oneReadLost == 0;
}

void printRun(const char* what, const report::Run& r) {
    std::printf(
        "  %s  seated %5d ms  p50 %7.1f us  p99 %8.1f us  cpu/line %6.1f us (batched "
        "%5.1f us, one read at a time %5.1f us)  %7.0f lines/s  RSS %ld -> %ld -> %ld KiB  lost "
        "%d dup %d (batched %d/%d)%s\n",
        what, r.joinMs, r.p50(), r.p99(), r.cpuPerLineUs(), r.batchedCpuPerLineUs(),
        r.oneReadCpuPerLineUs(), r.linesPerSecond(), r.rssBeforeKiB, r.rssSeatedKiB, r.rssEndKiB,
        r.lost, r.duplicates, r.tputLost, r.tputDuplicates, clean(r) ? "" : "  LOSSES");
    std::fflush(stdout);
}

Options parse(int argc, char** argv) {
    Options o;
    const std::pair<const char*, int*> named[] = {
        {"--participants", &o.n},  {"--web", &o.web},
        {"--lines", &o.lines},     {"--spacing-us", &o.spacingUs},
        {"--batches", &o.batches}, {"--batch-lines", &o.batchLines},
        {"--rounds", &o.rounds},   {"--one-read-batches", &o.oneReadBatches}};
    for (int i = 1; i + 1 < argc; ++i)
        for (const auto& [name, value] : named)
            if (QByteArray(argv[i]) == name)
                *value = QByteArray(argv[i + 1]).toInt();
    return o;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return driverMain(args);
    }
    const Options o = parse(argc, argv);
    // Before any thread exists: the host and its web seats on core 0, participants on core 1.
    driver::pinToCore(0);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    std::printf("web: A = %d desktop seats, B = %d desktop + %d web seats (web page served in "
                "both); %d lines %d us apart; then %d writes of %d lines; %d rounds; host on "
                "core 0, participants on core 1\n",
                o.n, o.n - o.web, o.web, o.lines, o.spacingUs, o.batches, o.batchLines, o.rounds);
    std::vector<report::Run> a, b;
    std::vector<double> perPage, perPageEnd;
    for (int round = 1; round <= o.rounds; ++round) {
        std::printf("round %d\n", round);
        HeapGrowth heapA, heapB;
        a.push_back(runHost(o, 0, heapA));
        printRun("A", a.back());
        b.push_back(runHost(o, o.web, heapB));
        printRun("B", b.back());
        // B's heap beyond A's for its desktop seats, shared out among its pages.
        const auto page = [&](long KiBA, long KiBB) {
            const double desktop = double(KiBA) / o.n;
            return o.web > 0 ? (KiBB - desktop * (o.n - o.web)) / o.web : 0;
        };
        perPage.push_back(page(heapA.seatedKiB, heapB.seatedKiB));
        perPageEnd.push_back(page(heapA.endKiB, heapB.endKiB));
        std::printf("  heap seated: A +%ld KiB (%.1f a desktop seat), B +%ld KiB (%.1f a page); "
                    "after the last line: A +%ld KiB, B +%ld KiB (%.1f a page)\n",
                    heapA.seatedKiB, double(heapA.seatedKiB) / o.n, heapB.seatedKiB, perPage.back(),
                    heapA.endKiB, heapB.endKiB, perPageEnd.back());
    }
    const report::Medians ma = report::medians(a), mb = report::medians(b);
    auto ratio = [](double x, double y) { return y > 0 ? x / y : 0.0; };
    std::printf("\nmedians of %d rounds\n"
                "| | seated (ms) | p50 (us) | p99 (us) | CPU/line (us) | batched CPU/line (us) "
                "| one read at a time: CPU/line (us) | lines/s | RSS seated (KiB) | RSS end (KiB) "
                "| RSS growth seated / end (KiB) |\n"
                "|---|---|---|---|---|---|---|---|---|---|---|\n",
                o.rounds);
    for (const auto& [name, m] : {std::pair{"A", ma}, std::pair{"B", mb}})
        std::printf(
            "| %s | %.0f | %.0f | %.0f | %.0f | %.1f | %.1f | %.0f | %.0f | %.0f | %.0f / %.0f |\n",
            name, m.joinMs, m.p50, m.p99, m.cpu, m.cpuBatched, m.cpuOneRead, m.tput, m.rssSeated,
            m.rssEnd, m.rssSeatedGrowth, m.rssEndGrowth);
    std::printf("| B/A | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f | %.3f | %.3f | %.1f / "
                "%.1f |\n",
                ratio(mb.joinMs, ma.joinMs), ratio(mb.p50, ma.p50), ratio(mb.p99, ma.p99),
                ratio(mb.cpu, ma.cpu), ratio(mb.cpuBatched, ma.cpuBatched),
                ratio(mb.cpuOneRead, ma.cpuOneRead), ratio(mb.tput, ma.tput),
                ratio(mb.rssSeated, ma.rssSeated), ratio(mb.rssEnd, ma.rssEnd),
                ratio(mb.rssSeatedGrowth, ma.rssSeatedGrowth),
                ratio(mb.rssEndGrowth, ma.rssEndGrowth));
    std::printf("\nheap per seated page (median): %.1f KiB; after the last line, with its replay "
                "of the %d lines (as many as a seat keeps): %.1f KiB\n",
                report::median(perPage), o.lines + o.batches * o.batchLines,
                report::median(perPageEnd));
    int bad = 0;
    for (const auto* runs : {&a, &b})
        for (const report::Run& r : *runs)
            bad += clean(r) ? 0 : 1;
    if (bad == 0)
        std::printf(
            "\nevery participant got every line once in every run (lost 0, duplicated 0)\n");
    else
        std::printf("\nLOSSES: %d of %d runs lost or duplicated lines (see above)\n", bad,
                    int(a.size() + b.size()));
    return bad == 0 ? 0 : 1;
}
