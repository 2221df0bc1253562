#pragma once

#include "web/FrameReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <initializer_list>

// A page's WebSocket, the server's side, on a connection whose upgrade the gateway has
// read. Frames go out from UTF-8 bytes as they are, so a seat can write the lines of
// one read in one write without converting them again; what comes in is checked
// (masked, in order, within the size, valid UTF-8) before anyone sees it.
class PageSocket : public QObject {
    Q_OBJECT
public:
    enum CloseCode : quint16 {
        Normal = 1000,
        GoingAway = 1001,
        ProtocolError = 1002,
        BadData = 1007,
        PolicyViolated = 1008,
        TooBig = 1009,
    };
    // The gateway's, from WebLimits.
    struct Limits {
        qint64 maxMessage; // one message, however many frames bring it
        qint64 writeQueue; // what the page may leave unread before it counts as gone
        qint64 readChunk;  // what Qt may hold of its unread bytes; the rest waits in the kernel
        int closeWaitMs;   // how long a close waits for the page's own
    };
    // Takes the socket and answers its upgrade request, whose key is `key`; `host` is
    // the name or address the page asked for (its Host header).
    PageSocket(QTcpSocket* socket, QByteArrayView key, const QString& host, const Limits& limits,
               QObject* parent = nullptr);
    ~PageSocket() override;

    // The Sec-WebSocket-Accept value for a request's key.
    static QByteArray acceptKey(QByteArrayView key);
    // Appends one unmasked text frame whose payload is the parts, one after the other.
    static void appendText(QByteArray& out, std::initializer_list<QByteArrayView> parts);

    void sendText(QByteArrayView utf8) { write(frame(utf8)); }
    // Frames built with appendText, in one write.
    void write(const QByteArray& frames);
    // Says why and waits a moment for the other side to agree; nothing is read after it.
    void close(CloseCode code, const QString& reason = {});
    void abort();
    qint64 bytesToWrite() const;
    QHostAddress peerAddress() const { return peer_; }
    QString host() const { return host_; }
    bool isOpen() const { return socket_ != nullptr && state_ == State::Open; }

signals:
    void textMessageReceived(const QString& text);
    void binaryMessageReceived(const QByteArray& data);
    void disconnected();

private:
    static QByteArray frame(QByteArrayView utf8);
    void readable();
    void handle(const FrameReader::Message& message);
    void fail(CloseCode code);
    static QByteArray closePayload(CloseCode code, const QString& reason);
    void sendClose(QByteArrayView payload);

    QPointer<QTcpSocket> socket_;
    QHostAddress peer_;
    QString host_;
    Limits limits_;
    FrameReader reader_;
    QByteArray in_;
    enum class State { Open, CloseSent, Done };
    State state_ = State::Open;
};
