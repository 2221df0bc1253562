// Cost of the socket layer against plain POSIX calls, on loopback, in one run:
// a send of a short message, and a read-event round trip (echo through the event loop).

#include "net/Sockets.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QByteArray Message("&S pinwa benchmark line\r"); // a typical chat message

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// A connected loopback pair of plain sockets, TCP_NODELAY like the layer's.
void rawPair(int& a, int& b) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    ::listen(listener, 1);
    socklen_t len = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    a = ::socket(AF_INET, SOCK_STREAM, 0);
    ::connect(a, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    b = ::accept(listener, nullptr, nullptr);
    ::close(listener);
    const int one = 1;
    ::setsockopt(a, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(b, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void drain(int fd, qint64 bytes) {
    char buffer[65536];
    while (bytes > 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        bytes -= n;
    }
}

// Average nanoseconds per send, sending in batches and draining the peer between batches.
template <class Send> double timeSends(Send send, int drainFd, int batches, int perBatch) {
    qint64 total = 0;
    QElapsedTimer timer;
    for (int b = 0; b < batches; ++b) {
        timer.start();
        for (int i = 0; i < perBatch; ++i)
            send();
        total += timer.nsecsElapsed();
        drain(drainFd, qint64(perBatch) * Message.size());
    }
    return double(total) / (double(batches) * perBatch);
}

double rawRoundTrip(int rounds) {
    int a, b;
    rawPair(a, b);
    char buffer[4096];
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < rounds; ++i) {
        ::send(a, Message.constData(), Message.size(), MSG_NOSIGNAL);
        pollfd pb{b, POLLIN, 0};
        ::poll(&pb, 1, -1);
        const ssize_t n = ::recv(b, buffer, sizeof buffer, 0);
        ::send(b, buffer, n, MSG_NOSIGNAL);
        pollfd pa{a, POLLIN, 0};
        ::poll(&pa, 1, -1);
        ::recv(a, buffer, sizeof buffer, 0);
    }
    const double ns = double(timer.nsecsElapsed()) / rounds;
    ::close(a);
    ::close(b);
    return ns;
}

// Client sends, the server's read event echoes, the client's read event sends the next one.
double layerRoundTrip(int rounds) {
    TServerSocket ser;
    ser.setPort(freePort());
    ser.OnClientRead = [](QObject*, TCustomWinSocket* s) { s->SendString(s->ReceiveString()); };
    ser.Start();
    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(ser.Port());
    QEventLoop loop;
    int done = 0;
    QElapsedTimer timer;
    client.OnConnect = [&](QObject*, TCustomWinSocket* s) {
        timer.start();
        s->SendString(Message);
    };
    client.OnRead = [&](QObject*, TCustomWinSocket* s) {
        s->ReceiveString();
        if (++done == rounds)
            loop.quit();
        else
            s->SendString(Message);
    };
    client.Start();
    loop.exec();
    return double(timer.nsecsElapsed()) / rounds;
}

double layerSend(int batches, int perBatch) {
    TServerSocket ser;
    ser.setPort(freePort());
    ser.Start();
    TClientSocket client;
    client.setAddress("127.0.0.1");
    client.setPort(ser.Port());
    client.Start();
    while (!client.Active() || ser.Listener()->ConnectionList().isEmpty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // Read the server side with a plain recv so only the sending side is the layer's.
    const int peer = ser.Listener()->ConnectionList().first()->SocketId();
    TCustomWinSocket* conn = client.Connection();
    return timeSends([&] { conn->SendString(Message); }, peer, batches, perBatch);
}

double rawSend(int batches, int perBatch) {
    int a, b;
    rawPair(a, b);
    const double ns =
        timeSends([&] { ::send(a, Message.constData(), Message.size(), MSG_NOSIGNAL); }, b, batches,
                  perBatch);
    ::close(a);
    ::close(b);
    return ns;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int batches = 200, perBatch = 500, rounds = 20000;

    // Warm up both paths once, then measure.
    rawSend(5, perBatch);
    layerSend(5, perBatch);
    const double rs = rawSend(batches, perBatch);
    const double ls = layerSend(batches, perBatch);
    rawRoundTrip(1000);
    layerRoundTrip(1000);
    const double rr = rawRoundTrip(rounds);
    const double lr = layerRoundTrip(rounds);

    std::printf("message: %d bytes, loopback, TCP_NODELAY\n", int(Message.size()));
    std::printf("send        raw %8.0f ns   layer %8.0f ns   ratio %.2f\n", rs, ls, ls / rs);
    std::printf("round trip  raw %8.0f ns   layer %8.0f ns   ratio %.2f\n", rr, lr, lr / rr);
    return 0;
}
