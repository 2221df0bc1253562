// The batching half of SendErrors: the lines one read relays, held per connection
// and sent to each in one send.
#include "host/SendErrors.h"
#include "net/Sockets.h"

void SendErrors::forget(TCustomWinSocket* connection) {
    backlog_.remove(connection);
    held_.remove(connection);
    local_.remove(connection);
}

void SendErrors::forgetAll() {
    backlog_.clear();
    local_.clear();
    held_.clear();
    heldOrder_.clear();
    quiet_.stop();
}

bool SendErrors::joinsBatch(const QByteArray& message) {
    return message.startsWith("&S") && message.endsWith('\r');
}

void SendErrors::hold(TCustomWinSocket* connection, const QByteArray& message) {
    // A relay hands the same message to every seat: store it once.
    if (message.constData() != lastHeld_.constData() || message.size() != lastHeld_.size()) {
        lastHeldAt_ = heldBytes_.size();
        heldBytes_.append(message);
        lastHeld_ = message;
    }
    const Range range{lastHeldAt_, lastHeldAt_ + message.size()};
    auto held = held_.find(connection);
    if (held == held_.end()) {
        held_.insert(connection, {range});
        heldOrder_.append(connection);
    } else if (held->last().to == range.from) {
        held->last().to = range.to;
    } else {
        held->append(range);
    }
}

void SendErrors::release(TCustomWinSocket* connection) {
    const auto held = held_.find(connection);
    if (held == held_.end())
        return;
    const QList<Range> ranges = std::move(*held);
    held_.erase(held);
    // Shared, so it stays whole if a departure inside this send holds more lines.
    const QByteArray store = heldBytes_;
    if (ranges.size() == 1) {
        sendNow(connection,
                QByteArrayView(store).sliced(ranges[0].from, ranges[0].to - ranges[0].from));
        return;
    }
    QByteArray joined;
    for (const Range& r : ranges)
        joined.append(QByteArrayView(store).sliced(r.from, r.to - r.from));
    sendNow(connection, joined);
}

void SendErrors::releaseAll() {
    // A departure inside one of these sends holds its notices behind what each seat
    // still has waiting, so every seat keeps its order.
    ++batchDepth_;
    for (qsizetype i = 0; i < heldOrder_.size(); ++i)
        release(heldOrder_[i]);
    heldOrder_.clear();
    --batchDepth_;
    heldBytes_.clear();
    lastHeld_.clear();
    lastHeldAt_ = 0;
}

SendErrors::Batch::Batch(SendErrors& errors) : errors_(errors) {
    ++errors_.batchDepth_;
}

SendErrors::Batch::~Batch() {
    if (--errors_.batchDepth_ == 0)
        errors_.releaseAll();
}
