#pragma once

#include "SocketTypes.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <memory>

class QSocketNotifier;

// Posted to an endpoint when an asynchronous lookup ends.
class LookupCompleteEvent : public QEvent {
public:
    LookupCompleteEvent(int handle, int error, QByteArray result);
    static QEvent::Type eventType();

    const int handle;
    const int error;
    const QByteArray result; // address (4 bytes) or port (2 bytes), network byte order
};

// The notification endpoint of one connection object. Readiness of its descriptor becomes socket
// notifications, re-armed by the same rules as the platform's asynchronous select. Readiness goes
// straight to the connection when nothing is queued ahead of it; connect outcomes, which may be
// found inside Start, are always posted, and whatever follows them waits its turn.
class TSocketEndpoint : public QObject {
public:
    explicit TSocketEndpoint(TCustomWinSocket* owner);
    ~TSocketEndpoint() override;

    // Watch fd for events; connected tells an accepted socket from one still to connect.
    void watch(int fd, TWatchedEvents events, bool connected);
    // Stops watching; must happen before the descriptor is closed. Queued reports go stale.
    void unwatch();

    void rearmRead();
    void rearmWrite();
    void rearmAccept();
    // A connect that ended at once (loopback refusal) is still reported as a notification.
    void reportConnectNow(int error);
    void postDeferredFree();

    // The owner is being destroyed. Returns true when the endpoint deletes itself later because
    // one of its events is still being handled further up the stack.
    bool detach();

protected:
    bool event(QEvent* e) override;

private:
    void onReadable();
    void onWritable();
    void reportReadable(int networkEvent);
    void post(int networkEvent, int error);
    void report(int networkEvent, int error);
    void deliver(int fd, quint32 generation, int networkEvent, int error);
    template <class F> void dispatch(F&& call);

    TCustomWinSocket* owner_;
    int fd_ = -1;
    quint32 generation_ = 0;
    TWatchedEvents events_ = 0;
    bool connecting_ = false;
    bool closeReported_ = false;
    bool readReported_ = false; // a read or accept report awaits the read that re-arms it
    int depth_ = 0;
    int queued_ = 0; // notifications posted and not handled yet
    std::unique_ptr<QSocketNotifier> read_;
    std::unique_ptr<QSocketNotifier> write_;
};
