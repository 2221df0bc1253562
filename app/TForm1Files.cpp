// Sending files from the desktop: to the host's web surface at the room's port + 1,
// then the offer said in the room as an ordinary talk or whisper line.
#include "app/LocalAddress.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "protocol/TypedLine.h"
#include "protocol/Wire.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "ui/FileDrop.h"
#include "ui/FlatButton.h"
#include "ui/TForm2.h"
#include "ui/TransferList.h"
#include "web/FileUpload.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Where the room's host is, as this copy reached it: its web surface is one port up.
bool hostAddress(int fd, QString* address, quint16* port) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        peer.sin_family != AF_INET)
        return false;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    *address = QString::fromLatin1(text);
    *port = ntohs(peer.sin_port);
    return true;
}

} // namespace

void TForm1::wireFiles() {
    connect(chat->sendFile, &QToolButton::clicked, this, guarded([this] {
                const QStringList files =
                    Dialogs::instance().openFiles(this, QStringLiteral("发送文件"));
                if (!files.isEmpty())
                    sendFiles(files, nullptr);
            }));
    FileDrop::enable(chat->Memo1, [this](const QStringList& files) {
        runGuarded([&] { sendFiles(files, nullptr); });
    });
}

void TForm1::enableWhisperDrop(TForm2* window) {
    QPointer<TForm2> target(window);
    FileDrop::enable(window->Memo1, [this, target](const QStringList& files) {
        runGuarded([&] {
            if (target)
                sendFiles(files, target);
        });
    });
}

void TForm1::sendFiles(const QStringList& paths, TForm2* whisper) {
    if (room.mode != RoomState::ClientMode && room.mode != RoomState::HostMode)
        return;
    const QByteArray addressee = room.addressee;
    if (whisper == nullptr && chat->heshe->text().isEmpty()) {
        showNotice(QStringLiteral("请选择说话对象!"));
        return;
    }
    QString address = QStringLiteral("127.0.0.1");
    quint16 roomPort = static_cast<quint16>(settings->port2->value());
    if (room.mode == RoomState::ClientMode &&
        (client.Connection() == nullptr ||
         !hostAddress(client.Connection()->SocketId(), &address, &roomPort))) {
        showNotice(QStringLiteral("没有连接到聊天室,不能发送文件。"));
        return;
    }
    if (roomPort == 65535) {
        showNotice(QStringLiteral("主机的端口是 65535,它上面没有网页服务,不能发送文件。"));
        return;
    }
    if (transfers == nullptr)
        transfers = new TransferList(this);
    QPointer<TForm2> thread(whisper);
    for (const QString& path : paths) {
        auto* upload = new FileUpload(path, address, roomPort + 1,
                                      gb::toDisplay(room.ownNickname), this);
        TransferList::Row* row = transfers->add(QStringLiteral("发送 %1").arg(upload->fileName()),
                                                [upload] { upload->cancel(); });
        connect(upload, &FileUpload::progress, transfers,
                [row](qint64 have, qint64 size) { row->setProgress(have, size); });
        connect(upload, &FileUpload::failed, this, [this, row, upload](const QString& word) {
            row->finish(word, true);
            upload->deleteLater();
            showNotice(word);
        });
        connect(upload, &FileUpload::done, this,
                guarded([this, row, upload, thread, whisper, addressee](const QString& text) {
                    row->finish(QStringLiteral("发送完毕"));
                    upload->deleteLater();
                    if (whisper != nullptr)
                        sayOfferInWhisper(thread, text);
                    else
                        sayOffer(addressee, text);
                }));
        connect(upload, &QObject::destroyed, transfers, [row] { row->cancel->setEnabled(false); });
        upload->start();
    }
}

void TForm1::sayOffer(const QByteArray& addressee, const QString& text) {
    if (room.mode != RoomState::ClientMode && room.mode != RoomState::HostMode)
        return;
    const QByteArray bytes = gb::fromTyped(text);
    const QByteArray line = addressee == room.ownNickname
                                ? wire::selfTalkLine(room.ownNickname, bytes)
                                : wire::talkLine(room.ownNickname, addressee, bytes);
    if (room.mode == RoomState::ClientMode)
        roomClient.talk(line);
    else
        host.talk(line);
}

void TForm1::sayOfferInWhisper(TForm2* window, const QString& text) {
    if (window == nullptr || !window->OnSend)
        return;
    const QByteArray line = wire::whisperLine(room.ownNickname, gb::fromTyped(text));
    window->OnSend(*window, line);
    window->appendLine(line);
    // Keeps this whisper and the next in separate reads at the peer, as typing does.
    QThread::msleep(200);
}
