// The WebSocket side of the web surface: connections, what each may ask before
// and after it holds a seat, and everything a connection leaves behind when it goes.
#include "web/PageConnection.h"
#include "web/WebGateway.h"
#include "web/WebSeat.h"

#include <QJsonDocument>

namespace {

QString addressOf(const QHostAddress& address) {
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip).toString() : address.toString();
}

bool isSeatless(const PageConnection& page) {
    return page.state == PageConnection::State::Waiting ||
           page.state == PageConnection::State::Joining;
}

} // namespace

PageConnection* WebGateway::pageOf(PageSocket* socket) const {
    const auto it = pages_.find(socket);
    return it == pages_.end() ? nullptr : it->second.get();
}

int WebGateway::waitingPages() const {
    int waiting = 0;
    for (const auto& [key, page] : pages_)
        waiting += isSeatless(*page);
    return waiting;
}

int WebGateway::waitingFrom(const QString& address) const {
    int waiting = 0;
    for (const auto& [key, page] : pages_)
        waiting += isSeatless(*page) && page->address == address;
    return waiting;
}

void WebGateway::openPage(PageSocket* socket) {
    const QString address = addressOf(socket->peerAddress());
    if (waitingPages() >= limits_.waitingPages ||
        waitingFrom(address) >= limits_.waitingPerAddress) {
        socket->close(PageSocket::PolicyViolated, QStringLiteral("too many"));
        socket->deleteLater();
        return;
    }
    PageConnection* page = adopt(std::make_unique<PageConnection>(socket, address));
    connect(socket, &PageSocket::textMessageReceived, this,
            [this, page](const QString& t) { text(page, t); });
    connect(socket, &PageSocket::binaryMessageReceived, this,
            [this, page](const QByteArray& frame) { binary(page, frame); });
    connect(socket, &PageSocket::disconnected, this, [this, page] { gone(page); });
}

PageConnection* WebGateway::openDetached(const QString& address, PageConnection::Sink sink) {
    return adopt(std::make_unique<PageConnection>(address, std::move(sink)));
}

PageConnection* WebGateway::adopt(std::unique_ptr<PageConnection> owned) {
    PageConnection* page = owned.get();
    const void* key = page->socket() != nullptr ? static_cast<const void*>(page->socket())
                                                : static_cast<const void*>(page);
    pages_.emplace(key, std::move(owned));
    page->since = nowMs();
    return page;
}

void WebGateway::refuse(PageConnection* page, const QString& text) {
    page->send(QString::fromUtf8(
        QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("refused")},
                                  {QStringLiteral("text"), text}})
            .toJson(QJsonDocument::Compact)));
    // One that keeps sending what makes no sense is let go.
    if (++page->refusals > limits_.refusals)
        page->close(PageSocket::PolicyViolated, QStringLiteral("refused"));
}

void WebGateway::text(PageConnection* page, const QString& text) {
    if (!page->isOpen())
        return;
    page->lastActiveMs = nowMs();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        refuse(page, QStringLiteral("不明白的请求"));
        return;
    }
    const QJsonObject message = document.object();
    const QString type = message.value(QStringLiteral("type")).toString();
    using State = PageConnection::State;
    if (type.startsWith(QStringLiteral("file"))) {
        // A desktop copy proves its seat with its first offer; nobody else sends files.
        if (page->state == State::Waiting && !prove(page, message))
            refuse(page, QStringLiteral("请先加入聊天室,再发送文件"));
        else if (page->state == State::Seated || page->state == State::Proved)
            fileRequest(page, message);
        else
            refuse(page, QStringLiteral("不明白的请求"));
    } else if (type == QStringLiteral("history") && page->state == State::Waiting) {
        // A desktop copy that proves its seat is given the kept talk, once a connection.
        if (prove(page, message))
            giveHistory(page);
        else
            refuse(page, QStringLiteral("请先加入聊天室"));
    } else if (type == QStringLiteral("join") && page->state == State::Waiting) {
        join(page, message.value(QStringLiteral("nickname")).toString());
    } else if (type == QStringLiteral("resume") && page->state == State::Waiting) {
        resume(page, message.value(QStringLiteral("token")).toString().toLatin1(),
               message.value(QStringLiteral("n")).toInteger(0));
    } else if (page->state == State::Seated && type != QStringLiteral("join") &&
               type != QStringLiteral("resume")) {
        page->seat->request(message);
    } else {
        refuse(page, QStringLiteral("不明白的请求"));
    }
}

bool WebGateway::prove(PageConnection* page, const QJsonObject& message) {
    Owner owner;
    QString nickname;
    const QByteArray key = message.value(QStringLiteral("hostKey")).toString().toLatin1();
    const qint64 port = message.value(QStringLiteral("seatPort")).toInteger(0);
    if (!key.isEmpty() && key == hostKey_ && room_.hostNickname) {
        owner = Owner::host();
        nickname = room_.hostNickname();
    } else if (port > 0 && port <= 65535 && room_.seatAt) {
        // The room connection it names must come from where this connection comes from.
        const auto holder = room_.seatAt(page->address, static_cast<quint16>(port));
        if (!holder)
            return false;
        owner = Owner::desktop(holder->serial);
        nickname = holder->nickname;
    } else {
        return false;
    }
    page->state = PageConnection::State::Proved;
    page->owner = owner;
    page->nickname = nickname;
    return true;
}

void WebGateway::giveHistory(PageConnection* page) {
    const std::optional<QList<WebSeat::Said>> kept = room_.history ? room_.history() : std::nullopt;
    const auto send = [page](const QJsonObject& frame) {
        page->send(QString::fromUtf8(QJsonDocument(frame).toJson(QJsonDocument::Compact)));
    };
    if (!kept) {
        send(
            {{QStringLiteral("type"), QStringLiteral("history")}, {QStringLiteral("kept"), false}});
        return;
    }
    // The bytes as relayed, so that a desktop log holds exactly what it would have.
    WebSeat::sendInPieces(
        *kept,
        [](const WebSeat::Said& said) {
            return QJsonObject{{QStringLiteral("b"), QString::fromLatin1(said.message.toBase64())},
                               {QStringLiteral("t"), said.arrived.toMSecsSinceEpoch()}};
        },
        send);
}

void WebGateway::join(PageConnection* page, const QString& nickname) {
    if (page->socket() == nullptr) {
        refuse(page, QStringLiteral("不明白的请求"));
        return;
    }
    // Every welcome pauses the host a moment: one address may not repeat it at will.
    auto budget = joinBudget_.find(page->address);
    if (budget == joinBudget_.end())
        budget = joinBudget_.insert(page->address, Budget(limits_.joinBurst, limits_.joinEveryMs));
    if (!budget->take(nowMs())) {
        refuse(page, QStringLiteral("加入得太频繁了,请过一会儿再试"));
        return;
    }
    auto* seat = new WebSeat(roomPort_, lines_, this);
    seat->setKeepMs(limits_.seatKeepMs);
    seat->setPictureLimit(pictureLimit_);
    seat->setHistory(room_.history);
    connect(seat, &WebSeat::finished, this, [this](WebSeat* s) { seatFinished(s); });
    PageSocket* socket = page->socket();
    page->state = PageConnection::State::Joining;
    const bool seated = seat->join(socket, nickname);
    if (pageOf(socket) != page) { // gone while joining
        delete seat;
        return;
    }
    if (!seated) {
        page->state = PageConnection::State::Waiting;
        delete seat;
        return;
    }
    page->state = PageConnection::State::Seated;
    page->seat = seat;
    page->owner = Owner::page(++nextPageSerial_);
    page->nickname = nickname;
    seats_.insert(seat->token(), seat);
    seatOf_.insert(seat, {page->owner, nickname});
    if (note_)
        note_(seat->localPort(), page->address,
              [seat = QPointer<WebSeat>(seat)](QByteArrayView read) {
                  // A seat that went drops what the room still had for it, as a closed socket
                  // would.
                  if (seat == nullptr)
                      return;
                  try {
                      seat->fromRoom(read);
                  } catch (const std::exception&) {
                      // Its own connection failed: the seat hears of it as a disconnection.
                  }
              });
}

void WebGateway::resume(PageConnection* page, const QByteArray& token, qint64 lastSeen) {
    WebSeat* seat = seats_.value(token);
    if (seat == nullptr || page->socket() == nullptr) {
        page->send(QStringLiteral(R"({"type":"expired"})"));
        return;
    }
    if (PageConnection* old = pageOf(seat->page()); old != nullptr && old != page) {
        old->state = PageConnection::State::Waiting;
        old->seat = nullptr;
        old->owner = {};
    }
    const SeatOf of = seatOf_.value(seat);
    page->state = PageConnection::State::Seated;
    page->seat = seat;
    page->owner = of.owner;
    page->nickname = of.nickname;
    seat->attach(page->socket(), lastSeen);
}

void WebGateway::gone(PageConnection* page) {
    const void* key = page->socket() != nullptr ? static_cast<const void*>(page->socket())
                                                : static_cast<const void*>(page);
    const auto it = pages_.find(key);
    if (it == pages_.end())
        return;
    if (page->seat != nullptr && page->seat->page() == page->socket())
        page->seat->detach();
    std::unique_ptr<PageConnection> owned = std::move(it->second);
    pages_.erase(it);
    if (PageSocket* socket = owned->socket())
        socket->deleteLater();
}

void WebGateway::seatLeft(quint64 serial) {
    const Owner owner = Owner::desktop(serial);
    ownerGone(owner);
    // Its file connections have nothing left to do.
    for (const auto& [key, page] : pages_) {
        if (page->owner == owner)
            page->close(PageSocket::Normal, QStringLiteral("left"));
    }
}

void WebGateway::ownerGone(const Owner& owner) {
    // What it had not finished sending can never be offered now.
    if (files_)
        files_->removeUnfinished(owner);
    for (auto it = uploads_.begin(); it != uploads_.end();)
        it = it->owner == owner ? uploads_.erase(it) : std::next(it);
    offerBudget_.remove(owner);
}

void WebGateway::seatFinished(WebSeat* seat) {
    seats_.remove(seat->token());
    const SeatOf of = seatOf_.take(seat);
    ownerGone(of.owner);
    if (forget_)
        forget_(seat->localPort());
    // The page stays open, to join again, as the desktop's settings page does.
    for (const auto& [key, page] : pages_) {
        if (page->seat == seat) {
            page->seat = nullptr;
            page->owner = {};
            page->state = PageConnection::State::Waiting;
            page->since = nowMs();
        }
    }
    seat->deleteLater();
}

void WebGateway::sweep() {
    const qint64 now = nowMs();
    // Uploads that stopped moving give their room back; a page that comes back in time resumes.
    for (auto it = uploads_.begin(); it != uploads_.end();) {
        if (now - it->lastBytesMs < limits_.uploadIdleMs) {
            ++it;
            continue;
        }
        if (files_)
            files_->remove(it.key());
        it = uploads_.erase(it);
    }
    for (const auto& [key, page] : pages_) {
        // Without a seat, one deadline whatever it does; a desktop's file connection
        // as long as it sends.
        const bool late = isSeatless(*page) ? now - page->since >= limits_.deadlineMs
                          : page->state == PageConnection::State::Proved
                              ? now - page->lastActiveMs >= limits_.uploadIdleMs
                              : false;
        if (late)
            page->close(PageSocket::PolicyViolated, QStringLiteral("timeout"));
    }
    for (auto it = joinBudget_.begin(); it != joinBudget_.end();)
        it = it->isFull(now) ? joinBudget_.erase(it) : std::next(it);
}

void WebGateway::binary(PageConnection* page, const QByteArray& frame) {
    if (!page->isOpen())
        return;
    page->lastActiveMs = nowMs();
    if (!page->owner.isSomebody()) {
        refuse(page, QStringLiteral("没有这个正在发送的文件"));
        return;
    }
    fileData(page, frame);
}
