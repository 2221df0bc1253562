#pragma once

#include <QString>
#include <optional>

// Where a connected IPv4 descriptor leads: the far end, or our own port.
namespace endpoint {

struct Peer {
    QString address; // dotted
    quint16 port = 0;
    bool loopback = false;
};

// Nothing once the peer is gone, or for anything but IPv4.
std::optional<Peer> peerOf(int fd);
// 0 when the descriptor has no local address.
quint16 localPortOf(int fd);

} // namespace endpoint
