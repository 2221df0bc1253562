// Files sent from a web seat: what the room and an older peer see, and resuming.
#include "HttpGet.h"
#include "RoomFixture.h"
#include "Uploader.h"
#include "app/HostFiles.h"
#include "app/LocalAddress.h"
#include "protocol/FileOffer.h"
#include "ui/ChatLog.h"
#include "ui/TransferList.h"
#include "web/WebGateway.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QMimeData>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace wire;

namespace {

std::unique_ptr<TForm1> startWebHost(quint16 port) {
    return startHost(port, QStringLiteral("host"), QStringLiteral("room"), true);
}

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// What a browser asks for when its user opens the address: the name in UTF-8.
QByteArray browserPath(const QString& url) {
    const QUrl u(url);
    return u.path(QUrl::FullyEncoded).toLatin1();
}

} // namespace

class TestFileRoom : public QObject {
    Q_OBJECT

private slots:
    void init() {
        port = freePortPair();
        host = startWebHost(port);
        joe = rawJoin(*host, port, "joe");
        page = std::make_unique<WebPage>(port + 1);
        QVERIFY(page->waitOpen());
        page->send(msg("join", {{"nickname", "amy"}}));
        seatToken = page->take("token").value("token").toString();
        QVERIFY(!page->take("users").isEmpty());
        QTRY_VERIFY(joe->poll().contains("amy"));
        joe->forget();
    }
    void cleanup() {
        page.reset();
        joe.reset();
        host.reset();
    }

    // An older copy gets the offer as a line its user could have typed, and the file
    // with any HTTP client from the address in it.
    void offerReachesAnOlderPeerAsAPlainLine_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("inAddress");
        QTest::newRow("GB2312 name") << QStringLiteral("报告.pdf") << QStringLiteral("报告.pdf")
                                     << QStringLiteral("报告.pdf");
        QTest::newRow("beyond GB2312") << QStringLiteral("笑😀 a.txt") << QStringLiteral("笑_ a.txt")
                                       << QStringLiteral("笑%F0%9F%98%80%20a.txt");
    }

    void offerReachesAnOlderPeerAsAPlainLine() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFETCH(QString, inAddress);
        const QByteArray bytes = randomBytes(3 << 20);
        page->send(
            msg("fileOffer", {{"id", 1}, {"to", "joe"}, {"name", name}, {"size", bytes.size()}}));
        const QJsonObject ready = page->take("fileReady");
        QCOMPARE(ready.value("have").toInteger(), 0);
        const QByteArray token = ready.value("token").toString().toLatin1();
        sendPart(*page, token, bytes, 0, bytes.size());
        const QJsonObject done = page->take("fileDone", 15000);
        QCOMPARE(done.value("sha256").toString().toLatin1(),
                 QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        // Reached on a loopback address, the host names the one others can use.
        const QString text = QStringLiteral("[文件] %1 (3.0 MB) http://%2:%3/f/%4/%5")
                                 .arg(shown, localAddress())
                                 .arg(port + 1)
                                 .arg(QString::fromLatin1(token), inAddress);
        const QByteArray expected = line(talkLine("amy", "joe", gbBytes(text)));
        QTRY_VERIFY(joe->poll().contains(expected));
        QCOMPARE(joe->poll(), expected);
        const QString url = gb::toDisplay(joe->poll()).section(QLatin1Char(' '), -1).trimmed();
        const HttpAnswer a = httpGet(port + 1, browserPath(url));
        QCOMPARE(a.status(), 200);
        QVERIFY(a.body == bytes);
    }

    void whisperedOfferGoesToTheThread() {
        page->send(msg("openWhisper", {{"nickname", "joe"}}));
        const QString peer = page->take("whisperOpen").value("peer").toString();
        QVERIFY(!peer.isEmpty());
        joe->forget();
        page->send(msg("fileOffer", {{"id", 2}, {"peer", peer}, {"name", "a.txt"}, {"size", 5}}));
        const QByteArray token = page->take("fileReady").value("token").toString().toLatin1();
        sendPart(*page, token, "hello", 0, 5);
        QVERIFY(!page->take("fileDone").isEmpty());
        const QByteArray said =
            whisperLine("amy", gbBytes(QStringLiteral("[文件] a.txt (5 B) http://%1:%2/f/%3/a.txt")
                                           .arg(localAddress())
                                           .arg(port + 1)
                                           .arg(QString::fromLatin1(token))));
        QTRY_VERIFY(joe->poll().contains(said));
        QVERIFY(!joe->poll().contains(kLine.toByteArray()));
    }

    // A page that lost its connection at 40% goes on from what the host has.
    void cutUploadResumesWhereTheHostStands() {
        const QByteArray bytes = randomBytes(8 << 20);
        page->send(msg("fileOffer",
                       {{"id", 3}, {"to", "joe"}, {"name", "b.bin"}, {"size", bytes.size()}}));
        const QByteArray token = page->take("fileReady").value("token").toString().toLatin1();
        sendPart(*page, token, bytes, 0, bytes.size() * 4 / 10);
        QVERIFY(!page->take("fileHave").isEmpty());
        page->socket().abort();
        WebPage back(port + 1);
        QVERIFY(back.waitOpen());
        back.send(msg("resume", {{"token", seatToken}, {"n", 0}}));
        QVERIFY(!back.take("resumed").isEmpty());
        back.send(msg("fileResume", {{"token", QString::fromLatin1(token)}}));
        const qint64 have = back.take("fileReady").value("have").toInteger(-1);
        QVERIFY(have > 0 && have <= bytes.size() * 4 / 10);
        sendPart(back, token, bytes, have, bytes.size());
        const QJsonObject done = back.take("fileDone", 15000);
        QCOMPARE(done.value("sha256").toString().toLatin1(),
                 QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        QTRY_VERIFY(joe->poll().contains("/f/" + token + "/b.bin"));
    }

    void badUploadsAreRefused() {
        host->web->files()->setLimits({1000, 10000, 3});
        page->send(msg("fileOffer", {{"id", 4}, {"to", "joe"}, {"name", "big"}, {"size", 1001}}));
        const QJsonObject refused = page->take("fileRefused");
        QCOMPARE(refused.value("id").toInt(), 4);
        QVERIFY(refused.value("text").toString().contains(QStringLiteral("文件太大")));
        page->send(msg("fileOffer", {{"id", 5}, {"name", "nobody"}, {"size", 10}}));
        QCOMPARE(page->take("fileRefused").value("text").toString(),
                 QStringLiteral("请选择说话对象!"));
        page->send(msg("fileOffer", {{"id", 6}, {"to", "joe"}, {"name", "ok"}, {"size", 10}}));
        const QByteArray token = page->take("fileReady").value("token").toString().toLatin1();
        // Bytes where the file does not stand yet are refused with where it stands.
        page->socket().sendBinaryMessage(uploadFrame(token, 5, "12345"));
        QCOMPARE(page->take("fileRefused").value("have").toInteger(-1), 0);
        page->socket().sendBinaryMessage(uploadFrame(QByteArray(32, 'a'), 0, "12345"));
        QVERIFY(!page->take("refused").isEmpty());
        // Another page cannot write into someone else's upload, even knowing its token.
        WebPage other(port + 1);
        QVERIFY(other.waitOpen());
        other.send(msg("join", {{"nickname", "bob"}}));
        QVERIFY(!other.take("users").isEmpty());
        other.socket().sendBinaryMessage(uploadFrame(token, 0, "0123456789"));
        QVERIFY(!other.take("refused").isEmpty());
        QCOMPARE(host->web->files()->find(token)->have, 0);
        QVERIFY(!joe->poll().contains("[文件]"));
    }

    // From a desktop copy: the button, or files dropped on the log or a whisper window.
    void desktopFileGoesThroughTheHost_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("button") << QStringLiteral("button");
        QTest::newRow("dropped on the log") << QStringLiteral("log");
        QTest::newRow("dropped on a whisper") << QStringLiteral("whisper");
    }

    void desktopFileGoesThroughTheHost() {
        QFETCH(QString, how);
        QTemporaryDir dir;
        const QByteArray bytes = randomBytes(5 << 20);
        const QString path = dir.filePath(QStringLiteral("图 1.png"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();
        auto bob = joinClient(*host, port, QStringLiteral("bob"));
        choose(*bob, "joe");
        joe->forget();
        if (how == QStringLiteral("button")) {
            dialogs.openAnswers = {QStringList{path}};
            bob->chat->sendFile->click();
        } else {
            QWidget* target = bob->chat->Memo1->viewport();
            if (how == QStringLiteral("whisper")) {
                bob->chat->Q1->trigger();
                QTRY_VERIFY(windowFor(*bob, "000") != nullptr);
                target = windowFor(*bob, "000")->Memo1->viewport();
            }
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(path)});
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            // As a drag does: entering names the target the drop then goes to.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                                  Qt::NoModifier);
            QCoreApplication::sendEvent(target, &enter);
            QVERIFY(enter.isAccepted());
            QCoreApplication::sendEvent(target, &drop);
            QVERIFY(drop.isAccepted());
        }
        const QString text = QStringLiteral("[文件] 图 1.png (5.0 MB) http://%1:%2/f/")
                                 .arg(localAddress())
                                 .arg(port + 1);
        const QByteArray said =
            how == QStringLiteral("whisper")
                ? whisperLine("bob", gbBytes(text))
                : kLine.toByteArray() + talkLine("bob", "joe", gbBytes(text)).chopped(1);
        QTRY_VERIFY2_WITH_TIMEOUT(
            joe->poll().contains(said),
            qPrintable(bob->transfers->findChild<QLabel*>("transferState")->text()), 15000);
        const QString url = gb::toDisplay(joe->poll()).section(QLatin1Char(' '), -1).trimmed();
        QVERIFY(url.endsWith(QStringLiteral("/图%201.png")));
        const HttpAnswer a = httpGet(port + 1, browserPath(url));
        QVERIFY(a.body == bytes);
        QCOMPARE(bob->transfers->findChild<QProgressBar*>("transferBar")->value(), 1000);
    }

    // An offer reaching a desktop copy: kept in its log as the bytes that came, and
    // received beside a file of the same name, which stays as it was.
    void desktopReceivesAnOfferWithoutOverwriting() {
        auto bob = joinClient(*host, port, QStringLiteral("bob"));
        QTemporaryDir dir;
        bob->downloadFolder = dir.path();
        QFile old(dir.filePath(QStringLiteral("报告.pdf")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        const QByteArray bytes = randomBytes(2 << 20);
        page->take("users");
        page->send(msg("fileOffer", {{"id", 9},
                                     {"to", "bob"},
                                     {"name", QStringLiteral("报告.pdf")},
                                     {"size", bytes.size()}}));
        const QByteArray token = page->take("fileReady").value("token").toString().toLatin1();
        sendPart(*page, token, bytes, 0, bytes.size());
        const QString text = page->take("fileDone").value("text").toString();
        QTRY_VERIFY(bob->transfers != nullptr);
        QTRY_VERIFY(!logLines(*bob).isEmpty() && logLines(*bob).last().contains(token));
        QCOMPARE(logLines(*bob).last(), talkLine("amy", "bob", gbBytes(text)));
        // The offer is an entry in the log: Space offers 接收 and 另存为, and 接收 is a click.
        ChatLog* log = bob->chat->Memo1;
        const int row = int(log->lineCount() - 1);
        QTRY_VERIFY(!log->offerButton(row, false).isEmpty());
        log->setCurrentIndex(log->model()->index(row, 0));
        QTest::keyClick(log, Qt::Key_Space);
        QTRY_VERIFY(log->offerMenu() != nullptr);
        QCOMPARE(log->offerMenu()->actions().size(), 2);
        log->offerMenu()->close();
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {},
                          log->offerButton(row, false).center());
        const QString saved = dir.filePath(QStringLiteral("报告 (2).pdf"));
        QTRY_VERIFY(QFileInfo::exists(saved));
        QFile got(saved);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QVERIFY(got.readAll() == bytes);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
    }

    // The host's list: who sent what; removing one, even half sent; the limits it sets.
    void hostListsAndRemovesFiles() {
        page->send(msg("fileOffer", {{"id", 1}, {"to", "joe"}, {"name", "a.txt"}, {"size", 5}}));
        const QByteArray done = page->take("fileReady").value("token").toString().toLatin1();
        sendPart(*page, done, "hello", 0, 5);
        QVERIFY(!page->take("fileDone").isEmpty());
        page->send(msg("fileOffer", {{"id", 2}, {"to", "joe"}, {"name", "b.bin"}, {"size", 10}}));
        const QByteArray half = page->take("fileReady").value("token").toString().toLatin1();
        sendPart(*page, half, "01234", 0, 5);
        QVERIFY(host->hostFilesButton->isVisibleTo(host.get()));
        host->hostFilesButton->click();
        QTreeWidget* list = host->hostFiles->list;
        QTRY_COMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(0), QStringLiteral("a.txt"));
        QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("amy"));
        list->topLevelItem(0)->setSelected(true);
        list->topLevelItem(1)->setSelected(true);
        host->hostFiles->findChild<QPushButton*>("fileRemove")->click();
        QCOMPARE(list->topLevelItemCount(), 0);
        QCOMPARE(httpGet(port + 1, "/f/" + done + "/a.txt").status(), 404);
        sendPart(*page, half, "0123456789", 5, 10);
        QCOMPARE(page->take("fileRefused").value("token").toString().toLatin1(), half);
        host->hostFiles->perFile->setValue(1);
        page->send(
            msg("fileOffer", {{"id", 3}, {"to", "joe"}, {"name", "c"}, {"size", (2 << 20)}}));
        QVERIFY(
            page->take("fileRefused").value("text").toString().contains(QStringLiteral("1.0 MB")));
        host->hostFiles->perFile->setValue(2048);
    }

    void noWebSurfaceSaysSoAndSendsNothing() {
        const quint16 other = freePort();
        // An older host, or one with 允许网页加入 off.
        auto plain = startHost(other, QStringLiteral("host"), QStringLiteral("old"), false);
        auto legacy = rawJoin(*plain, other, "joe");
        auto bob = joinClient(*plain, other, QStringLiteral("bob"));
        choose(*bob, "joe");
        legacy->forget();
        QTemporaryDir dir;
        QFile f(dir.filePath("a.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("hello") == 5);
        f.close();
        dialogs.clear();
        dialogs.openAnswers = {QStringList{f.fileName()}};
        bob->chat->sendFile->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs.texts("message").size(), 1, 10000);
        QVERIFY(dialogs.texts("message").first().contains(QStringLiteral("没有网页服务")));
        QVERIFY(dialogs.texts("message").first().contains(QString::number(other + 1)));
        QVERIFY(!legacy->poll().contains(kLine.toByteArray()));
    }

private:
    ScriptedDialogs dialogs;
    quint16 port = 0;
    QString seatToken;
    std::unique_ptr<TForm1> host;
    std::unique_ptr<RawPeer> joe;
    std::unique_ptr<WebPage> page;
};

QTEST_MAIN(TestFileRoom)
#include "tst_fileroom.moc"
