// Everything one address with no seat can do to the web surface, each bounded in
// count and time. A refusal, a close or a 503 is an outcome to record, never a failure.
#include "Attacks.h"

#include "ProcessFigures.h"

#include <QMap>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <poll.h>
#include <sys/socket.h>

namespace {

using Pages = std::vector<std::unique_ptr<RawPage>>;

QString typeOf(const QJsonObject& m) {
    return m.value(QStringLiteral("type")).toString();
}

QByteArray offer(qint64 id, const QString& name, qint64 size, const QString& from) {
    return RawPage::textFrame(jsonBytes({{QStringLiteral("type"), QStringLiteral("fileOffer")},
                                         {QStringLiteral("id"), id},
                                         {QStringLiteral("name"), name},
                                         {QStringLiteral("size"), size},
                                         {QStringLiteral("from"), from}}));
}

bool isAnswer(const QJsonObject& m) {
    static const QStringList answers{QStringLiteral("fileReady"), QStringLiteral("fileDone"),
                                     QStringLiteral("fileRefused"), QStringLiteral("refused")};
    return answers.contains(typeOf(m));
}

// How the answers a page got are spread over their types, e.g. "fileReady 5, closed 1".
struct Tally {
    QMap<QString, int> count;
    QString firstRefusal;
    void take(const RawPage& page) {
        for (const QJsonObject& m : page.messages) {
            if (!isAnswer(m))
                continue;
            ++count[typeOf(m)];
            if (firstRefusal.isEmpty() && typeOf(m).contains(QStringLiteral("efused")))
                firstRefusal = m.value(QStringLiteral("text")).toString();
        }
        if (!page.isOpen())
            ++count[QStringLiteral("closed by the host")];
    }
    QString text() const {
        QStringList parts;
        for (auto it = count.begin(); it != count.end(); ++it)
            parts.append(QStringLiteral("%1 %2").arg(it.key()).arg(it.value()));
        QString t =
            parts.isEmpty() ? QStringLiteral("no answer") : parts.join(QStringLiteral(", "));
        if (!firstRefusal.isEmpty())
            t += QStringLiteral(" (\"%1\")").arg(firstRefusal);
        return t;
    }
};

int answers(const RawPage& page) {
    int n = 0;
    for (const QJsonObject& m : page.messages)
        n += isAnswer(m);
    return n;
}

QString mib(long kib) {
    return QString::number(double(kib) / 1024.0, 'f', 1) + QStringLiteral(" MiB");
}

QString load(const HttpAnswer& a) {
    return QStringLiteral("%1 in %2 ms")
        .arg(a.status == 0 ? QStringLiteral("no answer") : QString::number(a.status))
        .arg(a.ms, 0, 'f', 1);
}

QByteArray downloadRequest(const Context& c) {
    return "GET /f/" + c.roomFileToken + '/' + c.roomFileName.toUtf8() +
           " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(c.room.webPort) + "\r\n\r\n";
}

// The status lines waiting on connections that read nothing, peeked only for the
// record once the attack is over, e.g. "200 x8".
QString peekedStatuses(const std::vector<std::unique_ptr<RawParticipant>>& all) {
    QMap<QString, int> count;
    for (const auto& d : all) {
        char head[12] = {};
        const ssize_t n = ::recv(d->fd(), head, sizeof head, MSG_PEEK | MSG_DONTWAIT);
        const QByteArray got(head, int(std::max<ssize_t>(n, 0)));
        ++count[n == 12 && got.startsWith("HTTP/1.1 ") ? QString::fromLatin1(got.mid(9, 3))
                : n == 0                               ? QStringLiteral("closed")
                : n < 0 && errno != EAGAIN             ? QStringLiteral("reset")
                                                       : QStringLiteral("nothing")];
    }
    QStringList parts;
    for (auto it = count.begin(); it != count.end(); ++it)
        parts.append(QStringLiteral("%1 x%2").arg(it.key()).arg(it.value()));
    return parts.join(QStringLiteral(", "));
}

// What is left of a deadline, in ms, for one wait of at most capMs.
int msUntil(std::int64_t endNs, int capMs) {
    return int(std::clamp<std::int64_t>((endNs - monotonicNs()) / 1000000, 0, capMs));
}

// Waits until done() holds, at most timeoutMs, looking every 50 ms; true if it did.
bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const std::int64_t end = monotonicNs() + std::int64_t(timeoutMs) * 1000000;
    while (!done()) {
        if (monotonicNs() >= end)
            return false;
        sleepUs(50000);
    }
    return true;
}

QString fileCheck(Context& c, bool* through) {
    c.honestPage.poll();
    c.honestPage.messages.clear();
    const FileOutcome o = sendFile(c.honestPage, QStringLiteral("note.txt"), QByteArray(1024, 'n'),
                                   QStringLiteral("host"), 5000);
    *through = o.result == "through";
    if (*through)
        return QStringLiteral("through (%1 ms)").arg(o.ms, 0, 'f', 1);
    return QString::fromLatin1(o.result) +
           (o.text.isEmpty() ? QString() : QStringLiteral(": \"%1\"").arg(o.text));
}

// The honest file once more, until it goes through or timeoutMs passes; counted once.
QString honestFileUntilThrough(Context& c, int timeoutMs) {
    QString last;
    bool through = false;
    int tries = 0;
    waitUntil(
        [&] {
            ++tries;
            last = fileCheck(c, &through);
            return through;
        },
        timeoutMs);
    ++c.filesTried;
    c.filesThrough += through;
    return last + QStringLiteral(" (try %1)").arg(tries);
}

// Cancels seatless uploads from a new connection that names the same sender.
QString cancelAll(Context& c, const QList<QPair<QString, QByteArray>>& fromAndToken) {
    if (fromAndToken.isEmpty())
        return QStringLiteral("nothing to cancel");
    RawPage page;
    if (page.open(c.room.webPort) != 101)
        return QStringLiteral("no page to cancel from");
    QByteArray out;
    for (const auto& [from, token] : fromAndToken)
        out += RawPage::textFrame(jsonBytes({{QStringLiteral("type"), QStringLiteral("fileCancel")},
                                             {QStringLiteral("token"), QString::fromLatin1(token)},
                                             {QStringLiteral("from"), from}}));
    const qsizetype want = fromAndToken.size();
    page.pump(
        out,
        [&] {
            return std::count_if(page.messages.begin(), page.messages.end(), [](const auto& m) {
                       return typeOf(m) == QStringLiteral("fileCancelled");
                   }) >= want;
        },
        30000);
    const auto done = std::count_if(page.messages.begin(), page.messages.end(), [](const auto& m) {
        return typeOf(m) == QStringLiteral("fileCancelled");
    });
    return QStringLiteral("%1 of %2 cancelled").arg(done).arg(want);
}

QList<QPair<QString, QByteArray>> readyTokens(const RawPage& page, const QStringList& fromById) {
    QList<QPair<QString, QByteArray>> found;
    for (const QJsonObject& m : page.messages) {
        const int id = m.value(QStringLiteral("id")).toInt(-1);
        if (typeOf(m) == QStringLiteral("fileReady") && id >= 0 && id < fromById.size())
            found.append({fromById[id], m.value(QStringLiteral("token")).toString().toLatin1()});
    }
    return found;
}

// ---- 1: five 2 GiB offers that never send a byte ----
Found bigOffers(Context& c) {
    Found f;
    Pages pages;
    Tally tally;
    QList<QPair<QString, QByteArray>> held;
    const std::int64_t end = monotonicNs() + 15000000000;
    for (int i = 0; i < 5; ++i) {
        pages.push_back(std::make_unique<RawPage>());
        RawPage& p = *pages.back();
        const QString from = QStringLiteral("a1-%1").arg(i);
        if (p.open(c.room.webPort) != 101 ||
            !p.raw.sendAll(offer(0, QStringLiteral("big.bin"), qint64(2) << 30, from)))
            continue;
        p.waitType({QStringLiteral("fileReady"), QStringLiteral("fileDone"),
                    QStringLiteral("fileRefused"), QStringLiteral("refused")},
                   msUntil(end, 5000));
        tally.take(p);
        held += readyTokens(p, {from});
    }
    f.add(QStringLiteral("5 seatless offers of 2 GiB"), tally.text());
    f.add(QStringLiteral("honest 1 KiB file while they stay open"), honestFile(c));
    sleepUs(3000000); // held for the honest loops to meet it
    int stillOpen = 0;
    for (auto& p : pages) {
        p->poll();
        stillOpen += p->isOpen();
    }
    f.add(QStringLiteral("of the five still open after ~3 s"), QString::number(stillOpen));
    pages.clear();
    f.add(QStringLiteral("honest 1 KiB file once the five closed (retried 3 s)"),
          honestFileUntilThrough(c, 3000));
    f.add(QStringLiteral("a new connection cancels them by naming the same from"),
          cancelAll(c, held));
    f.add(QStringLiteral("honest 1 KiB file after that"), honestFile(c));
    return f;
}

// ---- 2: ~1,100 one-byte offers, a new `from` every three ----
Found manyFroms(Context& c) {
    Found f;
    constexpr int kPages = 10, kOffers = 110;
    const int fdsBefore = fdsOf(c.room.hostPid);
    Pages pages;
    Tally tally;
    QList<QPair<QString, QByteArray>> held;
    const std::int64_t start = monotonicNs();
    const std::int64_t end = start + 30000000000;
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(std::make_unique<RawPage>());
        RawPage& p = *pages.back();
        if (p.open(c.room.webPort) != 101)
            continue;
        QByteArray out;
        QStringList fromById;
        for (int j = 0; j < kOffers; ++j) {
            fromById.append(QStringLiteral("a2-%1-%2").arg(i).arg(j / 3));
            out += offer(j, QStringLiteral("one.bin"), 1, fromById.back());
        }
        p.pump(
            out, [&] { return answers(p) >= kOffers; }, msUntil(end, 10000));
        tally.take(p);
        held += readyTokens(p, fromById);
    }
    f.add(QStringLiteral("%1 offers of 1 byte on %2 connections").arg(kPages * kOffers).arg(kPages),
          tally.text() +
              QStringLiteral(", in %1 s").arg(double(monotonicNs() - start) / 1e9, 0, 'f', 1));
    const int fdsHeld = fdsOf(c.room.hostPid);
    f.add(
        QStringLiteral("host descriptors before / while held"),
        QStringLiteral("%1 / %2 (%3)").arg(fdsBefore).arg(fdsHeld).arg(fdsHeld - fdsBefore, 0, 10));
    f.add(QStringLiteral("GET / while held"), load(httpGet(c.room.webPort, "/", 3000)));
    f.add(QStringLiteral("honest 1 KiB file while held"), honestFile(c));
    pages.clear();
    waitUntil([&] { return fdsOf(c.room.hostPid) < fdsBefore + 64; }, 3000);
    f.add(QStringLiteral("host descriptors 3 s after the connections closed"),
          QString::number(fdsOf(c.room.hostPid)));
    f.add(QStringLiteral("a new connection cancels them by naming each from"), cancelAll(c, held));
    f.add(QStringLiteral("host descriptors after that"), QString::number(fdsOf(c.room.hostPid)));
    return f;
}

// ---- 3: sixteen seatless connections with an empty file each, kept open ----
Found fullHouse(Context& c) {
    Found f;
    Pages pages;
    Tally tally;
    int upgraded = 0;
    const std::int64_t end = monotonicNs() + 20000000000;
    for (int i = 0; i < 16; ++i) {
        pages.push_back(std::make_unique<RawPage>());
        RawPage& p = *pages.back();
        if (p.open(c.room.webPort) != 101)
            continue;
        ++upgraded;
        p.raw.sendAll(offer(0, QStringLiteral("empty"), 0, QStringLiteral("a3-%1").arg(i)));
        p.waitType({QStringLiteral("fileReady"), QStringLiteral("fileDone"),
                    QStringLiteral("fileRefused"), QStringLiteral("refused")},
                   msUntil(end, 5000));
        tally.take(p);
    }
    f.add(QStringLiteral("16 seatless connections upgraded"), QString::number(upgraded));
    f.add(QStringLiteral("their empty-file offers"), tally.text());
    RawPage seventeenth;
    f.add(QStringLiteral("the 17th upgrade from the same address"),
          QString::number(seventeenth.open(c.room.webPort)));
    seventeenth.close();
    RawPage honest;
    const int upgrade = honest.open(c.room.webPort, 5000, kHonestAddress);
    f.add(QStringLiteral("an honest page's upgrade meanwhile"),
          upgrade == 101 && joinPage(honest, QStringLiteral("newcomer"))
              ? QStringLiteral("101, seated")
              : QString::number(upgrade));
    if (honest.isOpen())
        leavePage(honest);
    honest.close();
    // Held for the honest newcomer loop (every 1.5 s) to meet it twice.
    sleepUs(3000000);
    int stillOpen = 0;
    for (auto& p : pages) {
        p->poll();
        stillOpen += p->isOpen();
    }
    f.add(QStringLiteral("of them still open after ~4 s"), QString::number(stillOpen));
    pages.clear();
    int again = 0;
    waitUntil(
        [&] {
            RawPage p;
            again = p.open(c.room.webPort, 3000, kHonestAddress);
            return again == 101;
        },
        3000);
    f.add(QStringLiteral("an upgrade once they closed"), QString::number(again));
    return f;
}

// ---- 4: downloads that never read and keep sending after their request ----
Found chattyDownloads(Context& c) {
    Found f;
    constexpr int kDownloads = 8, kSeconds = 12;
    constexpr qsizetype kChunk = 20 * 1024;   // every 10 ms: 2 MiB/s each
    constexpr qint64 kCap = qint64(24) << 20; // and at most 24 MiB each
    if (c.roomFileToken.isEmpty()) {
        f.add(QStringLiteral("room file"), QStringLiteral("could not be sent; attack skipped"));
        return f;
    }
    const long rssBefore = rssKiBOf(c.room.hostPid);
    std::vector<std::unique_ptr<RawParticipant>> all;
    std::vector<qint64> sent(kDownloads, 0);
    const QByteArray request = downloadRequest(c);
    for (int i = 0; i < kDownloads; ++i) {
        all.push_back(std::make_unique<RawParticipant>());
        if (connectWithin(*all.back(), c.room.webPort, 3000))
            all.back()->sendAll(request, 3000);
    }
    const QByteArray junk(kChunk, 'x');
    long rssPeak = rssBefore;
    int cut = 0;
    std::vector<bool> gone(kDownloads, false);
    const std::int64_t end = monotonicNs() + std::int64_t(kSeconds) * 1000000000;
    while (monotonicNs() < end) {
        for (int i = 0; i < kDownloads; ++i) {
            if (gone[i] || !all[i]->isOpen() || sent[i] >= kCap)
                continue;
            const ssize_t n = ::send(all[i]->fd(), junk.constData(), size_t(junk.size()),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent[i] += n;
            else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                gone[i] = true;
                ++cut;
            }
        }
        rssPeak = std::max(rssPeak, rssKiBOf(c.room.hostPid));
        sleepUs(10000);
    }
    qint64 total = 0;
    for (qint64 s : sent)
        total += s;
    f.add(QStringLiteral("bytes sent after the requests, %1 s").arg(kSeconds),
          mib(long(total / 1024)) +
              QStringLiteral(" in all; connections the host cut: %1").arg(cut));
    f.add(QStringLiteral("host RSS before / peak"),
          mib(rssBefore) + QStringLiteral(" / ") + mib(rssPeak) +
              QStringLiteral(" (+%1)").arg(mib(rssPeak - rssBefore)));
    f.add(QStringLiteral("honest 1 KiB file while held"), honestFile(c));
    f.add(QStringLiteral("what the downloads had been answered (peeked at the end)"),
          peekedStatuses(all));
    all.clear();
    waitUntil([&] { return rssKiBOf(c.room.hostPid) < rssBefore + 64 * 1024; }, 3000);
    f.add(QStringLiteral("host RSS up to 3 s after they closed"), mib(rssKiBOf(c.room.hostPid)));
    return f;
}

// ---- 5: a page that reads nothing and sends frames the host cannot use ----
Found invalidFrames(Context& c) {
    Found f;
    // Under the gateway's 10 s deadline for a page without a seat, so that it stays.
    constexpr int kSeconds = 8, kBatch = 1000;
    constexpr long kMaxFrames = 4000000;
    const long rssBefore = rssKiBOf(c.room.hostPid);
    RawPage page;
    if (page.open(c.room.webPort) != 101) {
        f.add(QStringLiteral("upgrade"), QStringLiteral("refused"));
        return f;
    }
    const QByteArray one = RawPage::textFrame("hello");
    QByteArray batch;
    for (int i = 0; i < kBatch; ++i)
        batch += one;
    long queued = 0, rssPeak = rssBefore;
    QByteArray out;
    bool cut = false;
    const std::int64_t end = monotonicNs() + std::int64_t(kSeconds) * 1000000000;
    while (monotonicNs() < end && !cut && (queued < kMaxFrames || !out.isEmpty())) {
        if (out.isEmpty()) {
            out = batch;
            queued += kBatch;
        }
        pollfd p{page.raw.fd(), POLLOUT, 0};
        ::poll(&p, 1, 20);
        const ssize_t n =
            ::send(page.raw.fd(), out.constData(), size_t(out.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            out.remove(0, n);
        else if (n < 0 && errno != EAGAIN && errno != EINTR)
            cut = true;
        rssPeak = std::max(rssPeak, rssKiBOf(c.room.hostPid));
    }
    f.add(QStringLiteral("\"hello\" frames written in %1 s").arg(kSeconds),
          QString::number(queued - out.size() / one.size()) +
              (cut ? QStringLiteral(", then the host cut the connection") : QString()));
    f.add(QStringLiteral("host RSS before / peak"),
          mib(rssBefore) + QStringLiteral(" / ") + mib(rssPeak) +
              QStringLiteral(" (+%1)").arg(mib(rssPeak - rssBefore)));
    // Read once, now, only to see what the host did with it.
    page.poll();
    f.add(QStringLiteral("answers waiting for it (read after the attack)"),
          QStringLiteral("%1%2")
              .arg(page.messages.size())
              .arg(page.isOpen() ? QString() : QStringLiteral(", and a close")));
    page.close();
    waitUntil([&] { return rssKiBOf(c.room.hostPid) < rssBefore + 64 * 1024; }, 3000);
    f.add(QStringLiteral("host RSS up to 3 s after it closed"), mib(rssKiBOf(c.room.hostPid)));
    return f;
}

// ---- 6: 15,000 empty-file offers on one connection ----
Found offerFlood(Context& c) {
    Found f;
    constexpr int kOffers = 15000, kLimitMs = 120000;
    RawPage page;
    if (page.open(c.room.webPort) != 101) {
        f.add(QStringLiteral("upgrade"), QStringLiteral("refused"));
        return f;
    }
    QByteArray out;
    for (int i = 0; i < kOffers; ++i)
        out += offer(i, QStringLiteral("e"), 0, QStringLiteral("a6"));
    const std::int64_t start = monotonicNs();
    qsizetype counted = 0;
    int answered = 0;
    const bool all = page.pump(
        out,
        [&] {
            for (; counted < page.messages.size(); ++counted)
                answered += isAnswer(page.messages[counted]);
            return answered >= kOffers;
        },
        kLimitMs);
    const double seconds = double(monotonicNs() - start) / 1e9;
    Tally tally;
    tally.take(page);
    f.add(QStringLiteral("%1 offers answered").arg(kOffers),
          QStringLiteral("%1 in %2 s%3: %4")
              .arg(answered)
              .arg(seconds, 0, 'f', 1)
              .arg(all ? QString() : QStringLiteral(" (stopped waiting)"))
              .arg(tally.text()));
    f.add(QStringLiteral("GET / right after"), load(httpGet(c.room.webPort, "/", 3000)));
    f.add(QStringLiteral("honest 1 KiB file right after"), honestFile(c));
    return f;
}

// ---- 7: one page joins and leaves, again and again ----
Found joinLeave(Context& c) {
    Found f;
    constexpr int kRounds = 100;
    RawPage page;
    int seated = 0, reopened = 0;
    std::vector<double> joinMs;
    QString firstRefusal;
    const std::int64_t start = monotonicNs();
    const std::int64_t end = start + 60000000000;
    int rounds = 0;
    for (; rounds < kRounds && monotonicNs() < end; ++rounds) {
        const int k = rounds;
        if (!page.isOpen()) {
            if (page.open(c.room.webPort) != 101)
                continue;
            ++reopened;
        }
        const std::int64_t at = monotonicNs();
        const qsizetype from = page.messages.size();
        if (joinPage(page, QStringLiteral("hop%1").arg(k))) {
            ++seated;
            joinMs.push_back(double(monotonicNs() - at) / 1e6);
            leavePage(page);
        } else if (firstRefusal.isEmpty()) {
            for (qsizetype i = from; i < page.messages.size() && firstRefusal.isEmpty(); ++i)
                firstRefusal = page.messages[i].value(QStringLiteral("text")).toString();
        }
    }
    const figures::Percentiles p = figures::percentiles(joinMs);
    f.add(QStringLiteral("join/leave rounds (at most %1 in 60 s)").arg(kRounds),
          QStringLiteral("%1 rounds, seated %2, in %3 s; connections opened %4%5")
              .arg(rounds)
              .arg(seated)
              .arg(double(monotonicNs() - start) / 1e9, 0, 'f', 1)
              .arg(reopened)
              .arg(firstRefusal.isEmpty()
                       ? QString()
                       : QStringLiteral("; first word: \"%1\"").arg(firstRefusal)));
    f.add(QStringLiteral("join until seated p50 / max"),
          QStringLiteral("%1 / %2 ms").arg(p.p50, 0, 'f', 1).arg(p.max, 0, 'f', 1));
    return f;
}

// ---- 8: 64 downloads that read nothing ----
Found stalledDownloads(Context& c) {
    Found f;
    constexpr int kDownloads = 64;
    if (c.roomFileToken.isEmpty()) {
        f.add(QStringLiteral("room file"), QStringLiteral("could not be sent; attack skipped"));
        return f;
    }
    std::vector<std::unique_ptr<RawParticipant>> all;
    const QByteArray request = downloadRequest(c);
    int connected = 0;
    for (int i = 0; i < kDownloads; ++i) {
        all.push_back(std::make_unique<RawParticipant>());
        if (connectWithin(*all.back(), c.room.webPort, 3000) && all.back()->sendAll(request, 3000))
            ++connected;
    }
    f.add(QStringLiteral("downloads asked"), QString::number(connected));
    f.add(QStringLiteral("GET / while they stall"),
          load(httpGet(c.room.webPort, "/", 3000, kHonestAddress)));
    RawPage honest;
    const std::int64_t at = monotonicNs();
    const int upgrade = honest.open(c.room.webPort, 3000, kHonestAddress);
    f.add(QStringLiteral("an honest upgrade while they stall"),
          QStringLiteral("%1 in %2 ms")
              .arg(upgrade == 0 ? QStringLiteral("no answer") : QString::number(upgrade))
              .arg(double(monotonicNs() - at) / 1e6, 0, 'f', 1));
    honest.close();
    sleepUs(4000000); // held for the honest loops to meet it
    f.add(QStringLiteral("what the downloads had been answered after ~5 s (peeked)"),
          peekedStatuses(all));
    all.clear();
    HttpAnswer again;
    waitUntil(
        [&] {
            again = httpGet(c.room.webPort, "/", 3000, kHonestAddress);
            return again.status == 200;
        },
        3000);
    f.add(QStringLiteral("GET / once they closed"), load(again));
    return f;
}

} // namespace

void Found::add(const QString& label, const QString& value) {
    figures.append({label, value});
}

bool ensureRoomFile(Context& c) {
    if (!c.roomFileToken.isEmpty())
        return true;
    QByteArray bytes(8 << 20, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(bytes.data()),
                                          bytes.size() / 4);
    c.honestPage.poll();
    c.honestPage.messages.clear();
    const FileOutcome o =
        sendFile(c.honestPage, c.roomFileName, bytes, QStringLiteral("host"), 30000);
    if (o.result == "through")
        c.roomFileToken = o.token;
    return !c.roomFileToken.isEmpty();
}

QString honestFile(Context& c) {
    bool through = false;
    const QString word = fileCheck(c, &through);
    ++c.filesTried;
    c.filesThrough += through;
    return word;
}

const QList<Attack>& attacks() {
    static const QList<Attack> all{
        {"1 big offers", "5 seatless connections offer 2 GiB each and send nothing", bigOffers},
        {"2 many froms", "1,100 one-byte offers on 10 connections, a new from every 3", manyFroms},
        {"3 full house", "16 seatless connections offer an empty file and stay open", fullHouse},
        {"4 chatty downloads", "8 downloads never read, send 2 MiB/s each for 12 s",
         chattyDownloads, true},
        {"5 invalid frames", "a page reads nothing and writes \"hello\" frames for 8 s",
         invalidFrames},
        {"6 offer flood", "15,000 empty-file offers on one connection", offerFlood},
        {"7 join/leave", "one page joins and leaves 100 times", joinLeave},
        {"8 stalled downloads", "64 downloads that read nothing, held ~5 s", stalledDownloads,
         true},
    };
    return all;
}
