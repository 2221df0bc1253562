// The room's record at its largest: a host that hosts a room whose record holds
// 100,000 lines, and pages that join it one after another. Per join, the time from
// the page's join to the last piece of its 200 earlier lines, and the same asked by a
// desktop copy that holds its seat; and the time the host takes to read the record and
// show it when hosting starts.
//   bench_history [--lines 100000] [--joins 30]

#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "ScriptedDialogs.h"
#include "app/ProgramSettings.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "host/RoomRecord.h"
#include "net/Endpoint.h"
#include "protocol/Gb.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "web/WebGateway.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <cstdio>

namespace {

// A record as a busy month leaves it: talk lines of everyday length, oldest first.
void writeRecord(const QString& path, int lines) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QDateTime start = QDateTime::currentDateTime().addDays(-20);
    QByteArray out;
    for (int i = 0; i < lines; ++i) {
        const QByteArray said =
            gb::fromTyped(QStringLiteral("同学%1 对 大家 说: 第%2句,今天的作业在黑板上,明天交")
                              .arg(i % 40)
                              .arg(i));
        out += RoomRecord::encode({start.addSecs(i * 17), "&S" + said + '\r'});
    }
    f.write(out);
}

// One page joining: milliseconds until its earlier lines are all in, and how many came.
std::pair<double, int> joinOnce(quint16 webPort, const QString& nickname) {
    QWebSocket page(QStringLiteral("http://127.0.0.1:%1").arg(webPort));
    QElapsedTimer clock;
    int lines = 0;
    double ms = -1;
    QObject::connect(&page, &QWebSocket::connected, [&] {
        clock.start();
        page.sendTextMessage(
            QString::fromUtf8(QJsonDocument(QJsonObject{{"type", "join"}, {"nickname", nickname}})
                                  .toJson(QJsonDocument::Compact)));
    });
    QObject::connect(&page, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
        if (m.value("type").toString() != QStringLiteral("history"))
            return;
        lines += int(m.value("lines").toArray().size());
        if (!m.value("more").toBool())
            ms = double(clock.nsecsElapsed()) / 1e6;
    });
    page.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(webPort)));
    runUntil([&] { return ms >= 0; }, 10000);
    page.sendTextMessage(QStringLiteral(R"({"type":"leave"})"));
    page.close();
    runUntil([] { return false; }, 20);
    return {ms, lines};
}

// A desktop copy's question for the kept talk, on a connection of its own, proved by
// the seat `seatPort` holds: milliseconds until the last piece, and how many lines came.
std::pair<double, int> askOnce(quint16 webPort, quint16 seatPort) {
    QWebSocket socket(QStringLiteral("http://127.0.0.1:%1").arg(webPort));
    QElapsedTimer clock;
    int lines = 0;
    double ms = -1;
    QObject::connect(&socket, &QWebSocket::connected, [&] {
        clock.start();
        socket.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"type", "history"}, {"seatPort", seatPort}})
                .toJson(QJsonDocument::Compact)));
    });
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject m = QJsonDocument::fromJson(text.toUtf8()).object();
        lines += int(m.value("lines").toArray().size());
        if (!m.value("more").toBool(true))
            ms = double(clock.nsecsElapsed()) / 1e6;
    });
    socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(webPort)));
    runUntil([&] { return ms >= 0; }, 10000);
    socket.close();
    runUntil([] { return false; }, 5);
    return {ms, lines};
}

void report(const char* what, const std::vector<double>& ms, int asked, int short_) {
    const figures::Percentiles p = figures::percentiles(ms);
    std::printf("%s: p50 %.2f ms  p99 %.2f ms  max %.2f ms  (%zu of %d answered, %d short)\n", what,
                p.p50, p.p99, p.max, ms.size(), asked, short_);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    int recordLines = 100000, joins = 30;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--lines")
            recordLines = QByteArray(argv[i + 1]).toInt();
        else if (QByteArray(argv[i]) == "--joins")
            joins = QByteArray(argv[i + 1]).toInt();
    }
    ScriptedDialogs dialogs;
    Dialogs::install(&dialogs);
    const quint16 port = freeLoopbackPortPair();
    const QString path = RoomRecord::pathFor(ProgramSettings::historyFolder(), "room", port);
    writeRecord(path, recordLines);
    std::printf("history: a record of %d lines (%.1f MiB), %d joins, %d lines each\n", recordLines,
                double(QFileInfo(path).size()) / (1 << 20), joins,
                ProgramSettings().historyLines());

    auto form = std::make_unique<TForm1>();
    form->show();
    form->settings->roomHistory->setChecked(true);
    form->settings->webJoin->setChecked(true);
    QElapsedTimer hosting;
    hosting.start();
    hostIn(*form, port, QStringLiteral("host"), QStringLiteral("room"));
    const double hostMs = double(hosting.nsecsElapsed()) / 1e6;
    std::printf("hosting with the record read and shown: %.1f ms, %lld rows in the log\n", hostMs,
                static_cast<long long>(form->chat->Memo1->lineCount()));
    WebLimits limits = form->web->limits();
    limits.joinBurst = 1 << 20; // the joins are the measure here, not their metering
    form->web->setLimits(limits);
    runUntil([] { return false; }, 200);

    std::vector<double> ms;
    int short_ = 0;
    for (int i = 0; i < joins; ++i) {
        const auto [took, lines] = joinOnce(form->web->port(), QStringLiteral("p%1").arg(i));
        if (took >= 0)
            ms.push_back(took);
        short_ += lines != ProgramSettings().historyLines();
    }
    report("a page, join to its last earlier line (the welcome's pause included)", ms, joins,
           short_);

    // A desktop copy's seat, then its questions: the record's own cost, without the welcome.
    RawParticipant desktop;
    desktop.connectTo(port);
    runUntil([&] { return desktop.drain() && desktop.received.startsWith("&U"); }, 5000);
    desktop.sendAll("&U" + QByteArray("desk"));
    runUntil([&] { return desktop.drain() && desktop.received.contains("&Y"); }, 5000);
    std::vector<double> asked;
    int askedShort = 0;
    for (int i = 0; i < joins; ++i) {
        const auto [took, lines] = askOnce(form->web->port(), endpoint::localPortOf(desktop.fd()));
        if (took >= 0)
            asked.push_back(took);
        askedShort += lines != ProgramSettings().historyLines();
    }
    report("a desktop copy, question to its last earlier line", asked, joins, askedShort);
    std::printf("host resident: %.1f MiB\n", double(figures::rssKiB()) / 1024);
    return 0;
}
