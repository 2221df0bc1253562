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

void TClientWinSocket::HandleConnect(int) {
    // Not compared with the current socket: a late connect report still counts.
    connected_ = true;
    ReportEvent(this, sekConnect);
}
