#include "web/HttpRequest.h"

#include <QHostAddress>

namespace {

bool isTokenChar(char c) {
    // RFC 9110 tchar.
    static constexpr QByteArrayView extra("!#$%&'*+-.^_`|~");
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           extra.contains(c);
}

bool isToken(QByteArrayView text) {
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

bool hasControl(QByteArrayView text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return true;
    }
    return false;
}

HttpRequest bad(HttpRequest::State state = HttpRequest::State::Bad) {
    HttpRequest r;
    r.state = state;
    return r;
}

} // namespace

QByteArray HttpRequest::header(QByteArrayView name) const {
    for (const auto& [n, v] : headers) {
        if (n == name)
            return v;
    }
    return {};
}

bool HttpRequest::hasToken(QByteArrayView name, QByteArrayView token) const {
    for (const auto& [n, v] : headers) {
        if (n != name)
            continue;
        for (const QByteArray& part : v.split(',')) {
            if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

bool HttpRequest::isWebSocketUpgrade() const {
    return method == "GET" && hasToken("connection", "upgrade") && hasToken("upgrade", "websocket");
}

bool HttpRequest::fromOwnPage(quint16 port) const {
    const QByteArray host = header("host");
    if (header("origin") != "http://" + host)
        return false;
    const qsizetype colon = host.lastIndexOf(':');
    if (colon <= 0 || host.mid(colon + 1) != QByteArray::number(port))
        return false;
    const QByteArray name = host.first(colon);
    if (name == "localhost")
        return true;
    QHostAddress address;
    return !name.startsWith('[') && address.setAddress(QString::fromLatin1(name)) &&
           address.protocol() == QAbstractSocket::IPv4Protocol;
}

HttpRequest HttpRequest::parse(QByteArrayView bytes) {
    const qsizetype end = bytes.indexOf(QByteArrayView("\r\n\r\n"));
    if (end < 0)
        return bad(bytes.size() > kMaxHead ? State::TooLarge : State::Incomplete);
    if (end + 4 > kMaxHead)
        return bad(State::TooLarge);
    HttpRequest r;
    r.headSize = end + 4;
    QList<QByteArray> lines = bytes.first(end).toByteArray().split('\n');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (!lines[i].endsWith('\r'))
            return bad(); // a bare LF: no browser sends one
        lines[i].chop(1);
    }
    const QByteArray& requestLine = lines.first();
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/') ||
        hasControl(parts[1]) || (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0"))
        return bad();
    r.method = parts[0];
    const qsizetype query = parts[1].indexOf('?');
    r.path = query < 0 ? parts[1] : parts[1].first(query);
    r.version = parts[2];
    if (lines.size() - 1 > kMaxHeaders)
        return bad(State::TooLarge);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(QByteArrayView(line).first(colon)))
            return bad(); // also refuses folded (obsolete) continuation lines
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (hasControl(value))
            return bad();
        r.headers.append({line.first(colon).toLower(), value});
    }
    r.state = State::Done;
    return r;
}
