// A page's WebSocket frames, fed anything a browser or a stranger could send: the
// messages cut from them stay within the limits, and how the bytes happen to arrive
// (all at once or a few at a time) never changes what they mean.
#include "Require.h"
#include "web/FrameReader.h"

#include <QByteArray>
#include <QList>

namespace {

constexpr qint64 kMax = 1024; // small, so that short inputs reach the limit

struct Seen {
    FrameReader::Kind kind;
    QByteArray payload;
    quint16 failCode;
    bool operator==(const Seen&) const = default;
};

// Everything read from `bytes` arriving in pieces of the sizes `cuts` gives (cycled).
QList<Seen> readAll(QByteArrayView bytes, QByteArrayView cuts) {
    FrameReader reader(kMax);
    QList<Seen> seen;
    QByteArray in;
    qsizetype fed = 0;
    for (qsizetype i = 0; fed < bytes.size(); ++i) {
        const qsizetype n = cuts.isEmpty() ? bytes.size() : 1 + quint8(cuts[i % cuts.size()]);
        in += bytes.sliced(fed, std::min(n, bytes.size() - fed));
        fed += n;
        qsizetype at = 0;
        for (;;) {
            const FrameReader::Message m = reader.next(in, at);
            require(at >= 0 && at <= in.size(), "read past what arrived");
            require(reader.held() <= kMax, "pieces held beyond the limit");
            if (m.kind == FrameReader::Kind::None)
                break;
            require(m.payload.size() <= kMax, "a message over the limit");
            if (m.kind == FrameReader::Kind::Ping || m.kind == FrameReader::Kind::Pong ||
                m.kind == FrameReader::Kind::Close)
                require(m.payload.size() <= 125, "a long control frame");
            if (m.kind == FrameReader::Kind::Text)
                require(m.text.toUtf8() == m.payload, "text that is not its payload");
            seen.append({m.kind, m.payload, m.failCode});
            if (m.kind == FrameReader::Kind::Fail)
                return seen;
        }
        in.remove(0, at);
        require(in.size() <= kMax + 14 + 256, "bytes kept beyond one frame");
    }
    return seen;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first bytes say how the rest arrives.
    const qsizetype cutBytes = std::min<qsizetype>(data[0] % 8, qsizetype(size) - 1);
    const QByteArrayView cuts(reinterpret_cast<const char*>(data) + 1, cutBytes);
    const QByteArrayView bytes(reinterpret_cast<const char*>(data) + 1 + cutBytes,
                               qsizetype(size) - 1 - cutBytes);
    require(readAll(bytes, {}) == readAll(bytes, cuts.isEmpty() ? QByteArrayView("\0", 1) : cuts),
            "how the bytes arrived changed what they meant");
    return 0;
}
