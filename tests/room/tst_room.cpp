#include "RoomFixture.h"
#include "net/Sockets.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"
#include "ui/FindBar.h"

#include <QClipboard>
#include <QGroupBox>
#include <QHelpEvent>
#include <QMenu>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>
#include <linux/tcp.h>
#include <sys/socket.h>

using namespace wire;

namespace {

const QByteArray kJoe = "joe";
const QByteArray kAmy = "amy";

QByteArray welcomeOf(const QByteArray& room) {
    return line(welcome(room));
}

// TCP segments with data that have arrived at this socket: one per send of the host
// on loopback, where a send of a few kilobytes is never cut.
quint32 dataSegmentsIn(int fd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return 0;
    return info.tcpi_data_segs_in;
}

} // namespace

class TestRoom : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setSocketExceptionHook([](const std::exception& e) { reportError(e); });
        QDir::setCurrent(workDir.path());
    }
    void init() { dialogs = std::make_unique<ScriptedDialogs>(); }
    void cleanup() { dialogs.reset(); }

    void hostingStartsTheRoom() {
        const quint16 port = freePort();
        auto host = startHost(port, QStringLiteral("主持人"), QStringLiteral("大厅"));
        QCOMPARE(host->statusText(), QStringLiteral("成功,服务器已开启!"));
        QVERIFY(host->settings->Group1->isHidden());
        QCOMPARE(host->settings->overgame->text(), QStringLiteral("结束服务(&O)"));
        QVERIFY(host->chat->Panel4->isEnabled());
        QCOMPARE(host->page->currentIndex(), 1);
        QCOMPARE(userList(*host), QList<QByteArray>{gbBytes(QStringLiteral("主持人"))});
        QCOMPARE(host->chat->pep->text(), QStringLiteral("1"));
        QCOMPARE(host->xiaoname->text(), QStringLiteral("聊天室名:大厅"));
        QCOMPARE(host->xiaonc->text(), QStringLiteral("昵称:主持人"));
        QCOMPARE(host->room.mode, int(RoomState::HostMode));
    }

    void hostingRefusals() {
        const quint16 port = freePort();
        auto host = startHost(port, QStringLiteral("host"), QString());
        QCOMPARE(dialogs->texts("message"), QStringList{QStringLiteral("聊天室名不能为空!")});
        host->settings->ip2->setText(QStringLiteral("room"));
        host->settings->nc2->clear();
        host->settings->SpeedButton2->click();
        QCOMPARE(dialogs->texts("message").last(), QStringLiteral("昵称不能为空!"));

        // A port already taken: stays on the settings page and can retry.
        auto first = startHost(port);
        auto second = startHost(port);
        QCOMPARE(dialogs->texts("message").last(),
                 QStringLiteral("不能开设端口,请检查端口是否正确!"));
        QCOMPARE(second->statusText(), QStringLiteral("开设端口失败!"));
        QVERIFY(second->settings->Group1->isHidden() == false);
        QCOMPARE(second->room.mode, int(RoomState::NoSession));
    }

    void joinHandshakeOnTheWire() {
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer peer(port);
        QTRY_COMPARE(peer.poll(), QByteArray("&U"));
        peer.forget();
        peer.send(joinReply(kJoe));
        const QByteArray expected = welcomeOf("room") + roster("joe\nhost\n");
        QTRY_COMPARE(peer.poll(), expected);
        QCOMPARE(userList(*host), (QList<QByteArray>{kJoe, "host"}));
        QCOMPARE(host->chat->pep->text(), QStringLiteral("2"));
        QCOMPARE(host->statusText(), QStringLiteral("有人在连接本服务器!"));
    }

    void joinRefusals_data() {
        QTest::addColumn<QByteArray>("nickname");
        QTest::addColumn<QByteArray>("notice");
        QTest::newRow("in use") << kJoe << kNicknameInUse;
        QTest::newRow("host's nickname") << QByteArray("host") << kNicknameInUse;
        QTest::newRow("empty") << QByteArray() << kNicknameInUse;
        QTest::newRow("reserved") << kHostName << kNicknameInUse;
        QTest::newRow("LF") << QByteArray("bad\nname") << kNicknameControl;
        QTest::newRow("CR") << QByteArray("bad\rname") << kNicknameControl;
        QTest::newRow("tab") << QByteArray("bad\tname") << kNicknameControl;
    }
    void joinRefusals() {
        QFETCH(QByteArray, nickname);
        QFETCH(QByteArray, notice);
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer joe(port);
        QTRY_COMPARE(joe.poll(), QByteArray("&U"));
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(joe.poll().endsWith("host\n"));
        joe.forget();

        RawPeer newcomer(port);
        QTRY_COMPARE(newcomer.poll(), QByteArray("&U"));
        newcomer.forget();
        newcomer.send(joinReply(nickname));
        QTRY_VERIFY(newcomer.closedByPeer());
        QCOMPARE(newcomer.poll(), wire::notice(notice));
        // The refused connection held a seat but never joined: nobody hears of it leaving.
        QTRY_COMPARE(host->room.occupancy, 1);
        QCOMPARE(userList(*host), (QList<QByteArray>{kJoe, "host"}));
        QVERIFY(logLines(*host).isEmpty());
        QTRY_COMPARE(joe.poll(), roster("joe\nhost\n"));
        QCOMPARE(host->room.rosterNicknames(), (QList<QByteArray>{kJoe, "host"}));
    }

    void roomFullRefusesTheHundredAndFirst() {
        const quint16 port = freePort();
        auto host = startHost(port);
        std::vector<std::unique_ptr<RawPeer>> peers;
        // Each accepted before the next: a dropped SYN would cost a second, and these
        // silent connections must all be seated well within the host's join deadline.
        for (int i = 0; i < RoomState::kMaxConnections; ++i) {
            peers.push_back(std::make_unique<RawPeer>(port));
            QVERIFY(QTest::qWaitFor([&] { return host->room.occupancy == i + 1; }, 5000));
        }
        QTRY_COMPARE(host->room.occupancy, 100);
        RawPeer extra(port);
        QTRY_VERIFY(extra.closedByPeer());
        QCOMPARE(extra.poll(), wire::notice(kRoomFull));
        QCOMPARE(host->room.occupancy, 100);
        QCOMPARE(host->statusText(), QStringLiteral("有人正在连接..."));
        // The room still works for those seated.
        peers[5]->forget();
        peers[5]->send(joinReply(kJoe));
        QTRY_VERIFY(peers[5]->poll().endsWith(roster("joe\nhost\n")));
        QCOMPARE(host->chat->pep->text(), QStringLiteral("101"));
    }

    void publicTalkReachesEveryoneAndEchoes() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        auto amy = joinClient(*host, port, QStringLiteral("amy"));
        QCOMPARE(amy->chat->pep->text(), QStringLiteral("3"));

        choose(*joe, kAmy);
        QCOMPARE(joe->chat->heshe->text(), QStringLiteral("amy"));
        say(*joe, QStringLiteral("你好"));
        const QByteArray toAmy = talkLine(kJoe, kAmy, gbBytes(QStringLiteral("你好")));
        QTRY_VERIFY(logLines(*amy).contains(toAmy));
        QTRY_VERIFY(logLines(*joe).contains(toAmy)); // the echo
        QVERIFY(logLines(*host).contains(toAmy));
        QVERIFY(joe->chat->Edit5->text().isEmpty());

        choose(*amy, kAmy);
        say(*amy, QStringLiteral("hmm"));
        QTRY_VERIFY(logLines(*joe).contains(selfTalkLine(kAmy, "hmm")));

        // The host's own line shows at once in its own log.
        choose(*host, kJoe);
        say(*host, QStringLiteral("hi"));
        QCOMPARE(logLines(*host).last(), talkLine("host", kJoe, "hi"));
        QTRY_VERIFY(logLines(*amy).contains(talkLine("host", kJoe, "hi")));
    }

    void sendNeedsTextAndAnAddressee() {
        const quint16 port = freePort();
        auto host = startHost(port);
        say(*host, QString());
        QVERIFY(dialogs->asked.isEmpty());
        say(*host, QStringLiteral("hello"));
        QCOMPARE(dialogs->texts("message"), QStringList{QStringLiteral("请选择说话对象!")});
        QCOMPARE(host->chat->Edit5->text(), QStringLiteral("hello"));
    }

    // Every roster rebuild leaves the user list without a selection.
    void sendWithNoSelectedEntryUsesTheAddressee() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        choose(*joe, kJoe);
        host->chat->fjk->click();
        QTRY_VERIFY(joe->chat->list1->selectedItems().isEmpty());
        say(*joe, QStringLiteral("me again"));
        QTRY_VERIFY(logLines(*joe).contains(selfTalkLine(kJoe, "me again")));
        choose(*joe, "host");
        host->chat->fjk->click();
        QTRY_VERIFY(joe->chat->list1->selectedItems().isEmpty());
        say(*joe, QStringLiteral("to you"));
        QTRY_VERIFY(logLines(*host).contains(talkLine(kJoe, "host", "to you")));
        QVERIFY(dialogs->texts("error").isEmpty());
    }

    void forgedOrStrayTalkIsDropped() {
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer joe(port);
        RawPeer stranger(port);
        QTRY_COMPARE(host->room.occupancy, 2);
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(userList(*host).contains(kJoe));
        stranger.send(line(talkLine(kJoe, "host", "not joined")));
        joe.send(line(talkLine(kAmy, "host", "forged")));
        joe.send(line(QByteArray("joe says\r")));
        joe.send(line(talkLine(kJoe, "host", "two\rlines")));
        joe.send(line(talkLine(kJoe, "host", "real")));
        QTRY_COMPARE(logLines(*host), QList<QByteArray>{talkLine(kJoe, "host", "real")});
    }

    void mergedReadsAreSplitAtMessageBoundaries() {
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer joe(port);
        QTRY_COMPARE(joe.poll(), QByteArray("&U"));
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(userList(*host).contains(kJoe));
        const QByteArray a = talkLine(kJoe, "host", "a");
        const QByteArray b = selfTalkLine(kJoe, "b");
        joe.send(line(a) + line(b));
        QTRY_COMPARE(logLines(*host), (QList<QByteArray>{a, b}));

        // A leave notice and the roster right behind it: the client logs the
        // notice and rebuilds its list.
        auto amy = joinClient(*host, port, QStringLiteral("amy"));
        joe.close();
        QTRY_COMPARE(userList(*amy), (QList<QByteArray>{kAmy, "host"}));
        QVERIFY(logLines(*amy).contains(leaveNotice(kJoe)));
        QCOMPARE(amy->chat->pep->text(), QStringLiteral("2"));
    }

    void departureAndKick() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        RawPeer amy(port);
        amy.send(joinReply(kAmy));
        QTRY_VERIFY(userList(*host).contains(kAmy));
        QTRY_VERIFY(amy.poll().endsWith(roster("joe\namy\nhost\n")));
        amy.forget();

        choose(*host, kJoe);
        host->chat->T1->trigger();
        QTRY_VERIFY(dialogs->textsFor(joe.get(), "message")
                        .contains(QStringLiteral("与服务器断开连接,请重新连接!")));
        QCOMPARE(userList(*host), (QList<QByteArray>{kAmy, "host"}));
        QVERIFY(logLines(*host).contains(leaveNotice(kJoe)));
        // Two rosters: from the departure, and again after the pause.
        const QByteArray once = line(leaveNotice(kJoe)) + roster("amy\nhost\n");
        QTRY_COMPARE(amy.poll(), once + roster("amy\nhost\n"));
        QCOMPARE(host->room.occupancy, 1);
        QCOMPARE(host->chat->pep->text(), QStringLiteral("2"));
        QCOMPARE(joe->statusText(), QStringLiteral("连接断开!"));
        QVERIFY(joe->settings->Group1->isHidden() == false);

        // Kicking nothing or oneself does nothing.
        host->chat->list1->clearSelection();
        host->chat->T1->trigger();
        choose(*host, "host");
        host->chat->T1->trigger();
        QCOMPARE(host->room.occupancy, 1);
    }

    void hostSeesWhereParticipantsAreAndBans() {
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer joe(port);
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(userList(*host).contains(kJoe));
        RawPeer amy(port);
        amy.send(joinReply(kAmy));
        QTRY_VERIFY(amy.poll().endsWith(roster("joe\namy\nhost\n")));
        amy.forget();

        QListWidget* list = host->chat->list1;
        const QPoint at = list->visualItemRect(list->item(0)).center();
        QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &hover);
        QVERIFY2(QToolTip::text().startsWith(QStringLiteral("地址: 127.0.0.1\n在聊天室: ")),
                 qPrintable(QToolTip::text()));

        // The ban comes after the three items every copy has, and only for a host.
        emit host->chat->pop2->aboutToShow();
        QCOMPARE(host->chat->pop2->actions().indexOf(host->chat->J1), 3);
        QVERIFY(host->chat->J1->isVisible());
        // The host's own entry is never banned: its machine may still come in.
        choose(*host, "host");
        host->chat->J1->trigger();
        {
            RawPeer local(port);
            QTRY_COMPARE(local.poll(), QByteArray("&U"));
        }
        QTRY_COMPARE(host->room.occupancy, 2);
        QTRY_VERIFY(amy.poll().endsWith(roster("joe\namy\nhost\n")));
        amy.forget();

        // Banning kicks as a kick does; those already in stay.
        choose(*host, kJoe);
        host->chat->J1->trigger();
        QTRY_VERIFY(joe.closedByPeer());
        const QByteArray once = line(leaveNotice(kJoe)) + roster("amy\nhost\n");
        QTRY_COMPARE(amy.poll(), once + roster("amy\nhost\n"));
        // Newcomers from that address are turned away for the rest of the room.
        RawPeer again(port);
        QTRY_VERIFY(again.closedByPeer());
        QCOMPARE(again.poll(),
                 wire::notice(gbBytes(QStringLiteral("对不起！\n你已被禁止进入本聊天室!"))));
        QCOMPARE(host->room.occupancy, 1);
        QCOMPARE(amy.poll(), once + roster("amy\nhost\n"));

        dialogs->confirmAnswers = {true};
        host->settings->overgame->click();
        host->settings->SpeedButton2->click();
        RawPeer nextRoom(port);
        QTRY_COMPARE(nextRoom.poll(), QByteArray("&U"));
    }

    void broadcastReachesEveryConnection() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        RawPeer unjoined(port);
        QTRY_COMPARE(unjoined.poll(), QByteArray("&U"));
        unjoined.forget();

        dialogs->inputAnswers = {QString()};
        host->chat->F1->trigger();
        dialogs->inputAnswers = {QStringLiteral("今晚开会\n请准时")};
        host->chat->F1->trigger();
        QCOMPARE(dialogs->asked.at(0).caption, QStringLiteral("广播消息"));
        QCOMPARE(dialogs->asked.at(0).text, QStringLiteral("在下面打入你要广播的消息!"));
        QTRY_COMPARE(unjoined.poll(), wire::notice(gbBytes(QStringLiteral("今晚开会\n请准时"))));
        QTRY_COMPARE(dialogs->textsFor(joe.get(), "message"),
                     QStringList{QStringLiteral("今晚开会\n请准时")});
        QVERIFY(logLines(*host).isEmpty());
    }

    void popupEnablesHostItemsOnlyForAHost() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        emit joe->chat->pop2->aboutToShow();
        QVERIFY(!joe->chat->F1->isEnabled());
        QVERIFY(!joe->chat->T1->isEnabled());
        QVERIFY(joe->chat->Q1->isEnabled());
        emit host->chat->pop2->aboutToShow();
        QVERIFY(host->chat->F1->isEnabled());
        QVERIFY(host->chat->T1->isEnabled());
    }

    void endingTheRoomDropsEveryoneWithoutNotices() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        RawPeer amy(port);
        amy.send(joinReply(kAmy));
        QTRY_VERIFY(userList(*host).contains(kAmy));
        QTRY_VERIFY(amy.poll().endsWith("host\n"));
        amy.forget();

        dialogs->confirmAnswers = {false};
        host->settings->overgame->click();
        QCOMPARE(host->room.occupancy, 2);
        dialogs->confirmAnswers = {true};
        host->settings->overgame->click();
        QCOMPARE(dialogs->texts("confirm").last(), QStringLiteral("真的要结束连接吗?"));
        QTRY_VERIFY(amy.closedByPeer());
        QCOMPARE(amy.poll(), QByteArray());
        QTRY_VERIFY(dialogs->textsFor(joe.get(), "message")
                        .contains(QStringLiteral("与服务器断开连接,请重新连接!")));
        QVERIFY(host->settings->Group1->isHidden() == false);
        QVERIFY(!host->chat->Panel4->isEnabled());
        QCOMPARE(host->chat->list1->count(), 0);
        QCOMPARE(host->room.occupancy, 0);
        QCOMPARE(host->room.firstEmptySeat(), 0);
        QVERIFY(!logLines(*host).contains(leaveNotice(kJoe)));

        // The next room begins with empty seats.
        host->settings->SpeedButton2->click();
        RawPeer next(port);
        QTRY_COMPARE(next.poll(), QByteArray("&U"));
        QCOMPARE(host->room.occupancy, 1);
    }

    void clientEndsItsSession() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        QCOMPARE(joe->settings->overgame->text(), QStringLiteral("结束连接(&O)"));
        dialogs->confirmAnswers = {true};
        joe->settings->overgame->click();
        QCOMPARE(dialogs->textsFor(joe.get(), "message"),
                 QStringList{QStringLiteral("与服务器断开连接,请重新连接!")});
        QTRY_COMPARE(userList(*host), QList<QByteArray>{"host"});
        QTRY_VERIFY(logLines(*host).contains(leaveNotice(kJoe)));
        QVERIFY(joe->settings->Group1->isHidden() == false);
        QCOMPARE(joe->statusText(), QStringLiteral("连接断开!"));
    }

    void clientRefusesItsOwnBadNicknames() {
        TForm1 form;
        connectClient(form, 1, QStringLiteral("服务器"));
        connectClient(form, 1, QString());
        QCOMPARE(dialogs->texts("message"),
                 (QStringList{QStringLiteral("对不起,昵称不能为\"服务器\"!"),
                              QStringLiteral("昵称不能为空!")}));
        QVERIFY(form.settings->Group1->isHidden() == false);
    }

    void failedConnectIsNotReportedAsSuccess() {
        const quint16 port = freePort();
        TForm1 form;
        form.show();
        connectClient(form, port, QStringLiteral("joe"));
        QVERIFY(form.statusText() != QStringLiteral("连接成功!"));
        QTRY_COMPARE(form.statusText(), QStringLiteral("连接发生错误!"));
        QTRY_VERIFY(!dialogs->texts("error").isEmpty());
        QVERIFY(dialogs->texts("error").constFirst().startsWith(
            QStringLiteral("Asynchronous socket error")));
        QTRY_VERIFY(form.settings->Group1->isHidden() == false);
        QCOMPARE(form.page->currentIndex(), 0);
        QVERIFY(!form.chat->Panel4->isEnabled());
        QTRY_COMPARE(form.client.Connection()->SocketId(), -1);
        QVERIFY(dialogs->texts("message").isEmpty());
    }

    void endWhileConnectingCancelsTheAttempt() {
        // The end button is pressed before the connected event could run.
        const quint16 port = freePort();
        auto host = startHost(port);
        TForm1 form;
        form.show();
        connectClient(form, port, QStringLiteral("joe"));
        dialogs->confirmAnswers = {true};
        form.settings->overgame->click();
        QCOMPARE(form.client.Connection()->SocketId(), -1);
        // Give a late connection every chance to complete behind the settings page.
        QTest::qWait(300);
        QCOMPARE(host->room.findSeatByNickname(kJoe), -1);
        QCOMPARE(host->room.occupancy, 0);
        QVERIFY(dialogs->texts("message").isEmpty());
        QVERIFY(form.settings->Group1->isHidden() == false);
    }

    void aResetParticipantLeavesAtOnce() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto amy = joinClient(*host, port, QStringLiteral("amy"));
        RawPeer joe(port);
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(userList(*host).contains(kJoe));
        joe.reset();
        QTRY_COMPARE(userList(*host), (QList<QByteArray>{kAmy, "host"}));
        QVERIFY(logLines(*host).contains(leaveNotice(kJoe)));
        QTRY_VERIFY(logLines(*amy).contains(leaveNotice(kJoe)));
        QCOMPARE(host->statusText(), QStringLiteral("客户连接错误!"));
        QTRY_VERIFY(!dialogs->texts("error").isEmpty());
        QVERIFY(dialogs->texts("error").constFirst().startsWith(
            QStringLiteral("Asynchronous socket error")));
    }

    void aFailedSendDoesNotStopTheRelay() {
        const quint16 port = freePort();
        auto host = startHost(port);
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (const char* name : {"a", "b", "c"}) {
            peers.push_back(std::make_unique<RawPeer>(port));
            peers.back()->send(joinReply(name));
            QTRY_VERIFY(userList(*host).contains(name));
        }
        for (auto& peer : peers) {
            QTRY_VERIFY(peer->poll().endsWith("a\nb\nc\nhost\n"));
            peer->forget();
        }
        // Seat 1's connection can no longer be written to: its next send fails outright.
        ::shutdown(host->room.seats[1].connection->SocketId(), SHUT_WR);
        const QByteArray talk = talkLine("a", "host", "still there?");
        peers[0]->send(line(talk));
        // b leaves when its send fails; c still gets the line, then hears of b leaving.
        QTRY_VERIFY(peers[2]->poll().startsWith(line(talk)));
        QVERIFY(peers[0]->poll().startsWith(line(talk)));
        QTRY_COMPARE(userList(*host), (QList<QByteArray>{"a", "c", "host"}));
        QTRY_VERIFY(peers[2]->poll().contains(line(leaveNotice("b"))));
        QTRY_COMPARE(dialogs->texts("error").size(), 1);
        QVERIFY(dialogs->texts("error").constFirst().contains(QStringLiteral("on API 'send'")));
    }

    void oneReadIsRelayedInOneSendPerSeat() {
        const quint16 port = freePort();
        auto host = startHost(port);
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (const char* name : {"joe", "amy", "bob"}) {
            peers.push_back(std::make_unique<RawPeer>(port));
            peers.back()->send(joinReply(name));
            QTRY_VERIFY(userList(*host).contains(name));
        }
        std::vector<quint32> before;
        for (auto& peer : peers) {
            QTRY_VERIFY(peer->poll().endsWith("joe\namy\nbob\nhost\n"));
            peer->forget();
            before.push_back(dataSegmentsIn(peer->fd()));
        }
        // One read: 24 lines, then a whisper to amy (seat 1), which ends no line.
        QByteArray lines;
        for (int i = 0; i < 24; ++i)
            lines += line(talkLine(kJoe, "host", "line " + QByteArray::number(i)));
        const QByteArray toAmy = whisperLine(kJoe, "psst");
        peers[0]->send(lines + whisper(seatField(1), toAmy));

        // The same bytes in the same order as one send per message would give.
        QTRY_COMPARE(peers[2]->poll(), lines);
        QTRY_COMPARE(peers[1]->poll(), lines + whisper(seatField(0), toAmy));
        QTRY_COMPARE(peers[0]->poll(), lines);
        QCOMPARE(logLines(*host).size(), 24);
        QCOMPARE(dataSegmentsIn(peers[0]->fd()) - before[0], 1u);
        QCOMPARE(dataSegmentsIn(peers[2]->fd()) - before[2], 1u);
        // The whisper, ending in no CR, is never joined to what follows it; here it
        // goes in a send of its own after the lines.
        QVERIFY(dataSegmentsIn(peers[1]->fd()) - before[1] <= 2u);
    }

    void chatLogSaveClearAndCopy() {
        const quint16 port = freePort();
        auto host = startHost(port);
        choose(*host, "host");
        say(*host, QStringLiteral("一"));
        say(*host, QStringLiteral("two"));
        const QString path = workDir.filePath(QStringLiteral("log.txt"));
        dialogs->saveAnswers = {std::nullopt, path};
        host->chat->S1->trigger();
        QVERIFY(!QFile::exists(path));
        host->chat->S1->trigger();
        QCOMPARE(dialogs->texts("save").first(), QStringLiteral("文本文件(txt)|*.txt"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), selfTalkLine("host", gbBytes(QStringLiteral("一"))) + "\r\n" +
                                     selfTalkLine("host", "two") + "\r\n");

        // An unwritable place: the error, and the old file is untouched.
        const QString blocked = workDir.filePath(QStringLiteral("no/such/dir/log.txt"));
        dialogs->saveAnswers = {blocked};
        host->chat->S1->trigger();
        QCOMPARE(dialogs->texts("error").last(),
                 QStringLiteral("Cannot create file %1.").arg(blocked));

        host->chat->Memo1->selectAll();
        host->chat->D1->trigger();
        QVERIFY(QGuiApplication::clipboard()->text().contains(QStringLiteral("two")));
        host->chat->C1->trigger();
        QVERIFY(logLines(*host).isEmpty());
        QCOMPARE(host->chat->Memo1->model()->rowCount(), 0);
    }

    // Drawing only: the rows differ on screen, the bytes kept and saved do not.
    void linesToMeStandOutAndOwnLinesAreSetApart() {
        const quint16 port = freePort();
        auto host = startHost(port);
        RawPeer joe(port);
        QTRY_COMPARE(host->room.occupancy, 1);
        joe.send(joinReply(kJoe));
        QTRY_VERIFY(userList(*host).contains(kJoe));
        const QList<QByteArray> said{talkLine(kJoe, "host", "to me"), talkLine(kJoe, kJoe, "not")};
        for (const QByteArray& talk : said) {
            joe.send(line(talk));
            QTRY_VERIFY(logLines(*host).contains(talk));
        }
        choose(*host, kJoe);
        say(*host, QStringLiteral("mine"));
        QCOMPARE(logLines(*host), said + QList<QByteArray>{talkLine("host", kJoe, "mine")});

        ChatLog* log = host->chat->Memo1;
        const QImage shot = log->viewport()->grab().toImage();
        const auto band = [&](int row) {
            const QRect r = log->visualRect(log->model()->index(row, 0));
            return shot.pixelColor(shot.width() * (r.right() - 2) / log->viewport()->width(),
                                   shot.height() * r.center().y() / log->viewport()->height());
        };
        const QColor base = log->palette().color(QPalette::Base);
        QVERIFY(band(0) != base);
        QCOMPARE(band(1), base);
        QVERIFY(band(2) != base);
        QVERIFY(band(2) != band(0));
        QCOMPARE(log->savedBytes(),
                 said.join("\r\n") + "\r\n" + talkLine("host", kJoe, "mine") + "\r\n");
    }

    // Ctrl+F finds in the log; Escape closes the bar without the close question.
    void findBarSearchesTheLogAndEscapeOnlyClosesIt() {
        const quint16 port = freePort();
        auto host = startHost(port);
        choose(*host, "host");
        for (const QString& text :
             {QStringLiteral("apple"), QStringLiteral("banana"), QStringLiteral("Apple pie")})
            say(*host, text);
        host->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(host.get()));
        ChatLog* log = host->chat->Memo1;
        QTest::keyClick(host->chat->Edit5, Qt::Key_F, Qt::ControlModifier);
        FindBar* bar = log->findBar();
        QTRY_VERIFY(bar->isVisible());
        QTest::keyClicks(bar->findText, QStringLiteral("apple"));
        QCOMPARE(bar->findCount->text(), QStringLiteral("2/2"));
        QCOMPARE(log->currentIndex().row(), 2);
        QTest::keyClick(bar->findText, Qt::Key_Return);
        QCOMPARE(bar->findCount->text(), QStringLiteral("1/2"));
        QCOMPARE(log->currentIndex().row(), 0);
        QTest::keyClick(bar->findText, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(log->currentIndex().row(), 2);
        QTest::keyClicks(bar->findText, QStringLiteral("x"));
        QCOMPARE(bar->findCount->text(), QStringLiteral("无结果"));

        QTest::keyClick(bar->findText, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(dialogs->texts("confirm").isEmpty());
        QVERIFY(host->isVisible());
        // Escape elsewhere still asks, as before.
        QTest::keyClick(log, Qt::Key_Escape);
        QCOMPARE(dialogs->texts("confirm"), QStringList{QStringLiteral("真的要退出吗!?")});
    }

private:
    QTemporaryDir workDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

QTEST_MAIN(TestRoom)
#include "tst_room.moc"
