// The web surface's request-head parser, fed anything a browser or a stranger on
// the network could send, and checked against what the gateway relies on.
#include "Require.h"
#include "web/HttpRequest.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace {

bool clean(QByteArrayView text) {
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if ((u < 0x20 && c != '\t') || u == 0x7f)
            return false;
    }
    return true;
}

void checkDone(const HttpRequest& r, QByteArrayView bytes) {
    require(r.headSize <= HttpRequest::kMaxHead, "a head longer than the limit is taken");
    require(bytes.first(r.headSize).endsWith("\r\n\r\n") &&
                bytes.indexOf(QByteArrayView("\r\n\r\n")) + 4 == r.headSize,
            "the head does not end at the first blank line");
    require(!r.method.isEmpty() && clean(r.method) && !r.method.contains(' '), "bad method taken");
    require(r.path.startsWith('/') && clean(r.path) && !r.path.contains('?') &&
                !r.path.contains(' '),
            "bad path taken");
    require(r.version == "HTTP/1.1" || r.version == "HTTP/1.0", "bad version taken");
    require(r.headers.size() <= HttpRequest::kMaxHeaders, "too many headers taken");
    for (const auto& [name, value] : r.headers) {
        require(!name.isEmpty() && name == name.toLower() && !name.contains(':'),
                "a header name is not a lower-case token");
        require(clean(value) && value == value.trimmed(), "a header value holds a control byte");
    }
    if (r.isWebSocketUpgrade())
        require(r.method == "GET", "an upgrade that is not a GET");
    for (const quint16 port : {quint16(8889), quint16(80)}) {
        if (!r.fromOwnPage(port))
            continue;
        const QByteArray host = r.header("host");
        require(r.header("origin") == "http://" + host, "own page with another origin");
        require(host.endsWith(":" + QByteArray::number(port)), "own page on another port");
        // A name that DNS could point anywhere must never pass, only numbers.
        const QByteArray name = host.first(host.lastIndexOf(':'));
        bool numeric = !name.isEmpty();
        for (char c : name)
            numeric = numeric && (QByteArrayView("0123456789abcdefABCDEFxX.").contains(c));
        require(name == "localhost" || numeric, "own page under a host name");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const HttpRequest r = HttpRequest::parse(bytes);
    switch (r.state) {
    case HttpRequest::State::Incomplete:
        require(size <= size_t(HttpRequest::kMaxHead), "an oversized head waits for more");
        require(!bytes.contains(QByteArrayView("\r\n\r\n")), "a whole head waits for more");
        break;
    case HttpRequest::State::Done:
        checkDone(r, bytes);
        break;
    case HttpRequest::State::Bad:
    case HttpRequest::State::TooLarge:
        break;
    }
    // The gateway parses what has arrived so far: more bytes behind a finished head
    // (a body, the next request) never change it, and a head cut short only waits.
    if (r.state != HttpRequest::State::Incomplete) {
        const HttpRequest longer = HttpRequest::parse(bytes.toByteArray() + "GET / HTTP/1.1\r\n");
        require(longer.state == r.state && longer.path == r.path && longer.headers == r.headers,
                "bytes after the head change it");
    }
    if (r.state == HttpRequest::State::Done) {
        const HttpRequest cut = HttpRequest::parse(bytes.first(r.headSize - 1));
        require(cut.state == HttpRequest::State::Incomplete, "a head cut short is judged");
    }
    return 0;
}
