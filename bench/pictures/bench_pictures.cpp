// A log that receives 1,000 pictures of 2 MP: a host's gateway in a child process keeps
// them, this process is the client, with a chat log on screen and its picture cache
// fetching each one from the host as its line arrives.
//   bench_pictures [count]    drives everything, prints figures
//   bench_pictures serve      the host side: a WebGateway, prints its port
#include "protocol/Attachment.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "transfer/FileUpload.h"
#include "transfer/PictureCache.h"
#include "ui/ChatLog.h"
#include "ui/ThumbnailPainter.h"
#include "web/WebGateway.h"

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

long rssKiB(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

int serve() {
    WebGateway gateway;
    gateway.setRoom({[](const QString&, quint16) {
                         return std::optional<WebGateway::Holder>({1, QStringLiteral("bench")});
                     },
                     {},
                     {},
                     {}});
    WebLimits limits;
    limits.offerBurst = 1 << 20; // one sender offering as fast as it can
    limits.files.filesPerRoom = 1 << 20;
    limits.files.perRoom = qint64(64) << 30;
    gateway.setLimits(limits);
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    if (!gateway.start(port, port - 1))
        return 1;
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
    if (argc > 1 && qstrcmp(argv[1], "serve") == 0) {
        QCoreApplication app(argc, argv);
        return serve();
    }
    QApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000;
    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("photo.jpg"));
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        f.write(photo());
    }
    QProcess host;
    host.start(QCoreApplication::applicationFilePath(), {QStringLiteral("serve")});
    host.waitForReadyRead(10000);
    const quint16 port = host.readLine().mid(5).trimmed().toUShort();

    ChatLog log;
    log.resize(600, 400);
    log.show();
    PictureCache pictures;
    pictures.setBox(QSize(240, 240));
    log.setPictures([&](const QString& token) {
        const PictureCache::Look look = pictures.look(token);
        return PictureLook{PictureLook::State(look.state), look.image, look.size, look.word};
    });
    QObject::connect(&pictures, &PictureCache::changed, &log, &ChatLog::attachmentsChanged);
    const long clientStart = rssKiB(QCoreApplication::applicationPid());
    const long hostStart = rssKiB(host.processId());

    QList<double> shownMs;
    QElapsedTimer sinceLine;
    QString waitingFor;
    QObject::connect(&pictures, &PictureCache::changed, [&](const QString& token) {
        if (token != waitingFor)
            return;
        if (pictures.look(token).state == PictureCache::State::Shown)
            shownMs.append(sinceLine.nsecsElapsed() / 1e6);
        else
            std::printf("picture %d not shown: %s\n", int(shownMs.size()),
                        pictures.look(token).word.toUtf8().constData());
        QCoreApplication::exit(0);
    });
    long clientPeak = clientStart;
    for (int i = 0; i < count; ++i) {
        FileUpload upload(src, QStringLiteral("127.0.0.1"), port, QStringLiteral("bench"), {1, {}});
        upload.setPicture(true);
        QString text;
        QObject::connect(&upload, &FileUpload::done, [&](const QString& t) {
            text = t;
            QCoreApplication::exit(0);
        });
        QObject::connect(&upload, &FileUpload::failed, [&](const QString& word) {
            std::printf("upload failed: %s\n", word.toUtf8().constData());
            QCoreApplication::exit(1);
        });
        upload.start();
        if (QCoreApplication::exec() != 0)
            return 1;
        // The line arrives: stored, drawn, and its picture asked for at once.
        const QByteArray line = wire::talkLine("amy", "bob", gb::fromTyped(text));
        const auto offer = attachment::find(line);
        waitingFor = offer->token;
        sinceLine.start();
        log.appendLine(line);
        pictures.offered(*offer, QStringLiteral("http://127.0.0.1:%1").arg(port));
        QCoreApplication::exec();
        clientPeak = std::max(clientPeak, rssKiB(QCoreApplication::applicationPid()));
    }
    std::sort(shownMs.begin(), shownMs.end());
    const auto at = [&](double q) { return shownMs.value(qsizetype(q * (shownMs.size() - 1))); };
    std::printf("pictures %d of %d shown, %lld bytes each\n", int(shownMs.size()), count,
                QFileInfo(src).size());
    std::printf("line to thumbnail: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", at(0.5), at(0.99),
                shownMs.isEmpty() ? 0 : shownMs.last());
    std::printf("client RSS: %ld KiB at start, %ld KiB after, peak %ld KiB\n", clientStart,
                rssKiB(QCoreApplication::applicationPid()), clientPeak);
    std::printf("host RSS: %ld KiB at start, %ld KiB after\n", hostStart, rssKiB(host.processId()));
    host.kill();
    host.waitForFinished();
    return 0;
}
