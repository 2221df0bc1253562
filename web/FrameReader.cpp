#include "web/FrameReader.h"

#include <QStringDecoder>
#include <cstring>

namespace {

enum Opcode : quint8 { Continuation = 0, Text = 1, Binary = 2, Close = 8, Ping = 9, Pong = 10 };
enum Code : quint16 { ProtocolError = 1002, BadData = 1007, TooBig = 1009 };

FrameReader::Message failed(quint16 code) {
    FrameReader::Message m;
    m.kind = FrameReader::Kind::Fail;
    m.failCode = code;
    return m;
}

void unmask(char* data, qsizetype n, const char key[4]) {
    quint64 wide;
    std::memcpy(&wide, key, 4);
    std::memcpy(reinterpret_cast<char*>(&wide) + 4, key, 4);
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 chunk;
        std::memcpy(&chunk, data + i, 8);
        chunk ^= wide;
        std::memcpy(data + i, &chunk, 8);
    }
    for (; i < n; ++i)
        data[i] ^= key[i % 4];
}

} // namespace

FrameReader::Message FrameReader::next(QByteArrayView bytes, qsizetype& at) {
    for (;;) {
        const auto* p = reinterpret_cast<const uchar*>(bytes.data()) + at;
        const qsizetype size = bytes.size() - at;
        if (size < 2)
            return {};
        const bool fin = p[0] & 0x80;
        const quint8 opcode = p[0] & 0x0f;
        if ((p[0] & 0x70) != 0 || !(p[1] & 0x80))
            return failed(ProtocolError); // no extensions were agreed; a page masks its frames
        qsizetype head = 2;
        quint64 length = p[1] & 0x7f;
        if (length >= 126) {
            const int n = length == 126 ? 2 : 8;
            if (size < head + n)
                return {};
            length = 0;
            for (int i = 0; i < n; ++i)
                length = (length << 8) | p[head + i];
            head += n;
        }
        const bool control = opcode >= Close;
        if (control && (!fin || length > 125))
            return failed(ProtocolError);
        if (length > quint64(maxMessage_) ||
            (!control && qint64(pieces_.size()) + qint64(length) > maxMessage_))
            return failed(TooBig);
        if (size < head + 4 + qsizetype(length))
            return {};
        QByteArray payload(reinterpret_cast<const char*>(p) + head + 4, qsizetype(length));
        unmask(payload.data(), payload.size(), reinterpret_cast<const char*>(p) + head);
        at += head + 4 + qsizetype(length);

        if (control || (fin && opcode != Continuation && piecesOpcode_ == 0))
            return take(opcode, std::move(payload));
        if (opcode == Continuation) {
            if (piecesOpcode_ == 0)
                return failed(ProtocolError);
            pieces_ += payload;
            if (fin) {
                const quint8 whole = std::exchange(piecesOpcode_, 0);
                return take(whole, std::exchange(pieces_, {}));
            }
            continue;
        }
        // A new message while another is still coming in pieces, or one that is not data.
        if ((opcode != Text && opcode != Binary) || piecesOpcode_ != 0)
            return failed(ProtocolError);
        piecesOpcode_ = opcode;
        pieces_ = std::move(payload);
    }
}

FrameReader::Message FrameReader::take(quint8 opcode, QByteArray payload) {
    Message m;
    switch (opcode) {
    case Text: {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        m.text = decoder(payload);
        if (decoder.hasError())
            return failed(BadData);
        m.kind = Kind::Text;
        break;
    }
    case Binary:
        m.kind = Kind::Binary;
        break;
    case Ping:
        m.kind = Kind::Ping;
        break;
    case Pong:
        m.kind = Kind::Pong;
        break;
    case Close:
        m.kind = Kind::Close;
        break;
    default:
        return failed(ProtocolError);
    }
    m.payload = std::move(payload);
    return m;
}
