#include "host/RoomHost.h"

#include "net/SocketExceptionHook.h"
#include "protocol/Gb.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

RoomHost::RoomHost(RoomState& room, TServerSocket& ser, RoomView& view)
    : room_(room), ser_(ser), view_(view), errors_(view),
      meter_([this](TCustomWinSocket* s) { resume(s); }) {
    ser_.OnAccept = [this](QObject*, TCustomWinSocket* s) { serAccept(s); };
    ser_.OnClientConnect = [this](QObject*, TCustomWinSocket* s) { serClientConnect(s); };
    ser_.OnClientError = [this](QObject*, TCustomWinSocket* s, TErrorEvent e, int& code) {
        serClientError(s, e, code);
    };
    ser_.OnClientRead = [this](QObject*, TCustomWinSocket* s) { serClientRead(s); };
    ser_.OnClientWrite = [this](QObject*, TCustomWinSocket* s) { serClientWrite(s); };
    ser_.OnClientDisconnect = [this](QObject*, TCustomWinSocket* s) { serClientDisconnect(s); };
}

void RoomHost::SpeedButton2Click(const Settings& settings) {
    if (settings.roomName.isEmpty()) {
        view_.showNotice(QStringLiteral("聊天室名不能为空!"));
        view_.focusField(RoomView::Field::HostRoomName);
        return;
    }
    if (settings.nickname.isEmpty()) {
        view_.showNotice(QStringLiteral("昵称不能为空!"));
        view_.focusField(RoomView::Field::HostNickname);
        return;
    }
    try {
        ser_.Stop();
        errors_.forgetAll(); // Stop frees the connections without a disconnect event
        meter_.forgetAll();
        ser_.setPort(settings.port);
        view_.setStatus(QStringLiteral("正在尝试开设端口..."));
        ser_.Start();
    } catch (const std::exception&) {
        ser_.Stop();
        view_.showNotice(QStringLiteral("不能开设端口,请检查端口是否正确!"));
        view_.setStatus(QStringLiteral("开设端口失败!"));
        return;
    }
    SendErrors::Scope scope(errors_);
    view_.setStatus(QStringLiteral("成功,服务器已开启!"));
    forgetHostWindowsOfClientSessions();
    room_.ownNickname = settings.nickname;
    room_.roomName = settings.roomName;
    view_.enterSession(true, settings.nickname, settings.roomName);
    fjkClick();
    room_.mode = RoomState::HostMode;
}

void RoomHost::fjkClick() {
    SendErrors::Scope scope(errors_);
    const int broadcast = ++rosterBroadcasts_;
    room_.occupancy = 0;
    for (const RoomState::Seat& seat : room_.seats)
        room_.occupancy += seat.connection != nullptr;
    const QList<QByteArray> nicknames = room_.rosterNicknames();
    const QByteArray message = wire::roster(wire::rosterText(nicknames));
    for (RoomState::Seat& seat : room_.seats) {
        if (seat.connection == nullptr)
            continue;
        errors_.send(seat.connection, message);
        // A seat that left inside this send has already broadcast the newer roster.
        if (rosterBroadcasts_ != broadcast)
            return;
    }
    view_.setOnlineCount(room_.occupancy + 1);
    view_.setUserList(nicknames);
}

void RoomHost::sendToSeats(const QByteArray& message) {
    if (onPublic)
        onPublic(message);
    // A seat whose send fails leaves inside the loop; the seats after it still get the message.
    for (RoomState::Seat& seat : room_.seats) {
        if (seat.connection != nullptr)
            errors_.send(seat.connection, message);
    }
}

void RoomHost::serClientConnect(TCustomWinSocket*) {
    view_.setStatus(QStringLiteral("有人正在连接..."));
}

void RoomHost::serAccept(TCustomWinSocket* socket) {
    SendErrors::Scope scope(errors_);
    if (refuseBanned(socket))
        return;
    if (room_.occupancy >= RoomState::kMaxConnections) {
        errors_.send(socket, wire::notice(wire::kRoomFull));
        socket->CloseConnection();
        return;
    }
    const int seat = room_.firstEmptySeat();
    if (seat < 0)
        return;
    room_.seats[seat].connection = socket;
    view_.setStatus(QStringLiteral("有人在连接本服务器!"));
    deliverToProxiedSeat(socket);
    errors_.send(socket, wire::joinRequest());
    ++room_.occupancy;
    startJoinDeadline(socket);
}

void RoomHost::serClientError(TCustomWinSocket* socket, TErrorEvent event, int&) {
    view_.setStatus(QStringLiteral("客户连接错误!"));
    // A reset peer is gone for good: let it leave now rather than linger as a ghost.
    if (event == errDisconnect && socket->IsConnected())
        socket->CloseConnection();
}

void RoomHost::serClientRead(TCustomWinSocket* socket) {
    // Over budget, the read report goes unanswered: no more come until resume re-arms it,
    // and meanwhile TCP slows the sender.
    if (meter_.holding(socket))
        return;
    meter_.take(socket, wire::split(socket->ReceiveString(), wire::kHostCodes));
    serve(socket);
}

void RoomHost::serve(TCustomWinSocket* socket) {
    SendErrors::Scope scope(errors_);
    // Every seat gets the lines served together in one send.
    SendErrors::Batch batch(errors_);
    // An earlier message may have closed the connection.
    while (socket->IsConnected()) {
        const std::optional<QByteArray> message = meter_.next(socket);
        if (!message)
            break;
        handleMessage(socket, *message);
    }
}

void RoomHost::resume(TCustomWinSocket* socket) {
    // The server frees its connections when it stops; only a seated one is still ours.
    if (room_.findSeat(socket) < 0) {
        meter_.forget(socket);
        return;
    }
    try {
        serve(socket);
        if (socket->IsConnected() && !meter_.holding(socket))
            socket->ReceiveBytes(nullptr, 0); // re-arms the read report
    } catch (const std::exception& e) {
        reportSocketException(e);
    }
}

void RoomHost::serClientWrite(TCustomWinSocket* socket) {
    SendErrors::Scope scope(errors_);
    errors_.drained(socket);
}

void RoomHost::handleRead(TCustomWinSocket* socket, const QByteArray& read) {
    SendErrors::Scope scope(errors_);
    // Every seat gets the lines of this read in one send.
    SendErrors::Batch batch(errors_);
    for (const QByteArray& message : wire::split(read, wire::kHostCodes)) {
        // An earlier message of this read may have closed the connection.
        if (!socket->IsConnected())
            break;
        handleMessage(socket, message);
    }
}

void RoomHost::handleMessage(TCustomWinSocket* socket, const QByteArray& message) {
    const wire::Message m = wire::parse(message);
    if (m.code == wire::kWhisper)
        whisperBranch(socket, m.seatField(), m.text());
    else if (m.code == wire::kWhisperRequest)
        whisperRequestBranch(socket, m.payload);
    else if (m.code == wire::kNickname)
        nicknameBranch(socket, m.payload);
    else if (m.code == wire::kJoin)
        joinReply(socket, m.payload);
    else if (m.code == wire::kLine)
        relayTalk(socket, m.payload);
}

void RoomHost::refuse(TCustomWinSocket* socket, const QByteArray& notice) {
    errors_.sendLast(socket, wire::notice(notice));
    socket->CloseConnection();
}

void RoomHost::joinReply(TCustomWinSocket* socket, const QByteArray& nickname) {
    if (!wire::isSafeNickname(nickname)) {
        refuse(socket, wire::kNicknameControl);
        return;
    }
    // Every roster carries every nickname; a huge one would make rosters too big to arrive whole.
    if (nickname.size() > wire::kMaxNicknameBytes) {
        refuse(socket, wire::kNicknameTooLong);
        return;
    }
    // An empty nickname matches every empty seat, so it is always refused.
    const bool inUse = room_.findSeatByNickname(nickname) >= 0 || nickname == room_.ownNickname ||
                       nickname == wire::kHostName;
    if (inUse) {
        refuse(socket, wire::kNicknameInUse);
        return;
    }
    const int seat = room_.findSeat(socket);
    if (seat < 0)
        return;
    room_.seats[seat].nickname = nickname;
    joinedAt_[static_cast<std::size_t>(seat)] = QDateTime::currentDateTime();
    seatSerial_[static_cast<std::size_t>(seat)] = ++lastSerial_;
    errors_.send(socket, wire::line(wire::welcome(room_.roomName)));
    // Keeps the welcome and the roster in separate reads at the newcomer.
    view_.pause(100);
    fjkClick();
}

void RoomHost::relayTalk(TCustomWinSocket* socket, const QByteArray& line) {
    const int seat = room_.findSeat(socket);
    if (seat < 0 || room_.seats[seat].nickname.isEmpty())
        return;
    // Relayed to every seat: one huge line would flood every participant's buffer.
    if (line.size() > wire::kMaxLineBytes ||
        !wire::isTalkLineFrom(line, room_.seats[seat].nickname))
        return;
    view_.appendLog(line);
    sendToSeats(wire::line(line));
}

void RoomHost::talk(const QByteArray& line) {
    SendErrors::Scope scope(errors_);
    sendToSeats(wire::line(line));
    view_.appendLog(line);
}

void RoomHost::serClientDisconnect(TCustomWinSocket* socket) {
    SendErrors::Scope scope(errors_);
    errors_.forget(socket);
    meter_.forget(socket);
    const int seat = room_.findSeat(socket);
    if (seat < 0)
        return;
    room_.seats[seat].connection = nullptr;
    const QByteArray nickname = room_.seats[seat].nickname;
    // A connection that never joined leaves without a word.
    if (!nickname.isEmpty()) {
        sendToSeats(wire::line(wire::leaveNotice(nickname)));
        view_.appendLog(wire::leaveNotice(nickname));
        if (onSeatLeft)
            onSeatLeft(seatSerial_[static_cast<std::size_t>(seat)]);
    }
    room_.seats[seat].nickname.clear();
    --room_.occupancy;
    fjkClick();
}

void RoomHost::T1Click() {
    SendErrors::Scope scope(errors_);
    const std::optional<QByteArray> selected = view_.selectedUser();
    if (!selected || selected->isEmpty())
        return;
    const int seat = room_.findSeatByNickname(*selected);
    if (seat < 0)
        return;
    TCustomWinSocket* connection = room_.seats[seat].connection;
    if (connection != nullptr)
        connection->CloseConnection();
    room_.seats[seat].nickname.clear();
    // Keeps the leave notice's roster and the next one in separate reads.
    view_.pause(100);
    room_.seats[seat].connection = nullptr;
    view_.removeSelectedUser();
    fjkClick();
}

void RoomHost::F1Click() {
    SendErrors::Scope scope(errors_);
    const std::optional<QString> text =
        view_.askText(QStringLiteral("广播消息"), QStringLiteral("在下面打入你要广播的消息!"));
    if (!text || text->isEmpty())
        return;
    sendToSeats(wire::notice(gb::fromTyped(*text)));
}

void RoomHost::endRoom() {
    ser_.Stop();
    errors_.forgetAll();
    meter_.forgetAll();
    bannedAddresses_.clear();
    room_.clearSeats();
    room_.clearWhispers();
}
