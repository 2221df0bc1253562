#pragma once

#include "WebPage.h"

#include <QtEndian>

// A page sending a file as app.js does: an offer, then binary frames of
// token + offset + bytes from where the host says it stands.
inline QByteArray uploadFrame(const QByteArray& token, qint64 offset, QByteArrayView bytes) {
    QByteArray frame = token;
    char at[8];
    qToBigEndian<qint64>(offset, at);
    frame.append(at, 8);
    frame.append(bytes.data(), bytes.size());
    return frame;
}

// Sends bytes [from, to) of `bytes` in 64 KiB frames.
inline void sendPart(WebPage& page, const QByteArray& token, const QByteArray& bytes, qint64 from,
                     qint64 to) {
    constexpr qint64 kChunk = 65536 - 40;
    for (qint64 at = from; at < to; at += kChunk) {
        const qint64 n = std::min(kChunk, to - at);
        page.socket().sendBinaryMessage(
            uploadFrame(token, at, QByteArrayView(bytes).sliced(at, n)));
    }
}
