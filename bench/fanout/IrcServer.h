#pragma once

#include <QByteArray>
#include <QTemporaryDir>
#include <cstdint>

// Debian's ngIRCd as the reference: started on a loopback port with a
// configuration generated in a directory of its own, stopped by its process id.
class IrcServer {
public:
    IrcServer() = default;
    ~IrcServer();
    IrcServer(const IrcServer&) = delete;
    IrcServer& operator=(const IrcServer&) = delete;

    // Starts it pinned to `core` (-1: anywhere) and waits until it accepts connections.
    bool start(quint16 port, int core);
    void stop();
    // CPU time the server has used so far, in nanoseconds.
    std::int64_t cpuNs() const;
    QByteArray version() const;

    static bool available();

private:
    QTemporaryDir dir_;
    int pid_ = -1;
};
