#pragma once

#include <QByteArray>
#include <QTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A browser on a loopback address of its own, speaking WebSocket by hand, so that
// it can come from elsewhere than 127.0.0.1 and send what no browser would.
class RawPage {
public:
    RawPage(quint16 webPort, const char* from, const QByteArray& origin) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &a.sin_addr);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::inet_pton(AF_INET, "127.0.0.1", &a.sin_addr);
        a.sin_port = htons(webPort);
        ::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        const QByteArray host = "127.0.0.1:" + QByteArray::number(webPort);
        write("GET /ws HTTP/1.1\r\nHost: " + host +
              "\r\nUpgrade: websocket\r\n"
              "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
              "Sec-WebSocket-Version: 13\r\nOrigin: " +
              origin + "\r\n\r\n");
    }
    ~RawPage() { ::close(fd_); }
    void write(const QByteArray& bytes) {
        (void)::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // One masked frame, as a browser sends it; not the last of its message unless fin.
    void frame(quint8 opcode, const QByteArray& payload, bool fin = true) {
        QByteArray f(1, static_cast<char>((fin ? 0x80 : 0) | opcode));
        if (payload.size() < 126) {
            f += static_cast<char>(0x80 | payload.size());
        } else {
            f += static_cast<char>(0x80 | 127);
            for (int shift = 56; shift >= 0; shift -= 8)
                f += static_cast<char>((quint64(payload.size()) >> shift) & 0xff);
        }
        const char mask[4] = {1, 2, 3, 4};
        f.append(mask, 4);
        for (qsizetype i = 0; i < payload.size(); ++i)
            f += static_cast<char>(payload[i] ^ mask[i % 4]);
        write(f);
    }
    // Everything received, waiting until it holds what is wanted or the peer closes.
    QByteArray readUntil(const QByteArray& wanted) {
        (void)QTest::qWaitFor(
            [&] {
                char buffer[65536];
                const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0)
                    got_.append(buffer, n);
                closed_ = closed_ || n == 0;
                return got_.contains(wanted) || closed_;
            },
            5000);
        return got_;
    }
    bool closed() const { return closed_; }

private:
    int fd_ = -1;
    QByteArray got_;
    bool closed_ = false;
};
