#pragma once

#include "SocketTypes.h"

#include <QThread>
#include <atomic>
#include <condition_variable>
#include <exception>

class TServerWinSocket;

// A worker of a thread-blocking server: serves one accepted connection at a time with blocking
// reads and writes, then may wait in its server's thread cache for the next one. Everything it
// reports (OnThreadStart, OnClientConnect, OnClientRead, OnClientDisconnect, OnThreadEnd, ...)
// runs on this thread, so handlers for this server type must be thread-safe. The server creates,
// starts, stops and destroys its workers; one supplied through OnGetThread is made for the
// connection it is given and left unstarted.
class TServerClientThread : public QThread {
    Q_OBJECT
public:
    explicit TServerClientThread(TServerClientWinSocket* ASocket);
    ~TServerClientThread() override;

    // The connection being served; none while the thread waits in the cache.
    TServerClientWinSocket* ClientSocket() const { return client_; }
    TServerWinSocket* ServerSocket() const { return server_; }
    // Set by the server when it stops; a client loop ends soon after.
    bool Terminated() const { return terminated_; }

    // False: the thread ends after its connection instead of waiting in the cache.
    std::atomic<bool> KeepInCache{true};
    void* Data = nullptr; // free for the owner's use

protected:
    void run() final;
    // The serving routine for one connection. The default reports readable data as
    // OnClientRead until the peer closes (OnClientDisconnect) or the server stops.
    virtual void ClientExecute();
    // Where the connection's events and errors go: to the server's OnClient* slots.
    virtual void ForwardEvent(TCustomWinSocket* Socket, TSocketEventKind Kind);
    virtual void ForwardError(TCustomWinSocket* Socket, TErrorEvent ErrorEvent, int& ErrorCode);
    // An exception that escaped the client loop or a handler; shown on the GUI thread.
    virtual void HandleException(const std::exception& e);

private:
    friend class TServerWinSocket;
    void serve();
    void waitWhileUnread(int fd, int pending);

    TServerWinSocket* server_;
    // Handed over under the server's ListGuard.
    TServerClientWinSocket* client_;
    bool released_ = false;
    bool started_ = false;
    std::condition_variable_any wake_;
    std::atomic<bool> terminated_{false};
};
