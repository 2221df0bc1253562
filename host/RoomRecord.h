#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QTimer>
#include <deque>

// A room's public talk as the host relayed it, kept on disk so that whoever comes
// in later, or the host the next morning, sees what was said. Append-only, one
// record per room, bounded in lines and in days (the oldest go first). Appending
// only buffers; the buffer is written once a second, so a crash loses at most that.
class RoomRecord {
public:
    struct Limits {
        int lines = 100000;
        int days = 30;
    };
    struct Entry {
        QDateTime arrived;
        QByteArray message; // as sent to every seat: "&S" + line, or "&G" + notice
    };

    // Where a room's record lives under `folder`: one file per room name and port.
    static QString pathFor(const QString& folder, const QByteArray& roomName, int port);

    explicit RoomRecord(const QString& path) : RoomRecord(path, Limits()) {}
    RoomRecord(const QString& path, Limits limits);
    ~RoomRecord();
    RoomRecord(const RoomRecord&) = delete;
    RoomRecord& operator=(const RoomRecord&) = delete;

    // Reads what was kept: a torn last line and anything unreadable are dropped,
    // what is too old or too many is trimmed. False with a word when the file
    // cannot be read or written; the room then goes on without a record.
    bool open(QString* word);
    const std::deque<Entry>& entries() const { return entries_; }
    // The last `count` entries, oldest first.
    QList<Entry> last(int count) const;

    // The time in UTC, which costs a relayed line far less than the local time does.
    void append(const QByteArray& message,
                const QDateTime& arrived = QDateTime::currentDateTimeUtc());
    // Writes what is buffered; false with a word when the disk refuses.
    bool flush(QString* word = nullptr);
    // Forgets everything kept, on disk too.
    bool clear(QString* word = nullptr);
    QString path() const { return path_; }

    static QByteArray encode(const Entry& entry);
    static bool decode(QByteArrayView line, Entry* entry);

private:
    bool rewrite(QString* word);
    void trim();

    QString path_;
    Limits limits_;
    std::deque<Entry> entries_;
    qsizetype unwritten_ = 0; // entries at the back not in the file yet
    qsizetype onDisk_ = 0;    // lines in the file, trimmed ones included
    QTimer flusher_;
    bool failed_ = false;
};
