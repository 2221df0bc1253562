#include "web/WebGateway.h"

#include "web/FileDownload.h"
#include "web/FileStore.h"
#include "web/HttpRequest.h"
#include "web/WebSeat.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

namespace {

struct PageFile {
    const char* path;
    const char* resource;
    const char* type;
};

// Everything the page is; nothing else is served.
constexpr PageFile kFiles[] = {
    {"/", ":/web/page/index.html", "text/html; charset=utf-8"},
    {"/app.js", ":/web/page/app.js", "text/javascript; charset=utf-8"},
    {"/style.css", ":/web/page/style.css", "text/css; charset=utf-8"},
    {"/icon.png", ":/web/page/icon.png", "image/png"},
};

QByteArray response(const QByteArray& status, const QByteArray& type, const QByteArray& body,
                    bool withBody = true) {
    QByteArray r = "HTTP/1.1 " + status + "\r\n";
    r += "Content-Type: " + type + "\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += "Cache-Control: no-cache\r\n";
    r += "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; "
         "img-src 'self'; connect-src 'self'; base-uri 'none'; form-action 'none'; "
         "frame-ancestors 'none'\r\n";
    r += "X-Content-Type-Options: nosniff\r\n";
    r += "X-Frame-Options: DENY\r\n";
    r += "Referrer-Policy: no-referrer\r\n";
    r += "Connection: close\r\n\r\n";
    if (withBody)
        r += body;
    return r;
}

QByteArray plain(const QByteArray& status) {
    return response(status, "text/plain; charset=utf-8", status + "\n");
}

// The browser's dotted address, as the host shows and bans it.
QString addressOf(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : address.toString();
}

// Which pool an HTTP connection holds a place in, given back when it goes.
enum class Pool { Asking, Downloading, None };

} // namespace

WebGateway::WebGateway(QObject* parent) : QObject(parent) {
    connect(&http_, &QTcpServer::newConnection, this, [this] { accept(); });
    clock_.start();
    sweep_.setInterval(1000);
    connect(&sweep_, &QTimer::timeout, this, [this] { sweep(); });
    const quint64 a = QRandomGenerator::system()->generate64();
    const quint64 b = QRandomGenerator::system()->generate64();
    hostKey_ = QByteArray::number(a, 16) + QByteArray::number(b, 16);
}

WebGateway::~WebGateway() {
    stop();
}

void WebGateway::setAddressBook(AddressNote note, AddressForget forget) {
    note_ = std::move(note);
    forget_ = std::move(forget);
}

void WebGateway::setLimits(const WebLimits& limits) {
    limits_ = limits;
    if (files_)
        files_->setLimits(limits_.files);
}

void WebGateway::setDeadlineMs(int ms) {
    limits_.deadlineMs = ms;
}

void WebGateway::setFileFolder(const QString& folder) {
    fileFolder_ = folder;
}

void WebGateway::setFileLimits(const FileStore::Limits& limits) {
    limits_.files = limits;
    if (files_)
        files_->setLimits(limits);
}

bool WebGateway::start(quint16 webPort, quint16 roomPort, QString* error) {
    stop();
    roomPort_ = roomPort;
    if (http_.listen(QHostAddress::AnyIPv4, webPort)) {
        // The room's files live as long as the room serves its page.
        files_ = std::make_unique<FileStore>(fileFolder_);
        files_->setLimits(limits_.files);
        sweep_.start();
        return true;
    }
    if (error != nullptr)
        *error = http_.errorString();
    return false;
}

void WebGateway::stop() {
    http_.close();
    sweep_.stop();
    // Downloads and page loads end with the room; their places are given back as they go.
    for (QTcpSocket* socket : http_.findChildren<QTcpSocket*>()) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    asking_.clear();
    downloading_.clear();
    askingTotal_ = downloadingTotal_ = 0;
    auto pages = std::move(pages_);
    pages_.clear();
    for (auto& [key, page] : pages) {
        if (PageSocket* socket = page->socket()) {
            socket->disconnect(this);
            socket->close(PageSocket::GoingAway, QStringLiteral("聊天室已结束"));
            socket->deleteLater();
        }
    }
    const QList<WebSeat*> seats = seats_.values();
    seats_.clear();
    seatOf_.clear();
    for (WebSeat* seat : seats) {
        if (forget_)
            forget_(seat->localPort());
        delete seat;
    }
    uploads_.clear();
    offerBudget_.clear();
    joinBudget_.clear();
    files_.reset();
}

void WebGateway::accept() {
    while (QTcpSocket* socket = http_.nextPendingConnection()) {
        const QString address = addressOf(socket->peerAddress());
        if (askingTotal_ >= limits_.asking || asking_.value(address) >= limits_.askingPerAddress) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++askingTotal_;
        ++asking_[address];
        auto pool = std::make_shared<Pool>(Pool::Asking);
        socket->setProperty("pool", QVariant::fromValue(static_cast<void*>(pool.get())));
        connect(socket, &QObject::destroyed, this, [this, pool, address] {
            QHash<QString, int>& counts = *pool == Pool::Asking ? asking_ : downloading_;
            if (*pool == Pool::None)
                return;
            (*pool == Pool::Asking ? askingTotal_ : downloadingTotal_) -= 1;
            if (--counts[address] <= 0)
                counts.remove(address);
        });
        // A head is never bigger than this; what a client sends beyond it stays in the kernel.
        socket->setReadBufferSize(HttpRequest::kMaxHead + 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // One that never finishes asking, or never takes its answer, is let go.
        auto* deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [socket] { socket->abort(); });
        deadline->start(limits_.deadlineMs);
    }
}

void WebGateway::readHead(QTcpSocket* socket) {
    const HttpRequest r = HttpRequest::parse(socket->peek(HttpRequest::kMaxHead + 1));
    const QString address = addressOf(socket->peerAddress());
    switch (r.state) {
    case HttpRequest::State::Incomplete:
        return;
    case HttpRequest::State::TooLarge:
        socket->write(plain("431 Request Header Fields Too Large"));
        break;
    case HttpRequest::State::Bad:
        socket->write(plain("400 Bad Request"));
        break;
    case HttpRequest::State::Done:
        if (r.path == "/ws") {
            if (!r.isWebSocketUpgrade() || r.header("sec-websocket-version") != "13") {
                socket->write(plain("426 Upgrade Required"));
            } else if (r.header("sec-websocket-key").isEmpty()) {
                socket->write(plain("400 Bad Request"));
            } else if (!r.fromOwnPage(port())) {
                socket->write(plain("403 Forbidden"));
            } else if (waitingPages() >= limits_.waitingPages ||
                       waitingFrom(address) >= limits_.waitingPerAddress) {
                socket->write(plain("503 Service Unavailable"));
            } else {
                upgrade(socket, r);
                return;
            }
            break;
        }
        if (r.path.startsWith("/f/") && files_ && (r.method == "GET" || r.method == "HEAD")) {
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            if (room_.isBanned && room_.isBanned(address)) {
                socket->write(plain("403 Forbidden"));
                break;
            }
            if (!startDownload(socket)) {
                socket->write(plain("503 Service Unavailable"));
                break;
            }
            socket->read(r.headSize);
            FileDownload::serve(socket, r, *files_);
            return;
        }
        answer(socket, r.method, r.path);
        break;
    }
    // Only the reading stops: the count of connections still drops when the socket goes.
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    socket->disconnectFromHost();
}

bool WebGateway::startDownload(QTcpSocket* socket) {
    const QString address = addressOf(socket->peerAddress());
    if (downloadingTotal_ >= limits_.downloads ||
        downloading_.value(address) >= limits_.downloadsPerAddress)
        return false;
    // From the asking pool to the downloads', so page loads never wait behind files.
    auto* pool = static_cast<Pool*>(socket->property("pool").value<void*>());
    --askingTotal_;
    if (--asking_[address] <= 0)
        asking_.remove(address);
    ++downloadingTotal_;
    ++downloading_[address];
    *pool = Pool::Downloading;
    // A download that does not move for so long is closed; each piece taken restarts it.
    auto* deadline = socket->findChild<QTimer*>(QStringLiteral("deadline"));
    deadline->start(limits_.downloadStallMs);
    connect(socket, &QTcpSocket::bytesWritten, deadline,
            [deadline, ms = limits_.downloadStallMs] { deadline->start(ms); });
    return true;
}

void WebGateway::answer(QTcpSocket* socket, const QByteArray& method, const QByteArray& path) {
    if (method != "GET" && method != "HEAD") {
        socket->write(plain("405 Method Not Allowed"));
        return;
    }
    for (const PageFile& f : kFiles) {
        if (path != f.path)
            continue;
        QFile file(QString::fromLatin1(f.resource));
        if (!file.open(QIODevice::ReadOnly))
            break;
        socket->write(response("200 OK", f.type, file.readAll(), method == "GET"));
        return;
    }
    socket->write(plain("404 Not Found"));
}

void WebGateway::upgrade(QTcpSocket* socket, const HttpRequest& request) {
    // From here on it is a page, counted among the pages: its place among the asking goes.
    socket->disconnect(this);
    socket->setReadBufferSize(0);
    delete socket->findChild<QTimer*>(QStringLiteral("deadline"));
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto* pool = static_cast<Pool*>(socket->property("pool").value<void*>());
    const QString address = addressOf(socket->peerAddress());
    --askingTotal_;
    if (--asking_[address] <= 0)
        asking_.remove(address);
    *pool = Pool::None;
    socket->read(request.headSize); // only peeked so far
    const QString host =
        QUrl(QStringLiteral("ws://") + QString::fromLatin1(request.header("host"))).host();
    openPage(new PageSocket(
        socket, request.header("sec-websocket-key"), host,
        {kMaxMessage, limits_.writeQueue, limits_.readChunk, limits_.closeWaitMs}, this));
}
