// Room files on loopback: a 1 GiB upload (the desktop's FileUpload over the
// WebSocket) and download (HTTP GET) through a host's gateway in a child process,
// against socat copying the same file over a TCP socket (the floor), with the
// host's resident memory sampled throughout.
//   bench_files [MiB]        drives everything, prints figures
//   bench_files serve        the host side: a WebGateway, prints its port
#include "transfer/FileUpload.h"
#include "web/WebGateway.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
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

quint16 freePort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}

int serve() {
    WebGateway gateway;
    // No room here: the one uploader counts as seated, as a desktop copy in the room would be.
    gateway.setRoom({[](const QString&, quint16) {
                         return std::optional<WebGateway::Holder>({1, QStringLiteral("bench")});
                     },
                     {},
                     {},
                     {}});
    const quint16 port = freePort();
    if (!gateway.start(port, port - 1))
        return 1;
    std::printf("port %u\n", port);
    std::fflush(stdout);
    return QCoreApplication::exec();
}

double seconds(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "serve") == 0)
        return serve();
    const qint64 mib = argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024;
    const qint64 size = mib << 20;

    QTemporaryDir dir;
    const QString src = dir.filePath(QStringLiteral("src.bin"));
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        QByteArray block(1 << 20, Qt::Uninitialized);
        for (qint64 i = 0; i < mib; ++i) {
            QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(block.data()),
                                                  block.size() / 4);
            f.write(block);
        }
    }

    QProcess host;
    host.start(QCoreApplication::applicationFilePath(), {QStringLiteral("serve")});
    host.waitForReadyRead(10000);
    const quint16 port = host.readLine().mid(5).trimmed().toUShort();
    const long rssStart = rssKiB(host.processId());
    long rssPeak = rssStart;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout,
                     [&] { rssPeak = std::max(rssPeak, rssKiB(host.processId())); });
    sampler.start(50);

    // Upload.
    QElapsedTimer t;
    t.start();
    QString offer;
    FileUpload upload(src, QStringLiteral("127.0.0.1"), port, QStringLiteral("bench"), {1, {}});
    QObject::connect(&upload, &FileUpload::done, [&](const QString& text) {
        offer = text;
        QCoreApplication::exit(0);
    });
    QObject::connect(&upload, &FileUpload::failed, [&](const QString& word) {
        std::printf("upload failed: %s\n", word.toUtf8().constData());
        QCoreApplication::exit(1);
    });
    upload.start();
    if (QCoreApplication::exec() != 0)
        return 1;
    const double up = seconds(t);
    const long rssAfterUpload = rssPeak;

    // Download, streamed to a file.
    const QString path = offer.section(QLatin1Char(' '), -1);
    const QByteArray target = path.mid(path.indexOf(QStringLiteral("/f/"))).toUtf8();
    QFile out(dir.filePath(QStringLiteral("down.bin")));
    out.open(QIODevice::WriteOnly);
    QTcpSocket socket;
    QByteArray head;
    qint64 got = 0;
    t.restart();
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] {
        QByteArray bytes = socket.readAll();
        if (!head.endsWith("\r\n\r\n")) {
            head += bytes;
            const qsizetype end = head.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            bytes = head.mid(end + 4);
            head.truncate(end + 4);
        }
        got += bytes.size();
        out.write(bytes);
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, [] { QCoreApplication::exit(0); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QCoreApplication::exec();
    out.close();
    const double down = seconds(t);
    sampler.stop();
    host.kill();
    host.waitForFinished();

    // The floor: socat from the file to a socket and back to a file.
    const QString floorOut = dir.filePath(QStringLiteral("floor.bin"));
    const quint16 floorPort = freePort();
    QProcess listener;
    listener.start(QStringLiteral("socat"),
                   {QStringLiteral("-u"),
                    QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr").arg(floorPort),
                    QStringLiteral("CREATE:%1").arg(floorOut)});
    listener.waitForStarted();
    QThread::msleep(300); // socat has no ready signal; its listen is quick
    t.restart();
    QProcess sender;
    sender.start(QStringLiteral("socat"), {QStringLiteral("-u"), QStringLiteral("FILE:%1").arg(src),
                                           QStringLiteral("TCP:127.0.0.1:%1").arg(floorPort)});
    sender.waitForFinished(-1);
    listener.waitForFinished(-1);
    const double floor = seconds(t);

    auto mibps = [&](double s) { return double(mib) / s; };
    std::printf("file             %lld MiB\n", static_cast<long long>(mib));
    std::printf("socat floor      %.2f s  %.0f MiB/s\n", floor, mibps(floor));
    std::printf("upload           %.2f s  %.0f MiB/s  (%.2fx the floor)\n", up, mibps(up),
                up / floor);
    std::printf("download         %.2f s  %.0f MiB/s  (%.2fx the floor)  %s\n", down, mibps(down),
                down / floor, got == size ? "complete" : "SHORT");
    std::printf("host RSS         start %ld KiB, peak during upload %ld KiB, peak overall %ld KiB "
                "(growth %ld KiB)\n",
                rssStart, rssAfterUpload, rssPeak, rssPeak - rssStart);
    return got == size ? 0 : 1;
}
