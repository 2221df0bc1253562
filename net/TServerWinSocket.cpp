#include "TServerWinSocket.h"

#include "ESocketError.h"
#include "SocketEndpoint.h"

#include <QPointer>
#include <mutex>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
template <class F, class... A> void fire(const F& handler, A&&... args) {
    if (handler) {
        F copy = handler; // the handler may reassign its own slot
        copy(std::forward<A>(args)...);
    }
}
} // namespace

TServerWinSocket::TServerWinSocket(int ASocket) : TCustomWinSocket(ASocket) {
    setWatchedEvents(WatchListener);
}

TServerWinSocket::~TServerWinSocket() {
    setEventSink(nullptr);
    stopThreads();
    destroyConnections();
}

void TServerWinSocket::setServerType(TServerType Value) {
    if (Value == serverType_)
        return;
    if (connected_)
        throw ESocketError(SocketMessages::CantChangeActive);
    serverType_ = Value;
    setWatchedEvents(Value == stThreadBlocking ? 0 : WatchListener);
    RegisterWatchedEvents();
}

void TServerWinSocket::setThreadCacheSize(int Value) {
    QMutexLocker lock(&listGuard_);
    threadCacheSize_ = Value;
}

int TServerWinSocket::ActiveConnections() const {
    return static_cast<int>(connectionList_.size());
}

void TServerWinSocket::AddClient(TServerClientWinSocket* Client) {
    QMutexLocker lock(&listGuard_);
    if (!connectionList_.contains(Client))
        connectionList_.append(Client);
}

void TServerWinSocket::RemoveClient(TServerClientWinSocket* Client) {
    QMutexLocker lock(&listGuard_);
    connectionList_.removeAll(Client);
    kept_.removeAll(Client);
}

void TServerWinSocket::destroyConnections() {
    // Most recent first; destruction clears each sink first, so no disconnect event fires.
    for (;;) {
        TServerClientWinSocket* last = nullptr;
        {
            QMutexLocker lock(&listGuard_);
            for (TServerClientWinSocket* c : std::as_const(connectionList_)) {
                if (!kept_.contains(c))
                    last = c;
            }
            if (!last)
                return;
        }
        delete last;
    }
}

TServerClientWinSocket* TServerWinSocket::obtainClient(int fd) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    QPointer<TServerWinSocket> self(this);
    TServerClientWinSocket* client = nullptr;
    try {
        fire(OnGetSocket, this, fd, client);
    } catch (...) {
        if (!client)
            ::close(fd);
        throw;
    }
    if (!self) {
        if (!client)
            ::close(fd);
        return nullptr;
    }
    return client ? client : new TServerClientWinSocket(fd, this);
}

void TServerWinSocket::HandleAccept(int Socket) {
    const int fd = ::accept4(Socket, nullptr, nullptr, SOCK_CLOEXEC);
    if (TSocketEndpoint* e = endpoint())
        e->rearmAccept(); // accept is reported again after each accept
    if (fd == -1)
        return;
    QPointer<TServerWinSocket> self(this);
    TServerClientWinSocket* client = obtainClient(fd);
    if (!client)
        return;
    QPointer<TServerClientWinSocket> guard(client);
    if (client->IsConnected())
        client->ReportEvent(client, sekConnect);
    if (self && guard)
        ReportEvent(client, sekAccept);
}

void TServerWinSocket::HandleDisconnect(int Socket) {
    // A second stop from one of the server's threads would wait for the first, which waits
    // for that thread; that thread ends with the first stop anyway.
    if (stopping_.exchange(true) && onOwnThread())
        return;
    const auto lock = stateLockHandle(); // kept alive even if a handler destroys the listener
    std::unique_lock<QRecursiveMutex> locker(*lock);
    stopThreads();
    destroyConnections();
    TCustomWinSocket::HandleDisconnect(Socket);
}

void TServerWinSocket::RouteClientEvent(TCustomWinSocket* Socket, TSocketEventKind Kind) {
    switch (Kind) {
    case sekConnect:
        fire(OnClientConnect, this, Socket);
        break;
    case sekDisconnect: {
        QPointer<TCustomWinSocket> guard(Socket);
        fire(OnClientDisconnect, this, Socket);
        if (guard && serverType_ == stNonBlocking)
            static_cast<TServerClientWinSocket*>(Socket)->freeLater();
        break;
    }
    case sekWrite:
        fire(OnClientWrite, this, Socket);
        break;
    case sekRead:
        fire(OnClientRead, this, Socket);
        break;
    default:
        break;
    }
}

void TServerWinSocket::RouteClientError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent,
                                        int& ErrorCode) {
    fire(OnClientError, this, Socket, ErrorEvent, ErrorCode);
}
