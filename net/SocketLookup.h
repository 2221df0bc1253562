#pragma once

#include <QByteArray>
#include <QMutex>
#include <memory>

class QObject;

// One outstanding host or service lookup. The worker posts its completion to the target only
// while the ticket is live; cancelling under the mutex makes sure no completion follows.
struct SocketLookupTicket {
    int handle = 0;
    QMutex mutex;
    QObject* target = nullptr;
};

namespace SocketLookup {
// Lookups run on a worker thread and end with a posted lookup-complete event to target.
std::shared_ptr<SocketLookupTicket> startHost(QObject* target, const QByteArray& host);
std::shared_ptr<SocketLookupTicket> startService(QObject* target, const QByteArray& service);
void cancel(const std::shared_ptr<SocketLookupTicket>& ticket);

// The same lookups done at once, for the blocking client; 0 or the error code.
int hostNow(const QByteArray& host, quint32& address);
int serviceNow(const QByteArray& service, quint16& port);
} // namespace SocketLookup
