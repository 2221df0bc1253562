#pragma once

#include <QThread>
#include <atomic>

class TServerWinSocket;

// The accept loop of a thread-blocking server: takes each connection from the listening
// socket and hands it to a worker. OnGetSocket, OnGetThread, OnClientConnect and OnAccept run
// on this thread.
class TServerAcceptThread : public QThread {
    Q_OBJECT
public:
    explicit TServerAcceptThread(TServerWinSocket* ASocket) : server_(ASocket) {}

    TServerWinSocket* ServerSocket() const { return server_; }
    bool Terminated() const { return terminated_; }

protected:
    void run() override;

private:
    friend class TServerWinSocket;
    TServerWinSocket* server_;
    std::atomic<bool> terminated_{false};
};
