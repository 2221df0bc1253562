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
#include <algorithm>

class TestWebJoin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit()); }
    void init() { QDir::setCurrent(workDir.path()); }

    void webJoinIsTheHostsOffAtFirstAndRemembered() {
        ScriptedDialogs dialogs;
        auto colours = [] {
            QFile file(QStringLiteral("col.col"));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        auto form = std::make_unique<TForm1>();
        const QByteArray before = colours();
        QCheckBox* box = form->settings->webJoin;
        QVERIFY(!box->isChecked() && !box->isEnabled());
        QTest::mouseClick(form->settings->RadioButton2, Qt::LeftButton);
        QVERIFY(box->isEnabled());
        QTest::mouseClick(box, Qt::LeftButton);
        form.reset();
        QVERIFY(QFile::exists(configHome.path() + QStringLiteral("/pinwa/pinwa.conf")));
        TForm1 again;
        QVERIFY(again.settings->webJoin->isChecked());
        QVERIFY(!before.isEmpty());
        QCOMPARE(colours(), before);
    }

    void qrImageIsSharpWithItsQuietZone() {
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
    }

    void webQrShowsACodeAndTheAddressForEachAddress() {
        ScriptedDialogs dialogs;
        const quint16 port = freePortPair();
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
        QTest::mouseClick(form.chat->webQr, Qt::LeftButton); // the same window comes back

        const QList<QrDialog*> shown = form.findChildren<QrDialog*>();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0]->windowTitle(), QStringLiteral("手机加入"));
        QStringList expected, texts;
        for (const QString& address : interfaceAddresses())
            expected.append(QStringLiteral("http://%1:%2/").arg(address).arg(port + 1));
        if (expected.isEmpty())
            expected.append(QStringLiteral("http://127.0.0.1:%1/").arg(port + 1));
        for (const QLabel* label : shown[0]->findChildren<QLabel*>(QStringLiteral("webQrUrl"))) {
            QVERIFY(label->textInteractionFlags() & Qt::TextSelectableByMouse);
            texts.append(label->text());
        }
        QCOMPARE(texts, expected);
        const QList<QLabel*> codes = shown[0]->findChildren<QLabel*>(QStringLiteral("webQrCode"));
        QCOMPARE(codes.size(), expected.size());
        QVERIFY(std::none_of(codes.begin(), codes.end(),
                             [](const QLabel* code) { return code->pixmap().isNull(); }));
    }

private:
    QTemporaryDir configHome;
    QTemporaryDir workDir;
};

QTEST_MAIN(TestWebJoin)
#include "tst_webjoin.moc"
