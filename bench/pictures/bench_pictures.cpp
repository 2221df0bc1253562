// A log that receives 1,000 pictures of 2 MP, both ends the program's own window: a host
// window in a child process, hosting with 允许网页加入 on (its own log shows every picture
// too), and in this process a client window that joined, whose picture cache fetches
// each one from the host as its line arrives. A raw participant sends them: an upload
// proved by its seat, then its talk line, as a desktop copy does.
//   bench_pictures [count]    drives everything, prints figures
//   bench_pictures serve      the host side: prints its port
#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "net/Endpoint.h"
#include "protocol/Attachment.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "transfer/FileUpload.h"
#include "transfer/PictureCache.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "web/WebGateway.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>

namespace {

int serve() {
    const quint16 port = freeLoopbackPortPair();
    auto form = std::make_unique<TForm1>();
    form->show();
    form->settings->webJoin->setChecked(true);
    hostIn(*form, port, QStringLiteral("host"), QStringLiteral("room"));
    if (!runUntil([&] { return form->web->port() != 0; }, 5000))
        return 1;
    liftBudget(*form);
    WebLimits limits = form->web->limits();
    limits.offerBurst = 1 << 20; // one sender offering as fast as it can
    limits.files.filesPerRoom = 1 << 20;
    limits.files.perRoom = qint64(64) << 30;
    form->web->setLimits(limits);
    std::printf("port %u\n", port);
    std::fflush(stdout);
    return QCoreApplication::exec();
}

// 1600 x 1250 of colour with grain, as a phone's JPEG: about a megabyte.
QByteArray photo() {
    QImage image(1600, 1250, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] =
                qRgb(x * 255 / 1600, y * 255 / 1250, int(QRandomGenerator::global()->bounded(256)));
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return png;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool serving = argc > 1 && qstrcmp(argv[1], "serve") == 0;
    const ScratchHome home; // the child hosts in one of its own
    QApplication app(argc, argv);
    if (serving)
        return serve();
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    const QString src = home.path() + QStringLiteral("/photo.jpg");
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        f.write(photo());
    }
    QProcess host;
    host.start(QCoreApplication::applicationFilePath(), {QStringLiteral("serve")});
    host.waitForReadyRead(20000);
    const quint16 port = host.readLine().mid(5).trimmed().toUShort();
    if (port == 0) {
        std::printf("the host did not start\n");
        return 1;
    }

    RawParticipant amy;
    amy.connectTo(port);
    if (!amy.waitFor("&U", 5000) || !amy.sendAll("&Uamy") || !amy.waitFor("&Y", 5000)) {
        std::printf("amy was not seated\n");
        return 1;
    }
    TForm1 bob;
    bob.show();
    joinIn(bob, port, QStringLiteral("bob"));
    ChatLog* log = bob.chat->Memo1;
    if (!runUntil([&] { return log->lineCount() > 0; }, 5000)) {
        std::printf("bob was not welcomed\n");
        return 1;
    }
    runUntil([] { return false; }, 300); // the roster after the welcome
    const long clientStart = figures::rssKiB();
    const std::int64_t heapStart = figures::heapBytes();
    const long hostStart = figures::rssKiB(long(host.processId()));

    QList<double> shownMs;
    QElapsedTimer sinceLine;
    QString waitingFor;
    bool arrived = false, settled = false;
    QObject::connect(log->model(), &QAbstractItemModel::rowsInserted, [&] {
        if (!arrived && !waitingFor.isEmpty() &&
            log->lines().constLast().contains(waitingFor.toLatin1())) {
            arrived = true;
            sinceLine.start();
        }
    });
    QObject::connect(bob.pictures, &PictureCache::changed, [&](const QString& token) {
        if (token != waitingFor || !arrived)
            return;
        const PictureCache::Look look = bob.pictures->look(token);
        if (look.state == PictureCache::State::Fetching)
            return;
        if (look.state == PictureCache::State::Shown)
            shownMs.append(double(sinceLine.nsecsElapsed()) / 1e6);
        else
            std::printf("picture %d not shown: %s\n", int(shownMs.size()),
                        look.word.toUtf8().constData());
        settled = true;
    });
    const FileUpload::Proof proof{endpoint::localPortOf(amy.fd()), {}};
    long clientPeak = clientStart;
    for (int i = 0; i < count; ++i) {
        FileUpload upload(src, QStringLiteral("127.0.0.1"), port + 1, QStringLiteral("amy"), proof);
        upload.setPicture(true);
        QString text;
        bool failed = false;
        QObject::connect(&upload, &FileUpload::done, [&](const QString& t) { text = t; });
        QObject::connect(&upload, &FileUpload::failed, [&](const QString& word) {
            std::printf("upload failed: %s\n", word.toUtf8().constData());
            failed = true;
        });
        upload.start();
        if (!runUntil([&] { return failed || !text.isEmpty(); }, 20000) || failed)
            return 1;
        // amy says it, the host relays it, bob's window stores it and asks for the picture.
        const QByteArray line = wire::talkLine("amy", "bob", gb::fromTyped(text));
        waitingFor = attachment::find(line)->token;
        arrived = settled = false;
        amy.sendAll(wire::line(line));
        if (!runUntil([&] { return settled; }, 20000)) {
            std::printf("picture %d never settled\n", i);
            return 1;
        }
        amy.drain();
        amy.received.clear();
        clientPeak = std::max(clientPeak, figures::rssKiB());
    }
    std::sort(shownMs.begin(), shownMs.end());
    const auto at = [&](double q) { return shownMs.value(qsizetype(q * (shownMs.size() - 1))); };
    std::printf("pictures %d of %d shown, %lld bytes each, %lld rows in bob's log\n",
                int(shownMs.size()), count, QFileInfo(src).size(),
                static_cast<long long>(log->lineCount()));
    std::printf("line to thumbnail: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", at(0.5), at(0.99),
                shownMs.isEmpty() ? 0 : shownMs.last());
    std::printf("client window RSS: %ld KiB at start, %ld KiB after, peak %ld KiB\n", clientStart,
                figures::rssKiB(), clientPeak);
    std::printf("client heap in use: %.1f MiB more after\n",
                double(figures::heapBytes() - heapStart) / (1 << 20));
    std::printf("host window RSS: %ld KiB at start, %ld KiB after\n", hostStart,
                figures::rssKiB(long(host.processId())));
    host.kill();
    host.waitForFinished();
    return 0;
}
