#pragma once

#include "RawPeer.h"
#include "ScriptedDialogs.h"
#include "app/ProgramSettings.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "host/RoomRecord.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"
#include "ui/TForm2.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <memory>
#include <optional>

inline QByteArray gbBytes(const QString& text) {
    return gb::fromTyped(text);
}

inline QList<QByteArray> userList(TForm1& form) {
    QList<QByteArray> out;
    for (int i = 0; i < form.chat->list1->count(); ++i)
        out.append(form.chat->list1->item(i)->data(Qt::UserRole).toByteArray());
    return out;
}

inline QList<QByteArray> logLines(TForm1& form) {
    return form.chat->Memo1->lines();
}

// webJoin: 允许网页加入 ticked or not; as last saved when not said.
inline std::unique_ptr<TForm1> startHost(quint16 port,
                                         const QString& nickname = QStringLiteral("host"),
                                         const QString& roomName = QStringLiteral("room"),
                                         std::optional<bool> webJoin = std::nullopt) {
    // A room's kept talk from an earlier test run is not this test's.
    QFile::remove(
        RoomRecord::pathFor(ProgramSettings::historyFolder(), gb::fromTyped(roomName), port));
    auto form = std::make_unique<TForm1>();
    form->show();
    QTest::mouseClick(form->settings->RadioButton2, Qt::LeftButton);
    if (webJoin)
        form->settings->webJoin->setChecked(*webJoin);
    form->settings->port2->setValue(port);
    form->settings->ip2->setText(roomName);
    form->settings->nc2->setText(nickname);
    form->settings->SpeedButton2->click();
    return form;
}

inline void connectClient(TForm1& form, quint16 port, const QString& nickname) {
    form.settings->RadioButton1->click();
    form.settings->port1->setValue(port);
    form.settings->ip1->setText(QStringLiteral("127.0.0.1"));
    form.settings->nc1->setText(nickname);
    form.settings->SpeedButton1->click();
}

// A client window that has joined and holds the current roster. In one process
// the welcome and the first roster reach the newcomer in one read (the host's
// pause cannot keep them apart here), so the host re-sends the roster.
inline std::unique_ptr<TForm1> joinClient(TForm1& host, quint16 port, const QString& nickname) {
    auto form = std::make_unique<TForm1>();
    form->show();
    connectClient(*form, port, nickname);
    const qsizetype logged = form->chat->Memo1->lineCount();
    if (!QTest::qWaitFor([&] { return form->chat->Memo1->lineCount() > logged; }, 5000))
        qWarning("joinClient: %s was not welcomed", qPrintable(nickname));
    host.chat->fjk->click();
    if (!QTest::qWaitFor([&] { return userList(*form) == userList(host); }, 5000))
        qWarning("joinClient: %s did not get the roster", qPrintable(nickname));
    return form;
}

// The whisper window a copy holds for a peer's seat field, or nothing.
inline TForm2* windowFor(TForm1& form, const QByteArray& seatField) {
    const int slot = form.room.findWhisper(seatField);
    return slot < 0 ? nullptr : static_cast<TForm2*>(form.room.whispers[slot]);
}

// Selects a user-list entry as a click would.
inline void choose(TForm1& form, const QByteArray& nickname) {
    QListWidget* list = form.chat->list1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toByteArray() == nickname) {
            list->setCurrentRow(i);
            list->item(i)->setSelected(true);
            return;
        }
    }
    QFAIL("nickname not in the user list");
}

inline void say(TForm1& form, const QString& text) {
    form.chat->Edit5->setText(text);
    form.chat->SpeedButton3->click();
}

// A legacy peer seated under `nickname`, its first roster already read.
inline std::unique_ptr<RawPeer> rawJoin(TForm1& host, quint16 port, const QByteArray& nickname) {
    auto peer = std::make_unique<RawPeer>(port);
    peer->send(wire::joinReply(nickname));
    [&] { QTRY_VERIFY(userList(host).contains(nickname)); }();
    [&] { QTRY_VERIFY(peer->poll().endsWith("\n")); }();
    return peer;
}
