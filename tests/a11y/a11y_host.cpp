// A real host with one participant, for the screen-reader test to read from outside:
// the desktop's own window on whatever platform it is given, driven by lines on stdin.
//   a11y_host PORT          hosts room "大厅" as "主持人"; a raw peer "阿强" joins,
//                           is chosen as addressee and whispers once to the host
//   stdin "say TEXT"        the peer says TEXT to the host in public
// It prints "ready" once the room holds the peer and its whisper, "done" after each command.
#include "RawPeer.h"
#include "ScriptedDialogs.h"
#include "StdinCommands.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <cstdio>

namespace {

void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pinwa-a11y-host"));
    if (argc != 2)
        return 2;
    ScriptedDialogs dialogs;
    const quint16 port = quint16(QString::fromLatin1(argv[1]).toUInt());

    TForm1 form;
    form.show();
    form.settings->RadioButton2->click();
    form.settings->port2->setValue(port);
    form.settings->ip2->setText(QStringLiteral("大厅"));
    form.settings->nc2->setText(QStringLiteral("主持人"));
    form.settings->SpeedButton2->click();
    if (form.room.mode != RoomState::HostMode)
        return 1;

    const QByteArray host = gb::fromTyped(QStringLiteral("主持人"));
    const QByteArray peerName = gb::fromTyped(QStringLiteral("阿强"));
    RawPeer peer(port);
    peer.send(wire::joinReply(peerName));
    QListWidget* list = form.chat->list1;
    if (!QTest::qWaitFor([&] { return list->count() == 2; }, 10000))
        return 1;
    list->setCurrentRow(0);
    // Each message goes once the host has handled the one before: one read is one message.
    peer.send(wire::line(wire::talkLine(peerName, host, gb::fromTyped(QStringLiteral("大家好")))));
    if (!QTest::qWaitFor([&] { return form.chat->Memo1->lineCount() == 1; }, 10000))
        return 1;
    peer.send(
        wire::whisper("ser", wire::whisperLine(peerName, gb::fromTyped(QStringLiteral("你好")))));
    if (!QTest::qWaitFor([&] { return form.room.findWhisper("000") >= 0; }, 10000))
        return 1;
    say("ready");

    const auto input = onStdinLines([&](const QString& command) {
        if (command.startsWith(QStringLiteral("say "))) {
            const QByteArray text = gb::fromTyped(command.mid(4));
            peer.send(wire::line(wire::talkLine(peerName, host, text)));
        }
        say("done");
    });
    return app.exec();
}
