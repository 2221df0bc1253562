#pragma once

#include "TServerClientWinSocket.h"

#include <QList>
#include <QMutex>
#include <atomic>

// The listening connection of a server; owns the accepted connections and, in the
// thread-blocking type, the accept thread and the worker threads.
class TServerWinSocket : public TCustomWinSocket {
    Q_OBJECT
public:
    explicit TServerWinSocket(int ASocket = -1);
    ~TServerWinSocket() override;

    TServerType ServerType() const { return serverType_; }
    void setServerType(TServerType Value);
    int ThreadCacheSize() const { return threadCacheSize_; }
    void setThreadCacheSize(int Value);
    const QList<TServerClientWinSocket*>& ConnectionList() const { return connectionList_; }
    int ActiveConnections() const;
    const QList<TServerClientThread*>& ThreadList() const { return threadList_; }
    QMutex& ListGuard() { return listGuard_; }
    TServerAcceptThread* AcceptThread() const { return acceptThread_; }

    // As for any connection, and then the thread-blocking type starts its accept thread.
    void BeginListen(const QString& Host, const QString& Address, const QString& Service,
                     quint16 Port, int Backlog, bool Blocking);
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

protected:
    // The worker for a connection when neither the cache nor OnGetThread gives one.
    virtual TServerClientThread* CreateClientThread(TServerClientWinSocket* ClientSocket);

private:
    friend class TServerClientWinSocket;
    friend class TServerAcceptThread;
    friend class TServerClientThread;
    void AddClient(TServerClientWinSocket* Client);
    void RemoveClient(TServerClientWinSocket* Client);
    void RouteClientEvent(TCustomWinSocket* Socket, TSocketEventKind Kind);
    void RouteClientError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);
    TServerClientWinSocket* obtainClient(int fd);
    void destroyConnections();

    // Thread-blocking type.
    void acceptOnThread(TServerAcceptThread* Acceptor, int fd);
    TServerClientThread* GetServerThread(TServerClientWinSocket* ClientSocket);
    void release(TServerClientThread* Thread, bool Stopped);
    TServerClientWinSocket* nextClientFor(TServerClientThread* Thread);
    bool keepAfterServing(TServerClientThread* Thread);
    void leave(TServerClientThread* Thread);
    void reap(QThread* Thread);
    void stopThreads();
    bool onOwnThread() const;
    void reapWhenFinished(QThread* Thread);

    TServerType serverType_ = stNonBlocking;
    int threadCacheSize_ = 10;
    QList<TServerClientWinSocket*> connectionList_;
    QList<TServerClientThread*> threadList_;
    QList<QThread*> retired_; // ended or ending on their own, not yet waited for
    // While a server thread stops the server: the connection it still serves or accepts,
    // which it frees itself.
    QList<TServerClientWinSocket*> kept_;
    TServerClientWinSocket* accepting_ = nullptr;
    std::atomic<bool> stopping_{false};
    QMutex listGuard_;
    TServerAcceptThread* acceptThread_ = nullptr;
};
