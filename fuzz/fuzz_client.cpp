// The client read handler under any bytes from a host, read after read.
#include "Chunks.h"
#include "FakeView.h"
#include "client/RoomClient.h"
#include "net/Sockets.h"
#include "protocol/RoomState.h"
#include "protocol/Wire.h"

#include <QCoreApplication>
#include <csignal>
#include <set>

namespace {

class Harness {
public:
    Harness() : roomClient(room, client, view) {
        view.table = &room.whispers;
        room.ownNickname = "joe";
        room.mode = RoomState::ClientMode;
    }

    void read(const QByteArray& bytes) {
        roomClient.handleRead(bytes);
        require(view.onlineCount == -1 || view.onlineCount == view.userList.size(),
                "online count differs from the user list");
        for (const QByteArray& nickname : view.userList)
            require(!nickname.contains(wire::LF), "a user-list entry holds a line feed");
        std::set<QByteArray> fields;
        int open = 0;
        for (WhisperPeer* w : room.whispers) {
            if (w == nullptr)
                continue;
            ++open;
            require(fields.insert(w->peerSeatField()).second, "two windows for one seat");
        }
        require(open == static_cast<int>(view.windows.size()), "a window outside the table");
    }

    RoomState room;
    TClientSocket client;
    FakeView view;
    RoomClient roomClient;
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
        harness.read(bytes);
    return 0;
}
