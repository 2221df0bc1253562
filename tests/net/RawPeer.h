#pragma once

// Plain POSIX peers on 127.0.0.1, to check the layer against what really is on the wire.

#include <QByteArray>

namespace RawPeer {
// A port nobody listens on right now (bound to port 0, read back, released).
int freePort();
// Blocking connect to 127.0.0.1:port; -1 on failure.
int connectTo(int port);
// A listening socket on 127.0.0.1; port 0 picks one, written back.
int listenOn(int& port);
int acceptFrom(int listener);
// Reads what arrives until count bytes are there or the peer closes.
QByteArray readAll(int fd, int count);
void sendAll(int fd, const QByteArray& bytes);
// Closes with SO_LINGER 0, which resets the connection.
void reset(int fd);
bool hasNoDelay(int fd);
bool hasCloseOnExec(int fd);
int localPort(int fd);
// True once the peer has closed: end of stream, or a reset when it closed with unread data.
bool sawClose(int fd);
} // namespace RawPeer
