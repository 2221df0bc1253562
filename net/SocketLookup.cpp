#include "SocketLookup.h"

#include "SocketEndpoint.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <netinet/in.h>

namespace {

// The resolver reports misses with its own codes; the layer's messages want an errno, and
// "No such device or address" is the nearest one for a name that resolves to nothing.
int resolverError(int gaiCode) {
    if (gaiCode == EAI_SYSTEM)
        return errno != 0 ? errno : ENXIO;
    if (gaiCode == EAI_MEMORY)
        return ENOMEM;
    return ENXIO;
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
    QThreadPool::globalInstance()->start([ticket, work = std::move(work)] {
        QByteArray result;
        const int error = work(result);
        QMutexLocker lock(&ticket->mutex);
        if (ticket->target)
            QCoreApplication::postEvent(ticket->target,
                                        new LookupCompleteEvent(ticket->handle, error, result));
    });
    return ticket;
}

} // namespace

namespace SocketLookup {

int hostNow(const QByteArray& host, quint32& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    errno = 0;
    const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &found);
    if (rc != 0)
        return resolverError(rc);
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return 0;
}

int serviceNow(const QByteArray& service, quint16& port) {
    servent entry{};
    servent* found = nullptr;
    char buffer[1024];
    const int rc =
        ::getservbyname_r(service.constData(), "tcp", &entry, buffer, sizeof buffer, &found);
    if (rc != 0)
        return rc;
    if (!found)
        return ENXIO;
    port = static_cast<quint16>(found->s_port); // already in network byte order
    return 0;
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
    ticket->target = nullptr;
}

} // namespace SocketLookup
