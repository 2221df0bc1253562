#include "RawPage.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::int64_t msLeft(std::int64_t deadlineNs) {
    return std::max<std::int64_t>(0, (deadlineNs - monotonicNs()) / 1000000);
}

QByteArray maskedFrame(char opcode, const QByteArray& payload) {
    QByteArray frame(1, char(0x80 | opcode));
    const qsizetype n = payload.size();
    if (n < 126) {
        frame += char(0x80 | n);
    } else if (n < 65536) {
        frame += char(0x80 | 126);
        frame += char(n >> 8);
        frame += char(n & 0xff);
    } else {
        frame += char(0x80 | 127);
        for (int shift = 56; shift >= 0; shift -= 8)
            frame += char((quint64(n) >> shift) & 0xff);
    }
    const quint32 key = QRandomGenerator::global()->generate();
    const char mask[4] = {char(key), char(key >> 8), char(key >> 16), char(key >> 24)};
    frame.append(mask, 4);
    const qsizetype head = frame.size();
    frame.resize(head + n);
    for (qsizetype i = 0; i < n; ++i)
        frame[head + i] = char(payload[i] ^ mask[i % 4]);
    return frame;
}

} // namespace

bool connectWithin(RawParticipant& p, quint16 port, int timeoutMs, quint32 from) {
    p.close();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(from);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0) {
        ::close(fd);
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        pollfd w{fd, POLLOUT, 0};
        int error = errno;
        socklen_t length = sizeof error;
        if (error != EINPROGRESS || ::poll(&w, 1, timeoutMs) != 1 ||
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            ::close(fd);
            return false;
        }
    }
    p.adopt(fd);
    return true;
}

HttpAnswer httpGet(quint16 port, const QByteArray& path, int timeoutMs, quint32 from) {
    HttpAnswer a;
    const std::int64_t start = monotonicNs();
    const std::int64_t deadline = start + std::int64_t(timeoutMs) * 1000000;
    RawParticipant p;
    if (connectWithin(p, port, timeoutMs, from) &&
        p.sendAll("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                      "\r\n\r\n",
                  int(msLeft(deadline)))) {
        // Every answer here ends with the connection ("Connection: close").
        while (!p.peerClosed && msLeft(deadline) > 0) {
            pollfd r{p.fd(), POLLIN, 0};
            ::poll(&r, 1, int(msLeft(deadline)));
            p.drain();
        }
        if (p.peerClosed && p.received.startsWith("HTTP/1.1 "))
            a.status = p.received.mid(9, 3).toInt();
    }
    a.ms = double(monotonicNs() - start) / 1e6;
    return a;
}

QByteArray jsonBytes(const QJsonObject& message) {
    return QJsonDocument(message).toJson(QJsonDocument::Compact);
}

int RawPage::open(quint16 webPort, int timeoutMs, quint32 from) {
    messages.clear();
    parsed_ = 0;
    closeSeen = false;
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    if (!connectWithin(raw, webPort, timeoutMs, from))
        return 0;
    const QByteArray host = "127.0.0.1:" + QByteArray::number(webPort);
    const QByteArray key = QByteArray::number(QRandomGenerator::global()->generate64()).toBase64();
    if (!raw.sendAll(
            "GET /ws HTTP/1.1\r\nHost: " + host +
                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key +
                "\r\nSec-WebSocket-Version: 13\r\nOrigin: http://" + host + "\r\n\r\n",
            int(msLeft(deadline))) ||
        !raw.waitFor("\r\n\r\n", int(msLeft(deadline))) || !raw.received.startsWith("HTTP/1.1 "))
        return 0;
    const int status = raw.received.mid(9, 3).toInt();
    const QByteArray accept = QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                                       QCryptographicHash::Sha1)
                                  .toBase64();
    if (status == 101 && !raw.received.contains(accept))
        return 0;
    parsed_ = raw.received.indexOf("\r\n\r\n") + 4;
    poll();
    return status;
}

QByteArray RawPage::textFrame(const QByteArray& payload) {
    return maskedFrame(0x1, payload);
}

QByteArray RawPage::binaryFrame(const QByteArray& payload) {
    return maskedFrame(0x2, payload);
}

bool RawPage::sendText(const QByteArray& json, int timeoutMs) {
    return raw.sendAll(textFrame(json), timeoutMs);
}

bool RawPage::send(const QJsonObject& message, int timeoutMs) {
    return sendText(jsonBytes(message), timeoutMs);
}

void RawPage::poll() {
    raw.drain();
    const QByteArray& in = raw.received;
    for (;;) {
        const qsizetype left = in.size() - parsed_;
        if (left < 2)
            break;
        const auto* b = reinterpret_cast<const unsigned char*>(in.constData() + parsed_);
        quint64 n = b[1] & 0x7f;
        qsizetype head = 2;
        if (n == 126) {
            if (left < 4)
                break;
            n = quint64(b[2]) << 8 | b[3];
            head = 4;
        } else if (n == 127) {
            if (left < 10)
                break;
            n = 0;
            for (int i = 0; i < 8; ++i)
                n = n << 8 | b[2 + i];
            head = 10;
        }
        if (quint64(left - head) < n)
            break;
        const int opcode = b[0] & 0x0f;
        if (opcode == 0x1)
            messages.append(QJsonDocument::fromJson(in.mid(parsed_ + head, qsizetype(n))).object());
        else if (opcode == 0x8)
            closeSeen = true;
        parsed_ += head + qsizetype(n);
    }
    // What was parsed is not needed again; keeps a long attack's stream small.
    if (parsed_ > (1 << 20)) {
        raw.received.remove(0, parsed_);
        parsed_ = 0;
    }
}

qsizetype RawPage::waitType(const QStringList& types, int timeoutMs, qsizetype from) {
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        poll();
        for (qsizetype i = from; i < messages.size(); ++i)
            if (types.contains(messages[i].value(QStringLiteral("type")).toString()))
                return i;
        if (!isOpen() || msLeft(deadline) == 0)
            return -1;
        pollfd r{raw.fd(), POLLIN, 0};
        ::poll(&r, 1, int(std::min<std::int64_t>(msLeft(deadline), 50)));
    }
}

bool RawPage::pump(QByteArray& out, const std::function<bool()>& done, int timeoutMs) {
    const std::int64_t deadline = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    for (;;) {
        poll();
        if (out.isEmpty() && done())
            return true;
        if (!isOpen() || msLeft(deadline) == 0)
            return false;
        pollfd p{raw.fd(), short(POLLIN | (out.isEmpty() ? 0 : POLLOUT)), 0};
        ::poll(&p, 1, int(std::min<std::int64_t>(msLeft(deadline), 50)));
        if (!out.isEmpty()) {
            const ssize_t n =
                ::send(raw.fd(), out.constData(), size_t(out.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                out.remove(0, n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
        }
    }
}
