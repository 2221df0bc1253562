#include "TCustomSocket.h"

#include "TCustomWinSocket.h"

namespace {
void fire(const TSocketNotifyEvent& handler, QObject* sender, TCustomWinSocket* socket) {
    if (handler) {
        TSocketNotifyEvent copy = handler; // the handler may reassign its own slot
        copy(sender, socket);
    }
}
} // namespace

void TCustomSocket::HandleSocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    switch (Kind) {
    case sekLookup:
        fire(OnLookup, this, Socket);
        break;
    case sekConnecting:
        fire(OnConnecting, this, Socket);
        break;
    case sekConnect:
        active_ = true;
        fire(OnConnect, this, Socket);
        break;
    case sekDisconnect:
        active_ = false;
        fire(OnDisconnect, this, Socket);
        break;
    case sekListen:
        active_ = true;
        fire(OnListen, this, Socket);
        break;
    case sekAccept:
        fire(OnAccept, this, Socket);
        break;
    case sekWrite:
        fire(OnWrite, this, Socket);
        break;
    case sekRead:
        fire(OnRead, this, Socket);
        break;
    }
}

void TCustomSocket::HandleSocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                      int& ErrorCode) {
    if (OnError) {
        TSocketErrorEvent copy = OnError;
        copy(this, Socket, ErrorEvent, ErrorCode);
    }
}

void TCustomSocket::InstallSinks(TCustomWinSocket* Socket) {
    Socket->setEventSink([this](TCustomWinSocket*, TCustomWinSocket* S, TSocketEventKind Kind) {
        HandleSocketEvent(S, Kind);
    });
    Socket->setErrorSink([this](TCustomWinSocket*, TCustomWinSocket* S, TErrorEvent E, int& C) {
        HandleSocketError(S, E, C);
    });
}
