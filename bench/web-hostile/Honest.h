#pragma once

#include "HostProbe.h"
#include "RawPage.h"

#include <atomic>
#include <thread>
#include <vector>

struct Room {
    quint16 port = 0;
    quint16 webPort = 0;
    int hostPid = 0;
};

// What an honest page does, as app.js does it.
// Takes a seat on an open page: true when the room's user list arrived.
bool joinPage(RawPage& page, const QString& nickname, int timeoutMs = 5000);
// Gives the seat up and waits for the gateway to say it ended.
void leavePage(RawPage& page, int timeoutMs = 3000);

struct FileOutcome {
    QByteArray result; // "through", "refused", "no answer", "closed"
    QString text;      // the refusal's words, or the offer's line when through
    QByteArray token;
    double ms = 0;
};
// A seated page sends `bytes` as a file to `to`: offer, frames of 64 KiB, fileDone.
FileOutcome sendFile(RawPage& page, const QString& name, const QByteArray& bytes, const QString& to,
                     int timeoutMs = 10000);

// The room's honest users, each on a thread of its own for the whole run, all
// from kHonestAddress: a desktop client that says a numbered line every 200 ms,
// a seated page and a legacy raw peer that read them, a newcomer page that takes
// a seat and leaves again every 1.5 s, GET / every 250 ms, and the host's RSS and
// descriptors every 100 ms.
class Honest {
public:
    Honest(const Room& room, Samples& samples) : room_(room), samples_(samples) {}
    ~Honest() { stop(); }
    // Seats the desktop client, the legacy peer and the reading page; false with why.
    bool start(QByteArray* why);
    void stop();

private:
    void talkLoop();
    void loadLoop();
    void procLoop();
    void seatLoop();
    bool pause(int ms) const; // false once stopping

    Room room_;
    Samples& samples_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> threads_;
    RawParticipant desk_, legacy_;
    RawPage reader_;
};
