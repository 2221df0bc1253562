#pragma once

#include "TCustomSocket.h"
#include "TServerWinSocket.h"

#include <memory>

// The server component: owns one listener. Its client-event slots are the listener's own.
class TCustomServerSocket : public TCustomSocket {
    Q_OBJECT
public:
    explicit TCustomServerSocket(QObject* parent = nullptr);
    ~TCustomServerSocket() override;

    TServerWinSocket* Listener() const { return serverSocket_.get(); }
    TServerType ServerType() const { return serverSocket_->ServerType(); }
    void setServerType(TServerType Value) { serverSocket_->setServerType(Value); }
    int ThreadCacheSize() const { return serverSocket_->ThreadCacheSize(); }
    void setThreadCacheSize(int Value) { serverSocket_->setThreadCacheSize(Value); }

protected:
    void ApplyActive(bool Value) override;

private:
    std::unique_ptr<TServerWinSocket> serverSocket_;

public:
    // Reading or assigning these reads or assigns the listener's slots.
    TGetSocketEvent& OnGetSocket;
    TGetThreadEvent& OnGetThread;
    TThreadNotifyEvent& OnThreadStart;
    TThreadNotifyEvent& OnThreadEnd;
    TSocketNotifyEvent& OnClientConnect;
    TSocketNotifyEvent& OnClientDisconnect;
    TSocketNotifyEvent& OnClientRead;
    TSocketNotifyEvent& OnClientWrite;
    TSocketErrorEvent& OnClientError;
};
