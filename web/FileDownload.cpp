#include "web/FileDownload.h"

#include "web/HttpRequest.h"

#include <QStringDecoder>
#include <QTcpSocket>

namespace {

// Enough in flight to keep a LAN busy, little enough to stay out of memory.
constexpr qint64 kPiece = 256 * 1024;
constexpr qint64 kInFlight = 1024 * 1024;

QByteArray status(const QByteArray& line, const QByteArray& extra = {}) {
    const QByteArray body = line + "\n";
    return "HTTP/1.1 " + line + "\r\nContent-Type: text/plain; charset=utf-8\r\n" +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n" + extra +
           "X-Content-Type-Options: nosniff\r\nConnection: close\r\n\r\n" + body;
}

bool isHex(QByteArrayView text) {
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

// Asked for in UTF-8, as browsers do; raw GB2312 from an older tool is taken too.
std::optional<QString> decodeName(const QByteArray& encoded) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(encoded);
    for (const char* codec : {"UTF-8", "GB2312"}) {
        QStringDecoder decoder(codec, QStringDecoder::Flag::Stateless);
        const QString text = decoder.decode(bytes);
        if (decoder.isValid() && !decoder.hasError())
            return text;
    }
    return std::nullopt;
}

QByteArray disposition(const QString& name) {
    QByteArray ascii;
    for (const QChar c : name)
        ascii += c.unicode() >= 0x20 && c.unicode() < 0x7f && c != u'"' && c != u'\\'
                     ? char(c.unicode())
                     : '_';
    return "attachment; filename=\"" + ascii + "\"; filename*=UTF-8''" +
           name.toUtf8().toPercentEncoding();
}

} // namespace

std::optional<FileDownload::Target> FileDownload::parsePath(const QByteArray& path) {
    constexpr QByteArrayView prefix("/f/");
    constexpr qsizetype kTokenLength = 32;
    if (!path.startsWith(prefix) || path.size() < prefix.size() + kTokenLength + 2)
        return std::nullopt;
    const QByteArray token = path.mid(prefix.size(), kTokenLength);
    const QByteArray rest = path.mid(prefix.size() + kTokenLength);
    if (!isHex(token) || !rest.startsWith('/') || rest.indexOf('/', 1) >= 0)
        return std::nullopt;
    const auto name = decodeName(rest.mid(1));
    if (!name)
        return std::nullopt;
    return Target{token, *name};
}

std::optional<FileDownload::Span> FileDownload::parseRange(const QByteArray& value, qint64 size) {
    if (!value.startsWith("bytes=") || value.contains(','))
        return std::nullopt;
    const QByteArray asked = value.mid(6).trimmed();
    const qsizetype dash = asked.indexOf('-');
    if (dash < 0)
        return std::nullopt;
    bool okFirst = true;
    bool okLast = true;
    const QByteArray a = asked.left(dash);
    const QByteArray b = asked.mid(dash + 1);
    const qint64 first = a.isEmpty() ? -1 : a.toLongLong(&okFirst);
    const qint64 last = b.isEmpty() ? -1 : b.toLongLong(&okLast);
    if (!okFirst || !okLast || (a.isEmpty() && b.isEmpty()) || a.startsWith('-') ||
        b.startsWith('-') || (first >= 0 && last >= 0 && last < first))
        return std::nullopt;
    if (first < 0) { // the last `last` bytes
        if (last == 0 || size == 0)
            return Span{0, -1};
        const qint64 count = std::min(last, size);
        return Span{size - count, count};
    }
    if (first >= size)
        return Span{0, -1};
    const qint64 end = last < 0 ? size - 1 : std::min(last, size - 1);
    return Span{first, end - first + 1};
}

void FileDownload::serve(QTcpSocket* socket, const HttpRequest& request, const FileStore& store) {
    const auto target = parsePath(request.path);
    const FileStore::File* file = target ? store.find(target->token) : nullptr;
    // An unknown token, a file still arriving and a wrong name all look the same.
    if (file == nullptr || !file->complete() || file->name != target->name) {
        socket->write(status("404 Not Found"));
        socket->disconnectFromHost();
        return;
    }
    qint64 first = 0;
    qint64 count = file->size;
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    const QByteArray range = request.header("range");
    if (const auto span = range.isEmpty() ? std::nullopt : parseRange(range, file->size)) {
        if (span->count < 0) {
            socket->write(
                status("416 Range Not Satisfiable",
                       "Content-Range: bytes */" + QByteArray::number(file->size) + "\r\n"));
            socket->disconnectFromHost();
            return;
        }
        first = span->first;
        count = span->count;
        head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + QByteArray::number(first) +
               '-' + QByteArray::number(first + count - 1) + '/' + QByteArray::number(file->size) +
               "\r\n";
    }
    head += "Content-Type: application/octet-stream\r\n";
    head += "Content-Disposition: " + disposition(file->name) + "\r\n";
    head += "Content-Length: " + QByteArray::number(count) + "\r\n";
    head += "Accept-Ranges: bytes\r\n";
    // The whole file's SHA-256, for a check after the last piece of a resumed download.
    head += "ETag: \"" + file->sha256.toHex() + "\"\r\n";
    head += "Repr-Digest: sha-256=:" + file->sha256.toBase64() + ":\r\n";
    head += "Cache-Control: private, no-store\r\n";
    head += "X-Content-Type-Options: nosniff\r\n";
    head += "Referrer-Policy: no-referrer\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (request.method == "HEAD") {
        socket->disconnectFromHost();
        return;
    }
    new FileDownload(socket, file->path, first, count);
}

FileDownload::FileDownload(QTcpSocket* socket, const QString& path, qint64 first, qint64 count)
    : QObject(socket), socket_(socket), file_(path), left_(count) {
    if (!file_.open(QIODevice::ReadOnly) || !file_.seek(first)) {
        socket_->abort();
        return;
    }
    connect(socket_, &QTcpSocket::bytesWritten, this, [this] { pump(); });
    pump();
}

void FileDownload::pump() {
    while (left_ > 0 && socket_->bytesToWrite() < kInFlight) {
        const QByteArray piece = file_.read(std::min(kPiece, left_));
        if (piece.isEmpty()) {
            socket_->abort(); // the file went short under us: better cut than wrong
            return;
        }
        left_ -= piece.size();
        socket_->write(piece);
    }
    if (left_ == 0) {
        disconnect(socket_, &QTcpSocket::bytesWritten, this, nullptr);
        socket_->disconnectFromHost();
    }
}
