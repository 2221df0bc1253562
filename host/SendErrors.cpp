#include "host/SendErrors.h"

#include "net/Sockets.h"
#include "protocol/RoomView.h"

int SendErrors::send(TCustomWinSocket* connection, const QByteArray& message) {
    try {
        return connection->SendString(message);
    } catch (const ESocketError& e) {
        if (!first_)
            first_ = QString::fromUtf8(e.what());
        return -1;
    }
}

SendErrors::Scope::Scope(SendErrors& errors) : errors_(errors) {
    ++errors_.depth_;
}

SendErrors::Scope::~Scope() {
    if (--errors_.depth_ == 0)
        errors_.flush();
}

void SendErrors::flush() {
    if (!first_)
        return;
    view_.reportErrorLater(*first_);
    first_.reset();
}
