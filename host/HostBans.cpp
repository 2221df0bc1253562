// The host's view of who is where, and bans: a participant's address refused for
// the rest of the room.
#include "host/RoomHost.h"
#include "net/Endpoint.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

static_assert(std::tuple_size_v<decltype(RoomState::seats)> == 101);

namespace {

// 对不起！ LF 你已被禁止进入本聊天室!
const QByteArray
    kBanned("\xb6\xd4\xb2\xbb\xc6\xf0\xa3\xa1\n\xc4\xe3\xd2\xd1\xb1\xbb\xbd\xfb\xd6\xb9"
            "\xbd\xf8\xc8\xeb\xb1\xbe\xc1\xc4\xcc\xec\xca\xd2!");

} // namespace

// The dotted address of the connection's peer; empty once the peer is gone.
QString RoomHost::peerAddress(const TCustomWinSocket* socket) const {
    const auto peer = endpoint::peerOf(socket->SocketId());
    if (!peer)
        return {};
    if (peer->loopback) {
        const auto proxied = proxied_.constFind(peer->port);
        if (proxied != proxied_.cend())
            return proxied->address;
    }
    return peer->address;
}

std::optional<RoomHost::Holder> RoomHost::seatAt(const QString& address, quint16 port) const {
    for (std::size_t i = 0; i < room_.seats.size(); ++i) {
        const RoomState::Seat& seat = room_.seats[i];
        if (seat.connection == nullptr || seat.nickname.isEmpty())
            continue;
        const auto peer = endpoint::peerOf(seat.connection->SocketId());
        if (!peer || peer->port != port)
            continue;
        // A web seat's connection is the gateway's own, whoever asks.
        if (peer->loopback && proxied_.contains(port))
            continue;
        if (peer->address == address)
            return Holder{seatSerial_[i], seat.nickname};
    }
    return std::nullopt;
}

std::optional<RoomHost::Whereabouts> RoomHost::whereabouts(const QByteArray& nickname) const {
    const int seat = room_.findSeatByNickname(nickname);
    if (nickname.isEmpty() || seat < 0 || room_.seats[seat].connection == nullptr)
        return std::nullopt;
    return Whereabouts{peerAddress(room_.seats[seat].connection),
                       joinedAt_[static_cast<std::size_t>(seat)]};
}

void RoomHost::J1Click() {
    const std::optional<QByteArray> selected = view_.selectedUser();
    // The host's own entry has no seat: the host is never banned.
    if (!selected || selected->isEmpty())
        return;
    const int seat = room_.findSeatByNickname(*selected);
    if (seat < 0 || room_.seats[seat].connection == nullptr)
        return;
    const QString address = peerAddress(room_.seats[seat].connection);
    if (!address.isEmpty())
        bannedAddresses_.insert(address);
    T1Click();
}

bool RoomHost::refuseBanned(TCustomWinSocket* socket) {
    if (bannedAddresses_.isEmpty() || !bannedAddresses_.contains(peerAddress(socket)))
        return false;
    refuse(socket, kBanned);
    return true;
}

void RoomHost::deliverToProxiedSeat(TCustomWinSocket* socket) {
    if (proxied_.isEmpty())
        return;
    const auto peer = endpoint::peerOf(socket->SocketId());
    if (!peer || !peer->loopback)
        return;
    const auto proxied = proxied_.constFind(peer->port);
    if (proxied != proxied_.cend() && proxied->reader)
        errors_.deliverLocally(socket, proxied->reader);
}
