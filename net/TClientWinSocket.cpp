#include "TClientWinSocket.h"

#include "ESocketError.h"

void TClientWinSocket::setClientType(TClientType Value) {
    if (Value == clientType_)
        return;
    if (connected_)
        throw ESocketError(SocketMessages::CantChangeActive);
    clientType_ = Value;
    setWatchedEvents(Value == ctBlocking ? 0 : WatchConnection);
    RegisterWatchedEvents();
}

void TClientWinSocket::HandleConnect(int Socket) {
    // A report for a socket closed or replaced since would mark connected what is not.
    if (socket_ == -1 || Socket != socket_)
        return;
    connected_ = true;
    ReportEvent(this, sekConnect);
}
