#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"

#include <QCheckBox>
#include <QRadioButton>
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

private:
    QTemporaryDir configHome;
    QTemporaryDir workDir;
};

QTEST_MAIN(TestWebJoin)
#include "tst_webjoin.moc"
