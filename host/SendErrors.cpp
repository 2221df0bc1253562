#include "host/SendErrors.h"

#include "net/Sockets.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

#include <algorithm>

SendErrors::SendErrors(RoomView& view) : view_(view) {
    clock_.start();
    quiet_.setSingleShot(true);
    QObject::connect(&quiet_, &QTimer::timeout, [this] { quietEnded(); });
}

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
    const int quiet = quietAfter(message);
    auto waiting = backlog_.find(connection);
    // A quiet time that is over (the loop was blocked past it) lets what waits go first.
    if (waiting != backlog_.end() && waiting->quietUntil != 0 &&
        waiting->quietUntil <= clock_.elapsed()) {
        waiting->quietUntil = 0;
        pump(connection);
        waiting = backlog_.find(connection);
        if (!connection->IsConnected())
            return -1;
    }
    if (waiting != backlog_.end())
        return queue(connection, *waiting, message, quiet);
    const qsizetype sent = write(connection, message);
    if (sent < 0 || !connection->IsConnected() || (sent == message.size() && !quiet))
        return static_cast<int>(sent);
    Outbox& outbox = backlog_[connection];
    outbox.lastTaken = clock_.elapsed();
    outbox.bytes = message.sliced(sent).toByteArray();
    if (quiet == 0)
        return static_cast<int>(sent);
    if (outbox.bytes.isEmpty())
        startQuiet(outbox, quiet);
    else
        outbox.quietAfter.append({outbox.bytes.size(), quiet});
    return static_cast<int>(sent);
}

int SendErrors::quietAfter(QByteArrayView message) {
    if (message.startsWith(wire::kWhisper))
        return kWhisperQuietMs;
    // A receiver cuts a read only at a CR followed by a code; nothing may follow this in its read.
    return message.endsWith(wire::CR) ? 0 : kQuietMs;
}

int SendErrors::queue(TCustomWinSocket* connection, Outbox& outbox, QByteArrayView message,
                      int quiet) {
    const qint64 now = clock_.elapsed();
    const bool stalled = !outbox.bytes.isEmpty() && now - outbox.lastTaken > limits_.stallMs;
    if (stalled || outbox.bytes.size() + message.size() > limits_.maxBacklog) {
        letGo(connection);
        return -1;
    }
    if (outbox.bytes.isEmpty())
        outbox.lastTaken = now;
    const bool roster = message.startsWith(wire::kRoster);
    // A roster is the whole room: a newer one waiting behind the same quiet time replaces it.
    if (roster && outbox.rosterAt >= 0) {
        outbox.bytes.truncate(outbox.rosterAt);
        outbox.quietAfter.removeLast();
    }
    outbox.rosterAt = roster ? outbox.bytes.size() : -1;
    outbox.bytes.append(message);
    if (quiet != 0)
        outbox.quietAfter.append({outbox.bytes.size(), quiet});
    return 0;
}

void SendErrors::letGo(TCustomWinSocket* connection) {
    backlog_.remove(connection);
    try {
        connection->CloseConnection(); // runs its departure at once
    } catch (const ESocketError& e) {
        if (!first_)
            first_ = QString::fromUtf8(e.what());
    }
}

void SendErrors::sendLast(TCustomWinSocket* connection, const QByteArray& message) {
    release(connection);
    const auto waiting = backlog_.find(connection);
    if (waiting == backlog_.end()) {
        sendNow(connection, message);
        return;
    }
    waiting->bytes.append(message);
    waiting->quietAfter.clear();
    waiting->quietUntil = 0;
    pump(connection);
}

void SendErrors::drained(TCustomWinSocket* connection) {
    pump(connection);
}

void SendErrors::pump(TCustomWinSocket* connection) {
    auto outbox = backlog_.find(connection);
    if (outbox == backlog_.end() || outbox->quietUntil != 0)
        return;
    if (!outbox->bytes.isEmpty()) {
        const qsizetype upTo =
            outbox->quietAfter.isEmpty() ? outbox->bytes.size() : outbox->quietAfter.first().end;
        const QByteArray bytes = outbox->bytes; // whole, if the write runs a departure
        const qsizetype sent = write(connection, QByteArrayView(bytes).first(upTo));
        // The write may have run the departure, which forgot the connection.
        outbox = backlog_.find(connection);
        if (outbox == backlog_.end())
            return;
        if (sent < 0) {
            backlog_.erase(outbox);
            return;
        }
        if (sent > 0)
            outbox->lastTaken = clock_.elapsed();
        outbox->bytes.remove(0, sent);
        outbox->rosterAt = outbox->rosterAt >= sent ? outbox->rosterAt - sent : -1;
        for (Quiet& q : outbox->quietAfter)
            q.end -= sent;
        if (sent < upTo)
            return; // its write event comes when the buffer drains
        if (!outbox->quietAfter.isEmpty() && outbox->quietAfter.first().end == 0) {
            startQuiet(*outbox, outbox->quietAfter.takeFirst().ms);
            return;
        }
    }
    if (outbox->bytes.isEmpty())
        backlog_.erase(outbox);
}

void SendErrors::startQuiet(Outbox& outbox, int ms) {
    outbox.quietUntil = clock_.elapsed() + ms;
    if (!quiet_.isActive() || quiet_.remainingTime() > ms)
        quiet_.start(ms);
}

void SendErrors::quietEnded() {
    Scope scope(*this);
    const qint64 now = clock_.elapsed();
    const QList<TCustomWinSocket*> connections = backlog_.keys();
    for (TCustomWinSocket* connection : connections) {
        const auto outbox = backlog_.find(connection);
        if (outbox == backlog_.end() || outbox->quietUntil == 0 || outbox->quietUntil > now)
            continue;
        outbox->quietUntil = 0;
        try {
            pump(connection);
        } catch (const std::exception& e) {
            if (!first_)
                first_ = QString::fromUtf8(e.what());
        }
    }
    qint64 next = 0;
    for (const Outbox& outbox : std::as_const(backlog_)) {
        if (outbox.quietUntil != 0 && (next == 0 || outbox.quietUntil < next))
            next = outbox.quietUntil;
    }
    if (next != 0 && !quiet_.isActive())
        quiet_.start(static_cast<int>(std::max<qint64>(1, next - now)));
}

void SendErrors::deliverLocally(TCustomWinSocket* connection, LocalReader reader) {
    local_.insert(connection, std::move(reader));
}

qsizetype SendErrors::write(TCustomWinSocket* connection, QByteArrayView bytes) {
    if (!local_.isEmpty()) {
        const auto local = local_.constFind(connection);
        if (local != local_.cend()) {
            const LocalReader reader =
                *local; // the reader may end the seat, and with it this entry
            reader(bytes);
            return bytes.size();
        }
    }
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
