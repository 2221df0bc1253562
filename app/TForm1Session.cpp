// The main window's side of a session: wiring controls and sockets to the room
// host and client, and the view they act on.
#include "app/Attention.h"
#include "app/HostTooltips.h"
#include "app/QrDialog.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "discovery/RoomAnnouncer.h"
#include "protocol/Errors.h"
#include "protocol/Gb.h"
#include "protocol/TypedLine.h"
#include "protocol/Wire.h"
#include "ui/Accessibility.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "ui/FlatButton.h"
#include "ui/InputHistory.h"
#include "ui/TForm2.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

void TForm1::wireSession() {
    SettingsPage* s = settings;
    connect(s->SpeedButton1, &QToolButton::clicked, this, guarded([this] { SpeedButton1Click(); }));
    connect(s->SpeedButton2, &QToolButton::clicked, this, guarded([this] { SpeedButton2Click(); }));
    connect(s->nc1, &QLineEdit::returnPressed, s->SpeedButton1, &QToolButton::click);
    connect(s->ip2, &QLineEdit::returnPressed, s->SpeedButton2, &QToolButton::click);
    connect(s->nc2, &QLineEdit::returnPressed, s->SpeedButton2, &QToolButton::click);
    connect(s->overgame, &QToolButton::clicked, this, guarded([this] { overgameClick(); }));
    connect(chat->fjk, &QPushButton::clicked, this, guarded([this] { host.fjkClick(); }));
}

void TForm1::wireChatPage() {
    ChatPage* c = chat;
    connect(c->SpeedButton3, &QToolButton::clicked, this, guarded([this] { SpeedButton3Click(); }));
    connect(c->Edit5, &QLineEdit::returnPressed, c->SpeedButton3, &QToolButton::click);
    connect(c, &ChatPage::enterPressed, c->SpeedButton3, &QToolButton::click);
    connect(c->list1, &QListWidget::itemSelectionChanged, this, guarded([this] { list1Click(); }));
    connect(c->pop2, &QMenu::aboutToShow, this, guarded([this] { pop2Popup(); }));
    connect(c->F1, &QAction::triggered, this, guarded([this] { host.F1Click(); }));
    connect(c->T1, &QAction::triggered, this, guarded([this] { host.T1Click(); }));
    connect(c->Q1, &QAction::triggered, this, guarded([this] { Q1Click(); }));
    connect(c->J1, &QAction::triggered, this, guarded([this] { host.J1Click(); }));
    hostTips = new HostTooltips(c->list1, room, host);
    connect(c->S1, &QAction::triggered, this, guarded([this] { S1Click(); }));
    connect(c->C1, &QAction::triggered, this, guarded([this] { chat->Memo1->clearLines(); }));
    connect(c->D1, &QAction::triggered, this, guarded([this] { chat->Memo1->copy(); }));
    connect(c->webQr, &QToolButton::clicked, this,
            guarded([this] { showWebQr(this, settings->port2->value() + 1); }));
}

void TForm1::SpeedButton1Click() {
    roomClient.SpeedButton1Click(
        {settings->ip1->text(), settings->port1->value(), gb::fromTyped(settings->nc1->text())});
}

void TForm1::SpeedButton2Click() {
    host.SpeedButton2Click({settings->port2->value(), gb::fromTyped(settings->ip2->text()),
                            gb::fromTyped(settings->nc2->text())});
}

void TForm1::SpeedButton3Click() {
    const QString typed = chat->Edit5->text();
    if (typed.isEmpty())
        return;
    if (chat->heshe->text().isEmpty()) {
        showNotice(QStringLiteral("请选择说话对象!"));
        return;
    }
    // The addressee is the entry last chosen, even when a roster rebuild has
    // since cleared the list's selection.
    const QByteArray text = gb::fromTyped(typing::oneLine(typed));
    const QByteArray line = room.addressee == room.ownNickname
                                ? wire::selfTalkLine(room.ownNickname, text)
                                : wire::talkLine(room.ownNickname, room.addressee, text);
    // A host drops a line this long: say so and keep the text rather than lose it.
    if (line.size() > wire::kMaxLineBytes) {
        showNotice(typing::tooLongNotice());
        return;
    }
    chat->Edit5->clear();
    chat->Edit5History->record(typed);
    if (room.mode == RoomState::ClientMode)
        roomClient.talk(line);
    else
        host.talk(line);
}

void TForm1::list1Click() {
    const std::optional<QByteArray> chosen = selectedUser();
    if (!chosen)
        return;
    room.addressee = *chosen;
    a11y::setSpokenText(chat->heshe, chat->Label8->text(), gb::toDisplay(*chosen));
}

void TForm1::pop2Popup() {
    const bool hostItems = room.mode != RoomState::ClientMode;
    chat->F1->setEnabled(hostItems);
    chat->T1->setEnabled(hostItems);
    chat->Q1->setEnabled(true);
    chat->J1->setVisible(room.mode == RoomState::HostMode);
}

void TForm1::S1Click() {
    const std::optional<QString> path = Dialogs::instance().saveFile(
        this, QStringLiteral("文本文件(txt)"), QStringLiteral("*.txt"));
    if (!path)
        return;
    // Written beside the target and renamed over it, so a failed save leaves the old file.
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(chat->Memo1->savedBytes()) < 0 ||
        !file.commit())
        throw errors::cannotCreate(*path);
}

void TForm1::overgameClick() {
    if (!confirm(QStringLiteral("真的要结束连接吗?")))
        return;
    endHosting();
    roomClient.endSession();
    leaveSession(false);
    room.occupancy = 0;
}

void TForm1::endHosting() {
    stopWeb();
    announcer->stop();
    stopRecord();
    host.endRoom();
}

void TForm1::setStatus(const QString& text) {
    setStatusText(text);
}

void TForm1::showNotice(const QString& text) {
    attention->notice();
    Dialogs::instance().message(this, text);
}

bool TForm1::confirm(const QString& text) {
    return Dialogs::instance().confirm(this, text);
}

std::optional<QString> TForm1::askText(const QString& caption, const QString& prompt) {
    return Dialogs::instance().input(this, caption, prompt, QString());
}

void TForm1::focusField(Field field) {
    switch (field) {
    case Field::HostRoomName:
        settings->ip2->setFocus();
        break;
    case Field::HostNickname:
        settings->nc2->setFocus();
        break;
    case Field::ClientNickname:
        settings->nc1->setFocus();
        break;
    }
}

void TForm1::enterSession(bool asHost, const QByteArray& nickname, const QByteArray& roomName) {
    settings->Group1->hide();
    settings->overgame->setEnabled(true);
    settings->overgame->setText(asHost ? QStringLiteral("结束服务(&O)")
                                       : QStringLiteral("结束连接(&O)"));
    chat->Panel4->setEnabled(true);
    if (asHost)
        chat->list1->clear();
    page->setCurrentIndex(1);
    xiaoname->setText(asHost ? QStringLiteral("聊天室名:") + gb::toDisplay(roomName) : QString());
    chat->Memo1->setOwnNickname(nickname);
    const QString nick = QStringLiteral("昵称:") + gb::toDisplay(nickname);
    xiaonc->setText(nick);
    xiaonc->setToolTip(nick);
    if (asHost) {
        startRecord(roomName);
        startWeb();
        startAnnounce();
    } else {
        dropHistoryFetch();
        historyAsked = false;
        sessionStartRow = int(chat->Memo1->lineCount());
    }
}

void TForm1::leaveSession(bool toSettingsPage) {
    dropHistoryFetch();
    chat->Panel4->setEnabled(false);
    settings->Group1->show();
    settings->overgame->setEnabled(false); // covered again: neither Tab nor Alt+O may reach it
    chat->list1->clear();
    if (toSettingsPage)
        page->setCurrentIndex(0);
}

void TForm1::appendLog(const QByteArray& line) {
    chat->Memo1->appendLine(line);
    attention->publicLine(line);
    offerSeen(line);
}

void TForm1::setUserList(const QList<QByteArray>& nicknames) {
    QListWidget* list = chat->list1;
    list->clear();
    for (const QByteArray& nickname : nicknames)
        hostTips->addEntry(gb::toDisplay(nickname), nickname);
    // The first roster says this copy holds its seat: the host now believes its proof.
    if (room.mode == RoomState::ClientMode && nicknames.contains(room.ownNickname))
        fetchHistory();
}

std::optional<QByteArray> TForm1::selectedUser() const {
    const QList<QListWidgetItem*> selected = chat->list1->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.constFirst()->data(Qt::UserRole).toByteArray();
}

void TForm1::removeSelectedUser() {
    qDeleteAll(chat->list1->selectedItems());
}

void TForm1::setOnlineCount(int count) {
    a11y::setSpokenText(chat->pep, chat->Label13->text(), QString::number(count));
    announcer->setOnlineCount(count);
}

void TForm1::reportErrorLater(const QString& text) {
    QTimer::singleShot(0, this, [this, text] { showErrorBox(this, errorText(text)); });
}

void TForm1::pause(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TForm1::Q1Click() {
    const std::optional<QByteArray> chosen = selectedUser();
    if (!chosen) {
        showNotice(QStringLiteral("请选择聊天对象!"));
        return;
    }
    if (*chosen == room.ownNickname) {
        showNotice(QStringLiteral("为什么要跟自己说悄悄话呢!?"));
        return;
    }
    if (room.mode == RoomState::ClientMode)
        roomClient.requestWhisper(*chosen);
    else
        host.openWhisper(*chosen);
}

namespace {

TForm2* whisperWindow(WhisperPeer* window) {
    return static_cast<TForm2*>(window);
}

} // namespace

WhisperPeer* TForm1::createWhisper(int slot) {
    auto* window = new TForm2(room, this);
    window->OnSend = [this](TForm2& from, const QByteArray& line) {
        if (room.mode == RoomState::ClientMode)
            roomClient.sendWhisper(from.peerSeatField(), line);
        else if (room.mode == RoomState::HostMode)
            host.sendWhisper(from.peerSeatField(), line);
    };
    room.whispers[slot] = window;
    enableWhisperDrop(window);
    window->setAttribute(Qt::WA_ShowWithoutActivating, !attention->mayTakeFocus());
    window->show();
    window->takeColours(chat->Memo1, chat->Edit5);
    return window;
}

void TForm1::setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) {
    whisperWindow(window)->setPeerName(peerName);
}

void TForm1::setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) {
    whisperWindow(window)->setPeerSeatField(seatField);
}

void TForm1::appendWhisper(WhisperPeer* window, const QByteArray& line) {
    whisperWindow(window)->appendLine(line);
    attention->whisper(whisperWindow(window), line);
    offerSeen(line);
}

void TForm1::showWhisper(WhisperPeer* window) {
    TForm2* w = whisperWindow(window);
    const bool takeFocus = attention->mayTakeFocus();
    w->setAttribute(Qt::WA_ShowWithoutActivating, !takeFocus);
    w->show();
    if (!takeFocus)
        return;
    w->raise();
    w->activateWindow();
}

void TForm1::focusWhisperInput(WhisperPeer* window) {
    whisperWindow(window)->Edit1->setFocus();
}
