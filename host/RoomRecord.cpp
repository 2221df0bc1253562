#include "host/RoomRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace {

bool fail(QString* word, const QString& text) {
    if (word != nullptr)
        *word = text;
    return false;
}

} // namespace

QString RoomRecord::pathFor(const QString& folder, const QByteArray& roomName, int port) {
    // Hex keeps any room name a plain file name, and the port keeps two rooms apart.
    return QDir(folder).filePath(
        QStringLiteral("%1-%2.log").arg(QString::fromLatin1(roomName.toHex())).arg(port));
}

RoomRecord::RoomRecord(const QString& path, Limits limits) : path_(path), limits_(limits) {
    flusher_.setInterval(1000);
    flusher_.setSingleShot(true);
    QObject::connect(&flusher_, &QTimer::timeout, [this] { flush(); });
}

RoomRecord::~RoomRecord() {
    flush();
}

// One line a message: milliseconds since the epoch, a space, the bytes in base64
// (they may hold CR, LF or anything else a peer sent), LF.
QByteArray RoomRecord::encode(const Entry& entry) {
    return QByteArray::number(entry.arrived.toMSecsSinceEpoch()) + ' ' + entry.message.toBase64() +
           '\n';
}

bool RoomRecord::decode(QByteArrayView line, Entry* entry) {
    const qsizetype space = line.indexOf(' ');
    if (space <= 0)
        return false;
    bool ok = false;
    const qint64 ms = line.first(space).toLongLong(&ok);
    if (!ok)
        return false;
    const auto bytes = QByteArray::fromBase64Encoding(line.sliced(space + 1).toByteArray(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
    if (!bytes || bytes.decoded.isEmpty())
        return false;
    entry->arrived = QDateTime::fromMSecsSinceEpoch(ms);
    entry->message = bytes.decoded;
    return true;
}

bool RoomRecord::open(QString* word) {
    entries_.clear();
    unwritten_ = 0;
    failed_ = false;
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        return fail(
            word,
            QStringLiteral("不能建立聊天记录的文件夹 %1").arg(QFileInfo(path_).absolutePath()));
    QFile file(path_);
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            return fail(word,
                        QStringLiteral("读不了聊天记录 %1:%2").arg(path_, file.errorString()));
        const QByteArray all = file.readAll();
        qsizetype at = 0;
        onDisk_ = 0;
        // A last line without its LF was cut by a crash: it is dropped.
        for (qsizetype end = all.indexOf('\n'); end >= 0; end = all.indexOf('\n', at)) {
            Entry e;
            if (decode(QByteArrayView(all).sliced(at, end - at), &e))
                entries_.push_back(std::move(e));
            ++onDisk_;
            at = end + 1;
        }
        const bool torn = at < all.size();
        const std::size_t read = entries_.size();
        trim();
        if (torn || read != entries_.size() || qsizetype(read) != onDisk_)
            return rewrite(word);
        return true;
    }
    onDisk_ = 0;
    return rewrite(word);
}

void RoomRecord::trim() {
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-limits_.days);
    while (!entries_.empty() &&
           (qsizetype(entries_.size()) > limits_.lines || entries_.front().arrived < oldest))
        entries_.pop_front();
}

bool RoomRecord::rewrite(QString* word) {
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly)) {
        failed_ = true;
        return fail(word, QStringLiteral("写不了聊天记录 %1:%2").arg(path_, out.errorString()));
    }
    for (const Entry& e : entries_)
        out.write(encode(e));
    if (!out.commit()) {
        failed_ = true;
        return fail(word, QStringLiteral("写不了聊天记录 %1:%2").arg(path_, out.errorString()));
    }
    onDisk_ = qsizetype(entries_.size());
    return true;
}

QList<RoomRecord::Entry> RoomRecord::last(int count) const {
    QList<Entry> tail;
    const std::size_t from = entries_.size() > std::size_t(count) ? entries_.size() - count : 0;
    for (std::size_t i = from; i < entries_.size(); ++i)
        tail.append(entries_[i]);
    return tail;
}

void RoomRecord::append(const QByteArray& message, const QDateTime& arrived) {
    if (failed_)
        return;
    // Only kept here: encoding and writing wait for the next flush, off the relay's path.
    entries_.push_back({arrived, message});
    unwritten_ = std::min(unwritten_ + 1, qsizetype(limits_.lines));
    if (qsizetype(entries_.size()) > limits_.lines)
        entries_.pop_front();
    if (!flusher_.isActive())
        flusher_.start();
}

bool RoomRecord::flush(QString* word) {
    flusher_.stop();
    if (unwritten_ == 0 || failed_)
        return !failed_;
    // Past the bound by a tenth, the file is written anew from what is kept.
    const qsizetype lines = std::min(unwritten_, qsizetype(entries_.size()));
    unwritten_ = 0;
    if (onDisk_ + lines > limits_.lines + limits_.lines / 10) {
        trim();
        return rewrite(word);
    }
    QByteArray pending;
    for (auto e = entries_.end() - lines; e != entries_.end(); ++e)
        pending += encode(*e);
    QFile file(path_);
    if (!file.open(QIODevice::Append) || file.write(pending) != pending.size()) {
        failed_ = true;
        return fail(word, QStringLiteral("写不了聊天记录 %1:%2").arg(path_, file.errorString()));
    }
    onDisk_ += lines;
    return true;
}

bool RoomRecord::clear(QString* word) {
    entries_.clear();
    unwritten_ = 0;
    failed_ = false;
    return rewrite(word);
}
