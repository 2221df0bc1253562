#pragma once

#include "TAbstractSocket.h"

// The event slots of a socket component and the dispatch of its connection's events to them.
class TCustomSocket : public TAbstractSocket {
    Q_OBJECT
public:
    explicit TCustomSocket(QObject* parent = nullptr) : TAbstractSocket(parent) {}

    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnConnecting;
    TSocketNotifyEvent OnDisconnect;
    TSocketNotifyEvent OnListen;
    TSocketNotifyEvent OnAccept;
    TSocketNotifyEvent OnRead;
    TSocketNotifyEvent OnWrite;
    TSocketErrorEvent OnError;

protected:
    void HandleSocketEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) override;
    void HandleSocketError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                           int& ErrorCode) override;
    // Makes this component the event and error sink of the connection object it owns.
    void InstallSinks(TCustomWinSocket* Socket);
};
