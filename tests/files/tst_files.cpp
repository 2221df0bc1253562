// The room's files on the host: what a plain HTTP client can fetch, and what it cannot.
#include "HttpGet.h"
#include "RawPeer.h"
#include "transfer/FileFetch.h"
#include "web/FileStore.h"
#include "web/RoomFolder.h"
#include "web/WebGateway.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(20);
    generator.fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

// A file put into the store as an upload would, in pieces.
QByteArray put(FileStore& store, const QString& name, const QByteArray& bytes,
               const Owner& sender = Owner::page(1)) {
    QString refusal;
    const QByteArray token =
        store.begin(sender, QStringLiteral("amy"), name, bytes.size(), &refusal);
    for (qsizetype at = 0; at < bytes.size(); at += 100000)
        store.write(
            token, at,
            QByteArrayView(bytes).sliced(at, std::min<qsizetype>(100000, bytes.size() - at)),
            &refusal);
    return token;
}

QByteArray pathOf(const QByteArray& token, const QString& name) {
    return "/f/" + token + '/' + name.toUtf8().toPercentEncoding();
}

QUrl urlOf(quint16 port, const QByteArray& token, const QString& name) {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port) +
                QString::fromUtf8(pathOf(token, name)));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A process that has ended: what a crashed copy's lock names.
qint64 endedPid() {
    QProcess child;
    child.start(QStringLiteral("true"), {});
    const qint64 pid = child.waitForStarted() ? child.processId() : 0;
    child.waitForFinished();
    return pid;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

private slots:
    void init() {
        port = freePort();
        QVERIFY(gateway.start(port, port - 1));
    }
    void cleanup() { gateway.stop(); }

    void downloadIsTheFileAsAnAttachment() {
        const QByteArray bytes = randomBytes(3 << 20);
        const QString name = QStringLiteral("报告 1.pdf");
        const QByteArray token = put(*gateway.files(), name, bytes);
        const HttpAnswer a = httpGet(port, pathOf(token, name));
        QCOMPARE(a.status(), 200);
        QVERIFY(a.body == bytes);
        QVERIFY(a.header("Content-Disposition").startsWith("attachment;"));
        QVERIFY(a.header("Content-Disposition")
                    .contains("UTF-8''" + name.toUtf8().toPercentEncoding()));
        QCOMPARE(a.header("X-Content-Type-Options"), QByteArray("nosniff"));
        QCOMPARE(a.header("Content-Length"), QByteArray::number(bytes.size()));
        QCOMPARE(a.header("Accept-Ranges"), QByteArray("bytes"));
        const QByteArray sha = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
        QCOMPARE(a.header("ETag"), '"' + sha.toHex() + '"');
        QCOMPARE(a.header("Repr-Digest"), "sha-256=:" + sha.toBase64() + ':');
        const HttpAnswer head = httpGet(port, pathOf(token, name), {}, -1, "HEAD");
        QCOMPARE(head.status(), 200);
        QVERIFY(head.body.isEmpty());
    }

    void cutDownloadResumesByteEqual() {
        const QByteArray bytes = randomBytes(8 << 20);
        const QByteArray token = put(*gateway.files(), QStringLiteral("big.bin"), bytes);
        const HttpAnswer first = httpGet(port, pathOf(token, "big.bin"), {}, bytes.size() * 4 / 10);
        QVERIFY(first.cut);
        QVERIFY(first.body.size() < bytes.size());
        const QByteArray have = QByteArray::number(first.body.size());
        const HttpAnswer rest =
            httpGet(port, pathOf(token, "big.bin"), "Range: bytes=" + have + "-\r\n");
        QCOMPARE(rest.status(), 206);
        QCOMPARE(rest.header("Content-Range"), "bytes " + have + '-' +
                                                   QByteArray::number(bytes.size() - 1) + '/' +
                                                   QByteArray::number(bytes.size()));
        QVERIFY(first.body + rest.body == bytes);
    }

    void rangesAnswerWhatTheyAsk_data() {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::newRow("span") << QByteArray("bytes=5-9") << 206 << 5 << 5;
        QTest::newRow("last bytes") << QByteArray("bytes=-100") << 206 << 900 << 100;
        QTest::newRow("past the end clipped") << QByteArray("bytes=990-5000") << 206 << 990 << 10;
        QTest::newRow("beyond") << QByteArray("bytes=1000-") << 416 << 0 << 0;
        QTest::newRow("not bytes") << QByteArray("pages=1-2") << 200 << 0 << 1000;
        QTest::newRow("several") << QByteArray("bytes=0-1,5-6") << 200 << 0 << 1000;
        QTest::newRow("backwards") << QByteArray("bytes=9-5") << 200 << 0 << 1000;
    }

    void rangesAnswerWhatTheyAsk() {
        QFETCH(QByteArray, range);
        QFETCH(int, status);
        QFETCH(int, first);
        QFETCH(int, count);
        const QByteArray bytes = randomBytes(1000);
        const QByteArray token = put(*gateway.files(), QStringLiteral("a.txt"), bytes);
        const HttpAnswer a = httpGet(port, pathOf(token, "a.txt"), "Range: " + range + "\r\n");
        QCOMPARE(a.status(), status);
        if (status == 416)
            QCOMPARE(a.header("Content-Range"), QByteArray("bytes */1000"));
        else
            QVERIFY(a.body == bytes.mid(first, count));
    }

    void nothingIsReachableWithoutItsToken_data() {
        QTest::addColumn<QByteArray>("path"); // %T: the file's token
        QTest::newRow("unknown token") << QByteArray("/f/0123456789abcdef0123456789abcdef/a.txt");
        QTest::newRow("wrong name") << QByteArray("/f/%T/b.txt");
        QTest::newRow("no name") << QByteArray("/f/%T/");
        QTest::newRow("folder") << QByteArray("/f/");
        QTest::newRow("upper-case token") << QByteArray("/f/%U/a.txt");
        QTest::newRow("dot dot") << QByteArray("/f/%T/../%T");
        QTest::newRow("encoded dot dot") << QByteArray("/f/%T/..%2f..%2fetc%2fpasswd");
        QTest::newRow("token as name") << QByteArray("/f/%T/%T");
        QTest::newRow("extra part") << QByteArray("/f/%T/a.txt/x");
        QTest::newRow("short token") << QByteArray("/f/0123/a.txt");
    }

    void nothingIsReachableWithoutItsToken() {
        QFETCH(QByteArray, path);
        const QByteArray token = put(*gateway.files(), QStringLiteral("a.txt"), "secret");
        path.replace("%T", token).replace("%U", token.toUpper());
        const HttpAnswer a = httpGet(port, path);
        QCOMPARE(a.status(), 404);
        QVERIFY(!a.body.contains("secret"));
    }

    void unfinishedAndRemovedFilesAreGone() {
        FileStore& store = *gateway.files();
        QString refusal;
        const QByteArray coming = store.begin(Owner::page(1), "amy", "half.txt", 10, &refusal);
        QVERIFY(store.write(coming, 0, "12345", &refusal));
        QCOMPARE(httpGet(port, pathOf(coming, "half.txt")).status(), 404);
        const QByteArray done = put(store, "done.txt", "done");
        QCOMPARE(httpGet(port, pathOf(done, "done.txt")).status(), 200);
        store.remove(done);
        QCOMPARE(httpGet(port, pathOf(done, "done.txt")).status(), 404);
        const QString folder = QFileInfo(store.find(coming)->path).absolutePath();
        QVERIFY(QDir(folder).exists());
        // The room ends: its files and their folder with it.
        gateway.stop();
        QVERIFY(!QDir(folder).exists());
    }

    void namesAreMadeSafe_data() {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("kept");
        QTest::newRow("plain") << QStringLiteral("报告.pdf") << QStringLiteral("报告.pdf");
        QTest::newRow("path") << QStringLiteral("/etc/passwd") << QStringLiteral("passwd");
        QTest::newRow("windows path") << QStringLiteral("C:\\x\\y.doc") << QStringLiteral("y.doc");
        QTest::newRow("dot dot") << QStringLiteral("..") << QStringLiteral("文件");
        QTest::newRow("inner dots") << QStringLiteral("a..b") << QStringLiteral("a.b");
        QTest::newRow("control") << QStringLiteral("a\r\nb\x01.txt") << QStringLiteral("ab.txt");
        QTest::newRow("bidi override")
            << QStringLiteral("a\u202Etxt.exe") << QStringLiteral("atxt.exe");
        QTest::newRow("empty") << QString() << QStringLiteral("文件");
    }

    void namesAreMadeSafe() {
        QFETCH(QString, sent);
        QFETCH(QString, kept);
        QCOMPARE(FileStore::safeName(sent), kept);
    }

    // Cut at 200 inside an emoji, the name kept half a character and no URL found it.
    void longNameCutInsideACharacterStaysDownloadable() {
        const QString sent = QString(199, QLatin1Char('a')) + QStringLiteral("😀😀.txt");
        const QByteArray token = put(*gateway.files(), sent, "hello");
        const QString kept = gateway.files()->find(token)->name;
        QCOMPARE(kept, QString(199, QLatin1Char('a')));
        const HttpAnswer a = httpGet(port, pathOf(token, kept));
        QCOMPARE(a.status(), 200);
        QCOMPARE(a.body, QByteArray("hello"));
    }

    // A crash or a logout left a room's folder, up to 10 GiB, behind for good.
    void folderLeftByADeadCopyIsRemovedWhenARoomStarts() {
        QTemporaryDir under;
        FileStore live(under.path());
        const QByteArray kept = put(live, QStringLiteral("a.txt"), "still here");
        const QString dead = under.filePath(QStringLiteral("room-gone01"));
        QVERIFY(QDir().mkpath(dead));
        writeFile(RoomFolder::lockPath(dead), QByteArray::number(endedPid()) + '\n');
        FileStore next(under.path());
        QVERIFY(next.isValid());
        QVERIFY(!QFileInfo::exists(dead));
        QCOMPARE(readFile(live.find(kept)->path), QByteArray("still here"));
    }

    // Under /tmp, a tmpfs kept the room's files in memory.
    void roomFilesAreKeptPrivatelyUnderTheUsersCache() {
        const QTemporaryDir cache;
        const QByteArray before = qgetenv("XDG_CACHE_HOME"); // empty counts as unset
        const auto restore = qScopeGuard([&] { qputenv("XDG_CACHE_HOME", before); });
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cache.path()));
        FileStore store;
        const QString folder = QFileInfo(store.find(put(store, "a.txt", "x"))->path).path();
        QCOMPARE(QFileInfo(folder).path(), cache.filePath(QStringLiteral("pinwa/files")));
        QCOMPARE(QFile::permissions(folder) & 0x0077, QFile::Permissions()); // group, others
    }

    void limitsRefuseWithAWord() {
        FileStore& store = *gateway.files();
        store.setLimits({1000, 2500, 3});
        QString word;
        QVERIFY(store.begin(Owner::page(1), "amy", "big", 1001, &word).isEmpty());
        QVERIFY(word.contains(QStringLiteral("文件太大")));
        QVERIFY(!store.begin(Owner::page(1), "amy", "1", 1000, &word).isEmpty());
        QVERIFY(!store.begin(Owner::page(1), "amy", "2", 1000, &word).isEmpty());
        QVERIFY(store.begin(Owner::page(2), "bob", "3", 600, &word).isEmpty());
        QVERIFY(word.contains(QStringLiteral("总共最多")));
        QVERIFY(!store.begin(Owner::page(1), "amy", "3", 10, &word).isEmpty());
        QVERIFY(store.begin(Owner::page(1), "amy", "4", 10, &word).isEmpty());
        QVERIFY(word.contains(QStringLiteral("同时最多发送 3 个")));
        QVERIFY(!store.begin(Owner::page(2), "bob", "4", 10, &word).isEmpty());
        const QString folder = QFileInfo(store.find(store.files().first()->token)->path).path();
        const qint64 free = QStorageInfo(folder).bytesAvailable();
        store.setLimits({free * 2, free * 4, 3});
        QVERIFY(
            store.begin(Owner::page(3), "cat", "huge", free + (qint64(1) << 30), &word).isEmpty());
        QVERIFY(word.contains(QStringLiteral("磁盘空间不够")));
    }

    // Downloads come back many times over a room's life; each must free its place.
    void answeredConnectionsFreeTheirPlace() {
        const QByteArray token = put(*gateway.files(), QStringLiteral("a.txt"), "x");
        for (int i = 0; i < WebLimits().downloads + 10; ++i)
            QCOMPARE(httpGet(port, pathOf(token, "a.txt")).status(), 200);
    }

    // The desktop's download: cut at 40%, it goes on from its .part and ends byte-equal.
    void fetchCutAt40PercentResumesByteEqual() {
        const QByteArray bytes = randomBytes(16 << 20);
        const QByteArray token = put(*gateway.files(), QStringLiteral("图.bin"), bytes);
        const QUrl url(QStringLiteral("http://127.0.0.1:%1").arg(port) +
                       QString::fromUtf8(pathOf(token, QStringLiteral("图.bin"))));
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("图.bin"));
        {
            FileFetch first(url, target);
            connect(&first, &FileFetch::progress, &first, [&](qint64 have, qint64 size) {
                if (have >= size * 4 / 10)
                    first.cancel();
            });
            first.start();
            QTRY_VERIFY(QFileInfo(first.partPath()).size() >= bytes.size() * 4 / 10);
            QVERIFY(QFileInfo(first.partPath()).size() < bytes.size());
        }
        FileFetch second(url, target);
        QSignalSpy done(&second, &FileFetch::done);
        second.start();
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().toString(), target);
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QVERIFY(saved.readAll() == bytes);
        QVERIFY(!QFileInfo::exists(second.partPath()));
    }

    void fetchNeverOverwritesAName() {
        const QByteArray token = put(*gateway.files(), QStringLiteral("a.txt"), "new");
        QTemporaryDir dir;
        QFile old(dir.filePath(QStringLiteral("a.txt")));
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("old") == 3);
        old.close();
        const QString target = FileFetch::freeName(old.fileName());
        QCOMPARE(target, dir.filePath(QStringLiteral("a (2).txt")));
        FileFetch fetch(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port) +
                             QString::fromUtf8(pathOf(token, "a.txt"))),
                        target);
        QSignalSpy done(&fetch, &FileFetch::done);
        fetch.start();
        QVERIFY(done.wait(5000));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QFile got(target);
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), QByteArray("new"));
    }

    // No body byte ever comes for an empty file: the head alone must end it.
    void emptyFileCanBeReceived() {
        const QByteArray token = put(*gateway.files(), QStringLiteral("empty.txt"), {});
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("empty.txt"));
        FileFetch fetch(urlOf(port, token, QStringLiteral("empty.txt")), target);
        QSignalSpy done(&fetch, &FileFetch::done);
        fetch.start();
        QVERIFY(done.wait(5000));
        QVERIFY(QFileInfo(target).isFile() && QFileInfo(target).size() == 0);
    }

    // A .part left whole by a rename that failed was asked for from its end, refused
    // with 416, and failed on every start after.
    void partLeftWholeByAFailedRenameFinishes_data() {
        QTest::addColumn<QByteArray>("part"); // %F: the file, %X: one bit of it flipped
        QTest::addColumn<bool>("saved");
        QTest::newRow("the whole file") << QByteArray("%F") << true;
        QTest::newRow("longer than the file") << QByteArray("%Fmore") << true;
        QTest::newRow("as long, not the same") << QByteArray("%X") << false;
    }

    void partLeftWholeByAFailedRenameFinishes() {
        QFETCH(QByteArray, part);
        QFETCH(bool, saved);
        const QByteArray bytes = randomBytes(100000);
        part.replace("%F", bytes).replace("%X", QByteArray(bytes).replace(0, 1, "~"));
        const QByteArray token = put(*gateway.files(), QStringLiteral("w.bin"), bytes);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("w.bin"));
        writeFile(target + QStringLiteral(".part"), part);
        FileFetch fetch(urlOf(port, token, QStringLiteral("w.bin")), target);
        QSignalSpy over(&fetch, saved ? &FileFetch::done : &FileFetch::failed);
        fetch.start();
        QVERIFY(over.wait(5000));
        QVERIFY(saved ? readFile(target) == bytes
                      : over.first().first().toString().contains(QStringLiteral("校验值不符")));
        QVERIFY(!QFileInfo::exists(fetch.partPath())); // nothing left to fail the same way
    }

    // The .part of a resume is hashed on a pool thread: it must still count, and a
    // fetch gone before that ends must not hear of it.
    void resumeFromABigPartIsChecked() {
        const QByteArray bytes = randomBytes(32 << 20);
        const QByteArray token = put(*gateway.files(), QStringLiteral("big.bin"), bytes);
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("big.bin"));
        writeFile(target + QStringLiteral(".part"), bytes.left(28 << 20));
        FileFetch(urlOf(port, token, QStringLiteral("big.bin")), target).start();
        QThreadPool::globalInstance()->waitForDone();
        FileFetch fetch(urlOf(port, token, QStringLiteral("big.bin")), target);
        QSignalSpy done(&fetch, &FileFetch::done);
        fetch.start();
        QVERIFY(done.wait(20000));
        QVERIFY(readFile(target) == bytes);
    }

    // A disk that fills gets a word and keeps the .part: a real small tmpfs where the
    // runner gives one (PINWA_SMALL_DISK), else a file-size quota of 1 MiB.
    void fullDiskGivesAWordAndKeepsThePart() {
        const QByteArray bytes = randomBytes(3 << 20);
        const QByteArray token = put(*gateway.files(), QStringLiteral("b.bin"), bytes);
        QTemporaryDir temporary;
        const QString small = qEnvironmentVariable("PINWA_SMALL_DISK");
        const QDir dir(small.isEmpty() ? temporary.path() : small);
        FileFetch fetch(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port) +
                             QString::fromUtf8(pathOf(token, "b.bin"))),
                        dir.filePath(QStringLiteral("b.bin")));
        QSignalSpy failed(&fetch, &FileFetch::failed);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit quota{1 << 20, before.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        if (small.isEmpty())
            setrlimit(RLIMIT_FSIZE, &quota);
        fetch.start();
        const bool gotWord = failed.wait(10000);
        setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(gotWord);
        QVERIFY(failed.first().first().toString().contains(QStringLiteral("磁盘满了")));
        QVERIFY(failed.first().first().toString().contains(fetch.partPath()));
        QFile part(fetch.partPath());
        QVERIFY(part.open(QIODevice::ReadOnly));
        const QByteArray kept = part.readAll();
        QVERIFY(kept.size() > 0 && kept.size() <= (1 << 20));
        QVERIFY(kept == bytes.left(kept.size()));
    }

private:
    WebGateway gateway;
    quint16 port = 0;
};

QTEST_MAIN(TestFiles)
#include "tst_files.moc"
