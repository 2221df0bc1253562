#pragma once

#include "RawParticipant.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <functional>

// The loopback address the attacker uses, and the one honest users come from, so
// that a limit per address tells them apart as it would two machines on a LAN.
constexpr quint32 kHostileAddress = 0x7f000001; // 127.0.0.1
constexpr quint32 kHonestAddress = 0x7f000002;  // 127.0.0.2

// Connects from `from` to 127.0.0.1:port without blocking longer than timeoutMs,
// even when the host no longer accepts; false when it did not connect in time.
bool connectWithin(RawParticipant& p, quint16 port, int timeoutMs, quint32 from = kHostileAddress);

// An HTTP request on a connection of its own: its status (0 when no answer
// came before the connection ended or timeoutMs passed) and how long it took.
struct HttpAnswer {
    int status = 0;
    double ms = 0;
};
HttpAnswer httpGet(quint16 port, const QByteArray& path, int timeoutMs,
                   quint32 from = kHostileAddress);

// A browser's WebSocket on the web port, spoken by hand: the upgrade with our
// own page's origin, masked frames out, the gateway's unmasked frames parsed
// into JSON messages. No Qt event loop, so it works from any thread.
class RawPage {
public:
    // The upgrade's HTTP status: 101 when it is a page now, 0 when nothing answered.
    int open(quint16 webPort, int timeoutMs = 5000, quint32 from = kHostileAddress);
    bool isOpen() const { return raw.isOpen() && !raw.peerClosed && !closeSeen; }
    void close() { raw.close(); }

    static QByteArray textFrame(const QByteArray& payload);
    static QByteArray binaryFrame(const QByteArray& payload);
    bool sendText(const QByteArray& json, int timeoutMs = 5000);
    bool send(const QJsonObject& message, int timeoutMs = 5000);

    // Reads what is pending and parses whole frames into `messages`.
    void poll();
    // Waits for a message whose type is one of `types` at or after index `from`;
    // its index, or -1 when the time ran out or the gateway closed.
    qsizetype waitType(const QStringList& types, int timeoutMs, qsizetype from = 0);
    // Sends `out` as the socket takes it while reading, until done() holds, all
    // is sent and done() holds, or timeoutMs passes; removes what was sent.
    bool pump(QByteArray& out, const std::function<bool()>& done, int timeoutMs);

    RawParticipant raw;
    QList<QJsonObject> messages;
    bool closeSeen = false;

private:
    qsizetype parsed_ = 0;
};

// {"type": type, ...} as compact JSON bytes.
QByteArray jsonBytes(const QJsonObject& message);
