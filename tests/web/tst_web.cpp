// Browser seats: what the room sees of them, and what the web surface refuses.
#include "RawPage.h"
#include "RoomFixture.h"
#include "WebPage.h"
#include "protocol/Wire.h"
#include "web/WebGateway.h"
#include "web/WebLimits.h"
#include "web/WebSeat.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QTcpServer>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace wire;

namespace {

std::unique_ptr<TForm1> startWebHost(quint16 port) {
    return startHost(port, QStringLiteral("host"), QStringLiteral("room"), true);
}

QByteArray httpAnswer(quint16 webPort, const QByteArray& request) {
    RawPeer peer(webPort);
    peer.send(request);
    [&] { QTRY_VERIFY(peer.closedByPeer()); }();
    return peer.poll();
}

// A page takes a seat and its connection drops: its token, and the number of the last
// message it saw; an empty token when it got no seat. Given `joe` (seated), it drops only
// once a line joe says has reached it.
std::pair<QJsonObject, qint64> joinThenDrop(quint16 webPort, const QString& nickname,
                                            RawPeer* joe = nullptr) {
    WebPage page(webPort);
    if (!page.waitOpen())
        return {};
    page.send(msg("join", {{"nickname", nickname}}));
    const QJsonObject token = page.take("token");
    if (page.take("users").isEmpty())
        return {};
    if (joe != nullptr) {
        joe->send(wire::line(wire::talkLine("joe", "host", "through")));
        for (QJsonObject l; !l.value("text").toString().endsWith("through");)
            if ((l = page.take("line")).isEmpty())
                return {};
    }
    const qint64 seen = page.got.last().value("n").toInteger();
    page.socket().abort();
    return {token, seen};
}

} // namespace

class TestWeb : public QObject {
    Q_OBJECT

private slots:
    // Everyone else receives, byte for byte, what a desktop participant in that seat causes.
    void webSeatSendsTheBytesOfADesktopSeat() {
        const QByteArray desktop = joeSees(false);
        const QByteArray web = joeSees(true);
        QVERIFY(desktop.contains(whisperLine("amy", "two")));
        QCOMPARE(web, desktop);
    }

    void refusedJoinsSayWhatTheDesktopSays() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        WebPage page(port + 1);
        QVERIFY(page.waitOpen());
        page.send(msg("join", {{"nickname", "joe"}}));
        QCOMPARE(page.take("notice").value("text").toString(),
                 QStringLiteral("您的昵称已经有人在使用了!"));
        QVERIFY(!page.take("ended").isEmpty());
        page.send(msg("join", {{"nickname", QStringLiteral("服务器")}}));
        QCOMPARE(page.take("notice").value("text").toString(),
                 QStringLiteral("对不起,昵称不能为\"服务器\"!"));
        QCOMPARE(userList(*host), (QList<QByteArray>{"joe", "host"}));
    }

    void textGb2312CannotHoldIsKeptNotSent() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        WebPage page(port + 1);
        QVERIFY(page.joinAs(QStringLiteral("amy")));
        QTRY_VERIFY(joe->poll().contains("amy"));
        joe->forget();
        const QString typed = QStringLiteral("好的😀呀");
        page.send(msg("talk", {{"to", "joe"}, {"text", typed}}));
        const QJsonObject kept = page.take("cannotSend");
        QCOMPARE(kept.value("text").toString(), typed);
        QCOMPARE(kept.value("chars").toArray(), QJsonArray{QStringLiteral("😀")});
        page.send(msg("talk", {{"to", "joe"}, {"text", "ok"}}));
        QTRY_VERIFY(joe->poll().contains("ok"));
        QCOMPARE(joe->poll(), line(talkLine("amy", "joe", "ok")));
    }

    // A phone that slept comes back to its seat and what it missed; nobody saw it go.
    void droppedPageComesBackToItsSeat() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        const auto [token, seen] = joinThenDrop(port + 1, QStringLiteral("amy"));
        QVERIFY(!token.isEmpty());
        QTRY_VERIFY(joe->poll().contains("amy"));
        joe->forget();
        joe->send(line(talkLine("joe", "amy", "still there?")));
        QTRY_VERIFY(!logLines(*host).isEmpty() && logLines(*host).last().contains("still"));
        WebPage back(port + 1);
        QVERIFY(back.waitOpen());
        back.send(msg("resume", {{"token", token.value("token")}, {"n", seen}}));
        QVERIFY(!back.take("resumed").isEmpty());
        const QJsonObject missed = back.take("line");
        QCOMPARE(missed.value("text").toString(), QStringLiteral("joe 对 amy 说: still there?"));
        QCOMPARE(missed.value("kind").toString(), QStringLiteral("toMe"));
        QVERIFY(userList(*host).contains("amy"));
        QVERIFY(!joe->poll().contains(kRoster));
    }

    // A page back after a busy while gets the newest of what it missed, in order and numbered
    // on from what it showed; past what a seat keeps, the oldest go.
    void returningPageGetsTheNewestOfABusyRoom() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        host->host.meter().setBudget({1e9, 1e9, 1e12, 1e12});
        auto joe = rawJoin(*host, port, "joe");
        // What the room says next reaches the seat as it reaches joe, the seat's pause after
        // its arrival over.
        const auto [token, seen] = joinThenDrop(port + 1, QStringLiteral("amy"), joe.get());
        QVERIFY(!token.isEmpty());
        constexpr int kReads = 45, kPerRead = 100;
        static_assert(kReads * kPerRead > WebLimits::kReplayFrames);
        const int last = kReads * kPerRead - 1;
        for (int r = 0; r < kReads; ++r) {
            QByteArray read;
            for (int i = 0; i < kPerRead; ++i)
                read += line(talkLine("joe", "host", "#" + QByteArray::number(r * kPerRead + i)));
            // One read at a time, as a client sends: the room cuts messages at a read's end.
            joe->send(read);
            QTRY_VERIFY(
                joe->poll().endsWith("#" + QByteArray::number(r * kPerRead + kPerRead - 1) + CR));
        }
        WebPage back(port + 1);
        QVERIFY(back.waitOpen());
        back.send(msg("resume", {{"token", token.value("token")}, {"n", seen}}));
        QVERIFY(!back.take("resumed").isEmpty());
        QTRY_VERIFY(!back.got.isEmpty() &&
                    back.got.last().value("text").toString().endsWith(QString::number(last)));
        QList<QJsonObject> lines;
        for (const QJsonObject& o : std::as_const(back.got))
            if (o.value("type") == QStringLiteral("line"))
                lines.append(o);
        QVERIFY(lines.size() <= WebLimits::kReplayFrames);
        QVERIFY(lines.size() > WebLimits::kReplayFrames - kPerRead);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            QCOMPARE(lines[i].value("n").toInteger(), lines[0].value("n").toInteger() + i);
            QVERIFY(lines[i].value("text").toString().endsWith(
                "#" + QString::number(last - lines.size() + 1 + i)));
            QCOMPARE(lines[i].value("kind").toString(), QStringLiteral("other"));
        }
    }

    // Requests that wait out a whisper's pause are bounded; the rest are refused, not kept.
    void floodingPageIsRefusedNotQueued() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        WebPage page(port + 1);
        QVERIFY(page.joinAs(QStringLiteral("amy")));
        page.send(msg("openWhisper", {{"nickname", "joe"}}));
        QVERIFY(!page.take("whisperOpen").isEmpty());
        page.send(msg("whisper", {{"peer", "000"}, {"text", "w"}}));
        for (int i = 0; i < 200; ++i)
            page.send(msg("talk", {{"to", "joe"}, {"text", QString::number(i)}}));
        QVERIFY(!page.take("refused").isEmpty());
        const QByteArray last = talkLine("amy", "joe", QByteArray::number(WebSeat::kMaxQueued - 1));
        QTRY_VERIFY(joe->poll().contains(last));
        QVERIFY(
            !joe->poll().contains(talkLine("amy", "joe", QByteArray::number(WebSeat::kMaxQueued))));
    }

    // Neither many page loads nor the time to ask for one shut the page or the surface.
    void pagesOutliveTheDeadlineAndManyRequests() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        host->web->setDeadlineMs(200);
        WebPage page(port + 1);
        QVERIFY(page.joinAs(QStringLiteral("amy")));
        for (int i = 0; i < 2 * WebLimits().asking; ++i)
            QVERIFY(httpAnswer(port + 1, "GET / HTTP/1.1\r\nHost: x\r\n\r\n")
                        .startsWith("HTTP/1.1 200"));
        QTest::qWait(600); // what is checked is that nothing happens: there is no event to wait for
        QCOMPARE(page.socket().state(), QAbstractSocket::ConnectedState);
        QVERIFY(userList(*host).contains("amy"));
    }

    // A page that does not come back in time leaves as anyone does.
    void unclaimedSeatLeavesAfterItsTime() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        host->web->setSeatKeepMs(300);
        auto joe = rawJoin(*host, port, "joe");
        QJsonObject token;
        {
            WebPage page(port + 1);
            QVERIFY(page.waitOpen());
            page.send(msg("join", {{"nickname", "amy"}}));
            token = page.take("token");
            QTRY_VERIFY(joe->poll().endsWith("amy\nhost\n"));
            joe->forget();
            page.socket().abort();
        }
        QTRY_VERIFY(!userList(*host).contains("amy"));
        QTRY_VERIFY(joe->poll().endsWith("&Yjoe\nhost\n"));
        QVERIFY(joe->poll().startsWith("&Samy " + gbBytes(QStringLiteral("离开聊天室!"))));
        WebPage late(port + 1);
        QVERIFY(late.waitOpen());
        late.send(msg("resume", {{"token", token.value("token")}, {"n", 0}}));
        QVERIFY(!late.take("expired").isEmpty());
    }

    // The tooltip and bans see the browser's own address, not the gateway's.
    void banByAddressReachesTheBrowser() {
        const quint16 port = freePortPair();
        const QByteArray origin = "http://127.0.0.1:" + QByteArray::number(port + 1);
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        RawPage bob(port + 1, "127.0.0.2", origin);
        bob.readUntil("\r\n\r\n");
        bob.frame(1, R"({"type":"join","nickname":"bob"})");
        QTRY_VERIFY(userList(*host).contains("bob"));
        QCOMPARE(host->host.whereabouts("bob")->address, QStringLiteral("127.0.0.2"));
        QCOMPARE(host->host.whereabouts("joe")->address, QStringLiteral("127.0.0.1"));
        choose(*host, "bob");
        host->host.J1Click();
        QTRY_VERIFY(!userList(*host).contains("bob"));
        RawPage again(port + 1, "127.0.0.2", origin);
        again.readUntil("\r\n\r\n");
        again.frame(1, R"({"type":"join","nickname":"bob2"})");
        QVERIFY(
            again.readUntil("ended").contains(QStringLiteral("你已被禁止进入本聊天室").toUtf8()));
        QVERIFY(userList(*host).contains("joe"));
    }

    // The lines of one read are made once for every page, yet each page sees its own kinds.
    void pagesOfOneReadSeeEachLineAsTheirOwnKind() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        WebPage amy(port + 1), bob(port + 1);
        QVERIFY(amy.joinAs(QStringLiteral("amy")));
        QVERIFY(bob.joinAs(QStringLiteral("bob")));
        QTRY_VERIFY(joe->poll().contains("bob\nhost"));
        joe->send(line(talkLine("joe", "amy", "a")) + line(talkLine("joe", "bob", "b")) +
                  line(selfTalkLine("joe", "c")));
        const auto kinds = [](WebPage& page) {
            QStringList seen;
            for (int i = 0; i < 3; ++i)
                seen << page.take("line").value("kind").toString();
            return seen;
        };
        QCOMPARE(kinds(amy), (QStringList{"toMe", "other", "other"}));
        QCOMPARE(kinds(bob), (QStringList{"other", "toMe", "other"}));
        amy.send(msg("talk", {{"to", "bob"}, {"text", "d"}}));
        QCOMPARE(amy.take("line").value("kind").toString(), QStringLiteral("own"));
        const QJsonObject toBob = bob.take("line");
        QCOMPARE(toBob.value("text").toString(), QStringLiteral("amy 对 bob 说: d"));
        QCOMPARE(toBob.value("kind").toString(), QStringLiteral("toMe"));
    }

    // What a browser may send beside whole text frames: pieces, pings and its close.
    void browserFramesAreUnderstood() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        RawPage page(port + 1, "127.0.0.1", "http://127.0.0.1:" + QByteArray::number(port + 1));
        QVERIFY(page.readUntil("\r\n\r\n").startsWith("HTTP/1.1 101"));
        page.frame(1, R"({"type":"join",)", false);
        page.frame(0, R"("nickname":"amy"})");
        QVERIFY(page.readUntil(R"("type":"token")").contains(R"("type":"token")"));
        QTRY_VERIFY(userList(*host).contains("amy"));
        page.frame(9, "hi");
        QVERIFY(page.readUntil("\x8a\x02hi").contains("\x8a\x02hi"));
        page.frame(8, "\x03\xe8");
        QVERIFY(page.readUntil("\x88\x02\x03\xe8").contains("\x88\x02\x03\xe8"));
        page.readUntil("never");
        QVERIFY(page.closed());
    }

    // A page that comes back is sent the room as it is now, not every list it missed.
    void returningPageGetsOnlyTheLatestUsers() {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        const auto [token, seen] = joinThenDrop(port + 1, QStringLiteral("amy"));
        QVERIFY(!token.isEmpty());
        auto joe = rawJoin(*host, port, "joe");
        auto kim = rawJoin(*host, port, "kim");
        // Every seat's list leaves in the same turn as joe's.
        QTRY_VERIFY(joe->poll().endsWith("kim\nhost\n"));
        WebPage back(port + 1);
        QVERIFY(back.waitOpen());
        back.send(msg("resume", {{"token", token.value("token")}, {"n", seen}}));
        const QJsonObject users = back.take("users");
        QCOMPARE(users.value("count").toInt(), 4);
        QVERIFY(back.take("users", 300).isEmpty());
    }

    void badWebSocketInputIsRefused_data() {
        QTest::addColumn<quint8>("opcode");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("answer"); // empty: the connection is closed
        QTest::newRow("unknown request")
            << quint8(1) << QByteArray(R"({"type":"fly"})") << QByteArray(R"("type":"refused")");
        QTest::newRow("not JSON") << quint8(1) << QByteArray("hello") << QByteArray(R"("refused")");
        QTest::newRow("binary") << quint8(2) << QByteArray("\x01\x02")
                                << QByteArray(R"("refused")");
        QTest::newRow("invalid UTF-8")
            << quint8(1) << QByteArray("{\"type\":\"\xff\"}") << QByteArray();
        QTest::newRow("over 64 KiB") << quint8(1) << QByteArray(70 * 1024, ' ') << QByteArray();
    }

    void badWebSocketInputIsRefused() {
        QFETCH(quint8, opcode);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, answer);
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        RawPage page(port + 1, "127.0.0.1", "http://127.0.0.1:" + QByteArray::number(port + 1));
        QVERIFY(page.readUntil("\r\n\r\n").startsWith("HTTP/1.1 101"));
        page.frame(opcode, payload);
        if (answer.isEmpty()) {
            page.readUntil("never");
            QVERIFY(page.closed());
        } else {
            QVERIFY(page.readUntil(answer).contains(answer));
        }
        QCOMPARE(userList(*host), QList<QByteArray>{"host"});
    }

    void httpServesOnlyThePage_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status");
        const QByteArray ws =
            "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:%P\r\nUpgrade: websocket\r\n"
            "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
            "Sec-WebSocket-Version: 13\r\n";
        QTest::newRow("the page") << QByteArray("GET / HTTP/1.1\r\nHost: x\r\n\r\n")
                                  << QByteArray("200");
        QTest::newRow("outside") << QByteArray("GET /../../etc/passwd HTTP/1.1\r\n\r\n")
                                 << QByteArray("404");
        QTest::newRow("encoded") << QByteArray("GET /%2e%2e/etc/passwd HTTP/1.1\r\n\r\n")
                                 << QByteArray("404");
        QTest::newRow("post") << QByteArray("POST / HTTP/1.1\r\nContent-Length: 1\r\n\r\nx")
                              << QByteArray("405");
        QTest::newRow("garbage") << QByteArray("\x01\x02\r\n\r\n") << QByteArray("400");
        QTest::newRow("huge head")
            << QByteArray("GET / HTTP/1.1\r\nX: " + QByteArray(9000, 'a') + "\r\n\r\n")
            << QByteArray("431");
        QTest::newRow("other site") << ws + "Origin: http://evil.example\r\n\r\n"
                                    << QByteArray("403");
        QTest::newRow("rebound name") << QByteArray(ws).replace("127.0.0.1", "evil.example") +
                                             "Origin: http://evil.example:%P\r\n\r\n"
                                      << QByteArray("403");
        QTest::newRow("no origin") << ws + "\r\n" << QByteArray("403");
    }

    void httpServesOnlyThePage() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        const QByteArray answer =
            httpAnswer(port + 1, QByteArray(request).replace("%P", QByteArray::number(port + 1)));
        QVERIFY2(answer.startsWith("HTTP/1.1 " + status), answer.left(80).constData());
        QVERIFY(answer.contains("X-Content-Type-Options: nosniff\r\n"));
        QVERIFY(answer.contains("Content-Security-Policy: "));
    }

    void takenPortLeavesTheRoomRunning() {
        const quint16 port = freePortPair();
        QTcpServer taken;
        QVERIFY(taken.listen(QHostAddress::AnyIPv4, port + 1));
        dialogs.clear();
        auto host = startWebHost(port);
        QTRY_COMPARE(dialogs.texts("message").size(), 1);
        QVERIFY(dialogs.texts("message").first().contains(QString::number(port + 1)));
        auto joe = rawJoin(*host, port, "joe");
        QVERIFY(userList(*host).contains("joe"));
    }

private:
    ScriptedDialogs dialogs;

    // Amy joins, talks to joe, whispers him twice and leaves, from a desktop copy or a page.
    QByteArray joeSees(bool fromWeb) {
        const quint16 port = freePortPair();
        auto host = startWebHost(port);
        auto joe = rawJoin(*host, port, "joe");
        joe->forget();
        std::unique_ptr<TForm1> desktop;
        std::unique_ptr<WebPage> page;
        if (fromWeb) {
            page = std::make_unique<WebPage>(port + 1);
            page->waitOpen();
            page->send(msg("join", {{"nickname", "amy"}}));
        } else {
            desktop = std::make_unique<TForm1>();
            desktop->show();
            connectClient(*desktop, port, QStringLiteral("amy"));
        }
        [&] { QTRY_VERIFY(joe->poll().contains("joe\namy\nhost")); }();
        // In one process the welcome and the first roster can share a read, which a
        // desktop copy takes as one message: the host sends the roster again, to both kinds.
        host->chat->fjk->click();
        if (fromWeb) {
            page->take("users");
            page->send(msg("talk", {{"to", "joe"}, {"text", QStringLiteral("你好")}}));
            page->send(msg("openWhisper", {{"nickname", "joe"}}));
        } else {
            [&] { QTRY_VERIFY(userList(*desktop).contains("joe")); }();
            choose(*desktop, "joe");
            say(*desktop, QStringLiteral("你好"));
            desktop->chat->Q1->trigger();
        }
        if (fromWeb) {
            page->take("whisperOpen");
        } else {
            [&] { QTRY_VERIFY(windowFor(*desktop, "000") != nullptr); }();
        }
        // One at a time: in one process the desktop's pause holds the host up too.
        for (const char* text : {"one", "two"}) {
            if (fromWeb) {
                page->send(msg("whisper", {{"peer", "000"}, {"text", text}}));
            } else {
                windowFor(*desktop, "000")->Edit1->setText(QString::fromLatin1(text));
                QTest::keyClick(windowFor(*desktop, "000")->Edit1, Qt::Key_Return);
            }
            [&] { QTRY_VERIFY(joe->poll().contains(whisperLine("amy", text))); }();
        }
        [&] { QTRY_VERIFY(joe->poll().contains(whisperLine("amy", "two"))); }();
        if (fromWeb)
            page->send(msg("leave"));
        else
            desktop->client.Stop();
        [&] { QTRY_VERIFY(joe->poll().endsWith("joe\nhost\n")); }();
        return joe->poll();
    }
};

QTEST_MAIN(TestWeb)
#include "tst_web.moc"
