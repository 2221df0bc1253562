#pragma once

#include "SocketTypes.h"

#include <QByteArray>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>
#include <memory>
#include <mutex>
#include <netinet/in.h>

class TSocketEndpoint;
struct SocketLookupTicket;

// One platform socket with its notification endpoint, lookup state and lock.
class TCustomWinSocket : public QObject {
    Q_OBJECT
public:
    explicit TCustomWinSocket(int ASocket);
    ~TCustomWinSocket() override;

    int SendString(const QByteArray& Text);
    QByteArray ReceiveString();
    void CloseConnection();
    int SendBytes(const void* Buffer, int ByteCount);
    int ReceiveBytes(void* Buffer, int ByteCount);
    void BeginConnect(const QString& Host, const QString& Address, const QString& Service,
                      quint16 Port, bool Blocking);
    void BeginListen(const QString& Host, const QString& Address, const QString& Service,
                     quint16 Port, int Backlog, bool Blocking);

    virtual void HandleAccept(int Socket);
    virtual void HandleConnect(int Socket);
    virtual void HandleDisconnect(int Socket);
    virtual void HandleRead(int Socket);
    virtual void HandleWrite(int Socket);
    virtual void ReportEvent(TCustomWinSocket* Socket, TSocketEventKind Kind);
    virtual void ReportError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);

    int SocketId() const { return socket_; }
    bool IsConnected() const { return connected_; }
    QObject* NotifyWindow() const;
    const sockaddr_in& SocketAddress() const { return address_; }
    TWatchedEvents WatchedEvents() const { return watched_; }
    TLookupStage LookupStage() const { return lookupStage_; }
    int LookupRequest() const;
    const TSocketEventSink& EventSink() const { return eventSink_; }
    void setEventSink(TSocketEventSink sink) { eventSink_ = std::move(sink); }
    const TSocketErrorSink& ErrorSink() const { return errorSink_; }
    void setErrorSink(TSocketErrorSink sink) { errorSink_ = std::move(sink); }
    QRecursiveMutex& StateLock() { return *stateLock_; }
    const char* LookupBuffer() const { return lookupBuffer_.get(); }
    void* UserData() const { return userData_; }
    void setUserData(void* data) { userData_ = data; }
    const QString& PendingService() const { return pendingService_; }
    quint16 PendingPort() const { return pendingPort_; }
    bool PendingIsClient() const { return pendingIsClient_; }
    int PendingBacklog() const { return pendingBacklog_; }

protected:
    // Registers WatchedEvents with the endpoint; an empty set makes the socket blocking again.
    void RegisterWatchedEvents();
    void setWatchedEvents(TWatchedEvents events) { watched_ = events; }
    // Asks for a deferred free on a later turn of the event loop.
    void PostDeferredFree();
    TSocketEndpoint* endpoint() const { return endpoint_; }
    std::shared_ptr<QRecursiveMutex> stateLockHandle() const { return stateLock_; }

    int socket_ = -1;
    bool connected_ = false;

private:
    friend class TSocketEndpoint;
    friend class TServerWinSocket;

    // Wakes a thread blocked on this socket: its reads see the end, its sends fail.
    void InterruptBlockingCalls();
    int closeDescriptor();

    void dispatchNotification(int Socket, int NetworkEvent, int ErrorCode);
    void dispatchDeferredFree();
    void dispatchLookupComplete(int Handle, int ErrorCode, const QByteArray& Result);

    TSocketEndpoint* ensureEndpoint();
    void openSocket();
    void resolve(QString Host, QString Address, QString Service, quint16 Port, int Backlog,
                 bool IsClient, bool Blocking);
    void connectPhase();
    void listenPhase(int Backlog);
    void startLookup(bool Service, const QString& Name);
    void cancelLookup();
    void closeSilently();
    void resetAddress();
    int failTransfer(TErrorEvent Kind, int Code, const char* Api);

    TSocketEndpoint* endpoint_ = nullptr;
    sockaddr_in address_{};
    TWatchedEvents watched_ = WatchConnection;
    TLookupStage lookupStage_ = lkIdle;
    std::shared_ptr<SocketLookupTicket> lookupRequest_;
    TSocketEventSink eventSink_;
    TSocketErrorSink errorSink_;
    // Shared so that a guard taken by an operation outlives an object its handler destroyed.
    std::shared_ptr<QRecursiveMutex> stateLock_ = std::make_shared<QRecursiveMutex>();
    std::unique_ptr<char[]> lookupBuffer_;
    void* userData_ = nullptr;
    QString pendingService_;
    quint16 pendingPort_ = 0;
    bool pendingIsClient_ = false;
    int pendingBacklog_ = 0;
    // Counts sockets opened and closed, since a new socket often reuses the old number.
    quint32 generation_ = 0;
    quint32 closing_ = 0; // generation whose disconnect events are running
    // Taken around closing the descriptor, so that another thread never shuts down a reused one.
    std::mutex descriptorGuard_;
    QByteArray readBuffer_;
};
