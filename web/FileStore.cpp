#include "web/FileStore.h"

#include "protocol/FileOffer.h"
#include "protocol/Sha256.h"

#include <QDir>
#include <QLocale>
#include <QRandomGenerator>
#include <QStorageInfo>

namespace {

QByteArray newToken() {
    const quint64 a = QRandomGenerator::system()->generate64();
    const quint64 b = QRandomGenerator::system()->generate64();
    return QByteArray::number(a, 16).rightJustified(16, '0') +
           QByteArray::number(b, 16).rightJustified(16, '0');
}

QString sizeWord(qint64 bytes) {
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

FileStore::FileStore(const QString& underFolder) : folder_(underFolder) {}

FileStore::Entry::~Entry() = default;

FileStore::~FileStore() = default; // the folder and everything in it go with it

QString FileStore::safeName(const QString& name) {
    return fileoffer::safeName(name);
}

QByteArray FileStore::begin(const Owner& owner, const QString& sender, const QString& name,
                            qint64 size, QString* refusal) {
    auto refuse = [&](const QString& word) {
        *refusal = word;
        return QByteArray();
    };
    if (!folder_.isValid())
        return refuse(QStringLiteral("主机上没有存放文件的地方"));
    if (size < 0)
        return refuse(QStringLiteral("文件大小不对"));
    if (size > limits_.perFile)
        return refuse(QStringLiteral("文件太大了:每个文件最多 %1").arg(sizeWord(limits_.perFile)));
    if (used_ + size > limits_.perRoom)
        return refuse(QStringLiteral("聊天室的文件已经太多了:总共最多 %1,还能放 %2")
                          .arg(sizeWord(limits_.perRoom),
                               sizeWord(std::max<qint64>(0, limits_.perRoom - used_))));
    if (count() >= limits_.filesPerRoom)
        return refuse(
            QStringLiteral("聊天室的文件已经太多了:最多 %1 个").arg(limits_.filesPerRoom));
    if (unfinished(owner) >= limits_.uploadsPerSender)
        return refuse(
            QStringLiteral("同时最多发送 %1 个文件,请等前面的发完").arg(limits_.uploadsPerSender));
    const qint64 free = diskFree();
    if (free < coming_ + size)
        return refuse(QStringLiteral("主机的磁盘空间不够了:还剩 %1")
                          .arg(sizeWord(std::max<qint64>(0, free - coming_))));

    auto e = std::make_shared<Entry>();
    e->file.token = newToken();
    e->file.name = safeName(name);
    e->file.sender = sender;
    e->file.owner = owner;
    e->file.size = size;
    e->file.added = QDateTime::currentDateTime();
    // Kept under the token, never under the sender's name.
    e->file.path = folder_.filePath(QString::fromLatin1(e->file.token));
    e->out = std::make_unique<QFile>(e->file.path);
    if (!e->out->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return refuse(QStringLiteral("主机写不了文件:%1").arg(e->out->errorString()));
    e->hash = std::make_unique<Sha256>();
    used_ += size;
    coming_ += size;
    ++unfinished_[owner];
    entries_.insert(e->file.token, e);
    order_.append(e->file.token);
    if (size == 0)
        completed(*e);
    return e->file.token;
}

qint64 FileStore::diskFree() {
    if (!diskAsked_.isValid() || diskAsked_.elapsed() >= 1000) {
        diskFree_ = QStorageInfo(folder_.path()).bytesAvailable();
        diskAsked_.start();
    }
    return diskFree_;
}

void FileStore::completed(Entry& e) {
    e.file.sha256 = e.hash->result();
    e.out.reset();
    e.hash.reset();
    if (--unfinished_[e.file.owner] <= 0)
        unfinished_.remove(e.file.owner);
}

FileStore::Entry* FileStore::entry(const QByteArray& token) {
    const auto it = entries_.find(token);
    return it == entries_.end() ? nullptr : it->get();
}

bool FileStore::write(const QByteArray& token, qint64 offset, QByteArrayView bytes,
                      QString* refusal) {
    Entry* e = entry(token);
    if (e == nullptr || e->file.complete()) {
        *refusal = QStringLiteral("没有这个正在发送的文件");
        return false;
    }
    if (offset != e->file.have || bytes.size() > e->file.size - e->file.have) {
        *refusal = QStringLiteral("文件数据的位置不对:主机已经收到 %1 字节").arg(e->file.have);
        return false;
    }
    const qint64 n = e->out->write(bytes.data(), bytes.size());
    if (n != bytes.size()) {
        // What did land is given up, so that a resume starts from a clean end.
        e->out->resize(e->file.have);
        e->out->seek(e->file.have);
        *refusal = QStringLiteral("主机写文件失败:%1").arg(e->out->errorString());
        return false;
    }
    e->hash->addData(bytes);
    e->file.have += n;
    coming_ -= n;
    if (e->file.have == e->file.size)
        completed(*e);
    return true;
}

void FileStore::remove(const QByteArray& token) {
    const auto it = entries_.find(token);
    if (it == entries_.end())
        return;
    const File& f = (*it)->file;
    const QString path = f.path;
    used_ -= f.size;
    if (!f.complete()) {
        coming_ -= f.size - f.have;
        if (--unfinished_[f.owner] <= 0)
            unfinished_.remove(f.owner);
    }
    entries_.erase(it);
    order_.removeOne(token);
    // A download already under way keeps its open file; nobody new finds it.
    QFile::remove(path);
}

void FileStore::removeUnfinished(const Owner& owner) {
    if (!unfinished_.contains(owner))
        return;
    const QList<QByteArray> tokens = order_;
    for (const QByteArray& t : tokens) {
        const Entry* e = entry(t);
        if (e != nullptr && e->file.owner == owner && !e->file.complete())
            remove(t);
    }
}

const FileStore::File* FileStore::find(const QByteArray& token) const {
    const auto it = entries_.find(token);
    return it == entries_.end() ? nullptr : &(*it)->file;
}

QList<const FileStore::File*> FileStore::files() const {
    QList<const File*> all;
    for (const QByteArray& t : order_)
        all.append(&entries_.value(t)->file);
    return all;
}
