// The host's view of who is where, and bans: a participant's address refused for
// the rest of the room.
#include "host/RoomHost.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

static_assert(std::tuple_size_v<decltype(RoomState::seats)> == 101);

namespace {

// 对不起！ LF 你已被禁止进入本聊天室!
const QByteArray
    kBanned("\xb6\xd4\xb2\xbb\xc6\xf0\xa3\xa1\n\xc4\xe3\xd2\xd1\xb1\xbb\xbd\xfb\xd6\xb9"
            "\xbd\xf8\xc8\xeb\xb1\xbe\xc1\xc4\xcc\xec\xca\xd2!");

} // namespace

// The dotted address of the connection's peer; empty once the peer is gone.
QString RoomHost::peerAddress(const TCustomWinSocket* socket) const {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (::getpeername(socket->SocketId(), reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        peer.sin_family != AF_INET)
        return {};
    if (peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK)) {
        const auto proxied = proxied_.constFind(ntohs(peer.sin_port));
        if (proxied != proxied_.cend())
            return *proxied;
    }
    char text[INET_ADDRSTRLEN] = {};
    return QString::fromLatin1(::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text));
}

std::optional<RoomHost::Holder> RoomHost::seatAt(const QString& address, quint16 port) const {
    for (std::size_t i = 0; i < room_.seats.size(); ++i) {
        const RoomState::Seat& seat = room_.seats[i];
        if (seat.connection == nullptr || seat.nickname.isEmpty())
            continue;
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(seat.connection->SocketId(), reinterpret_cast<sockaddr*>(&peer), &size) !=
                0 ||
            peer.sin_family != AF_INET || ntohs(peer.sin_port) != port)
            continue;
        // A web seat's connection is the gateway's own, whoever asks.
        if (peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK) && proxied_.contains(port))
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (QString::fromLatin1(::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text)) == address)
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
