// Who has the keyboard when a whisper arrives. Run through with-x.sh, on an X server of its
// own with a window manager: offscreen, no other program can have the focus.
#include "RoomFixture.h"
#include "protocol/Wire.h"
#include "ui/ErrorBoundary.h"
#include "ui/TForm2.h"

#include <QProcess>
#include <QtTest>
#include <cstdio>

using namespace wire;

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(20000) || p.exitCode() != 0)
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// xdotool's keys go where the X server sends them: to the window with the input focus.
QString xdo(const QStringList& arguments) {
    return run(QStringLiteral("xdotool"), arguments);
}

QString activeXWindow() {
    return xdo({QStringLiteral("getactivewindow")});
}

// The other program: one input line that reports what is entered in it.
int elsewhereMain(int argc, char** argv) {
    QApplication app(argc, argv);
    QLineEdit edit;
    edit.setGeometry(420, 300, 300, 40);
    QObject::connect(&edit, &QLineEdit::returnPressed, [&] {
        std::printf("entered %s\n", qPrintable(edit.text())), std::fflush(stdout);
    });
    edit.show();
    std::printf("%llu\n", static_cast<unsigned long long>(edit.winId()));
    std::fflush(stdout);
    return app.exec();
}

// The other program, as a process of its own.
struct Elsewhere {
    Elsewhere() {
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--elsewhere")});
    }
    ~Elsewhere() {
        process.kill();
        process.waitForFinished();
    }
    QString output() { return out += QString::fromLocal8Bit(process.readAllStandardOutput()); }
    QString window() { return output().section(u'\n', 0, 0); }

    QProcess process;
    QString out;
};

} // namespace

class TestFocus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QGuiApplication::platformName() != QStringLiteral("xcb"))
            QSKIP("needs an X server with a window manager: Xvfb and openbox, run through "
                  "with-x.sh (scripts/setup.sh installs them)");
        QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(),
                 "xdotool is needed (scripts/setup.sh installs it)");
        setSocketExceptionHook([](const std::exception& e) { reportError(e); });
        QDir::setCurrent(workDir.path());
    }
    void init() { dialogs = std::make_unique<ScriptedDialogs>(); }
    void cleanup() { dialogs.reset(); }

    void arrivingWhisperTakesTheKeyboardFromAnotherProgram_data() {
        QTest::addColumn<bool>("toClient");
        QTest::newRow("host") << false;
        QTest::newRow("client") << true;
    }
    void arrivingWhisperTakesTheKeyboardFromAnotherProgram() {
        QFETCH(bool, toClient);
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = rawJoin(*host, port, "joe");
        auto amy = joinClient(*host, port, QStringLiteral("amy"));
        TForm1& receiver = toClient ? *amy : *host;
        // Either way the window is the one for joe's seat.
        const QByteArray from = seatField(host->room.findSeatByNickname("joe"));
        const QByteArray to =
            toClient ? seatField(host->room.findSeatByNickname("amy")) : kHostSeat.toByteArray();

        Elsewhere elsewhere;
        QTRY_VERIFY(elsewhere.output().contains(u'\n'));
        xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), elsewhere.window()});
        QTRY_COMPARE(activeXWindow(), elsewhere.window());
        QTRY_VERIFY(QApplication::activeWindow() == nullptr);
        joe->poll();
        joe->forget();
        joe->send(whisper(to, whisperLine("joe", "psst")));
        QTRY_VERIFY(windowFor(receiver, from) != nullptr);
        TForm2* window = windowFor(receiver, from);
        QTRY_VERIFY(window->isVisible() && window->windowHandle()->isExposed());

        xdo({QStringLiteral("type"), QStringLiteral("hello")});
        xdo({QStringLiteral("key"), QStringLiteral("Return")});
        // The keys land somewhere: in the other program, or in a whisper to joe.
        QTRY_VERIFY(elsewhere.output().contains(QStringLiteral("entered hello")) ||
                    joe->poll().contains("hello"));
        QVERIFY(elsewhere.output().contains(QStringLiteral("entered hello")));
        QVERIFY(QApplication::activeWindow() == nullptr);
        QVERIFY(window->Edit1->text().isEmpty());
        // Whatever the receiver sent before this line reached joe before it.
        choose(receiver, "joe");
        say(receiver, QStringLiteral("sync"));
        QTRY_VERIFY(joe->poll().contains("sync"));
        QVERIFY2(!joe->poll().contains("hello"), "the keys went to joe as a whisper");
        // It asks for attention instead.
        const QString id = QString::number(window->winId());
        QTRY_VERIFY(run(QStringLiteral("xprop"), {QStringLiteral("-id"), id})
                        .contains(QStringLiteral("_NET_WM_STATE_DEMANDS_ATTENTION")));

        // Activated by the user later, the window has its input line ready.
        xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id});
        QTRY_VERIFY(window->isActiveWindow());
        QTRY_VERIFY(window->Edit1->hasFocus());
        xdo({QStringLiteral("type"), QStringLiteral("ok")});
        QTRY_COMPARE(window->Edit1->text(), QStringLiteral("ok"));
    }

    // With the user in Pinwa, a whisper's window takes the focus from the main window.
    void arrivingWhisperTakesTheFocusFromTheMainWindow() {
        const quint16 port = freePort();
        auto host = startHost(port);
        auto joe = rawJoin(*host, port, "joe");
        host->activateWindow();
        QTRY_VERIFY(host->isActiveWindow());
        joe->send(whisper(kHostSeat, whisperLine("joe", "psst")));
        QTRY_VERIFY(windowFor(*host, "000") != nullptr);
        TForm2* window = windowFor(*host, "000");
        QTRY_VERIFY(window->isActiveWindow());
        QTRY_COMPARE(activeXWindow(), QString::number(window->winId()));
        QVERIFY(window->Edit1->hasFocus());
    }

private:
    QTemporaryDir workDir;
    std::unique_ptr<ScriptedDialogs> dialogs;
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--elsewhere") == 0)
        return elsewhereMain(argc, argv);
    QApplication app(argc, argv);
    TestFocus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_focus.moc"
