#include "web/PageConnection.h"

PageConnection::PageConnection(PageSocket* socket, const QString& address, qint64 writeQueue)
    : address(address), socket_(socket), writeQueue_(writeQueue) {}

PageConnection::PageConnection(const QString& address, Sink sink)
    : address(address), sink_(std::move(sink)) {}

void PageConnection::send(const QString& text) {
    if (closed_)
        return;
    if (sink_) {
        sink_(text);
        return;
    }
    if (socket_ == nullptr)
        return;
    if (socket_->bytesToWrite() > writeQueue_) {
        // It reads nothing: what it would be sent stays unsent, as for a dropped page.
        closed_ = true;
        // Later: whoever sent this still holds the connection.
        QMetaObject::invokeMethod(socket_, &PageSocket::abort, Qt::QueuedConnection);
        return;
    }
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
