#include "RoomFixture.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"
#include "ui/TForm2.h"

#include <QClipboard>
#include <QMenu>
#include <QWindow>
#include <QtTest>
#include <atomic>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <thread>

using namespace wire;

namespace {

// Bytes waiting in a socket's receive queue.
int unread(int fd) {
    int n = 0;
    return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

void whisperIn(TForm2* window, const QString& text) {
    window->Edit1->setText(text);
    QTest::keyClick(window->Edit1, Qt::Key_Return);
}

// A raw peer that has joined under a nickname and read everything up to its roster.
// This suite reads only what follows the join.
std::unique_ptr<RawPeer> quietJoin(TForm1& host, quint16 port, const QByteArray& nickname) {
    auto peer = rawJoin(host, port, nickname);
    peer->forget();
    return peer;
}

} // namespace

class TestWhisper : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setSocketExceptionHook([](const std::exception& e) { reportError(e); });
        QDir::setCurrent(workDir.path());
    }
    void init() { dialogs = std::make_unique<ScriptedDialogs>(); }
    void cleanup() { dialogs.reset(); }

    void windowAsBuilt() {
        TForm1 form;
        TForm2 window(form.room, &form);
        QCOMPARE(window.size(), QSize(211, 176));
        QCOMPARE(window.pos(), QPoint(192, 107));
        QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(window.font().pixelSize(), 12);
        QCOMPARE(window.Memo1->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(!window.hesheid->isVisible());
        QVERIFY(window.windowTitle().isEmpty());
        QCOMPARE(window.Label1->pos(), QPoint(8, 136));
        // Untitled, the platform would show the application's name in the caption.
        window.show();
        const QString caption = window.windowHandle()->title();
        QVERIFY(!caption.isEmpty());
        QVERIFY(caption.trimmed().remove(QChar(0x200b)).isEmpty());
        QVERIFY(window.windowTitle().isEmpty());
    }

    void clientToClientThroughTheHost() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        auto amy = joinClient(*host, port, QStringLiteral("amy"));

        choose(*joe, "amy");
        joe->chat->Q1->trigger();
        QTRY_VERIFY(windowFor(*joe, "001") != nullptr);
        TForm2* mine = windowFor(*joe, "001");
        QCOMPARE(mine->windowTitle(), QStringLiteral("聊天对象: amy"));
        QVERIFY(mine->isVisible());

        whisperIn(mine, QStringLiteral("悄悄的"));
        const QByteArray said = whisperLine("joe", gbBytes(QStringLiteral("悄悄的")));
        QCOMPARE(mine->lines(), QList<QByteArray>{said});
        QVERIFY(mine->Edit1->isEnabled());
        QVERIFY(mine->Edit1->text().isEmpty());

        QTRY_VERIFY(windowFor(*amy, "000") != nullptr);
        TForm2* theirs = windowFor(*amy, "000");
        QTRY_COMPARE(theirs->lines(), QList<QByteArray>{said});
        QTRY_COMPARE(theirs->windowTitle(), QStringLiteral("聊天对象: joe"));

        // Asking again only brings the open window back.
        mine->hide();
        joe->chat->Q1->trigger();
        QTRY_VERIFY(mine->isVisible());
        QCOMPARE(joe->room.findWhisper("001"), 0);
        QCOMPARE(joe->room.firstEmptyWhisperSlot(), 1);
    }

    void whisperSwallowsWhatSharesItsRead() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto amy = quietJoin(*host, port, "amy");
        auto joe = quietJoin(*host, port, "joe");
        QTRY_VERIFY(amy->poll().endsWith("joe\nhost\n"));
        amy->forget();
        const QByteArray said = whisperLine("joe", "psst");
        joe->send(whisper("000", said));
        const int joeAtHost = host->room.seats[1].connection->SocketId();
        QTRY_COMPARE(unread(joeAtHost), 0);
        // The host talks right behind the relayed whisper; a receiver would take the
        // line for whisper text if both came in one read.
        choose(*host, "amy");
        say(*host, QStringLiteral("hello all"));
        amy->poll();
        QTRY_VERIFY(amy->poll().contains("hello all"));
        QCOMPARE(amy->reads().first(), whisper("001", said));
    }

    void clientAndHostWhisper() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));

        choose(*joe, "host");
        joe->chat->Q1->trigger();
        QTRY_VERIFY(windowFor(*joe, "ser") != nullptr);
        TForm2* toHost = windowFor(*joe, "ser");
        QCOMPARE(toHost->windowTitle(), QStringLiteral("聊天对象: 服务器"));
        whisperIn(toHost, QStringLiteral("hi host"));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* atHost = windowFor(*host, "000");
        QCOMPARE(atHost->windowTitle(), QStringLiteral("聊天对象: joe"));
        QTRY_COMPARE(atHost->lines(), QList<QByteArray>{whisperLine("joe", "hi host")});

        // A second whisper goes to the same window and shows it again.
        atHost->hide();
        whisperIn(toHost, QStringLiteral("again"));
        QTRY_VERIFY(atHost->isVisible());
        QCOMPARE(atHost->lines().size(), 2);

        whisperIn(atHost, QStringLiteral("hi joe"));
        QTRY_VERIFY(toHost->lines().contains(whisperLine("host", "hi joe")));
    }

    void hostToARawClientOnTheWire() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        choose(*host, "joe");
        host->chat->Q1->trigger();
        TForm2* window = windowFor(*host, "000");
        QVERIFY(window != nullptr);
        QCOMPARE(window->windowTitle(), QStringLiteral("聊天对象: joe"));
        whisperIn(window, QStringLiteral("x"));
        QTRY_COMPARE(joe->poll(), whisper("ser", whisperLine("host", "x")));

        // Requests answered on the wire.
        joe->forget();
        joe->send(whisperRequest("host"));
        QTRY_COMPARE(joe->poll(), QByteArray("&Wser") + kHostName);
        joe->forget();
        joe->send(whisperRequest("joe"));
        QTRY_COMPARE(joe->poll(), QByteArray("&W000joe"));
        joe->forget();
        joe->send(nicknameRequest("000"));
        QTRY_COMPARE(joe->poll(), QByteArray("&P000joe"));
        joe->forget();
        joe->send(nicknameRequest("042"));
        QTRY_COMPARE(joe->poll(), QByteArray("&P042"));
    }

    void upAndDownRecallSentLines() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        choose(*host, "joe");
        QLineEdit* input = host->chat->Edit5;
        say(*host, QStringLiteral("one"));
        say(*host, QStringLiteral("two"));
        input->setText(QStringLiteral("not yet"));
        QStringList seen;
        for (Qt::Key key :
             {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down}) {
            QTest::keyClick(input, key);
            seen << input->text();
        }
        QCOMPARE(seen, (QStringList{"two", "one", "one", "two", "not yet", "not yet"}));
        QTest::keyClick(input, Qt::Key_Up);
        QTest::keyClick(input, Qt::Key_Return);
        const QByteArray two = line(talkLine("host", "joe", "two"));
        QTRY_COMPARE(joe->poll(), line(talkLine("host", "joe", "one")) + two + two);

        // Each whisper window keeps its own.
        host->chat->Q1->trigger();
        TForm2* window = windowFor(*host, "000");
        QVERIFY(window != nullptr);
        QTest::keyClick(window->Edit1, Qt::Key_Up);
        QVERIFY(window->Edit1->text().isEmpty());
        whisperIn(window, QStringLiteral("psst"));
        window->Edit1->setText(QStringLiteral("draft"));
        QTest::keyClick(window->Edit1, Qt::Key_Up);
        QCOMPARE(window->Edit1->text(), QStringLiteral("psst"));
        QTest::keyClick(window->Edit1, Qt::Key_Down);
        QCOMPARE(window->Edit1->text(), QStringLiteral("draft"));
    }

    void strayRequestsAndNumbersAreDropped() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        auto amy = quietJoin(*host, port, "amy");
        QTRY_VERIFY(joe->poll().endsWith("joe\namy\nhost\n"));
        joe->forget();
        for (const QByteArray& bad :
             {QByteArray("&Wnobody"), QByteArray("&W"), QByteArray("&Pser"), QByteArray("&P101"),
              QByteArray("&P1"), QByteArray("&P-01"), whisper("101", whisperLine("joe", "far")),
              whisper("x1", whisperLine("joe", "odd")),
              whisper("001", whisperLine("amy", "forged")),
              whisper("001", QByteArray("joe no colon"))}) {
            joe->send(bad);
            QTest::qWait(20); // keep them in separate reads
        }
        joe->send(nicknameRequest("001"));
        QTRY_COMPARE(joe->poll(), QByteArray("&P001amy"));
        QCOMPARE(amy->poll(), QByteArray());
        QVERIFY(dialogs->texts("error").isEmpty());

        // Relayed with the sender's seat and the text unchanged.
        joe->send(whisper("001", whisperLine("joe", "ok")));
        QTRY_COMPARE(amy->poll(), whisper("000", whisperLine("joe", "ok")));
        // A whisper from a connection that never joined is not shown.
        RawPeer stranger(port);
        QTRY_COMPARE(stranger.poll(), QByteArray("&U"));
        stranger.send(whisper("ser", whisperLine("ghost", "boo")));
        joe->forget();
        joe->send(nicknameRequest("000"));
        QTRY_COMPARE(joe->poll(), QByteArray("&P000joe"));
        QCOMPARE(host->room.firstEmptyWhisperSlot(), 0);
    }

    void hostWindowForADepartedSeatLogsOnly() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        choose(*host, "joe");
        host->chat->Q1->trigger();
        TForm2* window = windowFor(*host, "000");
        joe->close();
        QTRY_COMPARE(userList(*host), QList<QByteArray>{"host"});
        whisperIn(window, QStringLiteral("gone?"));
        QCOMPARE(window->lines(), QList<QByteArray>{whisperLine("host", "gone?")});
        QVERIFY(window->Edit1->isEnabled());
        QVERIFY(window->Edit1->text().isEmpty());

        // A newcomer in that seat inherits the window.
        auto amy = quietJoin(*host, port, "amy");
        whisperIn(window, QStringLiteral("new here?"));
        QTRY_COMPARE(amy->poll(), whisper("ser", whisperLine("host", "new here?")));
    }

    void closingWithYesForgetsWithNoKeeps() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        joe->send(whisper("ser", whisperLine("joe", "one")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* first = windowFor(*host, "000");
        QTRY_COMPARE(first->lines().size(), 1);

        dialogs->confirmAnswers = {false};
        first->close();
        QCOMPARE(
            dialogs->texts("confirm").last(),
            QStringLiteral(
                "是否要永久性的关掉该窗口?\n如果是,那么下次再开启这个悄悄话窗口时,就没有记录了!\n"
                "如果不是,下次开启还会有记录,但它会占用一个窗口!\n当窗口达到一百个时,"
                "你就不能再窗口了!"));
        QVERIFY(!first->isVisible());
        joe->send(whisper("ser", whisperLine("joe", "two")));
        QTRY_VERIFY(first->isVisible());
        QCOMPARE(first->lines().size(), 2);

        dialogs->confirmAnswers = {true};
        first->close();
        QCOMPARE(host->room.findWhisper("000"), -1);
        joe->send(whisper("ser", whisperLine("joe", "three")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* fresh = windowFor(*host, "000");
        QVERIFY(fresh != first);
        QTRY_COMPARE(fresh->lines(), QList<QByteArray>{whisperLine("joe", "three")});
    }

    void aForgottenWindowClosedWithYesClearsTheCurrentEntry() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        joe->send(whisper("ser", whisperLine("joe", "old")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* old = windowFor(*host, "000");

        dialogs->confirmAnswers = {true};
        host->settings->overgame->click(); // forgets the windows
        host->settings->SpeedButton2->click();
        auto again = quietJoin(*host, port, "joe");
        again->send(whisper("ser", whisperLine("joe", "new")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        QVERIFY(windowFor(*host, "000") != old);
        dialogs->confirmAnswers = {true};
        old->close();
        QCOMPARE(host->room.findWhisper("000"), -1);
    }

    void hostingForgetsWindowsOfAClientSession() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        choose(*joe, "host");
        joe->chat->Q1->trigger();
        QTRY_VERIFY(windowFor(*joe, "ser") != nullptr);
        TForm2* leftover = windowFor(*joe, "ser");

        // joe's session ends when the host goes; joe then hosts a room of its own.
        dialogs->confirmAnswers = {true};
        host->settings->overgame->click();
        QTRY_VERIFY(joe->settings->Group1->isHidden() == false);
        QVERIFY(windowFor(*joe, "ser") == leftover);
        const quint16 port2 = freePort();
        QTest::mouseClick(joe->settings->RadioButton2, Qt::LeftButton);
        joe->settings->port2->setValue(port2);
        joe->settings->ip2->setText(QStringLiteral("r2"));
        joe->settings->nc2->setText(QStringLiteral("joe"));
        joe->settings->SpeedButton2->click();
        QCOMPARE(joe->room.findWhisper("ser"), -1);

        auto amy = rawJoin(*joe, port2, "amy");
        amy->send(whisper("ser", whisperLine("amy", "hello")));
        QTRY_VERIFY(windowFor(*joe, "000") != nullptr);
        // The forgotten window sends nothing, logs the line, and stays usable.
        whisperIn(leftover, QStringLiteral("anyone?"));
        QCOMPARE(leftover->lines().last(), whisperLine("joe", "anyone?"));
        QVERIFY(leftover->Edit1->isEnabled());
        QVERIFY(dialogs->texts("error").isEmpty());
    }

    void aFullTable() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = joinClient(*host, port, QStringLiteral("joe"));
        auto amy = quietJoin(*host, port, "amy");
        std::vector<std::unique_ptr<TForm2>> fillers;
        for (int i = 0; i < RoomState::kEntries; ++i) {
            fillers.push_back(std::make_unique<TForm2>(joe->room, joe.get()));
            fillers.back()->setPeerSeatField(seatField(50));
            joe->room.whispers[i] = fillers.back().get();
        }
        amy->send(whisper("000", whisperLine("amy", "lost")));
        // Joe reads the relay before his own request is answered, as the protocol's spacing
        // ensures between machines: a whisper has no end mark, so one read holding both
        // could not be split.
        QTest::qWait(50);
        amy->send(nicknameRequest("001"));
        QTRY_VERIFY(amy->poll().endsWith("&P001amy"));
        QTRY_VERIFY(unread(joe->client.Connection()->SocketId()) == 0);
        QTRY_VERIFY(userList(*joe).contains("amy"));
        choose(*joe, "amy");
        joe->chat->Q1->trigger();
        QTRY_VERIFY(!dialogs->textsFor(joe.get(), "message").isEmpty());
        QCOMPARE(dialogs->textsFor(joe.get(), "message").constFirst(),
                 QStringLiteral("已经没有悄悄话窖口可以再开启了\n请先关掉一部分!"));
        for (auto& filler : fillers)
            QVERIFY(filler->lines().isEmpty());

        // The host drops a whisper for itself as quietly.
        std::vector<std::unique_ptr<TForm2>> hostFillers;
        for (int i = 0; i < RoomState::kEntries; ++i) {
            hostFillers.push_back(std::make_unique<TForm2>(host->room, host.get()));
            hostFillers.back()->setPeerSeatField(seatField(60));
            host->room.whispers[i] = hostFillers.back().get();
        }
        amy->send(whisper("ser", whisperLine("amy", "also lost")));
        QTest::qWait(50); // keep the next request in a read of its own
        amy->send(nicknameRequest("001"));
        QTRY_VERIFY(amy->poll().endsWith("&P001amy"));
        QVERIFY(dialogs->texts("error").isEmpty());
        joe->room.clearWhispers();
        host->room.clearWhispers();
    }

    void refusalsOfTheWhisperItem() {
        const quint16 port = freePort();
        auto host = startHost(port);
        host->chat->list1->clearSelection();
        host->chat->Q1->trigger();
        choose(*host, "host");
        host->chat->Q1->trigger();
        QCOMPARE(dialogs->texts("message"),
                 (QStringList{QStringLiteral("请选择聊天对象!"),
                              QStringLiteral("为什么要跟自己说悄悄话呢!?")}));
    }

    void quickWhispersStayInSeparateReads() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        // Read in another thread, as a peer on another machine would.
        QList<QByteArray> reads;
        std::atomic<bool> done{false};
        std::thread reader([&] {
            const int fd = joe->fd();
            char buffer[4096];
            while (reads.size() < 2) {
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n > 0)
                    reads.append(QByteArray(buffer, n));
                else if (n == 0 || (n < 0 && errno != EAGAIN))
                    break;
            }
            done = true;
        });
        choose(*host, "joe");
        host->chat->Q1->trigger();
        TForm2* window = windowFor(*host, "000");
        whisperIn(window, QStringLiteral("a"));
        whisperIn(window, QStringLiteral("b"));
        // The host may send the second one on a later turn of its loop.
        const bool arrived = QTest::qWaitFor([&] { return done.load(); }, 5000);
        if (!arrived)
            ::shutdown(joe->fd(), SHUT_RDWR);
        reader.join();
        QVERIFY(arrived);
        QCOMPARE(reads, (QList<QByteArray>{whisper("ser", whisperLine("host", "a")),
                                           whisper("ser", whisperLine("host", "b"))}));
    }

    void newWindowsTakeTheCurrentColoursOldOnesKeepTheirs() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        auto amy = quietJoin(*host, port, "amy");
        joe->send(whisper("ser", whisperLine("joe", "first")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* before = windowFor(*host, "000");
        const QColor oldInput = before->Edit1->palette().color(QPalette::Base);

        // What clicks on the preview run.
        dialogs->colourAnswers = {QColor(200, 230, 255), QColor(120, 0, 0)};
        host->appearance->coltextMouseDown(Qt::LeftButton, QPoint());
        host->appearance->colsayClick();
        QCOMPARE(host->chat->Edit5->palette().color(QPalette::Base), QColor(200, 230, 255));

        amy->send(whisper("ser", whisperLine("amy", "second")));
        QTRY_VERIFY(windowFor(*host, "001") != nullptr);
        TForm2* after = windowFor(*host, "001");
        QCOMPARE(after->Edit1->palette().color(QPalette::Base), QColor(200, 230, 255));
        QCOMPARE(after->Memo1->palette().color(QPalette::Text), QColor(120, 0, 0));
        QCOMPARE(before->Edit1->palette().color(QPalette::Base), oldInput);
        before->hide();
        joe->send(whisper("ser", whisperLine("joe", "third")));
        QTRY_VERIFY(before->isVisible());
        QCOMPARE(before->Edit1->palette().color(QPalette::Base), oldInput);
    }

    void typedTextIsNeverLostSilently() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = quietJoin(*host, port, "joe");
        choose(*host, "joe");
        const QByteArray pasted = "one\ntwo\r\nthree";
        const QByteArray asOneLine = "one two three";

        // A paragraph pasted into the chat input and into a whisper window's input.
        QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
        host->chat->Edit5->paste();
        host->chat->SpeedButton3->click();
        QTRY_COMPARE(joe->poll(), line(talkLine("host", "joe", asOneLine)));
        host->chat->Q1->trigger();
        TForm2* window = windowFor(*host, "000");
        window->Edit1->paste();
        QTest::keyClick(window->Edit1, Qt::Key_Return);
        QTRY_COMPARE(joe->poll(), line(talkLine("host", "joe", asOneLine)) +
                                      whisper("ser", whisperLine("host", asOneLine)));

        // Longer than a host relays: the program says so and keeps the text.
        const QString tooLong(wire::kMaxLineBytes, QLatin1Char('x'));
        host->chat->Edit5->setText(tooLong);
        host->chat->SpeedButton3->click();
        window->Edit1->setText(tooLong);
        QTest::keyClick(window->Edit1, Qt::Key_Return);
        const QString said = QStringLiteral("发言太长了,请分几次发送!");
        QCOMPARE(dialogs->texts("message"), (QStringList{said, said}));
        QCOMPARE(host->chat->Edit5->text(), tooLong);
        QCOMPARE(window->Edit1->text(), tooLong);
        QVERIFY(window->Edit1->isEnabled());
        QCOMPARE(window->lines().size(), 1);
        QCOMPARE(logLines(*host).size(), 1);
    }

private:
    QTemporaryDir workDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

QTEST_MAIN(TestWhisper)
#include "tst_whisper.moc"
