// The generator's last step decides which pixels of a picture are masked and what colour
// the kept edge pixels get; mistakes here show as halos or holes in every picture.
#include "Paint.h"

#include <QTest>

class tst_artmask : public QObject {
    Q_OBJECT

private slots:
    void coverage_data();
    void coverage();
    void bottomLeftIsAlwaysMasked();
    void opaqueSilverIsNudged();
    void antialiasedEdgesBlendIntoSilver_data();
    void antialiasedEdgesBlendIntoSilver();
};

namespace {

QImage onePixel(QRgb premultiplied) {
    QImage img(2, 2, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    img.setPixel(1, 0, premultiplied);
    return img;
}

} // namespace

void tst_artmask::coverage_data() {
    QTest::addColumn<QRgb>("in");
    QTest::addColumn<int>("alpha");
    QTest::addColumn<QRgb>("rgb");
    QTest::newRow("empty") << qRgba(0, 0, 0, 0) << 0 << QRgb(0);
    QTest::newRow("solid red stays red") << qRgba(255, 0, 0, 255) << 255 << qRgb(255, 0, 0);
    QTest::newRow("half black becomes dark silver")
        << qPremultiply(qRgba(0, 0, 0, 128)) << 255 << qRgb(95, 95, 95);
    QTest::newRow("half white becomes light silver")
        << qPremultiply(qRgba(255, 255, 255, 128)) << 255 << qRgb(223, 223, 223);
    QTest::newRow("faint edge is dropped") << qPremultiply(qRgba(0, 0, 0, 60)) << 0 << QRgb(0);
}

void tst_artmask::coverage() {
    QFETCH(QRgb, in);
    QFETCH(int, alpha);
    QFETCH(QRgb, rgb);
    const QImage out = art::maskOnSilver(onePixel(in));
    const QRgb px = out.pixel(1, 0);
    QCOMPARE(qAlpha(px), alpha);
    if (alpha == 255) {
        // Allow one step of rounding in the blend.
        QVERIFY2(qAbs(qRed(px) - qRed(rgb)) <= 1 && qAbs(qGreen(px) - qGreen(rgb)) <= 1 &&
                     qAbs(qBlue(px) - qBlue(rgb)) <= 1,
                 qPrintable(QString::number(px & 0xFFFFFF, 16)));
    }
}

void tst_artmask::bottomLeftIsAlwaysMasked() {
    QImage img(32, 32, QImage::Format_ARGB32_Premultiplied);
    img.fill(qRgba(10, 20, 30, 255));
    const QImage out = art::maskOnSilver(img);
    QCOMPARE(qAlpha(out.pixel(0, 31)), 0);
    QCOMPARE(qAlpha(out.pixel(31, 31)), 255);
    QCOMPARE(qAlpha(out.pixel(0, 0)), 255);
}

void tst_artmask::opaqueSilverIsNudged() {
    const QImage out = art::maskOnSilver(onePixel(qRgba(0xC0, 0xC0, 0xC0, 255)));
    const QRgb px = out.pixel(1, 0);
    QCOMPARE(qAlpha(px), 255);
    QVERIFY((px & 0xFFFFFF) != 0xC0C0C0);
    QVERIFY(qAbs(qBlue(px) - 0xC0) <= 2);
}

void tst_artmask::antialiasedEdgesBlendIntoSilver_data() {
    QTest::addColumn<QColor>("fill");
    QTest::newRow("white disc") << QColor(Qt::white);
    QTest::newRow("black disc") << QColor(Qt::black);
}

// Every kept pixel of a plain disc lies between the fill colour and silver: an edge blended
// into white or black would leave a visible rim on the silver background.
void tst_artmask::antialiasedEdgesBlendIntoSilver() {
    QFETCH(QColor, fill);
    QImage img = art::blank(32);
    QPainter p;
    art::begin(p, img);
    art::flat(p, art::circle(QPointF(16, 16), 9.3), fill, Qt::transparent, 0);
    p.end();
    const QImage out = art::maskOnSilver(img);
    const int lo = qMin(fill.red(), 0xC0), hi = qMax(fill.red(), 0xC0);
    int kept = 0, blended = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb px = out.pixel(x, y);
            QVERIFY(qAlpha(px) == 0 || qAlpha(px) == 255);
            if (qAlpha(px) == 0)
                continue;
            ++kept;
            QVERIFY(qRed(px) >= lo && qRed(px) <= hi);
            if (qRed(px) != fill.red())
                ++blended;
        }
    }
    QVERIFY(kept > 200);
    QVERIFY2(blended > 0, "edges were not antialiased");
}

QTEST_GUILESS_MAIN(tst_artmask)
#include "tst_artmask.moc"
