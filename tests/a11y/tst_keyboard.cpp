// Everything a host does, done with the keyboard alone: real key events go to whatever
// has the focus (or to the open popup menu), as the platform would send them.
#include "RoomFixture.h"
#include "app/SettingsPage.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"
#include "ui/PreviewWidgets.h"

#include <QComboBox>
#include <QMenu>
#include <QtTest>

using namespace wire;

namespace {

QWidget* keyboardTarget() {
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::focusWidget();
}

bool press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = keyboardTarget();
    if (target == nullptr)
        return false;
    QTest::keyClick(target, key, modifiers);
    return true;
}

bool type(const QString& text) {
    QWidget* target = keyboardTarget();
    if (target == nullptr)
        return false;
    QTest::keyClicks(target, text);
    return true;
}

// Tab until the focus is on `wanted`, as a user would; false when it never gets there.
bool tabTo(QWidget* wanted, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    for (int i = 0; i < 30 && QApplication::focusWidget() != wanted; ++i) {
        if (!press(Qt::Key_Tab, modifiers))
            return false;
    }
    return QApplication::focusWidget() == wanted;
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        setSocketExceptionHook([](const std::exception& e) { reportError(e); });
        QDir::setCurrent(workDir.path());
    }
    void init() { dialogs = std::make_unique<ScriptedDialogs>(); }
    void cleanup() { dialogs.reset(); }

    void hostWhispersBroadcastsKicksAndSavesByKeyboard() {
        const quint16 port = freePort();
        TForm1 host;
        host.show();
        host.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&host));
        SettingsPage* s = host.settings;

        // Alt+Q picks the host role; the host panel follows in the tab order.
        QVERIFY(press(Qt::Key_Q, Qt::AltModifier));
        QTRY_VERIFY(s->Panel3->isEnabled()); // a mnemonic clicks once the button shows down
        QVERIFY(tabTo(s->port2));
        QVERIFY(type(QString::number(port)));
        QVERIFY(tabTo(s->ip2));
        QVERIFY(type(QStringLiteral("room")));
        QVERIFY(tabTo(s->nc2));
        QVERIFY(type(QStringLiteral("host")));
        QVERIFY(press(Qt::Key_Return));
        QCOMPARE(host.room.mode, RoomState::HostMode);
        QCOMPARE(s->port2->value(), port);

        auto joe = rawJoin(host, port, "joe");
        auto amy = rawJoin(host, port, "amy");
        QCOMPARE(userList(host), (QList<QByteArray>{"joe", "amy", "host"}));
        joe->forget();
        amy->forget();

        // In the user list, Space chooses the entry with the focus as the addressee.
        QVERIFY(tabTo(host.chat->list1));
        QVERIFY(press(Qt::Key_Space));
        QCOMPARE(host.chat->heshe->text(), QStringLiteral("joe"));

        // Its popup by the menu key, the whisper by the item's letter.
        QVERIFY(press(Qt::Key_Menu));
        QVERIFY(host.chat->pop2->isVisible());
        QVERIFY(press(Qt::Key_Q));
        TForm2* window = windowFor(host, "000");
        QVERIFY(window != nullptr);
        QTRY_COMPARE(QApplication::focusWidget(), window->Edit1);
        QVERIFY(type(QStringLiteral("psst")));
        QVERIFY(press(Qt::Key_Return));
        const QByteArray psst = whisper("ser", whisperLine("host", "psst"));
        QTRY_VERIFY(joe->poll().endsWith(psst));

        // Back in the main window (the desktop's Alt+Tab), the focus is where it was.
        host.activateWindow();
        QTRY_COMPARE(QApplication::focusWidget(), host.chat->list1);

        // Public talk from the input line.
        QVERIFY(tabTo(host.chat->Edit5));
        QVERIFY(type(QStringLiteral("hello")));
        QVERIFY(press(Qt::Key_Return));
        const QByteArray hello = line(talkLine("host", "joe", "hello"));
        QTRY_VERIFY(amy->poll().endsWith(hello));

        // A broadcast by Shift+F10 and the item's letter.
        QVERIFY(tabTo(host.chat->list1, Qt::ShiftModifier));
        dialogs->inputAnswers.append(QStringLiteral("all hands"));
        QVERIFY(press(Qt::Key_F10, Qt::ShiftModifier));
        QVERIFY(host.chat->pop2->isVisible());
        QVERIFY(press(Qt::Key_F));
        QTRY_VERIFY(amy->poll().endsWith(hello + notice("all hands")));

        // The arrow keys choose too: kick the second entry.
        QVERIFY(press(Qt::Key_Down));
        QCOMPARE(host.chat->heshe->text(), QStringLiteral("amy"));
        QVERIFY(press(Qt::Key_Menu));
        QVERIFY(press(Qt::Key_T));
        QTRY_VERIFY(amy->closedByPeer());
        QTRY_COMPARE(userList(host), (QList<QByteArray>{"joe", "host"}));

        // The log's popup from the log itself, and its save item.
        QVERIFY(tabTo(host.chat->Memo1, Qt::ShiftModifier));
        const QString path = workDir.filePath(QStringLiteral("saved.txt"));
        dialogs->saveAnswers.append(path);
        QVERIFY(press(Qt::Key_F10, Qt::ShiftModifier));
        QVERIFY(host.chat->pop1->isVisible());
        QVERIFY(press(Qt::Key_S));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), talkLine("host", "joe", "hello") + "\r\n" +
                                      gbBytes(QStringLiteral("amy 离开聊天室!\r")) + "\r\n");
        QVERIFY(dialogs->texts(QStringLiteral("message")).isEmpty());
    }

    void colourPreviewByKeyboard() {
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        SettingsPage* s = form.settings;

        // After the picture chooser come the preview's samples, each a stop of its own.
        QVERIFY(tabTo(s->com1));
        QVERIFY(press(Qt::Key_Down));
        QCOMPARE(s->com1->currentIndex(), 1);
        QVERIFY(press(Qt::Key_Tab));
        QCOMPARE(QApplication::focusWidget(), s->colrich);
        QVERIFY(press(Qt::Key_Tab));
        QCOMPARE(QApplication::focusWidget(), s->colsay);

        dialogs->colourAnswers = {QColor(Qt::red), QColor(Qt::blue)};
        QVERIFY(press(Qt::Key_Space));
        QCOMPARE(form.chat->Memo1->palette().color(QPalette::Text), QColor(Qt::red));
        QVERIFY(tabTo(s->collist));
        QVERIFY(press(Qt::Key_Return));
        QCOMPARE(form.chat->list1->palette().color(QPalette::Base), QColor(Qt::blue));
        QCOMPARE(dialogs->texts(QStringLiteral("colour")).size(), 2);
    }

private:
    QTemporaryDir workDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
