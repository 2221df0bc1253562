// The thread-blocking server type: accept thread, workers and their cache.
#include "TServerAcceptThread.h"
#include "TServerClientThread.h"
#include "TServerWinSocket.h"

#include <mutex>
#include <sys/socket.h>
#include <utility>

void TServerWinSocket::BeginListen(const QString& Host, const QString& Address,
                                   const QString& Service, quint16 Port, int Backlog,
                                   bool Blocking) {
    stopping_ = false;
    TCustomWinSocket::BeginListen(Host, Address, Service, Port, Backlog, Blocking);
    if (serverType_ == stThreadBlocking && connected_ && !acceptThread_) {
        acceptThread_ = new TServerAcceptThread(this);
        reapWhenFinished(acceptThread_);
        acceptThread_->start();
    }
}

void TServerWinSocket::reapWhenFinished(QThread* Thread) {
    // Queued to the server's own thread, so a thread that ended is joined and freed at once
    // instead of waiting for the next accept or the stop.
    connect(Thread, &QThread::finished, this, [this, Thread] { reap(Thread); });
}

bool TServerWinSocket::onOwnThread() const {
    QThread* current = QThread::currentThread();
    if (auto* acceptor = qobject_cast<TServerAcceptThread*>(current))
        return acceptor->ServerSocket() == this;
    if (auto* worker = qobject_cast<TServerClientThread*>(current))
        return worker->ServerSocket() == this;
    return false;
}

TServerClientThread* TServerWinSocket::CreateClientThread(TServerClientWinSocket* ClientSocket) {
    return new TServerClientThread(ClientSocket);
}

void TServerWinSocket::acceptOnThread(TServerAcceptThread* Acceptor, int fd) {
    TServerClientWinSocket* client = obtainClient(fd);
    if (!client)
        return;
    if (Acceptor->Terminated()) { // stopped inside OnGetSocket
        delete client;
        return;
    }
    {
        QMutexLocker lock(&listGuard_);
        accepting_ = client;
    }
    TServerClientThread* thread = nullptr;
    try {
        thread = GetServerThread(client);
    } catch (...) {
        {
            QMutexLocker lock(&listGuard_);
            accepting_ = nullptr;
        }
        delete client;
        throw;
    }
    // The worker starts once the accept events are over, whatever they do; after a stop
    // inside them it only frees the connection and ends.
    struct Release {
        TServerWinSocket* server;
        TServerAcceptThread* acceptor;
        TServerClientThread* thread;
        ~Release() { server->release(thread, acceptor->Terminated()); }
    } release{this, Acceptor, thread};
    client->ReportEvent(client, sekConnect);
    ReportEvent(client, sekAccept);
}

TServerClientThread* TServerWinSocket::GetServerThread(TServerClientWinSocket* ClientSocket) {
    TServerClientThread* thread = nullptr;
    {
        QMutexLocker lock(&listGuard_);
        for (TServerClientThread* cached : std::as_const(threadList_)) {
            if (!cached->client_ && !cached->terminated_) {
                thread = cached;
                break;
            }
        }
        if (thread)
            thread->client_ = ClientSocket;
    }
    if (!thread) {
        if (OnGetThread) {
            TGetThreadEvent handler = OnGetThread;
            handler(this, ClientSocket, thread);
        }
        if (!thread)
            thread = CreateClientThread(ClientSocket);
        reapWhenFinished(thread);
        QMutexLocker lock(&listGuard_);
        thread->client_ = ClientSocket;
        if (!threadList_.contains(thread))
            threadList_.append(thread);
    }
    ClientSocket->setEventSink(
        [thread](TCustomWinSocket*, TCustomWinSocket* Socket, TSocketEventKind Kind) {
            thread->ForwardEvent(Socket, Kind);
        });
    ClientSocket->setErrorSink([thread](TCustomWinSocket*, TCustomWinSocket* Socket,
                                        TErrorEvent Kind,
                                        int& Code) { thread->ForwardError(Socket, Kind, Code); });
    return thread;
}

void TServerWinSocket::release(TServerClientThread* Thread, bool Stopped) {
    QMutexLocker lock(&listGuard_);
    accepting_ = nullptr;
    if (Stopped) {
        Thread->terminated_ = true;
        threadList_.removeAll(Thread);
        if (!retired_.contains(Thread))
            retired_.append(Thread);
    }
    Thread->released_ = true;
    Thread->wake_.notify_all();
    if (!Thread->started_) {
        Thread->started_ = true;
        Thread->start();
    }
}

TServerClientWinSocket* TServerWinSocket::nextClientFor(TServerClientThread* Thread) {
    std::unique_lock<QMutex> lock(listGuard_);
    Thread->wake_.wait(
        lock, [Thread] { return Thread->terminated_ || (Thread->client_ && Thread->released_); });
    return Thread->terminated_ ? nullptr : Thread->client_;
}

bool TServerWinSocket::keepAfterServing(TServerClientThread* Thread) {
    QMutexLocker lock(&listGuard_);
    Thread->client_ = nullptr;
    Thread->released_ = false;
    qsizetype idle = 0;
    for (const TServerClientThread* t : std::as_const(threadList_))
        idle += (t != Thread && !t->client_) ? 1 : 0;
    if (!Thread->terminated_ && Thread->KeepInCache && idle < threadCacheSize_)
        return true;
    // Stop may have taken the thread already; then it waits for it and deletes it.
    if (threadList_.removeAll(Thread) > 0)
        retired_.append(Thread);
    return false;
}

void TServerWinSocket::leave(TServerClientThread* Thread) {
    TServerClientWinSocket* unserved = nullptr; // handed over by an accept that a stop ended
    {
        QMutexLocker lock(&listGuard_);
        if (threadList_.removeAll(Thread) > 0)
            retired_.append(Thread);
        unserved = std::exchange(Thread->client_, nullptr);
    }
    delete unserved;
}

void TServerWinSocket::reap(QThread* Thread) {
    {
        QMutexLocker lock(&listGuard_);
        if (retired_.removeAll(Thread) == 0)
            return; // waited for by a stop, or still serving from the cache
    }
    Thread->wait(); // it has left run(); only its last steps remain
    delete Thread;
}

void TServerWinSocket::stopThreads() {
    // Stopped from one of its own threads (a handler), that thread is neither waited for nor
    // freed here: it ends when its handler returns and is reaped then, with what it still holds.
    QThread* const self = onOwnThread() ? QThread::currentThread() : nullptr;
    if (acceptThread_) {
        acceptThread_->terminated_ = true;
        ::shutdown(socket_, SHUT_RDWR); // wakes the blocked accept
        if (acceptThread_ != self) {
            acceptThread_->wait();
            delete acceptThread_;
        }
        acceptThread_ = nullptr;
    }
    // Until none is left: a worker handed over by an accept that ended meanwhile retires late.
    for (;;) {
        QList<QThread*> all;
        {
            QMutexLocker lock(&listGuard_);
            for (TServerClientThread* thread : std::as_const(threadList_)) {
                thread->terminated_ = true;
                thread->wake_.notify_all();
                // The connection its own thread serves or accepts stays with that thread.
                if (thread == self || (self && accepting_ && thread->client_ == accepting_)) {
                    if (thread->client_ && !kept_.contains(thread->client_))
                        kept_.append(thread->client_);
                } else {
                    all.append(thread);
                }
            }
            if (self && accepting_ && !kept_.contains(accepting_))
                kept_.append(accepting_);
            // Blocked reads see the end of the stream and blocked sends fail, so every worker
            // gets back to its loop and ends.
            for (TServerClientWinSocket* client : std::as_const(connectionList_)) {
                if (!kept_.contains(client))
                    client->InterruptBlockingCalls();
            }
            all += retired_;
            all.removeAll(self);
            threadList_.clear();
            retired_.clear();
            if (!self)
                kept_.clear();
        }
        if (all.isEmpty())
            break;
        for (QThread* thread : std::as_const(all))
            thread->wait();
        qDeleteAll(all);
    }
    destroyConnections();
    if (self) {
        QMutexLocker lock(&listGuard_);
        retired_.append(self);
    }
}
