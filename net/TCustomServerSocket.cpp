#include "TCustomServerSocket.h"

namespace {
constexpr int ListenQueue = 5;
}

TCustomServerSocket::TCustomServerSocket(QObject* parent)
    : TCustomSocket(parent), serverSocket_(std::make_unique<TServerWinSocket>(-1)),
      OnGetSocket(serverSocket_->OnGetSocket), OnGetThread(serverSocket_->OnGetThread),
      OnThreadStart(serverSocket_->OnThreadStart), OnThreadEnd(serverSocket_->OnThreadEnd),
      OnClientConnect(serverSocket_->OnClientConnect),
      OnClientDisconnect(serverSocket_->OnClientDisconnect),
      OnClientRead(serverSocket_->OnClientRead), OnClientWrite(serverSocket_->OnClientWrite),
      OnClientError(serverSocket_->OnClientError) {
    InstallSinks(serverSocket_.get());
}

TCustomServerSocket::~TCustomServerSocket() = default;

void TCustomServerSocket::ApplyActive(bool Value) {
    if (serverSocket_->IsConnected() == Value)
        return;
    if (Value)
        serverSocket_->BeginListen(Host(), Address(), Service(),
                                   static_cast<quint16>(Port() & 0xFFFF), ListenQueue,
                                   ServerType() == stThreadBlocking);
    else
        serverSocket_->HandleDisconnect(serverSocket_->SocketId());
}
