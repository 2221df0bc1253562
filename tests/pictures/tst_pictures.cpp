// Pictures in the room: pasted on one desktop, shown small in the others' logs and
// whisper windows, plain lines to an older peer, and never trusted when they are not.
#include "HttpGet.h"
#include "RoomFixture.h"
#include "ScriptedDialogs.h"
#include "Uploader.h"
#include "transfer/PictureCache.h"
#include "ui/ChatLog.h"
#include "ui/PictureWindow.h"
#include "ui/TransferList.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>
#include <QPainter>
#include <QtTest>
#include <zlib.h>

using namespace wire;

namespace {

// Blocks of flat colour: what scaling keeps, so two scalings can be compared.
QImage blocks(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    const QColor colours[] = {Qt::red, Qt::darkGreen, Qt::blue, Qt::yellow};
    for (int i = 0; i < 4; ++i)
        p.fillRect(QRect((i % 2) * size.width() / 2, (i / 2) * size.height() / 2, size.width() / 2,
                         size.height() / 2),
                   colours[i]);
    return image;
}

QByteArray pngOf(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QByteArray pngChunk(const QByteArray& type, const QByteArray& data) {
    QByteArray out(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = type + data;
    out += body;
    char crc[4];
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))),
        crc);
    return out + QByteArray(crc, 4);
}

// A picture whose header says 30000 x 30000: a few KB that would take 900 MB whole.
QByteArray bombPng() {
    QByteArray head(13, '\0');
    qToBigEndian<quint32>(30000, head.data());
    qToBigEndian<quint32>(30000, head.data() + 4);
    head[8] = 8; // 8-bit grey
    return "\x89PNG\r\n\x1a\n" + pngChunk("IHDR", head) +
           pngChunk("IDAT", qCompress(QByteArray(4000, '\0')).mid(4)) + pngChunk("IEND", {});
}

// What the log drew in a rect, and the picture, both scaled to a small size.
bool looksAlike(const QImage& drawn, const QImage& original) {
    const QSize small(24, 12);
    const QImage a = drawn.scaled(small).convertToFormat(QImage::Format_RGB32);
    const QImage b = original.scaled(small).convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < small.height(); ++y) {
        for (int x = 0; x < small.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            if (qAbs(p.red() - q.red()) > 8 || qAbs(p.green() - q.green()) > 8 ||
                qAbs(p.blue() - q.blue()) > 8)
                return false;
        }
    }
    return true;
}

QImage drawnPicture(ChatLog* log) {
    const QRect rect = log->pictureRect(int(log->lineCount() - 1));
    return log->viewport()->grab(rect).toImage();
}

// What a screen reader hears of the log's last row besides its text.
QString said(const ChatLog* log) {
    return log->model()
        ->index(int(log->lineCount() - 1), 0)
        .data(Qt::AccessibleDescriptionRole)
        .toString();
}

void paste(QLineEdit* edit, const QByteArray& png) {
    auto* data = new QMimeData;
    data->setData(QStringLiteral("image/png"), png); // as a screenshot tool offers it
    data->setImageData(QImage::fromData(png));
    QGuiApplication::clipboard()->setMimeData(data);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void init() {
        port = freePortPair();
        host = startHost(port, QStringLiteral("host"), QStringLiteral("room"), true);
        joe = rawJoin(*host, port, "joe");
        bob = joinClient(*host, port, QStringLiteral("bob"));
        carl = joinClient(*host, port, QStringLiteral("carl"));
        joe->forget();
    }
    void cleanup() {
        carl.reset();
        bob.reset();
        joe.reset();
        host.reset();
    }

    // A screenshot pasted at bob: carl sees it in the log, an older copy gets the line
    // and the very bytes that were on the clipboard.
    void pastedPictureShowsInTheLogAndReachesAnOlderPeer() {
        const QImage original = blocks(QSize(480, 240));
        const QByteArray png = pngOf(original);
        choose(*bob, "carl");
        paste(bob->chat->Edit5, png);
        QVERIFY(bob->chat->Edit5->text().isEmpty());
        ChatLog* log = carl->chat->Memo1;
        QTRY_VERIFY_WITH_TIMEOUT(!log->pictureRect(int(log->lineCount() - 1)).isEmpty(), 15000);
        const QRect shown = log->pictureRect(int(log->lineCount() - 1));
        QCOMPARE(shown.size(), QSize(240, 120));
        QVERIFY(looksAlike(drawnPicture(log), original));
        QVERIFY(said(log).contains(QStringLiteral("按空格键打开")));
        // Shown in the log, it is no row of the transfer window.
        QVERIFY(carl->transfers == nullptr ||
                carl->transfers->findChild<QLabel*>(QStringLiteral("transferName")) == nullptr);

        QTRY_VERIFY(joe->poll().contains(gbBytes(QStringLiteral("[图片] 图片 "))));
        const QString line = gb::toDisplay(joe->poll()).trimmed();
        QVERIFY2(line.contains(QRegularExpression(
                     QStringLiteral(R"(\[图片\] 图片 \d{4}-\d\d-\d\d \d\d\.\d\d\.\d\d\.png \()"))),
                 qPrintable(line));
        const QUrl url(line.section(QLatin1Char(' '), -1));
        QVERIFY(httpGet(port + 1, url.path(QUrl::FullyEncoded).toLatin1()).body == png);
        // The saved log holds the line as it came.
        QVERIFY(log->savedBytes().contains(gbBytes(line.section(QLatin1Char(' '), -1))));

        // Space opens it whole, with 另存为.
        log->setFocus();
        log->setCurrentIndex(log->model()->index(int(log->lineCount() - 1), 0));
        QTest::keyClick(log, Qt::Key_Space);
        PictureWindow* window = nullptr;
        QTRY_VERIFY((window = carl->findChild<PictureWindow*>()) != nullptr);
        QCOMPARE(window->picture->pixmap().size(), original.size());
        QVERIFY(window->saveAs->isVisible());
        // Opening it again shows the same window.
        QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, shown.center());
        QTest::qWait(200);
        QCOMPARE(carl->findChildren<PictureWindow*>().size(), 1);
    }

    void pastedInAWhisperShowsInThePeersWindow() {
        const QImage original = blocks(QSize(200, 300));
        choose(*bob, "carl");
        bob->chat->Q1->trigger();
        QTRY_VERIFY(windowFor(*bob, "002") != nullptr);
        paste(windowFor(*bob, "002")->Edit1, pngOf(original));
        QTRY_VERIFY_WITH_TIMEOUT(windowFor(*carl, "001") != nullptr, 15000);
        ChatLog* log = windowFor(*carl, "001")->Memo1;
        QTRY_VERIFY_WITH_TIMEOUT(!log->pictureRect(int(log->lineCount() - 1)).isEmpty(), 15000);
        // The narrow window shows it smaller, its shape kept.
        const QRect shown = log->pictureRect(int(log->lineCount() - 1));
        QVERIFY(shown.width() <= log->viewport()->width());
        QVERIFY(qAbs(shown.width() * 300 - shown.height() * 200) <= 300);
        QVERIFY(looksAlike(drawnPicture(log), original));
    }

    // What is not a picture, or not one to decode, stays a file entry with 接收.
    void untrustedPicturesStayFileEntries_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<QString>("word");
        QByteArray corrupt = pngOf(blocks(QSize(64, 64)));
        corrupt.replace(corrupt.size() / 2, 64, QByteArray(64, 'x'));
        QTest::newRow("corrupt PNG") << corrupt << qint64(10 << 20) << QStringLiteral("损坏");
        QTest::newRow("30000 x 30000 PNG")
            << bombPng() << qint64(10 << 20) << QStringLiteral("太大");
        QTest::newRow("SVG") << QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='9' "
                                           "height='9'><rect width='9' height='9'/></svg>")
                             << qint64(10 << 20) << QStringLiteral("不是");
        // 23 bytes whose logical screen is 7424 wide: the decoder would clear 13 MP.
        QTest::newRow("GIF with a huge canvas")
            << QByteArray::fromBase64("R0lGODlhAB0AAAAAASwBAAAFAAACArw=") << qint64(10 << 20)
            << QStringLiteral("太大");
        QTest::newRow("over the limit") << pngOf(blocks(QSize(64, 64))) << qint64(100) << QString();
    }

    void untrustedPicturesStayFileEntries() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, limit);
        QFETCH(QString, word);
        carl->pictures->setLimit(limit);
        WebPage page(port + 1);
        QVERIFY(page.joinAs(QStringLiteral("amy")));
        QTRY_VERIFY(userList(*host).contains("amy"));
        page.send(msg("fileOffer", {{"id", 1},
                                    {"to", "carl"},
                                    {"name", "p.png"},
                                    {"size", bytes.size()},
                                    {"picture", true}}));
        const QByteArray token = page.take("fileReady").value("token").toString().toLatin1();
        sendPart(page, token, bytes, 0, bytes.size());
        QVERIFY(!page.take("fileDone").isEmpty());
        ChatLog* log = carl->chat->Memo1;
        QTRY_VERIFY(log->lines().constLast().contains(token));
        const QString t = QString::fromLatin1(token);
        QTRY_VERIFY_WITH_TIMEOUT(carl->pictures->look(t).state != PictureCache::State::Fetching,
                                 15000);
        const int row = int(log->lineCount() - 1);
        QVERIFY(log->pictureRect(row).isEmpty());
        QVERIFY(!log->offerButton(row, false).isEmpty());
        QVERIFY2(carl->pictures->look(t).word.contains(word),
                 qPrintable(carl->pictures->look(t).word));
        // A reader hears the file card that is drawn, not a picture to open.
        QVERIFY2(said(log).contains(QStringLiteral("接收")) &&
                     !said(log).contains(QStringLiteral("打开")),
                 qPrintable(said(log)));
    }

private:
    ScriptedDialogs dialogs;
    quint16 port = 0;
    std::unique_ptr<TForm1> host;
    std::unique_ptr<RawPeer> joe;
    std::unique_ptr<TForm1> bob;
    std::unique_ptr<TForm1> carl;
};

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
