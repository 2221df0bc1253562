// The thread-blocking server type: accept thread, workers and their cache.
#include "TServerAcceptThread.h"
#include "TServerClientThread.h"
#include "TServerWinSocket.h"

#include <mutex>
#include <sys/socket.h>

void TServerWinSocket::BeginListen(const QString& Host, const QString& Address,
                                   const QString& Service, quint16 Port, int Backlog,
                                   bool Blocking) {
    TCustomWinSocket::BeginListen(Host, Address, Service, Port, Backlog, Blocking);
    if (serverType_ == stThreadBlocking && connected_ && !acceptThread_) {
        acceptThread_ = new TServerAcceptThread(this);
        acceptThread_->start();
    }
}

TServerClientThread* TServerWinSocket::CreateClientThread(TServerClientWinSocket* ClientSocket) {
    return new TServerClientThread(ClientSocket);
}

void TServerWinSocket::acceptOnThread(int fd) {
    reapRetired();
    TServerClientWinSocket* client = obtainClient(fd);
    if (!client)
        return;
    TServerClientThread* thread = nullptr;
    try {
        thread = GetServerThread(client);
    } catch (...) {
        delete client;
        throw;
    }
    // The worker starts serving once the accept events are over, whatever they do.
    struct Release {
        TServerWinSocket* server;
        TServerClientThread* thread;
        ~Release() { server->release(thread); }
    } release{this, thread};
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

void TServerWinSocket::release(TServerClientThread* Thread) {
    QMutexLocker lock(&listGuard_);
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
    QMutexLocker lock(&listGuard_);
    if (threadList_.removeAll(Thread) > 0)
        retired_.append(Thread);
}

void TServerWinSocket::reapRetired() {
    QList<TServerClientThread*> done;
    {
        QMutexLocker lock(&listGuard_);
        done.swap(retired_);
    }
    for (TServerClientThread* thread : std::as_const(done)) {
        thread->wait();
        delete thread;
    }
}

void TServerWinSocket::stopThreads() {
    if (acceptThread_) {
        acceptThread_->terminated_ = true;
        ::shutdown(socket_, SHUT_RDWR); // wakes the blocked accept
        acceptThread_->wait();
        delete acceptThread_;
        acceptThread_ = nullptr;
    }
    QList<TServerClientThread*> all;
    {
        QMutexLocker lock(&listGuard_);
        for (TServerClientThread* thread : std::as_const(threadList_)) {
            thread->terminated_ = true;
            thread->wake_.notify_all();
        }
        // Blocked reads see the end of the stream and blocked sends fail, so every worker
        // gets back to its loop and ends.
        for (TServerClientWinSocket* client : std::as_const(connectionList_))
            client->InterruptBlockingCalls();
        all = threadList_ + retired_;
        threadList_.clear();
        retired_.clear();
    }
    for (TServerClientThread* thread : std::as_const(all))
        thread->wait();
    destroyConnections();
    qDeleteAll(all);
}
