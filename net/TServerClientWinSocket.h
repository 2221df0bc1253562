#pragma once

#include "TCustomWinSocket.h"

class TServerWinSocket;

// One accepted connection of a server; listed in (and owned by) its listener.
class TServerClientWinSocket : public TCustomWinSocket {
    Q_OBJECT
public:
    TServerClientWinSocket(int ASocket, TServerWinSocket* ServerWinSocket);
    ~TServerClientWinSocket() override;

    TServerWinSocket* OwnerServer() const { return ownerServer_; }

private:
    friend class TServerWinSocket;
    void freeLater() { PostDeferredFree(); }

    TServerWinSocket* ownerServer_;
};
