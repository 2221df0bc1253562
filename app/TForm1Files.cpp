// Sending files from the desktop: to the host's web surface at the room's port + 1,
// then the offer said in the room as an ordinary talk or whisper line.
#include "app/LocalAddress.h"
#include "app/ProgramSettings.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "net/Endpoint.h"
#include "protocol/Attachment.h"
#include "protocol/FileOffer.h"
#include "protocol/Gb.h"
#include "protocol/LineKind.h"
#include "protocol/TypedLine.h"
#include "protocol/Wire.h"
#include "transfer/FileUpload.h"
#include "transfer/PictureCache.h"
#include "transfer/ReceivedOffer.h"
#include "transfer/Thumbnail.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "ui/FileDrop.h"
#include "ui/FlatButton.h"
#include "ui/ImagePaste.h"
#include "ui/PictureWindow.h"
#include "ui/TForm2.h"
#include "ui/ThumbnailPainter.h"
#include "ui/TransferList.h"
#include "web/WebGateway.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <memory>

namespace {

// The box a thumbnail fits, in logical pixels.
constexpr int kThumbnailSide = 240;

} // namespace

void TForm1::wireFiles() {
    downloadFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (downloadFolder.isEmpty())
        downloadFolder = QDir::homePath();
    connect(chat->sendFile, &QToolButton::clicked, this, guarded([this] {
                const QStringList files =
                    Dialogs::instance().openFiles(this, QStringLiteral("发送文件"));
                if (!files.isEmpty())
                    sendFiles(files, nullptr);
            }));
    FileDrop::enable(chat->Memo1, [this](const QStringList& files) {
        runGuarded([&] { sendFiles(files, nullptr); });
    });
    ImagePaste::enable(chat->Edit5, [this](const QByteArray& png) {
        runGuarded([&] { sendPasted(png, nullptr); });
    });
    pictures = new PictureCache(this);
    pictures->setLimit(qint64(ProgramSettings().pictureLimitMiB()) << 20);
    pictures->setBox(QSize(kThumbnailSide, kThumbnailSide) * devicePixelRatio());
    wireLog(chat->Memo1);
}

void TForm1::wireLog(ChatLog* log) {
    connect(log, &ChatLog::fileChosen, this,
            guarded([this](const QByteArray& line, bool saveAs) { offerChosen(line, saveAs); }));
    connect(log, &ChatLog::pictureOpened, this,
            guarded([this](const QByteArray& line) { openPicture(line); }));
    log->setPictures([this](const QString& token) {
        const PictureCache::Look look = pictures->look(token);
        return PictureLook{PictureLook::State(look.state), look.image, look.size, look.word};
    });
    connect(pictures, &PictureCache::changed, log, &ChatLog::attachmentsChanged);
}

void TForm1::enableWhisperDrop(TForm2* window) {
    QPointer<TForm2> target(window);
    FileDrop::enable(window->Memo1, [this, target](const QStringList& files) {
        runGuarded([&] {
            if (target)
                sendFiles(files, target);
        });
    });
    ImagePaste::enable(window->Edit1, [this, target](const QByteArray& png) {
        runGuarded([&] {
            if (target)
                sendPasted(png, target);
        });
    });
    wireLog(window->Memo1);
}

void TForm1::sendPasted(const QByteArray& png, TForm2* whisper) {
    QString error;
    const QString path = pictures->keepPasted(png, &error);
    if (path.isEmpty())
        showNotice(QStringLiteral("不能保存粘贴的图片:%1").arg(error));
    else
        sendFiles({path}, whisper);
}

void TForm1::openPicture(const QByteArray& line) {
    const auto offer = attachment::find(line);
    if (!offer)
        return;
    const QString token = offer->token;
    // One window a picture: a second click shows the one there, or the one on its way.
    const QString name = QStringLiteral("picture:") + token;
    for (PictureWindow* open : findChildren<PictureWindow*>(Qt::FindDirectChildrenOnly)) {
        if (open->property("token") == token) {
            open->raise();
            open->activateWindow();
            return;
        }
    }
    if (findChild<QObject*>(name, Qt::FindDirectChildrenOnly) != nullptr)
        return;
    // Decoded off this thread, fitted to the screen; the window opens when it is.
    auto* waiting = new QObject(this);
    waiting->setObjectName(name);
    connect(pictures, &PictureCache::wholeReady, waiting,
            guarded([this, waiting, token, line, shown = offer->name](
                        const QString& ready, const QImage& image, const QString& word) {
                if (ready != token)
                    return;
                waiting->setObjectName(QString());
                waiting->deleteLater();
                if (image.isNull()) {
                    showNotice(word);
                    return;
                }
                auto* window = new PictureWindow(this, shown, image, [this, line] {
                    runGuarded([&] { offerChosen(line, true); });
                });
                window->setProperty("token", token);
                window->show();
            }));
    const QSize screen = this->screen() != nullptr ? this->screen()->availableSize() : QSize();
    pictures->loadWhole(token, screen * devicePixelRatio());
}

void TForm1::offerChosen(const QByteArray& line, bool saveAs) {
    const auto offer = attachment::find(line);
    if (!offer || !addOffer(*offer)) {
        showNotice(QStringLiteral("没有连接到聊天室的网页服务,不能接收文件。"));
        return;
    }
    transfers->reveal();
    const OfferActions& actions = offers[offer->token];
    (saveAs ? actions.saveAs : actions.receive)();
}

void TForm1::sendFiles(const QStringList& paths, TForm2* whisper) {
    if (room.mode != RoomState::ClientMode && room.mode != RoomState::HostMode)
        return;
    const QByteArray addressee = room.addressee;
    if (whisper == nullptr && chat->heshe->text().isEmpty()) {
        showNotice(QStringLiteral("请选择说话对象!"));
        return;
    }
    QString address;
    quint16 webPort = 0;
    if (!webSurface(&address, &webPort)) {
        showNotice(QStringLiteral("没有连接到聊天室的网页服务,不能发送文件。"));
        return;
    }
    if (transfers == nullptr)
        transfers = new TransferList(this);
    FileUpload::Proof proof;
    if (room.mode == RoomState::HostMode)
        proof.hostKey = web->hostKey();
    else
        proof.seatPort = endpoint::localPortOf(client.Connection()->SocketId());
    QPointer<TForm2> thread(whisper);
    for (const QString& path : paths) {
        auto* upload =
            new FileUpload(path, address, webPort, gb::toDisplay(room.ownNickname), proof, this);
        // A picture keeps its bytes and name; its line only carries the picture's mark.
        upload->setPicture(thumbnail::isPictureFile(path));
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

bool TForm1::webSurface(QString* address, quint16* webPort) {
    *address = QStringLiteral("127.0.0.1");
    quint16 roomPort = static_cast<quint16>(settings->port2->value());
    if (room.mode == RoomState::ClientMode) {
        const auto host = client.Connection() != nullptr
                              ? endpoint::peerOf(client.Connection()->SocketId())
                              : std::nullopt;
        if (!host)
            return false;
        *address = host->address;
        roomPort = host->port;
    }
    *webPort = roomPort + 1;
    return roomPort != 65535 &&
           (room.mode == RoomState::ClientMode || room.mode == RoomState::HostMode);
}

void TForm1::offerSeen(const QByteArray& line) {
    // One's own offers wait for a click: nobody fetches what they just sent.
    const auto offer = attachment::find(line);
    if (!offer)
        return;
    // A picture shows at once, one's own too: fetched from the room's own host.
    QString address;
    quint16 webPort = 0;
    if (offer->picture && webSurface(&address, &webPort))
        pictures->offered(*offer, QStringLiteral("http://%1:%2").arg(address).arg(webPort));
    // A picture fetched to be shown is met in the log, not as a row of the transfer
    // window: a room of a thousand photos must not keep a thousand rows of widgets. It
    // gets its row when it is saved, as any offer does.
    const bool shownInline =
        offer->picture && pictures->look(offer->token).state != PictureCache::State::None;
    if (!shownInline && wire::classifyLine(line, room.ownNickname) != wire::LineKind::Own)
        addOffer(*offer);
}

bool TForm1::addOffer(const fileoffer::Offer& offer) {
    if (offers.contains(offer.token))
        return true; // an offer said again (anyone may repeat a line) keeps its one entry
    QString address;
    quint16 webPort = 0;
    if (!webSurface(&address, &webPort))
        return false;
    auto* received =
        new ReceivedOffer(offer, QStringLiteral("http://%1:%2").arg(address).arg(webPort), this);
    if (transfers == nullptr)
        transfers = new TransferList(this);
    const auto receive = [this, received] { received->receiveInto(downloadFolder); };
    const auto saveAs = [this, received] {
        if (received->state() == ReceivedOffer::State::Fetching ||
            received->state() == ReceivedOffer::State::Saved)
            return;
        if (const auto chosen = Dialogs::instance().saveDownload(
                this, QDir(downloadFolder).filePath(received->fileName())))
            received->fetchTo(*chosen);
    };
    offers.insert(offer.token, {receive, saveAs});
    TransferList::Row* r =
        transfers->addOffer(QStringLiteral("%1 (%2)").arg(offer.name, offer.sizeText),
                            offer.sizeText, receive, saveAs, [received] { received->cancel(); });
    // The row's widgets go with the window: nothing is said to them after that.
    connect(received, &ReceivedOffer::started, r->bar, [r] {
        r->receive->setEnabled(false);
        r->saveAs->setEnabled(false);
        r->cancel->setEnabled(true);
        r->restart();
    });
    connect(received, &ReceivedOffer::progress, r->bar,
            [r](qint64 have, qint64 size) { r->setProgress(have, size); });
    connect(received, &ReceivedOffer::saved, r->bar, [r](const QString& saved) {
        r->finish(QStringLiteral("已保存为 %1").arg(saved));
        r->receive->setEnabled(false);
    });
    connect(received, &ReceivedOffer::stopped, r->bar, [r](const QString& word, bool failed) {
        r->setState(word, failed);
        r->cancel->setEnabled(false);
        r->receive->setText(QStringLiteral("继续"));
        r->receive->setEnabled(true);
    });
    return true;
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
