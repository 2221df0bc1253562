// Seats held by connections that never join: without a deadline, a hundred silent
// connections would keep everyone else out of the room for as long as they like.
#include "host/RoomHost.h"
#include "net/SocketExceptionHook.h"
#include "protocol/RoomState.h"

#include <QTimer>

void RoomHost::startJoinDeadline(TCustomWinSocket* socket) {
    // A child of the connection, so freeing the connection frees its deadline too; a
    // free-standing single-shot timer would live on until it fired, once per connection.
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, socket,
                     [this, socket] { letGoIfNotJoined(socket); });
    deadline->start(kJoinDeadlineMs);
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
