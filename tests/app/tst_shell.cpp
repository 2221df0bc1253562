#include "ScriptedDialogs.h"
#include "app/LocalAddress.h"
#include "app/RealDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "ui/ErrorBoundary.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QtTest>

class TestShell : public QObject {
    Q_OBJECT

private slots:
    void init() { QDir::setCurrent(workDir.path()); }

    void windowAsBuilt() {
        ScriptedDialogs dialogs;
        TForm1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Pinwa聊天室!!!"));
        QCOMPARE(form.size(), QSize(571, 430));
        QCOMPARE(form.font().pixelSize(), 12);
        QCOMPARE(form.page->count(), 3);
        QCOMPARE(form.page->tabText(0), QStringLiteral("设置(&S)"));
        QCOMPARE(form.page->tabText(1), QStringLiteral("聊天室(&T)"));
        QCOMPARE(form.page->tabText(2), QStringLiteral("关于(&A)"));
        for (const char* name :
             {"ts",           "Panel1",       "Panel6",       "xiaonc", "xiaoname", "ipname",
              "Group1",       "RadioButton1", "RadioButton2", "Panel2", "Panel3",   "ip1",
              "port1",        "nc1",          "SpeedButton1", "ip2",    "port2",    "nc2",
              "SpeedButton2", "overgame",     "Panel4",       "Memo1",  "list1",    "Edit5",
              "SpeedButton3", "fjk",          "heshe",        "pep",    "list2",    "Button1",
              "com1",         "Panel5",       "pic9",         "pic10",  "pic11",    "pic12"})
            QVERIFY2(form.findChild<QObject*>(QString::fromLatin1(name)) != nullptr, name);

        auto* ip1 = form.findChild<QLineEdit*>("ip1");
        QCOMPARE(ip1->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(form.findChild<QLineEdit*>("nc1")->maxLength(), 20);
        QCOMPARE(form.findChild<QLineEdit*>("ip2")->maxLength(), 20);
        QCOMPARE(form.findChild<QWidget*>("SpeedButton3")->geometry(), QRect(392, 328, 49, 17));
        for (const char* name : {"port1", "port2"}) {
            auto* port = form.findChild<QSpinBox*>(name);
            QCOMPARE(port->minimum(), 1);
            QCOMPARE(port->maximum(), 65535);
            QCOMPARE(port->value(), 8888);
        }
        QVERIFY(form.findChild<QRadioButton*>("RadioButton1")->isChecked());
        QVERIFY(!form.findChild<QWidget*>("Panel3")->isEnabled());
        QVERIFY(!form.findChild<QWidget*>("Panel4")->isEnabled());
        QVERIFY(form.ipname->text().startsWith(QStringLiteral("本机IP:")));
        QCOMPARE(form.ipname->toolTip(), form.ipname->text());
        QVERIFY(dialogs.asked.isEmpty());
    }

    void roleChoiceSwitchesPanels() {
        ScriptedDialogs dialogs;
        TForm1 form;
        form.show();
        auto* client = form.findChild<QRadioButton*>("RadioButton1");
        auto* host = form.findChild<QRadioButton*>("RadioButton2");
        QTest::mouseClick(host, Qt::LeftButton);
        QVERIFY(form.findChild<QWidget*>("Panel3")->isEnabled());
        QVERIFY(!form.findChild<QWidget*>("Panel2")->isEnabled());
        QTest::mouseClick(client, Qt::LeftButton);
        QVERIFY(form.findChild<QWidget*>("Panel2")->isEnabled());
        QVERIFY(!form.findChild<QWidget*>("Panel3")->isEnabled());
    }

    void closeAsksAndOnlyYesCloses() {
        ScriptedDialogs dialogs;
        TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        dialogs.confirmAnswers = {false};
        QTest::keyClick(form.findChild<QWidget*>("nc1"), Qt::Key_Escape);
        QCOMPARE(dialogs.texts("confirm"), QStringList{QStringLiteral("真的要退出吗!?")});
        QVERIFY(form.isVisible());

        dialogs.confirmAnswers = {true};
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QCOMPARE(dialogs.texts("confirm").size(), 2);
    }

    void errorTextFullStopRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letter") << "Cannot open file col.col"
                                << "Cannot open file col.col.";
        QTest::newRow("paren") << "List index out of bounds (0)"
                               << "List index out of bounds (0)";
        QTest::newRow("quote") << "'' is not a valid integer value"
                               << "'' is not a valid integer value.";
        QTest::newRow("bang") << "nope!"
                              << "nope!";
        QTest::newRow("dot") << "done."
                             << "done.";
        QTest::newRow("chinese") << QStringLiteral("出错") << QStringLiteral("出错.");
        QTest::newRow("empty") << ""
                               << "";
    }
    void errorTextFullStopRule() {
        QFETCH(QString, text);
        QTEST(errorText(text), "shown");
    }

    void escapingErrorsReachTheErrorBoxAndTheProgramGoesOn() {
        ScriptedDialogs dialogs;
        bool after = false;
        auto handler = guarded([] { throw std::runtime_error("Cannot create file x.txt"); });
        handler();
        after = true;
        QVERIFY(after);
        QCOMPARE(dialogs.texts("error"), QStringList{"Cannot create file x.txt."});
    }

    void localAddressAvoidsLoopback() {
        QCOMPARE(chooseLocalAddress("192.168.1.5", "10.0.0.2"), QStringLiteral("192.168.1.5"));
        QCOMPARE(chooseLocalAddress("127.0.1.1", "10.0.0.2"), QStringLiteral("10.0.0.2"));
        QCOMPARE(chooseLocalAddress("", "10.0.0.2"), QStringLiteral("10.0.0.2"));
        QCOMPARE(chooseLocalAddress("127.0.0.1", ""), QStringLiteral("127.0.0.1"));
        QCOMPARE(chooseLocalAddress("", ""), QStringLiteral("127.0.0.1"));
        QVERIFY(!localAddress().isEmpty());
    }

    void endButtonIsOutOfReachWhileCovered() {
        ScriptedDialogs dialogs;
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QWidget* overgame = form.findChild<QWidget*>("overgame");
        form.findChild<QWidget*>("nc1")->setFocus();
        for (int i = 0; i < 40; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY(QApplication::focusWidget() != overgame);
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_O, Qt::AltModifier);
        QVERIFY(dialogs.asked.isEmpty());
    }

    void peerTextShowsAsTyped() {
        RealDialogs real;
        Dialogs::install(&real);
        TForm1 form;
        const QString typed = QStringLiteral("<b>amy</b><br>");
        QVERIFY(Qt::mightBeRichText(typed));
        Qt::TextFormat boxFormat = Qt::AutoText;
        QTimer closer;
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                boxFormat = box->findChild<QLabel*>("qt_msgbox_label")->textFormat();
                box->accept();
            }
        });
        closer.start(10);
        real.message(&form, typed);
        Dialogs::install(nullptr);
        QCOMPARE(boxFormat, Qt::PlainText);
        for (const char* name : {"heshe", "xiaonc", "xiaoname", "ipname", "tsPanel"})
            QVERIFY2(form.findChild<QLabel*>(name)->textFormat() == Qt::PlainText, name);
    }

private:
    QTemporaryDir workDir;
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
