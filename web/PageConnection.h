#pragma once

#include "web/Owner.h"
#include "web/PageSocket.h"

#include <QPointer>
#include <QString>
#include <functional>

class WebSeat;

// One WebSocket to the web surface and everything the host knows of it: where it
// comes from, what it may do, whose it is and what it has cost so far.
class PageConnection {
public:
    enum class State {
        Waiting, // no seat: may join, resume or prove a desktop seat, and nothing else
        Joining, // taking a seat, inside the room's welcome
        Seated,  // a page's seat
        Proved   // a desktop copy (or the host) that proved its seat, sending files
    };

    // Answers go to the socket; a sink stands in for one where there is none (fuzzing).
    using Sink = std::function<void(const QString& text)>;
    PageConnection(PageSocket* socket, const QString& address);
    PageConnection(const QString& address, Sink sink);

    // Sends one message; a page that lets more than its queue pile up is dropped.
    void send(const QString& text);
    void close(PageSocket::CloseCode code, const QString& reason);
    PageSocket* socket() const { return socket_; }
    bool isOpen() const { return !closed_; }

    const QString address;
    State state = State::Waiting;
    Owner owner;
    WebSeat* seat = nullptr;
    QString nickname; // the seat's, as files from it are shown
    int refusals = 0;
    qint64 since = 0;        // when it last came to be without a seat
    qint64 lastActiveMs = 0; // its last message

private:
    QPointer<PageSocket> socket_;
    Sink sink_;
    bool closed_ = false;
};
