#include "TServerClientWinSocket.h"

#include "TServerWinSocket.h"

TServerClientWinSocket::TServerClientWinSocket(int ASocket, TServerWinSocket* ServerWinSocket)
    : TCustomWinSocket(ASocket), ownerServer_(ServerWinSocket) {
    ownerServer_->AddClient(this);
    if (ownerServer_->WatchedEvents() != 0) {
        TServerWinSocket* listener = ownerServer_;
        setEventSink(
            [listener](TCustomWinSocket*, TCustomWinSocket* Socket, TSocketEventKind Kind) {
                listener->RouteClientEvent(Socket, Kind);
            });
        setErrorSink([listener](TCustomWinSocket*, TCustomWinSocket* Socket, TErrorEvent Kind,
                                int& Code) { listener->RouteClientError(Socket, Kind, Code); });
        RegisterWatchedEvents();
    }
}

TServerClientWinSocket::~TServerClientWinSocket() {
    if (ownerServer_)
        ownerServer_->RemoveClient(this);
}
