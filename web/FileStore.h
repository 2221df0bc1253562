#pragma once

#include "web/Owner.h"
#include "web/RoomFolder.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QList>
#include <QString>
#include <memory>

class Sha256;

// The files a room's participants send, kept by the host in a private folder of
// its own until the room ends (the folder goes with the store). A file is known
// only by its token; the folder is never listed to anyone.
class FileStore {
public:
    struct Limits {
        qint64 perFile = qint64(2) << 30;
        qint64 perRoom = qint64(10) << 30;
        int uploadsPerSender = 3;
        int filesPerRoom = 1000;
    };

    struct File {
        QByteArray token; // 32 hex digits, 128 random bits
        QString name;     // safe: no path, no control characters, no ".."
        QString sender;   // who sent it, as the host's list shows
        Owner owner;      // whose uploads count together against the limit
        qint64 size = 0;
        qint64 have = 0;   // bytes on disk so far
        QByteArray sha256; // raw digest, once complete
        QString path;
        QDateTime added;
        bool complete() const { return !sha256.isEmpty(); }
    };

    explicit FileStore(const QString& underFolder = QString());
    ~FileStore();
    FileStore(const FileStore&) = delete;
    FileStore& operator=(const FileStore&) = delete;

    void setLimits(const Limits& limits) { limits_ = limits; }
    const Limits& limits() const { return limits_; }

    // Makes room for a file about to arrive: its token, or empty with the word why.
    // Costs the same however many files there are.
    QByteArray begin(const Owner& owner, const QString& sender, const QString& name, qint64 size,
                     QString* refusal);
    // Appends what arrived at `offset`, which must be where the file stands; false
    // with the word when it cannot be kept (the upload then stands where it was).
    bool write(const QByteArray& token, qint64 offset, QByteArrayView bytes, QString* refusal);
    // Drops a file, finished or not, from disk and from the list.
    void remove(const QByteArray& token);
    // Every file a sender has not finished, for when they go for good.
    void removeUnfinished(const Owner& owner);

    const File* find(const QByteArray& token) const;
    QList<const File*> files() const;
    qint64 usedBytes() const { return used_; }
    int count() const { return static_cast<int>(entries_.size()); }
    // Files not complete yet, from that owner.
    int unfinished(const Owner& owner) const { return unfinished_.value(owner); }
    bool isValid() const { return folder_.isValid(); }

    // The name a file is kept and offered under: what the sender called it, without
    // folders, control characters or "..", and never empty.
    static QString safeName(const QString& name);

private:
    struct Entry {
        File file;
        std::unique_ptr<QFile> out;
        std::unique_ptr<Sha256> hash;
        ~Entry();
    };
    Entry* entry(const QByteArray& token);
    // What the disk has free, asked at most once a second.
    qint64 diskFree();
    void completed(Entry& e);

    RoomFolder folder_;
    Limits limits_;
    QHash<QByteArray, std::shared_ptr<Entry>> entries_;
    QList<QByteArray> order_;
    qint64 used_ = 0;   // sizes of every file, complete or coming
    qint64 coming_ = 0; // bytes still to arrive
    QHash<Owner, int> unfinished_;
    qint64 diskFree_ = 0;
    QElapsedTimer diskAsked_;
};
