// A real host with 允许网页加入 on, for the browser test to drive from outside:
// the desktop's own window, offscreen, taking the host's actions as lines on stdin.
//   web_host PORT             hosts room "大厅" as "主持人" on PORT, the page on PORT + 1
//   stdin "broadcast TEXT"    the host's 发送广播 with TEXT
//   stdin "kick NICKNAME"     the host's 踢他下线 on NICKNAME
//   stdin "sendfile NICKNAME PATH"  the host sends the file at PATH to NICKNAME
//   stdin "showfiles"         opens the host's list of the room's files
// It prints "ready" once the room is open, "done" after each command and each
// message box's text as "message: TEXT".
#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QSpinBox>
#include <cstdio>
#include <unistd.h>

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
    PrintedDialogs::say(QStringLiteral("ready"));

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // Not quit(): the window would ask 真的要退出吗!? and the scripted answer is no.
            QCoreApplication::exit(0);
            return;
        }
        pending.append(buffer, n);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString command = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            const QString verb = command.section(QLatin1Char(' '), 0, 0);
            const QString rest = command.section(QLatin1Char(' '), 1);
            if (verb == QStringLiteral("broadcast")) {
                dialogs.inputAnswers.append(rest);
                form.host.F1Click();
            } else if (verb == QStringLiteral("sendfile")) {
                if (select(form, gb::fromTyped(rest.section(QLatin1Char(' '), 0, 0))))
                    form.sendFiles({rest.section(QLatin1Char(' '), 1)}, nullptr);
            } else if (verb == QStringLiteral("showfiles")) {
                form.hostFilesButton->click();
            } else if (verb == QStringLiteral("kick")) {
                if (select(form, gb::fromTyped(rest)))
                    form.host.T1Click();
            }
            PrintedDialogs::say(QStringLiteral("done"));
        }
    });
    return app.exec();
}
