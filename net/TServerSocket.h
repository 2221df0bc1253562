#pragma once

#include "TCustomServerSocket.h"

// The server component as the main window holds it. A listener has no peer address and its own
// connection events go nowhere useful, so those members are not reachable through this class.
class TServerSocket : public TCustomServerSocket {
    Q_OBJECT
public:
    explicit TServerSocket(QObject* parent = nullptr) : TCustomServerSocket(parent) {}

private:
    using TAbstractSocket::Address;
    using TAbstractSocket::Host;
    using TAbstractSocket::setAddress;
    using TAbstractSocket::setHost;
    using TCustomSocket::OnConnect;
    using TCustomSocket::OnDisconnect;
    using TCustomSocket::OnError;
    using TCustomSocket::OnLookup;
    using TCustomSocket::OnRead;
    using TCustomSocket::OnWrite;
};
