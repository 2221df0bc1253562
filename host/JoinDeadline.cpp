// Seats held by connections that never join: without a deadline, a hundred silent
// connections would keep everyone else out of the room for as long as they like.
#include "host/RoomHost.h"
#include "net/SocketExceptionHook.h"
#include "protocol/RoomState.h"

#include <QTimer>

void RoomHost::startJoinDeadline(TCustomWinSocket* socket) {
    // Tied to the connection: a connection already freed has no deadline left to run.
    QTimer::singleShot(kJoinDeadlineMs, socket, [this, socket] { letGoIfNotJoined(socket); });
}

void RoomHost::letGoIfNotJoined(TCustomWinSocket* socket) {
    const int seat = room_.findSeat(socket);
    if (seat < 0 || !room_.seats[seat].nickname.isEmpty() || !socket->IsConnected())
        return;
    SendErrors::Scope scope(errors_);
    try {
        socket->CloseConnection(); // its departure runs at once, as for any never-joined seat
    } catch (const std::exception& e) {
        reportSocketException(e);
    }
}
