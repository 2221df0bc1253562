#include "web/PageSocket.h"

#include <QCryptographicHash>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <sys/socket.h>

namespace {

enum Opcode : quint8 { Text = 1, Close = 8, Pong = 10 };

void appendHeader(QByteArray& out, quint8 opcode, qsizetype length) {
    out += char(0x80 | opcode);
    if (length < 126) {
        out += char(length);
    } else if (length <= 0xffff) {
        out += char(126);
        out += char(length >> 8);
        out += char(length & 0xff);
    } else {
        out += char(127);
        for (int shift = 56; shift >= 0; shift -= 8)
            out += char((quint64(length) >> shift) & 0xff);
    }
}

} // namespace

PageSocket::PageSocket(QTcpSocket* socket, QByteArrayView key, const QString& host,
                       const Limits& limits, QObject* parent)
    : QObject(parent), socket_(socket), peer_(socket->peerAddress()), host_(host), limits_(limits),
      reader_(limits.maxMessage) {
    socket->setParent(this);
    socket->setReadBufferSize(limits_.readChunk);
    connect(socket, &QTcpSocket::readyRead, this, [this] { readable(); });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        state_ = State::Done;
        emit disconnected();
    });
    write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
          "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
          acceptKey(key) + "\r\n\r\n");
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(
            this, [this] { readable(); }, Qt::QueuedConnection);
}

PageSocket::~PageSocket() {
    if (socket_ != nullptr)
        socket_->disconnect(this);
}

QByteArray PageSocket::acceptKey(QByteArrayView key) {
    return QCryptographicHash::hash(key.toByteArray() + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

void PageSocket::appendText(QByteArray& out, std::initializer_list<QByteArrayView> parts) {
    qsizetype length = 0;
    for (QByteArrayView part : parts)
        length += part.size();
    appendHeader(out, Text, length);
    // A seat appends every line of a read this way: one growth, then copies.
    qsizetype at = out.size();
    out.resize(at + length);
    for (QByteArrayView part : parts) {
        std::memcpy(out.data() + at, part.data(), std::size_t(part.size()));
        at += part.size();
    }
}

QByteArray PageSocket::frame(QByteArrayView utf8) {
    QByteArray out;
    out.reserve(utf8.size() + 10);
    appendText(out, {utf8});
    return out;
}

void PageSocket::write(const QByteArray& frames) {
    if (!isOpen())
        return;
    if (socket_->bytesToWrite() > limits_.writeQueue) {
        // It reads nothing of what it is sent: as good as gone. Later, since whoever
        // writes may still hold what the going would free.
        state_ = State::Done;
        QMetaObject::invokeMethod(socket_, &QTcpSocket::abort, Qt::QueuedConnection);
        return;
    }
    // Now, in one send as a desktop seat's goes, when nothing waits before it; only what
    // the kernel cannot take yet waits in the socket's buffer for a later turn of the loop.
    qsizetype sent = 0;
    if (socket_->bytesToWrite() == 0) {
        const ssize_t n = ::send(int(socket_->socketDescriptor()), frames.constData(),
                                 std::size_t(frames.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        sent = n > 0 ? n : 0; // a failure is the socket's to find on its own write
    }
    if (sent == 0)
        socket_->write(frames);
    else if (sent < frames.size())
        socket_->write(QByteArrayView(frames).sliced(sent).toByteArray());
}

qint64 PageSocket::bytesToWrite() const {
    return socket_ != nullptr ? socket_->bytesToWrite() : 0;
}

void PageSocket::abort() {
    state_ = State::Done;
    if (socket_ != nullptr)
        socket_->abort();
}

void PageSocket::sendClose(QByteArrayView payload) {
    QByteArray out;
    appendHeader(out, Close, payload.size());
    out += payload;
    socket_->write(out);
    socket_->flush();
}

QByteArray PageSocket::closePayload(CloseCode code, const QString& reason) {
    QByteArray payload(2, Qt::Uninitialized);
    qToBigEndian<quint16>(code, payload.data());
    return payload + reason.toUtf8().left(123);
}

void PageSocket::close(CloseCode code, const QString& reason) {
    if (state_ != State::Open)
        return;
    state_ = State::CloseSent;
    sendClose(closePayload(code, reason));
    // The other side answers with its own close; one that does not is let go.
    QTimer::singleShot(limits_.closeWaitMs, socket_, [s = socket_] {
        if (s != nullptr)
            s->abort();
    });
}

void PageSocket::fail(CloseCode code) {
    if (state_ == State::Done || socket_ == nullptr)
        return;
    if (state_ == State::Open)
        sendClose(closePayload(code, {}));
    state_ = State::Done;
    socket_->disconnectFromHost();
}

void PageSocket::readable() {
    QPointer<PageSocket> alive(this);
    while (alive != nullptr && state_ != State::Done && socket_ != nullptr &&
           socket_->bytesAvailable() > 0) {
        // Only what is there: read(n) keeps room for n, and in_ would keep it for good.
        in_ += socket_->read(std::min(socket_->bytesAvailable(), limits_.readChunk));
        qsizetype at = 0;
        for (;;) {
            const FrameReader::Message m = reader_.next(in_, at);
            if (m.kind == FrameReader::Kind::None)
                break;
            handle(m);
            if (alive == nullptr)
                return;
            if (state_ == State::Done)
                break;
        }
        // Once for all the frames taken, not once a frame: a read of tiny frames stays linear.
        in_.remove(0, at);
    }
    if (alive != nullptr && state_ == State::Done)
        in_.clear();
}

void PageSocket::handle(const FrameReader::Message& m) {
    using Kind = FrameReader::Kind;
    switch (m.kind) {
    case Kind::Fail:
        fail(static_cast<CloseCode>(m.failCode));
        break;
    case Kind::Ping: {
        QByteArray out;
        appendHeader(out, Pong, m.payload.size());
        out += m.payload;
        write(out);
        break;
    }
    case Kind::Close:
        // Agreed: the connection ends once what is written has gone.
        if (state_ == State::Open)
            sendClose(QByteArrayView(m.payload).first(std::min<qsizetype>(2, m.payload.size())));
        state_ = State::Done;
        socket_->disconnectFromHost();
        break;
    case Kind::Text:
        if (state_ == State::Open) // after our close, only the answer to it counts
            emit textMessageReceived(m.text);
        break;
    case Kind::Binary:
        if (state_ == State::Open)
            emit binaryMessageReceived(m.payload);
        break;
    case Kind::Pong:
    case Kind::None:
        break;
    }
}
