#pragma once

#include "TClientWinSocket.h"
#include "TCustomSocket.h"

#include <memory>

// The client component: owns one client connection.
class TClientSocket : public TCustomSocket {
    Q_OBJECT
public:
    explicit TClientSocket(QObject* parent = nullptr);
    ~TClientSocket() override;

    TClientWinSocket* Connection() const { return clientSocket_.get(); }
    TClientType ClientType() const { return clientSocket_->ClientType(); }
    void setClientType(TClientType Value) { clientSocket_->setClientType(Value); }

protected:
    void ApplyActive(bool Value) override;

private:
    std::unique_ptr<TClientWinSocket> clientSocket_;
};
