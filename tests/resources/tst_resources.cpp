// Every picture the program shows must load from the linked-in resources and suit the way the
// image lists draw it: 32 x 32 (64 x 64 for a scale of 2), a hard mask, silver where masked.
#include <QImage>
#include <QTest>

namespace {

constexpr int setCount = 7;
constexpr int slotCount = 13;
// A picture with fewer opaque pixels than this is as good as blank at 32 x 32.
constexpr int minOpaque = 120;

QString picturePath(int set, int slot, const char* suffix = "") {
    return QStringLiteral(":/sets/set%1/%2%3.png")
        .arg(set)
        .arg(slot, 2, 10, QLatin1Char('0'))
        .arg(QLatin1String(suffix));
}

QImage load(const QString& path) {
    QImage img(path);
    return img.isNull() ? img : img.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class tst_resources : public QObject {
    Q_OBJECT

private slots:
    void setPicture_data();
    void setPicture();
    void picturesDiffer();
    void aboutPictures_data();
    void aboutPictures();
};

void tst_resources::setPicture_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    for (int s = 0; s < setCount; ++s)
        for (int i = 0; i < slotCount; ++i) {
            QTest::newRow(qPrintable(picturePath(s, i))) << picturePath(s, i) << 32;
            QTest::newRow(qPrintable(picturePath(s, i, "@2x"))) << picturePath(s, i, "@2x") << 64;
        }
}

void tst_resources::setPicture() {
    QFETCH(QString, path);
    QFETCH(int, size);
    const QImage img = load(path);
    QVERIFY2(!img.isNull(), "not in the resources");
    QCOMPARE(img.size(), QSize(size, size));
    QVERIFY(QImage(path).hasAlphaChannel());

    // The transparent picture controls see through the bottom-left pixel's colour.
    QCOMPARE(qAlpha(img.pixel(0, size - 1)), 0);

    const int area = size * size;
    int opaque = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb px = img.pixel(x, y);
            const int a = qAlpha(px);
            if (a != 0 && a != 255)
                QFAIL(qPrintable(QStringLiteral("partial alpha %1 at %2,%3").arg(a).arg(x).arg(y)));
            if (a == 255) {
                ++opaque;
                // An opaque silver pixel would turn into a hole on a transparent control.
                if ((px & 0xFFFFFF) == 0xC0C0C0)
                    QFAIL(qPrintable(QStringLiteral("opaque silver at %1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY2(opaque >= minOpaque * area / (32 * 32),
             qPrintable(QStringLiteral("only %1 opaque pixels").arg(opaque)));
    QVERIFY2(opaque < area, "no transparent pixel at all");
}

void tst_resources::picturesDiffer() {
    QList<QList<QImage>> sets(setCount);
    for (int s = 0; s < setCount; ++s)
        for (int i = 0; i < slotCount; ++i)
            sets[s] << load(picturePath(s, i));
    for (int s = 0; s < setCount; ++s)
        for (int a = 0; a < slotCount; ++a)
            for (int b = a + 1; b < slotCount; ++b)
                if (!sets[s][a].isNull() && sets[s][a] == sets[s][b])
                    QFAIL(qPrintable(QStringLiteral("set %1: slots %2 and %3 are the same picture")
                                         .arg(s)
                                         .arg(a)
                                         .arg(b)));
    // A set copied over another would still pass every check above.
    for (int i = 0; i < slotCount; ++i)
        for (int s = 0; s < setCount; ++s)
            for (int t = s + 1; t < setCount; ++t)
                if (!sets[s][i].isNull() && sets[s][i] == sets[t][i])
                    QFAIL(qPrintable(QStringLiteral("slot %1: sets %2 and %3 are the same picture")
                                         .arg(i)
                                         .arg(s)
                                         .arg(t)));
}

void tst_resources::aboutPictures_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("icon") << ":/about/pinwa.png" << QSize(32, 32);
    QTest::newRow("large icon") << ":/about/pinwa-64.png" << QSize(64, 64);
    QTest::newRow("portrait") << ":/about/portrait.png" << QSize(96, 112);
    QTest::newRow("icon @2x") << ":/about/pinwa@2x.png" << QSize(64, 64);
    QTest::newRow("large icon @2x") << ":/about/pinwa-64@2x.png" << QSize(128, 128);
    QTest::newRow("portrait @2x") << ":/about/portrait@2x.png" << QSize(192, 224);
    for (int size : {16, 32, 48, 64, 128, 256})
        QTest::newRow(qPrintable(QStringLiteral("program icon %1").arg(size)))
            << QStringLiteral(":/icons/pinwa-%1.png").arg(size) << QSize(size, size);
}

void tst_resources::aboutPictures() {
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage img = load(path);
    QVERIFY2(!img.isNull(), "not in the resources");
    QCOMPARE(img.size(), size);
    QVERIFY(img.pixel(size.width() / 2, size.height() / 2) != img.pixel(0, 0));
}

QTEST_GUILESS_MAIN(tst_resources)
#include "tst_resources.moc"
