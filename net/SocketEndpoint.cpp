#include "SocketEndpoint.h"

#include "SocketExceptionHook.h"
#include "TCustomWinSocket.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <sys/socket.h>

namespace {

QEvent::Type notificationType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type deferredFreeType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

class NotificationEvent : public QEvent {
public:
    NotificationEvent(int fd, quint32 generation, int networkEvent, int error)
        : QEvent(notificationType()), fd(fd), generation(generation), networkEvent(networkEvent),
          error(error) {}
    const int fd;
    const quint32 generation;
    const int networkEvent;
    const int error;
};

} // namespace

LookupCompleteEvent::LookupCompleteEvent(int handle, int error, QByteArray result)
    : QEvent(eventType()), handle(handle), error(error), result(std::move(result)) {}

QEvent::Type LookupCompleteEvent::eventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

TSocketEndpoint::TSocketEndpoint(TCustomWinSocket* owner) : owner_(owner) {}

TSocketEndpoint::~TSocketEndpoint() = default;

void TSocketEndpoint::watch(int fd, TWatchedEvents events, bool connected) {
    if (fd != fd_ || !read_) {
        unwatch();
        fd_ = fd;
        read_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        write_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
        connect(read_.get(), &QSocketNotifier::activated, this, [this] { onReadable(); });
        connect(write_.get(), &QSocketNotifier::activated, this, [this] { onWritable(); });
    }
    events_ = events;
    closeReported_ = false;
    readReported_ = false;
    if (events & nwAccept) {
        connecting_ = false;
        read_->setEnabled(true);
        write_->setEnabled(false);
    } else if (connected) {
        // An accepted socket: writable once now, readable as data arrive.
        connecting_ = false;
        read_->setEnabled(events & (nwRead | nwClose));
        write_->setEnabled(events & nwWrite);
    } else {
        // Before the connect completes only writability (the outcome of the connect) matters.
        connecting_ = events & nwConnect;
        read_->setEnabled(false);
        write_->setEnabled(connecting_);
    }
}

void TSocketEndpoint::unwatch() {
    read_.reset();
    write_.reset();
    fd_ = -1;
    events_ = 0;
    connecting_ = false;
    ++generation_;
}

void TSocketEndpoint::rearmRead() {
    readReported_ = false;
    if (read_ && !connecting_ && !closeReported_ && (events_ & (nwRead | nwClose)))
        read_->setEnabled(true);
}

void TSocketEndpoint::rearmWrite() {
    if (write_ && !connecting_ && (events_ & nwWrite))
        write_->setEnabled(true);
}

void TSocketEndpoint::rearmAccept() {
    readReported_ = false;
    if (read_ && (events_ & nwAccept))
        read_->setEnabled(true);
}

void TSocketEndpoint::reportConnectNow(int error) {
    if (write_)
        write_->setEnabled(false);
    connecting_ = false;
    post(nwConnect, error);
}

void TSocketEndpoint::postDeferredFree() {
    QCoreApplication::postEvent(this, new QEvent(deferredFreeType()));
}

bool TSocketEndpoint::detach() {
    owner_ = nullptr;
    unwatch();
    QCoreApplication::removePostedEvents(this);
    return depth_ > 0;
}

void TSocketEndpoint::onReadable() {
    // A read (or accept) report not yet answered by a read: nothing more until it is, as when
    // its handler runs a nested loop (a message box) before reading.
    if (readReported_) {
        read_->setEnabled(false);
        return;
    }
    if (events_ & nwAccept) {
        reportReadable(nwAccept);
        return;
    }
    // Readable means data, an orderly close (0) or a reset (error); a peek tells them apart.
    char probe;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    const int error = n == -1 ? errno : 0; // before anything else can overwrite errno
    if (n > 0) {
        if (events_ & nwRead)
            reportReadable(nwRead);
        else
            read_->setEnabled(false);
        return;
    }
    if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR)
        return;
    read_->setEnabled(false);
    closeReported_ = true;
    if (events_ & nwClose)
        report(nwClose, error);
}

void TSocketEndpoint::reportReadable(int networkEvent) {
    // A report answered at once by a read (or accept) leaves the notifier on: no re-arming
    // round trip through the event dispatcher. Unanswered, it stays off until one comes.
    readReported_ = true;
    report(networkEvent, 0);
    if (read_ && readReported_)
        read_->setEnabled(false);
}

void TSocketEndpoint::onWritable() {
    write_->setEnabled(false);
    if (!connecting_) {
        report(nwWrite, 0);
        return;
    }
    connecting_ = false;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) == -1)
        error = errno;
    post(nwConnect, error);
    if (error == 0) {
        if (events_ & nwWrite)
            post(nwWrite, 0);
        read_->setEnabled(events_ & (nwRead | nwClose));
    }
}

void TSocketEndpoint::post(int networkEvent, int error) {
    ++queued_;
    QCoreApplication::postEvent(this, new NotificationEvent(fd_, generation_, networkEvent, error));
}

void TSocketEndpoint::report(int networkEvent, int error) {
    // Straight to the connection, unless reports are queued ahead of this one (order first)
    // or one of its events is still running (a handler's nested event loop): then it waits
    // its turn, and a readiness report leaves its notifier off until the handler re-arms it.
    if (queued_ > 0 || depth_ > 0) {
        post(networkEvent, error);
        return;
    }
    deliver(fd_, generation_, networkEvent, error);
    // The owner went away while its event ran; this endpoint outlived it until now.
    if (!owner_ && depth_ == 0)
        deleteLater();
}

void TSocketEndpoint::deliver(int fd, quint32 generation, int networkEvent, int error) {
    // A report from before the descriptor was closed or replaced names no current socket.
    const int socket = generation == generation_ ? fd : -1;
    if (owner_)
        dispatch([&] { owner_->dispatchNotification(socket, networkEvent, error); });
}

template <class F> void TSocketEndpoint::dispatch(F&& call) {
    ++depth_;
    try {
        call();
    } catch (const std::exception& e) {
        reportSocketException(e);
    } catch (...) {
        reportSocketException(std::runtime_error("Unknown exception in a socket event"));
    }
    --depth_;
}

bool TSocketEndpoint::event(QEvent* e) {
    const auto type = e->type();
    if (type == notificationType()) {
        const auto* n = static_cast<NotificationEvent*>(e);
        --queued_;
        deliver(n->fd, n->generation, n->networkEvent, n->error);
    } else if (type == deferredFreeType()) {
        if (owner_)
            dispatch([&] { owner_->dispatchDeferredFree(); });
    } else if (type == LookupCompleteEvent::eventType()) {
        const auto* l = static_cast<LookupCompleteEvent*>(e);
        if (owner_)
            dispatch([&] { owner_->dispatchLookupComplete(l->handle, l->error, l->result); });
    } else {
        return QObject::event(e);
    }
    // The owner went away while its event ran; this endpoint outlived it until now.
    if (!owner_ && depth_ == 0)
        deleteLater();
    return true;
}
