// One device on the network with no seat: what it can no longer take from the room.
#include "HttpGet.h"
#include "RawPage.h"
#include "RoomFixture.h"
#include "Uploader.h"
#include "WebPage.h"
#include "net/Endpoint.h"
#include "web/FileStore.h"
#include "web/WebGateway.h"

#include <QtTest>

namespace {

QByteArray originOf(quint16 webPort) {
    return "http://127.0.0.1:" + QByteArray::number(webPort);
}

QByteArray frameText(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

class TestWebHostile : public QObject {
    Q_OBJECT

private slots:
    void init() {
        port = freePortPair();
        host = startHost(port, QStringLiteral("host"), QStringLiteral("room"), true);
        joe = rawJoin(*host, port, "joe");
    }
    void cleanup() {
        joe.reset();
        host.reset();
    }

    // Offers from connections that never joined took the room's whole file quota.
    void seatlessOfferReservesNothing() {
        for (const char* from : {"127.0.0.2", "127.0.0.3"}) {
            RawPage bad(port + 1, from, originOf(port + 1));
            QVERIFY(bad.readUntil("\r\n\r\n").startsWith("HTTP/1.1 101"));
            bad.frame(1, R"({"type":"fileOffer","id":1,"from":"x","name":"a","size":2147483648})");
            QVERIFY(bad.readUntil("refused").contains("refused"));
        }
        QCOMPARE(host->web->files()->usedBytes(), 0);
        WebPage amy(port + 1);
        QVERIFY(amy.joinAs(QStringLiteral("amy")));
        amy.send(msg("fileOffer", {{"id", 2}, {"to", "joe"}, {"name", "ok.txt"}, {"size", 3}}));
        const QByteArray token = amy.take("fileReady").value("token").toString().toLatin1();
        amy.socket().sendBinaryMessage(uploadFrame(token, 0, "abc"));
        QVERIFY(!amy.take("fileDone").isEmpty());
    }

    // A desktop copy proves its seat with its room connection's own endpoint; the name
    // shown is the seat's, and its unfinished files go with it.
    void desktopOfferNeedsItsOwnSeat() {
        const int joePort = endpoint::localPortOf(joe->fd());
        const QJsonObject offer{{"type", "fileOffer"}, {"id", 1},    {"from", "mallory"},
                                {"name", "f.bin"},     {"size", 10}, {"seatPort", joePort}};
        RawPage elsewhere(port + 1, "127.0.0.2", originOf(port + 1));
        elsewhere.readUntil("\r\n\r\n");
        elsewhere.frame(1, frameText(offer));
        QVERIFY(elsewhere.readUntil("refused").contains("refused"));
        WebPage wrongPort(port + 1);
        QVERIFY(wrongPort.waitOpen());
        QJsonObject wrong = offer;
        wrong.insert("seatPort", 1);
        wrongPort.send(wrong);
        QVERIFY(!wrongPort.take("refused").isEmpty());
        WebPage desktop(port + 1);
        QVERIFY(desktop.waitOpen());
        desktop.send(offer);
        const QByteArray token = desktop.take("fileReady").value("token").toString().toLatin1();
        QVERIFY(!token.isEmpty());
        QCOMPARE(host->web->files()->find(token)->sender, QStringLiteral("joe"));
        joe->close();
        QTRY_VERIFY(host->web->files()->find(token) == nullptr);
        QTRY_COMPARE(desktop.socket().state(), QAbstractSocket::UnconnectedState);
    }

    // Sixteen seatless connections kept every new phone out, for as long as they liked.
    void seatlessPagesCannotKeepPhonesOut() {
        host->web->setDeadlineMs(300);
        const int perAddress = host->web->limits().waitingPerAddress;
        std::vector<std::unique_ptr<RawPage>> held;
        for (int i = 0; i <= perAddress; ++i) {
            held.push_back(std::make_unique<RawPage>(port + 1, "127.0.0.2", originOf(port + 1)));
            const QByteArray head = held.back()->readUntil("\r\n\r\n");
            QVERIFY(head.startsWith(i < perAddress ? "HTTP/1.1 101" : "HTTP/1.1 503"));
            // Uploading, or saying anything at all, does not keep a place.
            held.back()->frame(1, R"({"type":"resume","token":"x"})");
        }
        WebPage phone(port + 1);
        QVERIFY(phone.joinAs(QStringLiteral("amy")));
        for (auto& page : held) {
            page->readUntil("never");
            QVERIFY(page->closed());
        }
    }

    // An upload that stopped sending held its reservation until the room ended.
    void stoppedUploadFreesItsRoom() {
        WebLimits limits = host->web->limits();
        limits.uploadIdleMs = 300;
        host->web->setLimits(limits);
        WebPage amy(port + 1);
        QVERIFY(amy.joinAs(QStringLiteral("amy")));
        amy.send(msg("fileOffer", {{"id", 1}, {"to", "joe"}, {"name", "big"}, {"size", 100000}}));
        const QByteArray token = amy.take("fileReady").value("token").toString().toLatin1();
        amy.socket().sendBinaryMessage(uploadFrame(token, 0, "0123456789"));
        QCOMPARE(host->web->files()->usedBytes(), 100000);
        QTRY_COMPARE_WITH_TIMEOUT(host->web->files()->usedBytes(), 0, 5000);
        amy.send(msg("fileResume", {{"token", QString::fromLatin1(token)}}));
        QVERIFY(!amy.take("fileRefused").isEmpty());
    }

    // Downloads that read nothing held the HTTP slots, and their clients' bytes the memory.
    void stalledDownloadsAreClosedAndKeepNoPageOut() {
        WebLimits limits = host->web->limits();
        limits.downloadStallMs = 500;
        host->web->setLimits(limits);
        FileStore& store = *host->web->files();
        QString word;
        const QByteArray bytes(8 << 20, 'x');
        const QByteArray token = store.begin(Owner::host(), "host", "big.bin", bytes.size(), &word);
        QVERIFY(store.write(token, 0, bytes, &word));
        const QByteArray request = "GET /f/" + token + "/big.bin HTTP/1.1\r\nHost: x\r\n\r\n";
        std::vector<std::unique_ptr<RawPeer>> stalled;
        for (int i = 0; i < limits.downloadsPerAddress; ++i) {
            stalled.push_back(std::make_unique<RawPeer>(port + 1));
            stalled.back()->send(request);
        }
        // It keeps sending after its request: the host does not read it.
        qint64 taken = 0;
        const QByteArray junk(1 << 16, 'j');
        for (int i = 0; i < 1024; ++i) {
            const ssize_t n = ::send(stalled.front()->fd(), junk.data(), junk.size(),
                                     MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n <= 0)
                break;
            taken += n;
        }
        QVERIFY2(taken < (32 << 20), QByteArray::number(taken).constData());
        QTRY_COMPARE(httpGet(port + 1, "/f/" + token + "/big.bin", {}, 0).status(), 503);
        QCOMPARE(httpGet(port + 1, "/").status(), 200);
        // Stalled ones are let go, and their places with them.
        QTRY_COMPARE_WITH_TIMEOUT(httpGet(port + 1, "/f/" + token + "/big.bin", {}, 0).status(),
                                  200, 5000);
    }

    // Invalid frames from a page were each answered and queued for it without end.
    void pageThatKeepsSendingGarbageIsClosed() {
        RawPage bad(port + 1, "127.0.0.2", originOf(port + 1));
        bad.readUntil("\r\n\r\n");
        for (int i = 0; i < 4 * host->web->limits().refusals; ++i)
            bad.frame(1, "hello");
        bad.readUntil("never");
        QVERIFY(bad.closed());
    }

    // Offers cost one lookup each and are metered per seat; a room holds so many files.
    void offersAreMeteredAndFilesCounted() {
        WebPage amy(port + 1);
        QVERIFY(amy.joinAs(QStringLiteral("amy")));
        for (int i = 0; i < 40; ++i)
            amy.send(msg("fileOffer", {{"id", i}, {"to", "joe"}, {"name", "e"}, {"size", 0}}));
        QVERIFY(amy.take("fileRefused").value("text").toString().contains(QStringLiteral("太快")));
        QVERIFY(host->web->files()->count() < 40);
        FileStore::Limits few = host->web->limits().files;
        few.filesPerRoom = host->web->files()->count();
        host->web->setFileLimits(few);
        QString word;
        QVERIFY(host->web->files()->begin(Owner::host(), "host", "one more", 0, &word).isEmpty());
        QVERIFY(word.contains(QStringLiteral("最多")));
    }

    // Joining again and again made the host pause for every welcome.
    void joinsFromOneAddressAreMetered() {
        WebPage page(port + 1);
        QVERIFY(page.waitOpen());
        bool refused = false;
        for (int i = 0; i < 3 * host->web->limits().joinBurst && !refused; ++i) {
            page.send(msg("join", {{"nickname", "amy"}}));
            const QJsonObject answer = page.take(QStringLiteral("users"), 2000);
            refused = answer.isEmpty();
            page.send(msg("leave"));
            if (!refused)
                QVERIFY(!page.take("ended").isEmpty());
        }
        QVERIFY(refused);
        QVERIFY(!page.take("refused").isEmpty());
    }

private:
    ScriptedDialogs dialogs;
    quint16 port = 0;
    std::unique_ptr<TForm1> host;
    std::unique_ptr<RawPeer> joe;
};

QTEST_MAIN(TestWebHostile)
#include "tst_webhostile.moc"
