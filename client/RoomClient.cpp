#include "client/RoomClient.h"

#include "protocol/Gb.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

#include <QTimer>

RoomClient::RoomClient(RoomState& room, TClientSocket& client, RoomView& view)
    : room_(room), client_(client), view_(view) {
    client_.OnConnecting = [this](QObject*, TCustomWinSocket*) { clientConnecting(); };
    client_.OnConnect = [this](QObject*, TCustomWinSocket*) { clientConnect(); };
    client_.OnError = [this](QObject*, TCustomWinSocket*, TErrorEvent e, int& code) {
        clientError(e, code);
    };
    client_.OnDisconnect = [this](QObject*, TCustomWinSocket*) { clientDisconnect(); };
    client_.OnRead = [this](QObject*, TCustomWinSocket* s) { clientRead(s); };
}

void RoomClient::SpeedButton1Click(const Settings& settings) {
    if (settings.nickname == wire::kHostName) {
        view_.showNotice(QStringLiteral("对不起,昵称不能为\"服务器\"!"));
        return;
    }
    if (settings.nickname.isEmpty()) {
        view_.showNotice(QStringLiteral("昵称不能为空!"));
        view_.focusField(RoomView::Field::ClientNickname);
        return;
    }
    connected_ = false;
    try {
        client_.Stop();
        client_.setAddress(settings.address);
        client_.setPort(settings.port);
        view_.setStatus(QStringLiteral("正在连接到服务器..."));
        client_.Start();
    } catch (const std::exception&) {
        view_.showNotice(QStringLiteral("连接服务器失败"));
        client_.Stop();
        view_.setStatus(QStringLiteral("连接失败!"));
        return;
    }
    // Not "connected" yet: the connected event says so when it is true.
    room_.ownNickname = settings.nickname;
    view_.enterSession(false, settings.nickname, QByteArray());
    room_.mode = RoomState::ClientMode;
}

void RoomClient::clientConnecting() {
    view_.setStatus(QStringLiteral("正在连接..."));
}

void RoomClient::clientConnect() {
    connected_ = true;
    view_.setStatus(QStringLiteral("连接成功!"));
}

void RoomClient::clientError(TErrorEvent event, int&) {
    view_.setStatus(QStringLiteral("连接发生错误!"));
    if (event == errConnect && !connected_) {
        // A refused or unreachable host: back to the settings page, attempt closed.
        view_.leaveSession(true);
        QTimer::singleShot(0, client_.Connection(), [this] { abandonAttempt(); });
    } else if (event == errDisconnect) {
        // The host vanished: end the session now rather than at the next send.
        QTimer::singleShot(0, client_.Connection(), [this] {
            if (connected_)
                client_.Connection()->CloseConnection();
        });
    }
}

void RoomClient::abandonAttempt() {
    TCustomWinSocket* connection = client_.Connection();
    if (!connected_ && connection->SocketId() != -1)
        connection->CloseConnection();
}

void RoomClient::clientDisconnect() {
    const bool wasConnected = connected_;
    connected_ = false;
    view_.leaveSession(false);
    if (!wasConnected)
        return;
    client_.Stop();
    view_.showNotice(QStringLiteral("与服务器断开连接,请重新连接!"));
    view_.setStatus(QStringLiteral("连接断开!"));
}

void RoomClient::endSession() {
    if (connected_)
        client_.Stop();
    else
        abandonAttempt();
}

void RoomClient::stop() {
    client_.Stop();
}

void RoomClient::talk(const QByteArray& line) {
    client_.Connection()->SendString(wire::line(line));
}

void RoomClient::clientRead(TCustomWinSocket* socket) {
    handleRead(socket->ReceiveString());
}

void RoomClient::handleRead(const QByteArray& read) {
    for (const QByteArray& message : wire::split(read, wire::kClientCodes, wire::kClientWholeCodes))
        handleMessage(message);
}

void RoomClient::handleMessage(const QByteArray& message) {
    const wire::Message m = wire::parse(message);
    if (m.code == wire::kNickname) {
        nicknameBranch(m.seatField(), m.text());
    } else if (m.code == wire::kWhisper) {
        whisperBranch(m.seatField(), m.text());
    } else if (m.code == wire::kWhisperRequest) {
        whisperAnswerBranch(m.seatField(), m.text());
    } else if (m.code == wire::kNotice) {
        view_.showNotice(gb::toDisplay(m.payload));
    } else if (m.code == wire::kJoin) {
        client_.Connection()->SendString(wire::joinReply(room_.ownNickname));
    } else if (m.code == wire::kLine) {
        view_.appendLog(m.payload);
    } else if (m.code == wire::kRoster) {
        const QList<QByteArray> nicknames = wire::rosterLines(m.payload);
        view_.setUserList(nicknames);
        view_.setOnlineCount(static_cast<int>(nicknames.size()));
    }
}
