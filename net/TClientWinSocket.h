#pragma once

#include "TCustomWinSocket.h"

// The connection of a client component.
class TClientWinSocket : public TCustomWinSocket {
    Q_OBJECT
public:
    explicit TClientWinSocket(int ASocket = -1) : TCustomWinSocket(ASocket) {}

    TClientType ClientType() const { return clientType_; }
    void setClientType(TClientType Value);

    void HandleConnect(int Socket) override;

private:
    TClientType clientType_ = ctNonBlocking;
};
