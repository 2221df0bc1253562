#include "host/Meter.h"

#include "protocol/Wire.h"

#include <algorithm>
#include <cmath>

Meter::Meter(std::function<void(TCustomWinSocket*)> resume) : resume_(std::move(resume)) {
    clock_.start();
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] { resumeDue(); });
}

double Meter::cost(const QByteArray& message) {
    // A join holds the whole host for a moment; a whisper holds its receiver's line quiet.
    if (message.startsWith(wire::kJoin))
        return 20;
    if (message.startsWith(wire::kWhisper))
        return 5;
    return 1;
}

Meter::Bucket& Meter::bucket(TCustomWinSocket* connection) {
    auto found = buckets_.find(connection);
    if (found == buckets_.end()) {
        Bucket fresh;
        fresh.messages = budget_.messageBurst;
        fresh.bytes = budget_.byteBurst;
        fresh.filledAt = clock_.elapsed();
        found = buckets_.insert(connection, fresh);
    }
    return *found;
}

void Meter::refill(Bucket& b) {
    const qint64 now = clock_.elapsed();
    const double seconds = static_cast<double>(now - b.filledAt) / 1000.0;
    b.filledAt = now;
    b.messages = std::min(budget_.messageBurst, b.messages + seconds * budget_.messagesPerSecond);
    b.bytes = std::min(budget_.byteBurst, b.bytes + seconds * budget_.bytesPerSecond);
}

void Meter::take(TCustomWinSocket* connection, QList<QByteArray> messages) {
    Bucket& b = bucket(connection);
    b.waiting = std::move(messages);
    b.served = 0;
}

std::optional<QByteArray> Meter::next(TCustomWinSocket* connection) {
    const auto found = buckets_.find(connection);
    if (found == buckets_.end())
        return std::nullopt;
    Bucket& b = *found;
    if (b.served >= b.waiting.size()) {
        b.waiting.clear();
        b.served = 0;
        return std::nullopt;
    }
    refill(b);
    if (b.messages <= 0 || b.bytes <= 0) {
        scheduleResume(b);
        return std::nullopt;
    }
    QByteArray message = std::move(b.waiting[b.served++]);
    b.messages -= cost(message);
    b.bytes -= static_cast<double>(message.size());
    if (b.served == b.waiting.size()) {
        b.waiting.clear();
        b.served = 0;
    }
    return message;
}

bool Meter::holding(TCustomWinSocket* connection) {
    const auto found = buckets_.find(connection);
    if (found == buckets_.end())
        return false;
    Bucket& b = *found;
    if (b.served < b.waiting.size())
        return true; // a resume is due already
    refill(b);
    if (b.messages > 0 && b.bytes > 0)
        return false;
    scheduleResume(b);
    return true;
}

void Meter::scheduleResume(Bucket& b) {
    if (b.resumeAt != 0)
        return;
    // Until one more message of either kind fits.
    const double seconds = std::max({0.0, (1 - b.messages) / budget_.messagesPerSecond,
                                     (1 - b.bytes) / budget_.bytesPerSecond});
    const qint64 now = clock_.elapsed();
    const qint64 wait = std::max<qint64>(1, static_cast<qint64>(std::ceil(seconds * 1000)));
    b.resumeAt = now + wait;
    if (!timer_.isActive() || timer_.remainingTime() > wait)
        timer_.start(static_cast<int>(wait));
}

void Meter::resumeDue() {
    const qint64 now = clock_.elapsed();
    QList<TCustomWinSocket*> due;
    for (auto b = buckets_.begin(); b != buckets_.end(); ++b) {
        if (b->resumeAt != 0 && b->resumeAt <= now) {
            b->resumeAt = 0;
            due.append(b.key());
        }
    }
    // A resume may let a connection go, which forgets it.
    for (TCustomWinSocket* connection : due) {
        if (buckets_.contains(connection))
            resume_(connection);
    }
    qint64 next = 0;
    for (const Bucket& b : std::as_const(buckets_)) {
        if (b.resumeAt != 0 && (next == 0 || b.resumeAt < next))
            next = b.resumeAt;
    }
    if (next != 0 && !timer_.isActive())
        timer_.start(static_cast<int>(std::max<qint64>(1, next - clock_.elapsed())));
}

void Meter::forget(TCustomWinSocket* connection) {
    buckets_.remove(connection);
}

void Meter::forgetAll() {
    buckets_.clear();
    timer_.stop();
}
