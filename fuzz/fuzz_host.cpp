// The host read handler under any bytes from any seat, joined or not. Seats are
// real connection objects on socketpair() descriptors; the far ends are drained
// (or shut, to make the host's sends fail) between reads.
#include "Chunks.h"
#include "FakeView.h"
#include "host/RoomHost.h"
#include "net/Sockets.h"
#include "protocol/RoomState.h"
#include "protocol/Wire.h"

#include <QCoreApplication>
#include <csignal>
#include <fcntl.h>
#include <set>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kPeers = 6;

struct Peer {
    TCustomWinSocket* socket = nullptr; // the host's end
    int far = -1;                       // the participant's end
    bool asleep = false;                // not reading: what the host sends piles up
};

void drain(int fd) {
    char buffer[65536];
    while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

class Harness {
public:
    Harness() : host(room, ser, view) {
        view.table = &room.whispers;
        room.ownNickname = "host";
        room.roomName = "room";
        room.mode = RoomState::HostMode;
        host.fjkClick();
    }

    ~Harness() {
        for (Peer& p : peers)
            forget(p);
    }

    void connect(Peer& p) {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
            std::abort();
        // The layer's own connections are non-blocking; without an endpoint we do it here.
        ::fcntl(fds[0], F_SETFL, ::fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        // Small, so that a participant who stops reading fills it within a few reads.
        const int small = 4096;
        ::setsockopt(fds[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        p.socket = new TCustomWinSocket(fds[0]);
        p.far = fds[1];
        p.socket->setEventSink([this](TCustomWinSocket*, TCustomWinSocket* s, TSocketEventKind k) {
            if (k == sekDisconnect)
                host.serClientDisconnect(s);
        });
        p.socket->setErrorSink([this](TCustomWinSocket*, TCustomWinSocket* s, TErrorEvent e,
                                      int& code) { host.serClientError(s, e, code); });
        host.serClientConnect(p.socket);
        host.serAccept(p.socket);
    }

    void forget(Peer& p) {
        delete p.socket;
        p.socket = nullptr;
        if (p.far >= 0)
            ::close(p.far);
        p.far = -1;
        p.asleep = false;
    }

    void read(uint8_t control, const QByteArray& bytes) {
        Peer& p = peers[control % kPeers];
        if (p.socket == nullptr)
            connect(p);
        if (p.socket->SocketId() == -1)
            return;         // refused at admission; collected below
        if (control & 0x40) // the participant has gone: the host's sends to it fail
            ::shutdown(p.far, SHUT_RDWR);
        if (control & 0x20) // the participant stops reading, or starts again
            p.asleep = !p.asleep;
        host.handleRead(p.socket, bytes);
        if ((control & 0x80) && p.socket->SocketId() != -1)
            p.socket->CloseConnection(); // the participant hangs up after this read
        for (Peer& q : peers) {
            if (q.far >= 0 && !q.asleep)
                drain(q.far);
        }
        // What the buffers took, they can take again: the write events.
        for (Peer& q : peers) {
            if (q.socket != nullptr && q.socket->SocketId() != -1)
                host.serClientWrite(q.socket);
        }
        check();
        for (Peer& q : peers) {
            if (q.socket != nullptr && q.socket->SocketId() == -1)
                forget(q);
        }
    }

    void check() {
        int connected = 0;
        int joined = 0;
        std::set<QByteArray> nicknames;
        for (const RoomState::Seat& seat : room.seats) {
            if (seat.connection != nullptr) {
                ++connected;
                require(seat.connection->SocketId() != -1, "a seat holds a closed connection");
            }
            if (seat.nickname.isEmpty())
                continue;
            require(seat.connection != nullptr, "a nickname without a connection");
            ++joined;
            require(wire::isSafeNickname(seat.nickname), "a nickname with a control byte");
            require(seat.nickname != room.ownNickname, "a participant under the host's nickname");
            require(nicknames.insert(seat.nickname).second, "two seats share a nickname");
        }
        require(room.occupancy == connected, "occupancy differs from the seats");
        // Admission counts without a broadcast; every other change of the seats broadcasts.
        if (joined == connected)
            require(view.onlineCount == connected + 1, "online count differs from the seats");
        require(view.userList == room.rosterNicknames(), "user list differs from the seats");
        std::set<QByteArray> fields;
        for (WhisperPeer* w : room.whispers) {
            if (w != nullptr)
                require(fields.insert(w->peerSeatField()).second, "two windows for one seat");
        }
    }

    RoomState room;
    TServerSocket ser;
    FakeView view;
    RoomHost host;
    std::array<Peer, kPeers> peers{};
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Harness harness;
    Chunks chunks(data, size);
    uint8_t control = 0;
    QByteArray bytes;
    while (chunks.next(control, bytes))
        harness.read(control, bytes);
    return 0;
}
