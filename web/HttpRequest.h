#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The head of one HTTP/1.x request, parsed from the bytes a connection has sent so
// far. Pure: no sockets, so it can be fed anything.
struct HttpRequest {
    enum class State { Incomplete, Bad, TooLarge, Done };

    // The most a head may take; the page's requests need a few hundred bytes.
    static constexpr qsizetype kMaxHead = 8192;
    static constexpr int kMaxHeaders = 64;

    State state = State::Incomplete;
    QByteArray method;
    QByteArray path; // the target without its query, as sent (not decoded)
    QByteArray version;
    QList<QPair<QByteArray, QByteArray>> headers; // names lower-cased, values trimmed
    qsizetype headSize = 0;                       // bytes up to and including the blank line

    // The value of the first header of that (lower-case) name, or empty.
    QByteArray header(QByteArrayView name) const;
    // True when a Connection or Upgrade header lists the token (case-insensitive).
    bool hasToken(QByteArrayView name, QByteArrayView token) const;
    bool isWebSocketUpgrade() const;
    // True when the request comes from our own page served on that port: its Origin is
    // the Host it asked, and that Host is a numeric address (or localhost), so neither
    // another site nor a name rebound to this machine can open the room's WebSocket.
    bool fromOwnPage(quint16 port) const;

    static HttpRequest parse(QByteArrayView bytes);
};
