#include "TClientSocket.h"

TClientSocket::TClientSocket(QObject* parent)
    : TCustomSocket(parent), clientSocket_(std::make_unique<TClientWinSocket>(-1)) {
    InstallSinks(clientSocket_.get());
}

TClientSocket::~TClientSocket() = default;

void TClientSocket::ApplyActive(bool Value) {
    if (clientSocket_->IsConnected() == Value)
        return;
    if (Value)
        clientSocket_->BeginConnect(Host(), Address(), Service(),
                                    static_cast<quint16>(Port() & 0xFFFF),
                                    ClientType() == ctBlocking);
    else
        clientSocket_->HandleDisconnect(clientSocket_->SocketId());
}
