// A real host with 允许网页加入 on, for the browser test to drive from outside:
// the desktop's own window, offscreen, taking the host's actions as lines on stdin.
//   web_host PORT             hosts room "大厅" as "主持人" on PORT, the page on PORT + 1
//   stdin "broadcast TEXT"    the host's 发送广播 with TEXT
//   stdin "kick NICKNAME"     the host's 踢他下线 on NICKNAME
//   stdin "whisper NICK TEXT" the desktop client 阿华 in the room whispers TEXT to NICK
//   stdin "whispers"          prints 阿华's whisper lines, each as "whisper: TEXT"
//   stdin "receive DIR"       阿华 clicks 接收 on the newest offer in its log, into DIR
//   stdin "sendfile NICKNAME PATH"  the host sends the file at PATH to NICKNAME
//   stdin "showfiles"         opens the host's list of the room's files
//   stdin "seatkeep MS"       seats taken from now on wait MS for their page to come back
// It prints "ready" once the room is open, "done" after each command and each
// message box's text as "message: TEXT".
#include "RoomFixture.h"
#include "ScriptedDialogs.h"
#include "StdinCommands.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"
#include "ui/TForm2.h"
#include "web/WebGateway.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <cstdio>

namespace {

// Message boxes are written out instead of waiting for a click.
class PrintedDialogs : public ScriptedDialogs {
public:
    void message(QWidget* parent, const QString& text) override {
        ScriptedDialogs::message(parent, text);
        say("message: " + QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')));
    }
    static void say(const QString& line) {
        std::printf("%s\n", line.toUtf8().constData());
        std::fflush(stdout);
    }
};

bool select(TForm1& form, const QByteArray& nickname) {
    QListWidget* list = form.chat->list1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toByteArray() == nickname) {
            list->setCurrentRow(i);
            list->item(i)->setSelected(true);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    PrintedDialogs dialogs;
    Dialogs::install(&dialogs);

    TForm1 form;
    form.show();
    form.settings->RadioButton2->click();
    form.settings->webJoin->setChecked(true);
    form.settings->port2->setValue(QString::fromLatin1(argv[1]).toInt());
    form.settings->ip2->setText(QStringLiteral("大厅"));
    form.settings->nc2->setText(QStringLiteral("主持人"));
    form.settings->SpeedButton2->click();
    if (form.room.mode != RoomState::HostMode)
        return 1;
    // A real desktop client beside the browsers, for whispers between the two kinds.
    const auto hua = joinClient(form, form.settings->port2->value(), QStringLiteral("阿华"));
    const auto huaWindow = [&]() -> TForm2* {
        for (WhisperPeer* w : hua->room.whispers) {
            if (w != nullptr)
                return static_cast<TForm2*>(w);
        }
        return nullptr;
    };
    PrintedDialogs::say(QStringLiteral("ready"));

    const auto input = onStdinLines([&](const QString& command) {
        const QString verb = command.section(QLatin1Char(' '), 0, 0);
        const QString rest = command.section(QLatin1Char(' '), 1);
        if (verb == QStringLiteral("broadcast")) {
            dialogs.inputAnswers.append(rest);
            form.host.F1Click();
        } else if (verb == QStringLiteral("kick")) {
            if (select(form, gb::fromTyped(rest)))
                form.host.T1Click();
        } else if (verb == QStringLiteral("sendfile")) {
            if (select(form, gb::fromTyped(rest.section(QLatin1Char(' '), 0, 0))))
                form.sendFiles({rest.section(QLatin1Char(' '), 1)}, nullptr);
        } else if (verb == QStringLiteral("seatkeep")) {
            form.web->setSeatKeepMs(rest.toInt());
        } else if (verb == QStringLiteral("showfiles")) {
            form.hostFilesButton->click();
        } else if (verb == QStringLiteral("whisper")) {
            if (select(*hua, gb::fromTyped(rest.section(QLatin1Char(' '), 0, 0)))) {
                hua->chat->Q1->trigger();
                // No window in time: the whisper below is simply not said.
                (void)QTest::qWaitFor([&] { return huaWindow() != nullptr; }, 5000);
            }
            if (TForm2* window = huaWindow()) {
                window->Edit1->setText(rest.section(QLatin1Char(' '), 1));
                window->Edit1Enter();
            }
        } else if (verb == QStringLiteral("receive")) {
            hua->downloadFolder = rest;
            ChatLog* log = hua->chat->Memo1;
            log->scrollToLatest();
            const QPoint at = log->offerButton(int(log->lineCount() - 1), false).center();
            QTest::mouseClick(log->viewport(), Qt::LeftButton, {}, at);
        } else if (verb == QStringLiteral("picture")) {
            // The size the desktop client draws its last line's picture at, if it does.
            ChatLog* log = hua->chat->Memo1;
            log->scrollToLatest();
            const auto shown = [log] { return log->pictureRect(int(log->lineCount() - 1)); };
            if (QTest::qWaitFor([&] { return !shown().isEmpty(); }, 15000))
                PrintedDialogs::say(
                    QStringLiteral("picture: %1x%2").arg(shown().width()).arg(shown().height()));
        } else if (verb == QStringLiteral("openpicture")) {
            ChatLog* log = hua->chat->Memo1;
            log->setCurrentIndex(log->model()->index(int(log->lineCount() - 1), 0));
            QTest::keyClick(log, Qt::Key_Space);
        } else if (verb == QStringLiteral("whisperpicture")) {
            if (select(*hua, gb::fromTyped(rest.section(QLatin1Char(' '), 0, 0)))) {
                hua->chat->Q1->trigger();
                if (QTest::qWaitFor([&] { return huaWindow() != nullptr; }, 5000))
                    hua->sendFiles({rest.section(QLatin1Char(' '), 1)}, huaWindow());
            }
        } else if (verb == QStringLiteral("shot")) {
            QGuiApplication::primaryScreen()->grabWindow(0).save(rest); // the whole screen
        } else if (verb == QStringLiteral("whispers")) {
            if (TForm2* window = huaWindow()) {
                for (const QByteArray& line : window->lines())
                    PrintedDialogs::say("whisper: " + gb::toDisplay(line));
            }
        }
        PrintedDialogs::say(QStringLiteral("done"));
    });
    return app.exec();
}
