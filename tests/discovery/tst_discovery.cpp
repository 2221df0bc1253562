#include "RoomFixture.h"
#include "app/RoomFinder.h"
#include "discovery/FoundRoom.h"
#include "discovery/RoomBrowser.h"

#include <QComboBox>
#include <QProcess>
#include <QtTest>

namespace {

const QString kNoDaemon = QStringLiteral("没有找到局域网服务 avahi-daemon,请直接输入主机的地址");

} // namespace

class TestDiscovery : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        QDir::setCurrent(workDir.path());
        // A system bus of our own where no Avahi runs, whatever this machine has.
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
        QByteArray address = "unix:path=" + workDir.path().toLocal8Bit() + "/no-bus";
        if (bus.waitForReadyRead(5000))
            address = bus.readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);
    }

    void cleanupTestCase() {
        bus.kill();
        bus.waitForFinished();
    }

    void withoutAvahiTheClientIsToldAndTypingAnAddressStillJoins() {
        ScriptedDialogs dialogs;
        const quint16 port = freePort();
        auto host = startHost(port);
        QTRY_VERIFY(host->chat->Panel4->isEnabled());
        TForm1 client;
        client.show();
        QLabel* note = client.finder->note();
        QTRY_COMPARE(note->text(), kNoDaemon);
        QVERIFY(note->isVisible());
        QCOMPARE(client.settings->rooms->count(), 0);
        connectClient(client, port, QStringLiteral("阿强"));
        QTRY_VERIFY(userList(*host).contains(gbBytes(QStringLiteral("阿强"))));
        QVERIFY(!note->isVisible());
        QCOMPARE(dialogs.allTexts(), QStringList());
    }

    void browsingOnlyWhileTheSettingsPageShowsTheClientRole() {
        ScriptedDialogs dialogs;
        TForm1 form;
        RoomBrowser* browser = form.finder->browser();
        QCOMPARE(browser->state(), RoomBrowser::State::Idle); // not shown yet
        form.show();
        QTRY_COMPARE(form.finder->note()->text(), kNoDaemon);
        form.settings->RadioButton2->click();
        QTRY_COMPARE(browser->state(), RoomBrowser::State::Idle);
        QVERIFY(!form.finder->note()->isVisible());
        form.settings->RadioButton1->click();
        QTRY_COMPARE(browser->state(), RoomBrowser::State::NoDaemon);
        form.page->setCurrentIndex(2);
        QTRY_COMPARE(browser->state(), RoomBrowser::State::Idle);
        form.page->setCurrentIndex(0);
        form.hide();
        QTRY_COMPARE(browser->state(), RoomBrowser::State::Idle);
    }

    void noSystemBusAtAllIsNoDaemonTooNotASearchWithoutEnd() {
        RoomBrowser browser(nullptr, QDBusConnection::connectToBus(
                                         "unix:path=" + workDir.path() + "/no-bus", "none"));
        browser.start();
        QTRY_COMPARE(browser.state(), RoomBrowser::State::NoDaemon);
    }

    void announceIsOnAtFirstAndRememberedApartFromColCol() {
        ScriptedDialogs dialogs;
        auto form = std::make_unique<TForm1>();
        QFile colours(QStringLiteral("col.col"));
        QVERIFY(colours.open(QIODevice::ReadOnly));
        const QByteArray before = colours.readAll();
        colours.close();
        QVERIFY(form->settings->announce->isChecked());
        QCOMPARE(form->settings->announce->text(), QStringLiteral("在局域网内公布聊天室"));
        form->settings->RadioButton2->click();
        QTest::mouseClick(form->settings->announce, Qt::LeftButton);
        form.reset();
        TForm1 again;
        QVERIFY(!again.settings->announce->isChecked());
        again.settings->announce->setChecked(true);
        QVERIFY(colours.open(QIODevice::ReadOnly));
        QCOMPARE(colours.readAll(), before);
    }

    void roomRecordsReadBackAsTheyWereAnnounced_data() {
        QTest::addColumn<QString>("nickname");
        QTest::addColumn<int>("online");
        QTest::addColumn<int>("webPort");
        QTest::addColumn<QString>("entry");
        QTest::newRow("web page") << QStringLiteral("主持人") << 3 << 8889
                                  << QStringLiteral("大厅 (主持人, 3 人) 10.0.0.1:8888");
        QTest::newRow("no web page") << QStringLiteral("host=a b") << 100 << 0
                                     << QStringLiteral("大厅 (host=a b, 100 人) 10.0.0.1:8888");
    }

    void roomRecordsReadBackAsTheyWereAnnounced() {
        QFETCH(QString, nickname);
        QFETCH(int, online);
        QFETCH(int, webPort);
        QFETCH(QString, entry);
        FoundRoom room{QString(), QStringLiteral("大厅"), {}, -1, QStringLiteral("10.0.0.1"), 8888};
        QList<QByteArray> txt = roomtxt::encode(nickname, online, quint16(webPort));
        txt << "online=-4"
            << "=x"
            << "junk";
        roomtxt::decode(txt, room);
        QCOMPARE(room.webPort, quint16(webPort));
        QCOMPARE(room.entryText(), entry);
    }

private:
    QTemporaryDir configHome;
    QTemporaryDir workDir;
    QProcess bus;
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
