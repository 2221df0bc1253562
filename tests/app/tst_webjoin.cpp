#include "RawPeer.h"
#include "ScriptedDialogs.h"
#include "app/LocalAddress.h"
#include "app/QrDialog.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestWebJoin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit()); }
    void init() { QDir::setCurrent(workDir.path()); }

    void webJoinIsTheHostsOffAtFirstAndRemembered() {
        ScriptedDialogs dialogs;
        QByteArray colours;
        {
            TForm1 form;
            form.show();
            colours = fileBytes(QStringLiteral("col.col"));
            QCheckBox* box = form.settings->webJoin;
            QVERIFY(!box->isChecked());
            QVERIFY(!box->isEnabled());
            QTest::mouseClick(form.settings->RadioButton2, Qt::LeftButton);
            QVERIFY(box->isEnabled());
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(box->isChecked());
        }
        QVERIFY(QFile::exists(configHome.path() + QStringLiteral("/pinwa/pinwa.conf")));
        TForm1 again;
        QVERIFY(again.settings->webJoin->isChecked());
        QVERIFY(!colours.isEmpty());
        QCOMPARE(fileBytes(QStringLiteral("col.col")), colours);
    }

    void qrImageIsSharpWithItsQuietZoneAndFinders() {
        const QByteArray url = "http://192.168.100.200:65535/";
        const QImage one = qrImage(url, 1);
        const QImage three = qrImage(url, 3);
        const int modules = 29; // 29 bytes need version 3 at level M
        QCOMPARE(one.size(), QSize(modules + 8, modules + 8));
        QCOMPARE(three, one.scaled(three.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
        auto dark = [&](int x, int y) { return qGray(one.pixel(x + 4, y + 4)) < 128; };
        for (int i = -4; i < modules + 4; ++i)
            for (int border : {-4, -3, -2, -1, modules, modules + 1, modules + 2, modules + 3})
                QVERIFY(!dark(i, border) && !dark(border, i));
        for (const QPoint corner : {QPoint(3, 3), QPoint(modules - 4, 3), QPoint(3, modules - 4)})
            for (int dy = -4; dy <= 4; ++dy)
                for (int dx = -4; dx <= 4; ++dx) {
                    const int ring = qMax(qAbs(dx), qAbs(dy));
                    QCOMPARE(dark(corner.x() + dx, corner.y() + dy), ring == 3 || ring <= 1);
                }
    }

    void webQrShowsACodeAndTheAddressForEachAddress() {
        ScriptedDialogs dialogs;
        const quint16 port = freePort();
        TForm1 form;
        form.show();
        QVERIFY(!form.chat->webQr->isVisibleTo(form.chat));
        QTest::mouseClick(form.settings->RadioButton2, Qt::LeftButton);
        form.settings->port2->setValue(port);
        form.settings->ip2->setText(QStringLiteral("room"));
        form.settings->nc2->setText(QStringLiteral("host"));
        form.settings->SpeedButton2->click();
        QTRY_VERIFY(form.chat->Panel4->isEnabled());
        form.chat->webQr->setVisible(true); // as the web page does once it is up

        QTest::mouseClick(form.chat->webQr, Qt::LeftButton);
        QTest::mouseClick(form.chat->webQr, Qt::LeftButton);
        const QList<QrDialog*> shown = form.findChildren<QrDialog*>();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0]->isVisible());
        QCOMPARE(shown[0]->windowTitle(), QStringLiteral("手机加入"));
        QStringList expected;
        for (const QString& address : interfaceAddresses())
            expected.append(QStringLiteral("http://%1:%2/").arg(address).arg(port + 1));
        if (expected.isEmpty())
            expected.append(QStringLiteral("http://127.0.0.1:%1/").arg(port + 1));
        QStringList texts;
        for (const QLabel* label : shown[0]->findChildren<QLabel*>(QStringLiteral("webQrUrl"))) {
            QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
            texts.append(label->text());
        }
        QCOMPARE(texts, expected);
        const QList<QLabel*> codes = shown[0]->findChildren<QLabel*>(QStringLiteral("webQrCode"));
        QCOMPARE(codes.size(), expected.size());
        for (const QLabel* code : codes)
            QVERIFY(!code->pixmap().isNull());
    }

private:
    QTemporaryDir configHome;
    QTemporaryDir workDir;
};

QTEST_MAIN(TestWebJoin)
#include "tst_webjoin.moc"
