// The web surface's message handling under any sequence of requests from any
// connections, seated or not: JSON requests, upload pieces, connections going,
// seats leaving. Nothing may outlive its owner, and nothing may grow without bound.
#include "Chunks.h"
#include "Require.h"
#include "web/FileStore.h"
#include "web/PageConnection.h"
#include "web/WebGateway.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QtEndian>

namespace {

constexpr int kMaxConnections = 8;
constexpr quint64 kSeats = 3; // desktop seats 1..3, proved by naming their port

QJsonObject offer(const QByteArray& bytes, uint8_t control) {
    QJsonObject o{{QStringLiteral("type"), QStringLiteral("fileOffer")},
                  {QStringLiteral("id"), int(control)},
                  {QStringLiteral("name"), QString::fromUtf8(bytes.left(40))},
                  {QStringLiteral("size"), bytes.size() > 40 ? qint64(bytes[40]) * 977 : 0}};
    switch ((control >> 3) % 4) {
    case 0:
        o.insert(QStringLiteral("seatPort"), int(control >> 5)); // 0..7: some are seats
        break;
    case 1:
        o.insert(QStringLiteral("from"), QStringLiteral("anyone"));
        break;
    case 2:
        o.insert(QStringLiteral("to"), QStringLiteral("joe"));
        break;
    default:
        break;
    }
    return o;
}

class Harness {
public:
    Harness() {
        WebLimits limits;
        limits.files.perFile = 1 << 20;
        limits.files.perRoom = 4 << 20;
        limits.files.filesPerRoom = 40;
        gateway.setLimits(limits);
        // Files in memory where there is a tmpfs: the run is about the gateway, not the disk.
        if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
            gateway.setFileFolder(QStringLiteral("/dev/shm"));
        gateway.setRoom({[](const QString& address, quint16 port) {
                             std::optional<WebGateway::Holder> holder;
                             if (address == QStringLiteral("127.0.0.1") && port >= 1 &&
                                 port <= kSeats)
                                 holder = WebGateway::Holder{port, QStringLiteral("joe")};
                             return holder;
                         },
                         [](const QString& address) { return address.endsWith(QLatin1Char('9')); },
                         [] { return QStringLiteral("host"); },
                         {}});
    }

    void run(const uint8_t* data, size_t size) {
        // One surface for the whole run: starting one per input would measure the disk.
        if (!gateway.isRunning())
            require(gateway.start(0, 0), "the surface starts");
        Chunks chunks(data, size);
        uint8_t control = 0;
        QByteArray bytes;
        while (chunks.next(control, bytes)) {
            step(control, bytes);
            check();
        }
        for (PageConnection* page : std::as_const(pages))
            gateway.gone(page);
        pages.clear();
        for (quint64 serial = 1; serial <= kSeats; ++serial)
            gateway.seatLeft(serial);
        require(gateway.connectionCount() == 0, "every connection is forgotten when it goes");
        FileStore* files = gateway.files();
        for (quint64 serial = 1; serial <= kSeats; ++serial)
            require(files->unfinished(Owner::desktop(serial)) == 0,
                    "a seat that left keeps no reservation");
        // The host never leaves: its files, and anything late, go as the host removes them.
        for (const QByteArray& token : tokens())
            files->remove(token);
        step(7, {});
        require(gateway.uploadCount() == 0 && files->usedBytes() == 0 && files->count() == 0,
                "a removed file leaves nothing behind");
    }

private:
    void step(uint8_t control, const QByteArray& bytes) {
        PageConnection* page = pages.isEmpty() ? nullptr : pages[(control >> 3) % pages.size()];
        switch (control % 8) {
        case 0:
            if (pages.size() < kMaxConnections)
                pages.append(gateway.openDetached(
                    (control & 0x80) ? QStringLiteral("10.0.0.9") : QStringLiteral("127.0.0.1"),
                    [this](const QString& text) { answered += text.size(); }));
            break;
        case 1:
            if (page != nullptr)
                gateway.text(page, QString::fromUtf8(bytes));
            break;
        case 2:
            if (page != nullptr)
                gateway.binary(page, piece(control, bytes));
            break;
        case 3:
            if (page != nullptr) {
                QJsonObject o = offer(bytes, control);
                if (control & 0x40)
                    o.insert(QStringLiteral("hostKey"), QString::fromLatin1(gateway.hostKey()));
                gateway.text(page, QString::fromUtf8(QJsonDocument(o).toJson()));
            }
            break;
        case 4:
            if (page != nullptr && !tokens().isEmpty()) {
                const QByteArray token = tokens()[control % tokens().size()];
                const QString type =
                    (control & 0x40) ? QStringLiteral("fileCancel") : QStringLiteral("fileResume");
                gateway.text(page,
                             QString::fromUtf8(
                                 QJsonDocument(QJsonObject{{"type", type},
                                                           {"token", QString::fromLatin1(token)}})
                                     .toJson()));
            }
            break;
        case 5:
            if (page != nullptr) {
                pages.removeOne(page);
                gateway.gone(page);
            }
            break;
        case 6:
            gateway.seatLeft(1 + control % kSeats);
            break;
        default: {
            // Time passing: with no wait at all, every upload and seatless connection is late.
            WebLimits limits = gateway.limits();
            const WebLimits kept = limits;
            limits.uploadIdleMs = limits.deadlineMs = 0;
            gateway.setLimits(limits);
            gateway.sweep();
            gateway.setLimits(kept);
            break;
        }
        }
    }

    QList<QByteArray> tokens() {
        QList<QByteArray> all;
        for (const FileStore::File* f : gateway.files()->files())
            all.append(f->token);
        return all;
    }

    // An upload piece for a file the store knows, at the offset it stands at or near it.
    QByteArray piece(uint8_t control, const QByteArray& bytes) {
        const QList<QByteArray> known = tokens();
        if (known.isEmpty() || (control & 0x40))
            return bytes;
        const QByteArray token = known[(control >> 3) % known.size()];
        const FileStore::File* file = gateway.files()->find(token);
        QByteArray frame = token;
        frame.resize(WebLimits::kUploadHeader);
        qToBigEndian<qint64>(file->have + ((control & 0x80) ? 1 : 0), frame.data() + 32);
        return frame + bytes;
    }

    void check() {
        FileStore* files = gateway.files();
        require(files->count() <= files->limits().filesPerRoom,
                "a room holds a bounded number of files");
        require(files->usedBytes() <= files->limits().perRoom,
                "the room's bytes stay within its limit");
        require(gateway.uploadCount() <= int(kSeats + 1) * files->limits().uploadsPerSender,
                "uploads only from seats, a few each");
        require(gateway.connectionCount() <= kMaxConnections, "connections are forgotten");
        for (quint64 serial = 1; serial <= kSeats; ++serial)
            require(files->unfinished(Owner::desktop(serial)) <= files->limits().uploadsPerSender,
                    "a seat's unfinished uploads stay within its limit");
        require(files->unfinished(Owner()) == 0, "nobody without a seat reserves anything");
    }

    WebGateway gateway;
    QList<PageConnection*> pages;
    qint64 answered = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static int argc = 1;
    static char name[] = "fuzz_gateway";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Harness harness;
    harness.run(data, size);
    return 0;
}
