#include "web/WebGateway.h"

#include "web/FileDownload.h"
#include "web/FileStore.h"
#include "web/HttpRequest.h"
#include "web/WebSeat.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>

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
};

QByteArray response(const QByteArray& status, const QByteArray& type, const QByteArray& body,
                    bool withBody = true) {
    QByteArray r = "HTTP/1.1 " + status + "\r\n";
    r += "Content-Type: " + type + "\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += "Cache-Control: no-cache\r\n";
    r += "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; "
         "img-src 'self' data:; connect-src 'self'; base-uri 'none'; form-action 'none'; "
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

QString json(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace

WebGateway::WebGateway(QObject* parent)
    : QObject(parent), ws_(QStringLiteral("Pinwa"), QWebSocketServer::NonSecureMode),
      seatKeepMs_(WebSeat::kKeepMs) {
    connect(&http_, &QTcpServer::newConnection, this, [this] { accept(); });
    connect(&ws_, &QWebSocketServer::newConnection, this, [this] {
        while (QWebSocket* page = ws_.nextPendingConnection())
            openPage(page);
    });
    // Bounded here, before Qt assembles a message in memory.
    ws_.setMaxPendingConnections(kMaxWaitingPages);
    ws_.setHandshakeTimeout(kDeadlineMs);
}

WebGateway::~WebGateway() {
    stop();
}

void WebGateway::setAddressBook(AddressNote note, AddressForget forget) {
    note_ = std::move(note);
    forget_ = std::move(forget);
}

void WebGateway::setFileFolder(const QString& folder) {
    fileFolder_ = folder;
}

void WebGateway::setFileLimits(const FileStore::Limits& limits) {
    fileLimits_ = limits;
    if (files_)
        files_->setLimits(limits);
}

bool WebGateway::start(quint16 webPort, quint16 roomPort, QString* error) {
    stop();
    roomPort_ = roomPort;
    if (http_.listen(QHostAddress::AnyIPv4, webPort)) {
        // The room's files live as long as the room serves its page.
        files_ = std::make_unique<FileStore>(fileFolder_);
        files_->setLimits(fileLimits_);
        return true;
    }
    if (error != nullptr)
        *error = http_.errorString();
    return false;
}

void WebGateway::stop() {
    http_.close();
    const QList<QWebSocket*> pages = pages_.keys();
    for (QWebSocket* page : pages) {
        page->disconnect(this);
        page->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("聊天室已结束"));
        page->deleteLater();
    }
    pages_.clear();
    const QList<WebSeat*> seats = seats_.values();
    seats_.clear();
    for (WebSeat* seat : seats) {
        if (forget_)
            forget_(seat->localPort());
        delete seat;
    }
    uploads_.clear();
    seatNames_.clear();
    pageFrom_.clear();
    files_.reset();
}

void WebGateway::accept() {
    while (QTcpSocket* socket = http_.nextPendingConnection()) {
        if (httpConnections_ >= kMaxHttpConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++httpConnections_;
        connect(socket, &QObject::destroyed, this, [this] { --httpConnections_; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // One that never finishes asking is let go; a download takes its time.
        auto* deadline = new QTimer(socket);
        deadline->setObjectName(QStringLiteral("deadline"));
        deadline->setSingleShot(true);
        connect(deadline, &QTimer::timeout, socket, [socket] { socket->abort(); });
        deadline->start(deadlineMs_);
    }
}

void WebGateway::readHead(QTcpSocket* socket) {
    const HttpRequest r = HttpRequest::parse(socket->peek(HttpRequest::kMaxHead + 1));
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
            if (!r.isWebSocketUpgrade()) {
                socket->write(plain("426 Upgrade Required"));
            } else if (!r.fromOwnPage(port())) {
                socket->write(plain("403 Forbidden"));
            } else if (waitingPages() >= kMaxWaitingPages) {
                socket->write(plain("503 Service Unavailable"));
            } else {
                upgrade(socket);
                return;
            }
            break;
        }
        if (r.path.startsWith("/f/") && files_ && (r.method == "GET" || r.method == "HEAD")) {
            disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
            delete socket->findChild<QTimer*>(QStringLiteral("deadline"));
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

void WebGateway::upgrade(QTcpSocket* socket) {
    // From here on it is a page, counted as one.
    --httpConnections_;
    socket->disconnect(this);
    delete socket->findChild<QTimer*>(QStringLiteral("deadline"));
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // The handshake is still unread (only peeked), for the WebSocket server to take.
    ws_.handleConnection(socket);
}

int WebGateway::waitingPages() const {
    int waiting = 0;
    for (const Page& p : pages_) {
        if (p.seat == nullptr)
            ++waiting;
    }
    return waiting;
}

void WebGateway::openPage(QWebSocket* page) {
    if (waitingPages() >= kMaxWaitingPages) {
        page->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("too many"));
        page->deleteLater();
        return;
    }
    page->setMaxAllowedIncomingMessageSize(kMaxMessage);
    page->setMaxAllowedIncomingFrameSize(kMaxMessage);
    pages_.insert(page, Page{nullptr, addressOf(page->peerAddress()), false});
    connect(page, &QWebSocket::textMessageReceived, this,
            [this, page](const QString& text) { pageMessage(page, text); });
    connect(page, &QWebSocket::binaryMessageReceived, this,
            [this, page](const QByteArray& frame) { fileData(page, frame); });
    connect(page, &QWebSocket::disconnected, this, [this, page] { pageGone(page); });
    // A page that neither joins nor resumes in time gives its place to another.
    QTimer::singleShot(deadlineMs_, page, [this, page] {
        if (pages_.contains(page) && pages_[page].seat == nullptr && !pages_[page].uploading)
            page->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("timeout"));
    });
}

void WebGateway::refuse(QWebSocket* page, const QString& text) {
    page->sendTextMessage(json(
        {{QStringLiteral("type"), QStringLiteral("refused")}, {QStringLiteral("text"), text}}));
}

void WebGateway::pageMessage(QWebSocket* page, const QString& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        refuse(page, QStringLiteral("不明白的请求"));
        return;
    }
    const QJsonObject message = document.object();
    const QString type = message.value(QStringLiteral("type")).toString();
    if (type.startsWith(QStringLiteral("file"))) {
        fileRequest(page, message);
        return;
    }
    Page& p = pages_[page];
    if (type == QStringLiteral("join") && p.seat == nullptr && !p.joining) {
        join(page, message.value(QStringLiteral("nickname")).toString());
    } else if (type == QStringLiteral("resume") && p.seat == nullptr && !p.joining) {
        resume(page, message.value(QStringLiteral("token")).toString().toLatin1(),
               message.value(QStringLiteral("n")).toInteger(0));
    } else if (p.seat != nullptr && type != QStringLiteral("join") &&
               type != QStringLiteral("resume")) {
        p.seat->request(message);
    } else {
        refuse(page, QStringLiteral("不明白的请求"));
    }
}

void WebGateway::join(QWebSocket* page, const QString& nickname) {
    auto* seat = new WebSeat(roomPort_, this);
    seat->setKeepMs(seatKeepMs_);
    connect(seat, &WebSeat::finished, this, [this](WebSeat* s) { seatFinished(s); });
    pages_[page].joining = true;
    const bool seated = seat->join(page, nickname);
    if (!pages_.contains(page)) { // gone while joining
        delete seat;
        return;
    }
    pages_[page].joining = false;
    if (!seated) {
        delete seat;
        return;
    }
    pages_[page].seat = seat;
    seats_.insert(seat->token(), seat);
    seatNames_.insert(seat->token(), nickname);
    if (note_)
        note_(seat->localPort(), pages_[page].address);
}

void WebGateway::resume(QWebSocket* page, const QByteArray& token, qint64 lastSeen) {
    WebSeat* seat = seats_.value(token);
    if (seat == nullptr) {
        page->sendTextMessage(QStringLiteral(R"({"type":"expired"})"));
        return;
    }
    if (QWebSocket* old = seat->page(); old != nullptr && pages_.contains(old))
        pages_[old].seat = nullptr;
    pages_[page].seat = seat;
    seat->attach(page, lastSeen);
}

void WebGateway::pageGone(QWebSocket* page) {
    const auto it = pages_.find(page);
    if (it == pages_.end())
        return;
    if (it->seat != nullptr && it->seat->page() == page)
        it->seat->detach();
    pages_.erase(it);
    pageFrom_.remove(page);
    page->deleteLater();
}

void WebGateway::seatFinished(WebSeat* seat) {
    seats_.remove(seat->token());
    seatNames_.remove(seat->token());
    // What it had not finished sending can never be offered now.
    const QByteArray key = "seat:" + seat->token();
    if (files_)
        files_->removeUnfinished(key);
    for (auto it = uploads_.begin(); it != uploads_.end();)
        it = it->senderKey == key ? uploads_.erase(it) : std::next(it);
    if (forget_)
        forget_(seat->localPort());
    // The page stays open, to join again, as the desktop's settings page does.
    for (Page& p : pages_) {
        if (p.seat == seat)
            p.seat = nullptr;
    }
    seat->deleteLater();
}
