// The room's kept talk: what the host writes, and what it shows when it hosts again.
#include "RoomFixture.h"
#include "WebPage.h"
#include "host/RoomRecord.h"
#include "ui/ChatLogModel.h"

#include <QJsonArray>
#include <QtTest>

using namespace wire;

namespace {

QString recordOf(quint16 port) {
    return RoomRecord::pathFor(ProgramSettings::historyFolder(), "room", port);
}

// Hosts the room again as the user would, keeping what it kept.
std::unique_ptr<TForm1> hostAgain(quint16 port) {
    auto form = std::make_unique<TForm1>();
    form->show();
    QTest::mouseClick(form->settings->RadioButton2, Qt::LeftButton);
    form->settings->port2->setValue(port);
    form->settings->ip2->setText(QStringLiteral("room"));
    form->settings->nc2->setText(QStringLiteral("host"));
    form->settings->SpeedButton2->click();
    return form;
}

QList<bool> earlierRows(TForm1& form) {
    QList<bool> rows;
    const QAbstractItemModel* model = form.chat->Memo1->model();
    for (int row = 0; row < model->rowCount(); ++row)
        rows.append(model->index(row, 0).data(ChatLogModel::EarlierRole).toBool());
    return rows;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void init() { ProgramSettings().setRoomHistory(true); }

    // Yesterday's talk is there the next morning, before today's, byte for byte;
    // whispers never reach the record, and a newcomer on the room port sees nothing new.
    void keptTalkIsShownWhenTheRoomIsHostedAgain() {
        const quint16 port = freePort();
        const QByteArray morning = gbBytes(QStringLiteral("早上好"));
        {
            auto host = startHost(port);
            auto joe = rawJoin(*host, port, "joe");
            joe->send(line(talkLine("joe", "host", morning)));
            QTRY_VERIFY(logLines(*host).contains(talkLine("joe", "host", morning)));
            joe->send("&Qser" + whisperLine("joe", "secret"));
            QTRY_VERIFY(windowFor(*host, "000") != nullptr);
            choose(*host, "joe");
            say(*host, QStringLiteral("hi"));
        }
        const QByteArray file = [&] {
            QFile f(recordOf(port));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        QVERIFY(!file.isEmpty());
        QVERIFY(!file.contains(QByteArray("secret").toBase64().left(6)));
        auto host = hostAgain(port);
        const QList<QByteArray> lines = logLines(*host);
        QVERIFY(lines.contains(talkLine("joe", "host", morning)));
        QVERIFY(lines.contains(talkLine("host", "joe", "hi")));
        QVERIFY(lines.indexOf(talkLine("joe", "host", morning)) <
                lines.indexOf(talkLine("host", "joe", "hi")));
        QVERIFY(!earlierRows(*host).contains(false) && !earlierRows(*host).isEmpty());
        RawPeer late(port);
        QTRY_VERIFY(late.poll().startsWith(joinRequest()));
        late.send(joinReply("amy"));
        QTRY_VERIFY(late.poll().contains(kRoster));
        QVERIFY(!late.poll().contains(morning));
    }

    // A page that takes a seat late gets what was said, dated, before its welcome.
    void pageThatJoinsLateSeesEarlierTalk() {
        const quint16 port = freePortPair();
        auto host = startHost(port, QStringLiteral("host"), QStringLiteral("room"), true);
        auto joe = rawJoin(*host, port, "joe");
        for (const char* text : {"one", "two"})
            joe->send(line(talkLine("joe", "host", text)));
        QTRY_COMPARE(logLines(*host).size(), 2);
        WebPage page(port + 1);
        QVERIFY(page.joinAs(QStringLiteral("amy")));
        // What came before the user list, in order: the earlier lines, then the welcome.
        QJsonArray lines;
        QStringList order;
        for (const QJsonObject& m : std::as_const(page.got)) {
            order.append(m.value("type").toString());
            if (m.value("type").toString() == QStringLiteral("history"))
                lines = m.value("lines").toArray();
        }
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[0].toObject().value("text").toString(),
                 QStringLiteral("joe 对 host 说: one"));
        QCOMPARE(lines[1].toObject().value("text").toString(),
                 QStringLiteral("joe 对 host 说: two"));
        QCOMPARE(lines[1].toObject().value("date").toString(),
                 QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        QVERIFY(order.indexOf(QStringLiteral("history")) < order.indexOf(QStringLiteral("line")));
        QVERIFY(std::any_of(page.got.cbegin(), page.got.cend(), [](const QJsonObject& m) {
            return m.value("text").toString() == QStringLiteral("本聊天室保存聊天记录");
        }));
    }

    void nothingIsKeptWithRoomHistoryOff() {
        ProgramSettings().setRoomHistory(false);
        const quint16 port = freePort();
        {
            auto host = startHost(port);
            auto joe = rawJoin(*host, port, "joe");
            joe->send(line(talkLine("joe", "host", "x")));
            QTRY_VERIFY(!logLines(*host).isEmpty());
        }
        QVERIFY(!QFile::exists(recordOf(port)));
    }

    // A crash in the middle of writing a line: the rest is read back, the torn line not.
    void tornLastLineIsDropped() {
        const quint16 port = freePort();
        QDir().mkpath(ProgramSettings::historyFolder());
        QFile f(recordOf(port));
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QDateTime now = QDateTime::currentDateTime();
        f.write(RoomRecord::encode({now, line(talkLine("joe", "host", "one"))}));
        f.write(RoomRecord::encode({now, line(talkLine("joe", "host", "two"))}).left(9));
        f.close();
        auto host = hostAgain(port);
        QCOMPARE(logLines(*host), QList<QByteArray>{talkLine("joe", "host", "one")});
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().endsWith('\n'));
    }
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
