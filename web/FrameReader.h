#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// What a page sends on its WebSocket, cut into whole messages: pure, no socket, so it
// can be fed anything. A page masks every frame, agrees no extension, keeps control
// frames short and whole, and never sends a message over the limit in any number of
// pieces; anything else fails the connection with the close code that says why.
class FrameReader {
public:
    enum class Kind { None, Text, Binary, Ping, Pong, Close, Fail };
    struct Message {
        Kind kind = Kind::None;
        QByteArray payload;   // as sent, unmasked
        QString text;         // Text only: the payload, valid UTF-8
        quint16 failCode = 0; // Fail only
    };

    explicit FrameReader(qint64 maxMessage) : maxMessage_(maxMessage) {}

    // The next whole message of bytes from `at` on, with `at` moved past the frames it
    // took; None when the rest is not yet a whole message.
    Message next(QByteArrayView bytes, qsizetype& at);
    // Held of a message that came in pieces so far.
    qsizetype held() const { return pieces_.size(); }

private:
    Message take(quint8 opcode, QByteArray payload);

    qint64 maxMessage_;
    QByteArray pieces_;
    quint8 piecesOpcode_ = 0;
};
