#pragma once

#include "TServerClientWinSocket.h"

#include <QList>
#include <QMutex>

// The listening connection of a server; owns the accepted connections.
class TServerWinSocket : public TCustomWinSocket {
    Q_OBJECT
public:
    explicit TServerWinSocket(int ASocket = -1);
    ~TServerWinSocket() override;

    TServerType ServerType() const { return serverType_; }
    void setServerType(TServerType Value);
    int ThreadCacheSize() const { return threadCacheSize_; }
    void setThreadCacheSize(int Value) { threadCacheSize_ = Value; }
    const QList<TServerClientWinSocket*>& ConnectionList() const { return connectionList_; }
    int ActiveConnections() const;
    const QList<TServerClientThread*>& ThreadList() const { return threadList_; }
    QMutex& ListGuard() { return listGuard_; }
    TServerAcceptThread* AcceptThread() const { return nullptr; }

    void HandleAccept(int Socket) override;
    void HandleDisconnect(int Socket) override;

    // Handler slots for the accepted connections; the server component exposes these directly.
    TGetSocketEvent OnGetSocket;
    TGetThreadEvent OnGetThread;
    TThreadNotifyEvent OnThreadStart;
    TThreadNotifyEvent OnThreadEnd;
    TSocketNotifyEvent OnClientConnect;
    TSocketNotifyEvent OnClientDisconnect;
    TSocketNotifyEvent OnClientRead;
    TSocketNotifyEvent OnClientWrite;
    TSocketErrorEvent OnClientError;

private:
    friend class TServerClientWinSocket;
    void AddClient(TServerClientWinSocket* Client);
    void RemoveClient(TServerClientWinSocket* Client);
    void RouteClientEvent(TCustomWinSocket* Socket, TSocketEventKind Kind);
    void RouteClientError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);
    void destroyConnections();

    TServerType serverType_ = stNonBlocking;
    int threadCacheSize_ = 10;
    QList<TServerClientWinSocket*> connectionList_;
    QList<TServerClientThread*> threadList_;
    QMutex listGuard_;
};
