#include "web/WebSeat.h"

#include "net/Endpoint.h"
#include "protocol/Gb.h"
#include "protocol/LineKind.h"
#include "protocol/TypedLine.h"
#include "protocol/Wire.h"
#include "web/WebLimits.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>

// What the room state needs of a whisper thread, and what the page calls it.
class WebThread final : public WhisperPeer {
public:
    QByteArray peerSeatField() const override { return seatField; }
    QByteArray seatField;
    QByteArray name;
};

namespace {

// A kept body as its page gets it: numbered, so a page that comes back says where it was.
void appendFrame(QByteArray& out, qint64 number, const QByteArray& body) {
    char digits[32];
    char* end = digits + sizeof digits;
    char* at = end;
    *--at = ',';
    do {
        *--at = char('0' + number % 10);
        number /= 10;
    } while (number > 0);
    at -= 5;
    std::memcpy(at, "{\"n\":", 5);
    PageSocket::appendText(out, {QByteArrayView(at, end - at), QByteArrayView(body).sliced(1)});
}

QString kindName(wire::LineKind kind) {
    switch (kind) {
    case wire::LineKind::Own:
        return QStringLiteral("own");
    case wire::LineKind::ToMe:
        return QStringLiteral("toMe");
    case wire::LineKind::Notice:
        return QStringLiteral("notice");
    case wire::LineKind::Other:
        break;
    }
    return QStringLiteral("other");
}

// A line as the page shows it: without the CR that ends it on the wire.
QString shown(QByteArray line) {
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    return gb::toDisplay(line);
}

} // namespace

WebSeat::WebSeat(quint16 roomPort, PageLines& lines, QObject* parent)
    : QObject(parent), roomPort_(roomPort), roomClient_(room_, client_, *this), lines_(lines) {
    const quint64 a = QRandomGenerator::system()->generate64();
    const quint64 b = QRandomGenerator::system()->generate64();
    token_ = (QByteArray::number(a, 16).rightJustified(16, '0') +
              QByteArray::number(b, 16).rightJustified(16, '0'));
    quiet_.setSingleShot(true);
    connect(&quiet_, &QTimer::timeout, this, [this] { serveQueue(); });
    keep_.setSingleShot(true);
    keep_.setInterval(kKeepMs);
    connect(&keep_, &QTimer::timeout, this, [this] { end(); });
    // The room may answer before this side has heard that its connection is up: what it
    // said waits until then, as it would in the kernel.
    client_.OnConnect = [this, connected = client_.OnConnect](QObject* sender,
                                                              TCustomWinSocket* socket) {
        connected(sender, socket);
        while (!early_.empty() && roomClient_.isConnected()) {
            const QByteArray read = std::move(early_.front());
            early_.pop_front();
            handleRead(read);
        }
    };
}

WebSeat::~WebSeat() {
    // The room sees the connection close, as when a desktop window closes.
    roomClient_.stop();
}

bool WebSeat::join(PageSocket* page, const QString& nickname) {
    page_ = page;
    if (!encodable(QJsonObject{{QStringLiteral("request"), QStringLiteral("join")}}, nickname))
        return false;
    roomClient_.SpeedButton1Click(
        {QStringLiteral("127.0.0.1"), roomPort_, gb::fromTyped(nickname)});
    if (!entered_)
        return false;
    localPort_ = endpoint::localPortOf(client_.Connection()->SocketId());
    send({{QStringLiteral("type"), QStringLiteral("token")},
          {QStringLiteral("token"), QString::fromLatin1(token_)}});
    return true;
}

void WebSeat::attach(PageSocket* page, qint64 lastSeen) {
    keep_.stop();
    if (page_ != nullptr && page_ != page)
        page_->close(PageSocket::Normal); // an older tab of the same seat gives way
    page_ = page;
    QByteArray frames;
    PageSocket::appendText(frames, {R"({"type":"resumed"})"});
    for (const Sent& s : kept_) {
        if (s.sharedLines == 0) {
            if (s.number > lastSeen && !s.body.isEmpty())
                appendFrame(frames, s.number, s.body);
            continue;
        }
        for (qsizetype i = std::max<qint64>(0, lastSeen + 1 - s.number); i < s.sharedLines; ++i) {
            if (const QByteArray* body = lines_.sharedBody(s.firstShared + quint64(i)))
                appendFrame(frames, s.number + i, *body);
        }
    }
    toPage(frames);
}

void WebSeat::toPage(const QByteArray& frames) {
    // A page that reads nothing is let go by its socket; the seat waits, keeping what it missed.
    if (page_ != nullptr && !frames.isEmpty())
        page_->write(frames);
}

void WebSeat::detach() {
    page_ = nullptr;
    if (!ending_)
        keep_.start();
}

void WebSeat::send(QJsonObject message) {
    QByteArray frame;
    keep(QJsonDocument(message).toJson(QJsonDocument::Compact), frame);
    toPage(frame);
}

void WebSeat::keep(const QByteArray& body, QByteArray& out) {
    Sent sent;
    sent.number = ++lastNumber_;
    sent.body = body;
    sent.bytes = body.size();
    remember(std::move(sent));
    if (page_ != nullptr)
        appendFrame(out, lastNumber_, body);
}

void WebSeat::keepShared(const PageLines::Read& read, QByteArray& out) {
    Sent run;
    run.number = lastNumber_ + 1;
    run.firstShared = read.firstShared;
    run.sharedLines = read.lines.size();
    for (const PageLines::Line& line : read.lines) {
        const QByteArray& body = line.plainBody();
        run.bytes += body.size();
        ++lastNumber_;
        if (page_ != nullptr)
            appendFrame(out, lastNumber_, body);
    }
    remember(std::move(run));
}

void WebSeat::remember(Sent sent) {
    keptBytes_ += sent.bytes;
    keptFrames_ += sent.frames();
    kept_.push_back(std::move(sent));
    while (keptBytes_ > WebLimits::kReplayBytes || keptFrames_ > WebLimits::kReplayFrames) {
        Sent& oldest = kept_.front();
        if (oldest.sharedLines <= 1) {
            keptBytes_ -= oldest.bytes;
            keptFrames_ -= oldest.frames();
            kept_.pop_front();
            continue;
        }
        // A run loses its first line (one read may hold more than a seat keeps).
        const QByteArray* body = lines_.sharedBody(oldest.firstShared);
        const qsizetype bytes = body != nullptr ? body->size() : oldest.bytes / oldest.sharedLines;
        oldest.bytes -= bytes;
        keptBytes_ -= bytes;
        --keptFrames_;
        ++oldest.number;
        ++oldest.firstShared;
        --oldest.sharedLines;
    }
}

void WebSeat::fromRoom(QByteArrayView read) {
    // Talk relayed to everyone: the frames are made once for all seats. Anything else,
    // and the welcome that starts a seat, takes the room client's own way.
    if (!roomClient_.isConnected() || !early_.empty()) {
        if (early_.size() < kMaxQueued)
            early_.push_back(read.toByteArray());
        return;
    }
    handleRead(read);
}

void WebSeat::handleRead(QByteArrayView read) {
    const PageLines::Read& shared = lines_.read(read);
    QByteArray frames;
    if (shared.kind == PageLines::Read::Kind::Lines && historyAsked_) {
        frames.reserve(shared.lines.size() * 256);
        if (shared.involved.contains(room_.ownNickname)) {
            for (const PageLines::Line& line : shared.lines)
                keep(line.bodyFor(room_.ownNickname), frames);
        } else {
            keepShared(shared, frames);
        }
    } else if (shared.kind == PageLines::Read::Kind::Users) {
        users_ = shared.nicknames;
        keepUsers(shared.usersBody, frames);
    } else {
        roomClient_.handleRead(read.toByteArray());
        return;
    }
    toPage(frames);
}

void WebSeat::request(const QJsonObject& message) {
    if (queue_.size() >= kMaxQueued) {
        send({{QStringLiteral("type"), QStringLiteral("refused")},
              {QStringLiteral("text"), QStringLiteral("发得太快了,这句没有发出。")}});
        return;
    }
    queue_.push_back(message);
    serveQueue();
}

void WebSeat::serveQueue() {
    while (!queue_.empty() && !quiet_.isActive() && !ending_) {
        const QJsonObject message = queue_.front();
        queue_.pop_front();
        handle(message);
    }
}

void WebSeat::handle(const QJsonObject& message) {
    const QString type = message.value(QStringLiteral("type")).toString();
    const QString text = message.value(QStringLiteral("text")).toString();
    if (type == QStringLiteral("leave")) {
        end();
    } else if (!roomClient_.isConnected()) {
        send({{QStringLiteral("type"), QStringLiteral("refused")},
              {QStringLiteral("text"), QStringLiteral("还没有连接到聊天室")}});
    } else if (type == QStringLiteral("talk")) {
        talk(message.value(QStringLiteral("to")).toString(), text);
    } else if (type == QStringLiteral("openWhisper")) {
        openWhisper(message.value(QStringLiteral("nickname")).toString());
    } else if (type == QStringLiteral("whisper")) {
        // Keeps consecutive whispers in separate reads at the peer, as the desktop's pause does.
        if (whisper(message.value(QStringLiteral("peer")).toString(), text))
            quiet_.start(kWhisperQuietMs);
    } else {
        send({{QStringLiteral("type"), QStringLiteral("refused")},
              {QStringLiteral("text"), QStringLiteral("不明白的请求")}});
    }
}

bool WebSeat::encodable(const QJsonObject& request, const QString& text) {
    QStringList missing;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype length = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString one = text.mid(i, length);
        if (!gb::canHold(one) && !missing.contains(one))
            missing.append(one);
        i += length - 1;
    }
    if (missing.isEmpty())
        return true;
    QJsonObject answer = request;
    answer.insert(QStringLiteral("type"), QStringLiteral("cannotSend"));
    answer.insert(QStringLiteral("text"), text);
    answer.insert(QStringLiteral("chars"), QJsonArray::fromStringList(missing));
    send(answer);
    return false;
}

bool WebSeat::inUserList(const QByteArray& nickname) const {
    return users_.contains(nickname);
}

void WebSeat::talk(const QString& to, const QString& typed) {
    if (typed.isEmpty())
        return;
    const QByteArray addressee = gb::fromTyped(to);
    // Only someone in the list, as on the desktop: a name of the page's own could forge lines.
    if (to.isEmpty() || !inUserList(addressee)) {
        showNotice(QStringLiteral("请选择说话对象!"));
        return;
    }
    const QString oneLine = typing::oneLine(typed);
    const QJsonObject request{{QStringLiteral("request"), QStringLiteral("talk")}};
    if (!encodable(request, oneLine))
        return;
    const QByteArray text = gb::fromTyped(oneLine);
    const QByteArray line = addressee == room_.ownNickname
                                ? wire::selfTalkLine(room_.ownNickname, text)
                                : wire::talkLine(room_.ownNickname, addressee, text);
    if (line.size() > wire::kMaxLineBytes) {
        showNotice(typing::tooLongNotice());
        return;
    }
    roomClient_.talk(line);
}

void WebSeat::openWhisper(const QString& nickname) {
    const QByteArray chosen = gb::fromTyped(nickname);
    if (nickname.isEmpty() || !inUserList(chosen)) {
        showNotice(QStringLiteral("请选择聊天对象!"));
        return;
    }
    if (chosen == room_.ownNickname) {
        showNotice(QStringLiteral("为什么要跟自己说悄悄话呢!?"));
        return;
    }
    roomClient_.requestWhisper(chosen);
}

bool WebSeat::whisper(const QString& peer, const QString& typed) {
    const int slot = room_.findWhisper(peer.toLatin1());
    if (slot < 0 || peer.size() != 3) {
        send({{QStringLiteral("type"), QStringLiteral("refused")},
              {QStringLiteral("text"), QStringLiteral("没有这个悄悄话")}});
        return false;
    }
    if (typed.isEmpty())
        return false;
    const QString oneLine = typing::oneLine(typed);
    if (!encodable({{QStringLiteral("request"), QStringLiteral("whisper")},
                    {QStringLiteral("peer"), peer}},
                   oneLine))
        return false;
    const QByteArray line = wire::whisperLine(room_.ownNickname, gb::fromTyped(oneLine));
    if (line.size() > wire::kMaxLineBytes) {
        showNotice(typing::tooLongNotice());
        return false;
    }
    roomClient_.sendWhisper(peer.toLatin1(), line);
    send({{QStringLiteral("type"), QStringLiteral("whisper")},
          {QStringLiteral("peer"), peer},
          {QStringLiteral("text"), shown(line)},
          {QStringLiteral("kind"), QStringLiteral("own")},
          {QStringLiteral("time"), QString::fromLatin1(lines_.time())}});
    return true;
}

void WebSeat::end() {
    if (ending_)
        return;
    ending_ = true;
    keep_.stop();
    queue_.clear();
    // After whatever notices the ending brought.
    QTimer::singleShot(0, this, [this] {
        send({{QStringLiteral("type"), QStringLiteral("ended")},
              {QStringLiteral("text"), QStringLiteral("连接断开!")}});
        emit finished(this);
    });
}

void WebSeat::setStatus(const QString& text) {
    send({{QStringLiteral("type"), QStringLiteral("status")}, {QStringLiteral("text"), text}});
}

void WebSeat::showNotice(const QString& text) {
    send({{QStringLiteral("type"), QStringLiteral("notice")}, {QStringLiteral("text"), text}});
}

void WebSeat::reportErrorLater(const QString& text) {
    showNotice(text);
}

void WebSeat::enterSession(bool, const QByteArray& nickname, const QByteArray&) {
    entered_ = true;
    send({{QStringLiteral("type"), QStringLiteral("session")},
          {QStringLiteral("nickname"), gb::toDisplay(nickname)},
          {QStringLiteral("pictures"), pictureLimit_}});
}

void WebSeat::leaveSession(bool) {
    users_.clear();
    if (entered_)
        end();
}

void WebSeat::sendInPieces(const QList<Said>& kept,
                           const std::function<QJsonObject(const Said&)>& one,
                           const std::function<void(const QJsonObject&)>& send) {
    QJsonArray lines;
    qsizetype bytes = 0;
    const auto piece = [&](bool more) {
        send({{QStringLiteral("type"), QStringLiteral("history")},
              {QStringLiteral("lines"), lines},
              {QStringLiteral("more"), more}});
        lines = {};
        bytes = 0;
    };
    for (const Said& said : kept) {
        bytes += said.message.size() + 64;
        lines.append(one(said));
        if (bytes >= kHistoryPiece)
            piece(true);
    }
    piece(false);
}

void WebSeat::sendHistory() {
    historyAsked_ = true;
    const std::optional<QList<Said>> kept = history_ ? history_() : std::nullopt;
    if (!kept)
        return;
    sendInPieces(
        *kept,
        [this](const Said& said) {
            const QByteArray line = said.message.mid(2);
            return QJsonObject{{QStringLiteral("text"), shown(line)},
                               {QStringLiteral("kind"),
                                said.message.startsWith("&G")
                                    ? QStringLiteral("notice")
                                    : kindName(wire::classifyLine(line, room_.ownNickname))},
                               {QStringLiteral("time"),
                                said.arrived.toLocalTime().toString(QStringLiteral("HH:mm:ss"))},
                               {QStringLiteral("date"),
                                said.arrived.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"))}};
        },
        [this](const QJsonObject& frame) { send(frame); });
    setStatus(QStringLiteral("本聊天室保存聊天记录"));
}

void WebSeat::appendLog(const QByteArray& line) {
    // The room's first line to a seat is its welcome: the seat is in, and earlier talk comes first.
    if (!historyAsked_)
        sendHistory();
    QByteArray frame;
    keep(PageLines::line(line, lines_.time()).bodyFor(room_.ownNickname), frame);
    toPage(frame);
}

void WebSeat::setUserList(const QList<QByteArray>& nicknames) {
    users_ = nicknames;
}

void WebSeat::setOnlineCount(int count) {
    QJsonArray names;
    for (const QByteArray& n : users_)
        names.append(gb::toDisplay(n));
    QByteArray frame;
    keepUsers(QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("users")},
                                        {QStringLiteral("nicknames"), names},
                                        {QStringLiteral("count"), count}})
                  .toJson(QJsonDocument::Compact),
              frame);
    toPage(frame);
}

void WebSeat::keepUsers(const QByteArray& body, QByteArray& out) {
    // Only the room as it is now is worth sending again: the older list is forgotten.
    const auto older = std::lower_bound(kept_.begin(), kept_.end(), lastUsers_,
                                        [](const Sent& s, qint64 n) { return s.number < n; });
    if (older != kept_.end() && older->number == lastUsers_ && older->sharedLines == 0) {
        keptBytes_ -= older->bytes;
        older->bytes = 0;
        older->body.clear();
    }
    keep(body, out);
    lastUsers_ = lastNumber_;
}

WhisperPeer* WebSeat::createWhisper(int slot) {
    threads_.push_back(std::make_unique<WebThread>());
    room_.whispers[slot] = threads_.back().get();
    return threads_.back().get();
}

void WebSeat::sendThread(const char* type, const WebThread& thread, bool focus) {
    QJsonObject message{{QStringLiteral("type"), QString::fromLatin1(type)},
                        {QStringLiteral("peer"), QString::fromLatin1(thread.seatField)},
                        {QStringLiteral("name"), gb::toDisplay(thread.name)}};
    if (qstrcmp(type, "whisperOpen") == 0)
        message.insert(QStringLiteral("focus"), focus);
    send(message);
}

void WebSeat::setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) {
    auto* thread = static_cast<WebThread*>(window);
    thread->name = peerName;
    sendThread("whisperName", *thread);
}

void WebSeat::setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) {
    auto* thread = static_cast<WebThread*>(window);
    thread->seatField = seatField;
    sendThread("whisperOpen", *thread);
}

void WebSeat::appendWhisper(WhisperPeer* window, const QByteArray& line) {
    const auto* thread = static_cast<WebThread*>(window);
    send({{QStringLiteral("type"), QStringLiteral("whisper")},
          {QStringLiteral("peer"), QString::fromLatin1(thread->seatField)},
          {QStringLiteral("text"), shown(line)},
          {QStringLiteral("kind"), QStringLiteral("other")},
          {QStringLiteral("time"), QString::fromLatin1(lines_.time())}});
}

void WebSeat::showWhisper(WhisperPeer* window) {
    sendThread("whisperOpen", *static_cast<WebThread*>(window));
}

void WebSeat::focusWhisperInput(WhisperPeer* window) {
    sendThread("whisperOpen", *static_cast<WebThread*>(window), true);
}
