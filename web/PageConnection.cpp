#include "web/PageConnection.h"

PageConnection::PageConnection(PageSocket* socket, const QString& address)
    : address(address), socket_(socket) {}

PageConnection::PageConnection(const QString& address, Sink sink)
    : address(address), sink_(std::move(sink)) {}

void PageConnection::send(const QString& text) {
    if (closed_)
        return;
    if (sink_) {
        sink_(text);
        return;
    }
    // The socket lets go of a page that reads nothing.
    if (socket_ != nullptr)
        socket_->sendText(text.toUtf8());
}

void PageConnection::close(PageSocket::CloseCode code, const QString& reason) {
    if (closed_)
        return;
    closed_ = true;
    if (socket_ != nullptr)
        QMetaObject::invokeMethod(
            socket_, [s = socket_, code, reason] { s->close(code, reason); }, Qt::QueuedConnection);
}
