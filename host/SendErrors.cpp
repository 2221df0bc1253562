#include "host/SendErrors.h"

#include "net/Sockets.h"
#include "protocol/RoomView.h"

int SendErrors::send(TCustomWinSocket* connection, const QByteArray& message) {
    if (batchDepth_ > 0) {
        if (joinsBatch(message)) {
            hold(connection, message);
            return static_cast<int>(message.size());
        }
        if (held_.contains(connection)) {
            release(connection); // what was held goes out first, in its own send
            if (!connection->IsConnected())
                return -1;
        }
    }
    return sendNow(connection, message);
}

int SendErrors::sendNow(TCustomWinSocket* connection, QByteArrayView message) {
    const auto waiting = backlog_.find(connection);
    if (waiting != backlog_.end()) {
        if (waiting->size() + message.size() <= kMaxBacklog) {
            waiting->append(message);
            return 0;
        }
        backlog_.erase(waiting);
        try {
            connection->CloseConnection(); // runs its departure at once
        } catch (const ESocketError& e) {
            if (!first_)
                first_ = QString::fromUtf8(e.what());
        }
        return -1;
    }
    const qsizetype sent = write(connection, message);
    if (sent >= 0 && sent < message.size() && connection->IsConnected())
        backlog_.insert(connection, message.sliced(sent).toByteArray());
    return static_cast<int>(sent);
}

void SendErrors::drained(TCustomWinSocket* connection) {
    const auto waiting = backlog_.find(connection);
    if (waiting == backlog_.end())
        return;
    const QByteArray bytes = *waiting;
    const qsizetype sent = write(connection, bytes);
    // The write may have run the departure, which forgot the connection.
    const auto still = backlog_.find(connection);
    if (still == backlog_.end())
        return;
    if (sent < 0 || sent == bytes.size())
        backlog_.erase(still);
    else
        still->remove(0, sent);
}

qsizetype SendErrors::write(TCustomWinSocket* connection, QByteArrayView bytes) {
    qsizetype sent = 0;
    try {
        // A short send is tried again at once: the refusal that follows arms the write event.
        while (sent < bytes.size()) {
            const int n = connection->SendBytes(bytes.constData() + sent,
                                                static_cast<int>(bytes.size() - sent));
            if (n <= 0)
                break;
            sent += n;
        }
    } catch (const ESocketError& e) {
        if (!first_)
            first_ = QString::fromUtf8(e.what());
        return -1;
    }
    return sent;
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
