#include "Honest.h"

#include "protocol/Wire.h"

#include <QtEndian>
#include <poll.h>

namespace {

bool joinRoom(RawParticipant& p, quint16 port, const QByteArray& nickname) {
    if (!connectWithin(p, port, 5000, kHonestAddress) || !p.waitFor(wire::joinRequest(), 10000))
        return false;
    const qsizetype from = p.received.size();
    return p.sendAll(wire::joinReply(nickname)) &&
           p.waitFor(wire::line(wire::kWelcome), 10000, from);
}

// The number k of the first "H#k#" in text, or -1.
int markIn(const QString& text) {
    const qsizetype at = text.indexOf(QStringLiteral("H#"));
    const qsizetype end = at < 0 ? -1 : text.indexOf(QLatin1Char('#'), at + 2);
    bool ok = false;
    const int k = end < 0 ? -1 : text.mid(at + 2, end - at - 2).toInt(&ok);
    return ok ? k : -1;
}

QString typeOf(const QJsonObject& m) {
    return m.value(QStringLiteral("type")).toString();
}

} // namespace

bool joinPage(RawPage& page, const QString& nickname, int timeoutMs) {
    const qsizetype from = page.messages.size();
    if (!page.send({{QStringLiteral("type"), QStringLiteral("join")},
                    {QStringLiteral("nickname"), nickname}}))
        return false;
    const qsizetype i = page.waitType({QStringLiteral("users"), QStringLiteral("notice"),
                                       QStringLiteral("refused"), QStringLiteral("ended")},
                                      timeoutMs, from);
    return i >= 0 && typeOf(page.messages[i]) == QStringLiteral("users");
}

void leavePage(RawPage& page, int timeoutMs) {
    const qsizetype from = page.messages.size();
    if (page.send({{QStringLiteral("type"), QStringLiteral("leave")}}))
        page.waitType({QStringLiteral("ended")}, timeoutMs, from);
}

FileOutcome sendFile(RawPage& page, const QString& name, const QByteArray& bytes, const QString& to,
                     int timeoutMs) {
    static std::atomic<int> ids{1000};
    const int id = ids++;
    FileOutcome o;
    const std::int64_t start = monotonicNs();
    auto finish = [&](const QByteArray& result, const QString& text = {}) {
        o.result = result;
        o.text = text;
        o.ms = double(monotonicNs() - start) / 1e6;
        return o;
    };
    const QStringList answers{QStringLiteral("fileReady"), QStringLiteral("fileDone"),
                              QStringLiteral("fileRefused"), QStringLiteral("refused")};
    qsizetype from = page.messages.size();
    if (!page.send({{QStringLiteral("type"), QStringLiteral("fileOffer")},
                    {QStringLiteral("id"), id},
                    {QStringLiteral("name"), name},
                    {QStringLiteral("size"), qint64(bytes.size())},
                    {QStringLiteral("to"), to}}))
        return finish("closed");
    qsizetype i = page.waitType(answers, timeoutMs, from);
    for (; i >= 0; i = page.waitType(answers, timeoutMs, i + 1)) {
        const QJsonObject& m = page.messages[i];
        const QString type = typeOf(m);
        const QByteArray token = m.value(QStringLiteral("token")).toString().toLatin1();
        if (type == QStringLiteral("refused"))
            return finish("refused", m.value(QStringLiteral("text")).toString());
        if (m.value(QStringLiteral("id")).toInt() != id && token != o.token)
            continue; // an answer about someone else's file
        if (type == QStringLiteral("fileRefused"))
            return finish("refused", m.value(QStringLiteral("text")).toString());
        if (type == QStringLiteral("fileDone"))
            return finish("through", m.value(QStringLiteral("text")).toString());
        o.token = token;
        constexpr qsizetype kChunk = 65536 - 40;
        for (qint64 at = m.value(QStringLiteral("have")).toInteger(); at < bytes.size();
             at += kChunk) {
            QByteArray frame = token;
            char offset[8];
            qToBigEndian<qint64>(at, offset);
            frame.append(offset, 8);
            frame.append(bytes.mid(at, kChunk));
            if (!page.raw.sendAll(RawPage::binaryFrame(frame), timeoutMs))
                return finish("closed");
        }
    }
    return finish(page.isOpen() ? "no answer" : "closed");
}

bool Honest::start(QByteArray* why) {
    if (!joinRoom(desk_, room_.port, "desk")) {
        *why = "the desktop client could not take its seat";
        return false;
    }
    if (!joinRoom(legacy_, room_.port, "legacy")) {
        *why = "the legacy peer could not take its seat";
        return false;
    }
    if (reader_.open(room_.webPort, 5000, kHonestAddress) != 101 ||
        !joinPage(reader_, QStringLiteral("reader"))) {
        *why = "the reading page could not take its seat";
        return false;
    }
    threads_.emplace_back([this] { procLoop(); });
    threads_.emplace_back([this] { loadLoop(); });
    threads_.emplace_back([this] { talkLoop(); });
    threads_.emplace_back([this] { seatLoop(); });
    return true;
}

void Honest::stop() {
    stopping_ = true;
    for (std::thread& t : threads_)
        t.join();
    threads_.clear();
    // Else its seat would wait a minute for it to come back.
    if (reader_.isOpen())
        leavePage(reader_);
}

bool Honest::pause(int ms) const {
    const std::int64_t end = monotonicNs() + std::int64_t(ms) * 1000000;
    while (!stopping_ && monotonicNs() < end)
        sleepUs(std::min<long>(20000, long((end - monotonicNs()) / 1000) + 1));
    return !stopping_;
}

void Honest::procLoop() {
    do {
        const Samples::Proc p{monotonicNs(), rssKiBOf(room_.hostPid), fdsOf(room_.hostPid)};
        const std::lock_guard hold(samples_.lock);
        samples_.proc.push_back(p);
    } while (pause(100));
}

void Honest::loadLoop() {
    do {
        const std::int64_t at = monotonicNs();
        const HttpAnswer a = httpGet(room_.webPort, "/", 3000, kHonestAddress);
        const std::lock_guard hold(samples_.lock);
        samples_.loads.push_back({at, a.status, a.ms});
    } while (pause(250));
}

void Honest::talkLoop() {
    std::vector<std::int64_t> sentAt;
    std::vector<double> tookMs;
    int legacyGot = 0;
    qsizetype seen = 0, legacySeen = 0;
    std::int64_t next = monotonicNs();
    // The last lines get a second to arrive once the run is over.
    std::int64_t endAt = 0;
    while (endAt == 0 || monotonicNs() < endAt) {
        if (stopping_ && endAt == 0)
            endAt = monotonicNs() + 1000000000;
        if (endAt == 0 && monotonicNs() >= next) {
            sentAt.push_back(monotonicNs());
            tookMs.push_back(-1);
            desk_.sendAll(wire::line(wire::talkLine(
                "desk", "host", "H#" + QByteArray::number(qsizetype(sentAt.size()) - 1) + "#")));
            next += 200000000;
        }
        pollfd p[3] = {
            {reader_.raw.fd(), POLLIN, 0}, {legacy_.fd(), POLLIN, 0}, {desk_.fd(), POLLIN, 0}};
        ::poll(p, 3, 10);
        reader_.poll();
        for (; seen < reader_.messages.size(); ++seen) {
            if (typeOf(reader_.messages[seen]) != QStringLiteral("line"))
                continue;
            const int k = markIn(reader_.messages[seen].value(QStringLiteral("text")).toString());
            if (k >= 0 && std::size_t(k) < sentAt.size() && tookMs[std::size_t(k)] < 0)
                tookMs[std::size_t(k)] = double(monotonicNs() - sentAt[std::size_t(k)]) / 1e6;
        }
        if (seen > 4096) { // the reader's log is not needed again
            reader_.messages.remove(0, seen);
            seen = 0;
        }
        legacy_.drain();
        for (qsizetype at = legacy_.received.indexOf("H#", legacySeen); at >= 0;
             at = legacy_.received.indexOf("H#", at + 2))
            ++legacyGot;
        legacySeen = std::max<qsizetype>(0, legacy_.received.size() - 1);
        desk_.drain();
        desk_.received.clear();
    }
    const std::lock_guard hold(samples_.lock);
    for (std::size_t k = 0; k < sentAt.size(); ++k)
        samples_.lines.push_back({sentAt[k], tookMs[k]});
    samples_.legacyLines = legacyGot;
}

void Honest::seatLoop() {
    int k = 0;
    do {
        RawPage page;
        const std::int64_t at = monotonicNs();
        const int upgrade = page.open(room_.webPort, 5000, kHonestAddress);
        const bool seated =
            upgrade == 101 && joinPage(page, QStringLiteral("guest%1").arg(++k), 5000);
        const double ms = double(monotonicNs() - at) / 1e6;
        if (seated)
            leavePage(page);
        page.close();
        const std::lock_guard hold(samples_.lock);
        samples_.seats.push_back({at, upgrade, seated, ms});
    } while (pause(1500));
}
