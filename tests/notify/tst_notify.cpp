#include "RoomFixture.h"
#include "app/DesktopNotifier.h"
#include "app/UnreadTray.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"
#include "ui/TForm2.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QHelpEvent>
#include <QMenu>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QtTest>

using namespace wire;

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");

// A notification service that only writes down what it is asked to show.
class Recorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        uint id;
        uint replaces;
        QString summary;
        QString body;
    };
    QList<Shown> shown;
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};

public slots:
    uint Notify(const QString&, uint replaces, const QString&, const QString& summary,
                const QString& body, const QStringList&, const QVariantMap&, int) {
        const uint id = replaces != 0 ? replaces : uint(shown.size() + 1);
        shown.append({id, replaces, summary, body});
        return id;
    }
    QStringList GetCapabilities() { return capabilities; }
    void CloseNotification(uint) {}
};

void whisperIn(TForm2* window, const QString& text) {
    window->Edit1->setText(text);
    QTest::keyClick(window->Edit1, Qt::Key_Return);
}

// Another program has the focus.
void goElsewhere(QWidget& elsewhere) {
    elsewhere.show();
    elsewhere.activateWindow();
    QTRY_VERIFY(elsewhere.isActiveWindow());
}

} // namespace

class TestNotify : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setSocketExceptionHook([](const std::exception& e) { reportError(e); });
        QDir::setCurrent(workDir.path());
        // A private session bus, so nothing reaches the desktop the tests run on.
        bus.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--session"), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
        QVERIFY2(bus.waitForStarted(), "dbus-daemon is needed (scripts/setup.sh installs it)");
        QTRY_VERIFY(bus.canReadLine());
        address = QString::fromLatin1(bus.readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
    }
    void cleanupTestCase() {
        bus.kill();
        bus.waitForFinished();
    }
    void init() { dialogs = std::make_unique<ScriptedDialogs>(); }
    void cleanup() { dialogs.reset(); }

    void linesForMeAndWhispersNotifyWhileAway() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = rawJoin(*host, port, "joe");
        auto amy = rawJoin(*host, port, "amy");
        QWidget elsewhere;
        goElsewhere(elsewhere);

        // No service on the bus: the line is logged and nothing else happens.
        joe->send(line(talkLine("joe", "host", "early")));
        QTRY_COMPARE(logLines(*host).size(), 1);
        QVERIFY(dialogs->asked.isEmpty());

        Recorder recorder;
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("svc"));
        QVERIFY(service.registerObject(kPath, &recorder, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(kService));
        QTRY_VERIFY(QDBusConnection::sessionBus().interface()->isServiceRegistered(kService));

        joe->send(line(talkLine("joe", "host", "hi")));
        QTRY_COMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].summary, QStringLiteral("joe"));
        QCOMPARE(recorder.shown[0].body, QStringLiteral("joe 对 host 说: hi"));
        // Lines for others only ask for attention; a burst becomes one notification.
        joe->send(line(talkLine("joe", "amy", "not for you")));
        for (const char* text : {"a", "b", "c"})
            joe->send(line(talkLine("joe", "host", text)));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.shown.size(), 2, 20000);
        QCOMPARE(recorder.shown[1].replaces, recorder.shown[0].id);
        QCOMPARE(recorder.shown[1].body, QStringLiteral("joe 对 host 说: c\n(共4条新消息)"));

        joe->send(whisper("ser", whisperLine("joe", "psst")));
        QTRY_COMPARE(recorder.shown.size(), 3);
        QCOMPARE(recorder.shown[2].summary, QStringLiteral("joe"));
        QCOMPARE(recorder.shown[2].body, QStringLiteral("joe 说: psst"));
        TForm2* window = windowFor(*host, "000");
        QVERIFY(window != nullptr);

        // A click brings the window of that notification forward.
        auto click = [&](uint id) {
            QDBusMessage signal =
                QDBusMessage::createSignal(kPath, kService, QStringLiteral("ActionInvoked"));
            signal << id << QStringLiteral("default");
            service.send(signal);
        };
        goElsewhere(elsewhere);
        click(recorder.shown[0].id);
        QTRY_VERIFY(host->isActiveWindow());
        goElsewhere(elsewhere);
        click(recorder.shown[2].id);
        QTRY_VERIFY(window->isActiveWindow());

        // Nothing while the user is in the window.
        host->activateWindow();
        QTRY_VERIFY(host->isActiveWindow());
        amy->send(line(talkLine("amy", "host", "seen")));
        QTRY_COMPARE(logLines(*host).size(), 7);
        goElsewhere(elsewhere);
        amy->send(line(talkLine("amy", "host", "away")));
        QTRY_COMPARE(recorder.shown.size(), 4);
        QCOMPARE(recorder.shown[3].body, QStringLiteral("amy 对 host 说: away"));
        QVERIFY(dialogs->asked.isEmpty());

        service.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("svc"));
    }

    void notificationsCarryTextNotMarkup_data() {
        QTest::addColumn<bool>("readsMarkup");
        QTest::addColumn<QString>("body");
        const QString text =
            QStringLiteral("boss 对 amy 说: <b>粗体</b> <a href=\"http://x\">点这里</a>");
        QTest::newRow("markup") << true
                                << QStringLiteral("boss 对 amy 说: &lt;b&gt;粗体&lt;/b&gt; &lt;a "
                                                  "href=\"http://x\"&gt;点这里&lt;/a&gt;");
        QTest::newRow("plain") << false << text;
    }
    void notificationsCarryTextNotMarkup() {
        QFETCH(bool, readsMarkup);
        QFETCH(QString, body);
        Recorder recorder;
        if (readsMarkup)
            recorder.capabilities.append(QStringLiteral("body-markup"));
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("mk"));
        QVERIFY(service.registerObject(kPath, &recorder, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(kService));
        const quint16 port = freePort();
        auto host = startHost(port, QStringLiteral("amy"));
        auto boss = rawJoin(*host, port, "boss");
        QWidget elsewhere;
        goElsewhere(elsewhere);
        boss->send(
            line(talkLine("boss", "amy",
                          gbBytes(QStringLiteral("<b>粗体</b> <a href=\"http://x\">点这里</a>")))));
        QTRY_COMPARE(recorder.shown.size(), 1);
        QCOMPARE(recorder.shown[0].body, body);
        QCOMPARE(recorder.shown[0].summary, QStringLiteral("boss"));
        service.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("mk"));
    }

    // Each peer's burst kept its timer after the user came back, one more per sender.
    void burstsKeepATimerPerSenderForever() {
        Recorder recorder;
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("bt"));
        QVERIFY(service.registerObject(kPath, &recorder, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService(kService));
        const quint16 port = freePort();
        auto host = startHost(port);
        std::vector<std::unique_ptr<RawPeer>> peers;
        for (int i = 0; i < 8; ++i)
            peers.push_back(rawJoin(*host, port, "p" + QByteArray::number(i)));
        QWidget elsewhere;
        goElsewhere(elsewhere);
        for (int i = 0; i < 8; ++i) {
            const QByteArray sender = "p" + QByteArray::number(i);
            for (const char* text : {"one", "two"})
                peers[i]->send(line(talkLine(sender, "host", text)));
        }
        QTRY_COMPARE(recorder.shown.size(), 8);
        auto* notifier = host->findChild<DesktopNotifier*>();
        QTRY_COMPARE(notifier->findChildren<QTimer*>().size(), 8);
        host->activateWindow();
        QTRY_VERIFY(host->isActiveWindow());
        QTRY_COMPARE(notifier->findChildren<QTimer*>().size(), 0);
        // Back elsewhere, a peer is heard again at once.
        goElsewhere(elsewhere);
        peers[0]->send(line(talkLine("p0", "host", "three")));
        QTRY_COMPARE(recorder.shown.size(), 9);
        service.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("bt"));
    }

    // Every line while away set a new tray icon, even when the badge looked the same.
    void trayBadgeRedrawnOnEveryLine() {
        QWidget window;
        UnreadTray tray(&window);
        auto* icon = tray.findChild<QSystemTrayIcon*>();
        int updates = 0;
        qint64 last = icon->icon().cacheKey();
        for (int count : {1, 1, 2, 3, 3, 99, 100, 101, 150, 150, 0, 0}) {
            tray.setUnread(count);
            updates += icon->icon().cacheKey() != last;
            last = icon->icon().cacheKey();
        }
        // 1, 2, 3, 99, 99+ and none: 100 and more all read 99+.
        QCOMPARE(updates, 6);
        // The tooltip still tells the count.
        tray.setUnread(120);
        QCOMPARE(icon->toolTip(), applicationTitle() + QStringLiteral(": 120条未读"));
    }

    // The same room with the features in use and without: not a byte differs.
    void featuresInUseChangeNoBytes() {
        const Session plain = session(false);
        const Session used = session(true);
        QVERIFY(used.notifications >= 2);
        QCOMPARE(plain.notifications, 0);
        QVERIFY(plain.joe.contains(whisperLine("host", gbBytes(QStringLiteral("回")))));
        QCOMPARE(used.joe, plain.joe);
        QCOMPARE(used.amy, plain.amy);
        QCOMPARE(used.colours, plain.colours);
        QVERIFY(!plain.savedLog.isEmpty());
        QCOMPARE(used.savedLog, plain.savedLog);
    }

private:
    struct Session {
        QByteArray joe;
        QByteArray amy;
        QByteArray colours;
        QByteArray savedLog;
        qsizetype notifications = 0;
    };

    // Two raw peers talk and whisper with the host, who answers each twice; with
    // inUse the host is elsewhere while lines arrive (alerts, notifications, the
    // tray), sends its repeats from the input history and looks at the tooltips.
    Session session(bool inUse) {
        Session out;
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        qputenv("DBUS_SESSION_BUS_ADDRESS", inUse ? address.toLatin1() : QByteArray());
        Recorder recorder;
        QDBusConnection service = QDBusConnection::connectToBus(address, QStringLiteral("rec"));
        if (inUse) {
            service.registerObject(kPath, &recorder, QDBusConnection::ExportAllSlots);
            service.registerService(kService);
            [&] {
                QTRY_VERIFY(
                    QDBusConnection::sessionBus().interface()->isServiceRegistered(kService));
            }();
        }
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = rawJoin(*host, port, "joe");
        auto amy = rawJoin(*host, port, "amy");
        QWidget elsewhere;
        if (inUse)
            goElsewhere(elsewhere);

        joe->send(line(talkLine("joe", "host", gbBytes(QStringLiteral("你好")))));
        [&] { QTRY_COMPARE(logLines(*host).size(), 1); }();
        amy->send(line(talkLine("amy", "joe", "hi joe")));
        [&] { QTRY_COMPARE(logLines(*host).size(), 2); }();
        joe->send(whisper("ser", whisperLine("joe", gbBytes(QStringLiteral("悄悄")))));
        [&] { QTRY_VERIFY(windowFor(*host, "000") != nullptr); }();
        TForm2* window = windowFor(*host, "000");
        if (inUse)
            [&] { QTRY_COMPARE(recorder.shown.size(), 2); }();

        choose(*host, "joe");
        say(*host, QStringLiteral("again"));
        whisperIn(window, QStringLiteral("回"));
        if (inUse) {
            for (QLineEdit* input : {host->chat->Edit5, window->Edit1}) {
                QTest::keyClick(input, Qt::Key_Up);
                QTest::keyClick(input, Qt::Key_Return);
            }
            QListWidget* list = host->chat->list1;
            const QPoint at = list->visualItemRect(list->item(0)).center();
            QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(list->viewport(), &hover);
            emit host->chat->pop2->aboutToShow();
        } else {
            say(*host, QStringLiteral("again"));
            whisperIn(window, QStringLiteral("回"));
        }
        const QByteArray again = line(talkLine("host", "joe", "again"));
        const QByteArray answer =
            whisper("ser", whisperLine("host", gbBytes(QStringLiteral("回"))));
        [&] { QTRY_VERIFY(joe->poll().endsWith(again + answer + again + answer)); }();
        [&] { QTRY_VERIFY(amy->poll().endsWith(again + again)); }();

        const QString logPath = dir.filePath(QStringLiteral("log.txt"));
        dialogs->saveAnswers = {logPath};
        host->chat->S1->trigger();
        QFile log(logPath);
        if (log.open(QIODevice::ReadOnly))
            out.savedLog = log.readAll();
        QFile colours(QStringLiteral("col.col"));
        if (colours.open(QIODevice::ReadOnly))
            out.colours = colours.readAll();
        out.joe = joe->poll();
        out.amy = amy->poll();
        out.notifications = recorder.shown.size();

        if (inUse)
            service.unregisterService(kService);
        QDBusConnection::disconnectFromBus(QStringLiteral("rec"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
        QDir::setCurrent(workDir.path());
        return out;
    }

private:
    QProcess bus;
    QString address;
    QTemporaryDir workDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

QTEST_MAIN(TestNotify)
#include "tst_notify.moc"
