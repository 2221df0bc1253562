#include "net/Endpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace endpoint {

std::optional<Peer> peerOf(int fd) {
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    if (fd < 0 || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &size) != 0 ||
        peer.sin_family != AF_INET)
        return std::nullopt;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return Peer{QString::fromLatin1(text), ntohs(peer.sin_port),
                peer.sin_addr.s_addr == htonl(INADDR_LOOPBACK)};
}

quint16 localPortOf(int fd) {
    sockaddr_in local{};
    socklen_t size = sizeof local;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &size) != 0)
        return 0;
    return ntohs(local.sin_port);
}

} // namespace endpoint
