// The host's web page: started with the room when the host wants it, ended with it.
#include "app/HostFiles.h"
#include "app/LocalAddress.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "protocol/Gb.h"
#include "transfer/PictureCache.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"
#include "web/WebGateway.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

void TForm1::wireWeb() {
    web = new WebGateway(this);
    web->setAddressBook(
        [this](quint16 port, const QString& address, WebGateway::Reader reader) {
            host.noteProxied(port, address, std::move(reader));
        },
        [this](quint16 port) { host.forgetProxied(port); });
    web->setRoom(
        {[this](const QString& address, quint16 port) -> std::optional<WebGateway::Holder> {
             const auto holder = host.seatAt(address, port);
             if (!holder)
                 return std::nullopt;
             return WebGateway::Holder{holder->serial, gb::toDisplay(holder->nickname)};
         },
         [this](const QString& address) { return host.isBanned(address); },
         [this] { return gb::toDisplay(room.ownNickname); },
         [this] { return keptForNewcomers(); }});
    host.onSeatLeft = [this](quint64 serial) { web->seatLeft(serial); };
    wireFiles();
    // Beside the status text, only while the room serves its page: the host's files.
    hostFilesButton = new QPushButton(QStringLiteral("聊天室的文件"), ts);
    hostFilesButton->setObjectName(QStringLiteral("hostFilesButton"));
    hostFilesButton->setFlat(true);
    hostFilesButton->setVisible(false);
    ts->addPermanentWidget(hostFilesButton);
    connect(hostFilesButton, &QPushButton::clicked, this, [this] {
        if (hostFiles == nullptr)
            hostFiles = new HostFiles(*web, this);
        hostFiles->show();
        hostFiles->raise();
    });
}

void TForm1::startWeb() {
    if (!settings->webJoin->isChecked())
        return;
    const int roomPort = settings->port2->value();
    const int webPort = roomPort + 1;
    QString error;
    // Offers from the host itself and from this machine name the address others use.
    web->setPublicAddress(localAddress());
    HostFiles::applyLimits(*web);
    web->setPictureLimit(pictures->limit()); // the pages show what this window shows
    const bool served = webPort <= 65535 && web->start(static_cast<quint16>(webPort),
                                                       static_cast<quint16>(roomPort), &error);
    chat->webQr->setVisible(served);
    hostFilesButton->setVisible(served);
    if (!served) {
        // The room runs on; only the page is missing.
        showNotice(QStringLiteral("网页端口 %1 用不了(%2),聊天室照常运行,但不能从网页加入。")
                       .arg(webPort)
                       .arg(error.isEmpty() ? QStringLiteral("端口号太大") : error));
    }
}

void TForm1::stopWeb() {
    web->stop();
    chat->webQr->setVisible(false);
    hostFilesButton->setVisible(false);
    if (hostFiles != nullptr)
        hostFiles->refresh();
}
