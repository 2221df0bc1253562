#include "web/PageLines.h"

#include "protocol/Gb.h"
#include "protocol/Wire.h"
#include "web/WebLimits.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <ctime>

namespace {

constexpr std::array<const char*, 4> kKindNames = {"own", "toMe", "notice", "other"};

// The text a page shows, as a JSON string: without the CR that ends it on the wire.
QByteArray jsonText(QByteArray line) {
    while (line.endsWith('\r') || line.endsWith('\n'))
        line.chop(1);
    const QByteArray array =
        QJsonDocument(QJsonArray{gb::toDisplay(line)}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// Asked once for every seat a read reaches: the coarse clock is the cheap one, and a
// line shown a few milliseconds into a new second with the old one harms nobody.
qint64 secondNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now.tv_sec;
}

} // namespace

PageLines::Line PageLines::line(const QByteArray& bytes, const QByteArray& time) {
    Line line;
    line.parts = wire::lineParts(bytes);
    const QByteArray text = jsonText(bytes);
    const auto body = [&](wire::LineKind kind) {
        line.bodies[static_cast<std::size_t>(kind)] =
            R"({"kind":")" + QByteArray(kKindNames[static_cast<std::size_t>(kind)]) +
            R"(","text":)" + text + R"(,"time":")" + time + R"(","type":"line"})";
    };
    if (line.parts.sender.isEmpty()) {
        body(line.parts.unaddressed);
        return line;
    }
    body(wire::LineKind::Other);
    body(wire::LineKind::Own);
    if (!line.parts.toRest.isEmpty())
        body(wire::LineKind::ToMe);
    return line;
}

const PageLines::Read& PageLines::read(QByteArrayView bytes) {
    if (bytes == QByteArrayView(bytes_) && secondNow() == readSecond_)
        return read_;
    const qint64 second = secondNow();
    bytes_ = bytes.toByteArray();
    readSecond_ = second;
    read_ = {};
    const QList<QByteArray> messages =
        wire::split(bytes_, wire::kClientCodes, wire::kClientWholeCodes);
    const auto all = [&](QByteArrayView code) {
        return std::all_of(messages.begin(), messages.end(),
                           [&](const QByteArray& m) { return m.startsWith(code); });
    };
    if (messages.size() == 1 && messages[0].startsWith(wire::kRoster)) {
        read_.kind = Read::Kind::Users;
        read_.nicknames = wire::rosterLines(messages[0].sliced(wire::kRoster.size()));
        QJsonArray names;
        for (const QByteArray& n : std::as_const(read_.nicknames))
            names.append(gb::toDisplay(n));
        read_.usersBody =
            QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("users")},
                                      {QStringLiteral("nicknames"), names},
                                      {QStringLiteral("count"), names.size()}})
                .toJson(QJsonDocument::Compact);
    } else if (!messages.isEmpty() && all(wire::kLine)) {
        read_.kind = Read::Kind::Lines;
        read_.firstShared = firstShared_ + shared_.size();
        const QByteArray now = time();
        for (const QByteArray& message : messages) {
            read_.lines.append(line(message.sliced(wire::kLine.size()), now));
            share(read_.lines.constLast().plainBody());
            const wire::LineParts& parts = read_.lines.constLast().parts;
            if (parts.sender.isEmpty())
                continue;
            read_.involved.insert(parts.sender);
            // Spoken to: a name that " 说: " follows, wherever that is.
            for (qsizetype at = parts.toRest.indexOf(wire::kSays); at > 0;
                 at = parts.toRest.indexOf(wire::kSays, at + 1))
                read_.involved.insert(parts.toRest.first(at));
        }
    }
    return read_;
}

void PageLines::share(const QByteArray& body) {
    shared_.push_back(body);
    sharedBytes_ += body.size();
    while (sharedBytes_ > WebLimits::kSharedLineBytes ||
           qsizetype(shared_.size()) > WebLimits::kSharedLines) {
        sharedBytes_ -= shared_.front().size();
        shared_.pop_front();
        ++firstShared_;
    }
}

const QByteArray* PageLines::sharedBody(quint64 number) const {
    if (number < firstShared_ || number - firstShared_ >= shared_.size())
        return nullptr;
    return &shared_[std::size_t(number - firstShared_)];
}

QByteArray PageLines::time() {
    const qint64 second = secondNow();
    if (second != second_) {
        second_ = second;
        time_ =
            QDateTime::fromSecsSinceEpoch(second).toString(QStringLiteral("HH:mm:ss")).toLatin1();
    }
    return time_;
}
