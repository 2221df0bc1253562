#include "SocketLookup.h"

#include "SocketEndpoint.h"

#include <QCoreApplication>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>
#include <thread>

namespace {

// The resolver's own codes (negative) go out as they are, so the user sees its own text;
// a system failure inside it is the errno it left.
int resolverError(int gaiCode) {
    if (gaiCode == EAI_SYSTEM)
        return errno != 0 ? errno : EIO;
    return gaiCode;
}

int resolve(const char* host, const char* service, sockaddr_in& found) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host, service, &hints, &list);
    if (rc != 0)
        return resolverError(rc);
    std::memcpy(&found, list->ai_addr, sizeof found);
    ::freeaddrinfo(list);
    return 0;
}

int nextHandle() {
    static std::atomic<int> counter{0};
    int handle = ++counter;
    if (handle <= 0) { // never hand out 0, the "no request" value
        counter = 1;
        handle = 1;
    }
    return handle;
}

std::shared_ptr<SocketLookupTicket> start(QObject* target, std::function<int(QByteArray&)> work) {
    auto ticket = std::make_shared<SocketLookupTicket>();
    ticket->handle = nextHandle();
    ticket->target = target;
    // A thread of its own, not a pool's: quitting waits for a pool, and a resolver can block
    // for a long time; a lookup still running at exit is simply dropped.
    std::thread([ticket, work = std::move(work)] {
        QByteArray result;
        const int error = work(result);
        QMutexLocker lock(&ticket->mutex);
        if (ticket->target)
            QCoreApplication::postEvent(ticket->target,
                                        new LookupCompleteEvent(ticket->handle, error, result));
    }).detach();
    return ticket;
}

} // namespace

namespace SocketLookup {

int hostNow(const QByteArray& host, quint32& address) {
    sockaddr_in found{};
    const int error = resolve(host.constData(), nullptr, found);
    if (error == 0)
        address = found.sin_addr.s_addr;
    return error;
}

int serviceNow(const QByteArray& service, quint16& port) {
    sockaddr_in found{};
    const int error = resolve(nullptr, service.constData(), found);
    if (error == 0)
        port = found.sin_port; // already in network byte order
    return error;
}

std::shared_ptr<SocketLookupTicket> startHost(QObject* target, const QByteArray& host) {
    return start(target, [host](QByteArray& result) {
        quint32 address = 0;
        const int error = hostNow(host, address);
        if (error == 0)
            result = QByteArray(reinterpret_cast<const char*>(&address), sizeof address);
        return error;
    });
}

std::shared_ptr<SocketLookupTicket> startService(QObject* target, const QByteArray& service) {
    return start(target, [service](QByteArray& result) {
        quint16 port = 0;
        const int error = serviceNow(service, port);
        if (error == 0)
            result = QByteArray(reinterpret_cast<const char*>(&port), sizeof port);
        return error;
    });
}

void cancel(const std::shared_ptr<SocketLookupTicket>& ticket) {
    if (!ticket)
        return;
    QMutexLocker lock(&ticket->mutex);
    // A completion already posted is dropped too: nothing reaches the endpoint after this.
    if (ticket->target)
        QCoreApplication::removePostedEvents(ticket->target, LookupCompleteEvent::eventType());
    ticket->target = nullptr;
}

} // namespace SocketLookup
