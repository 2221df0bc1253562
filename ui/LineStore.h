#pragma once

#include <QByteArray>
#include <QList>

// Every line of a log as the bytes that arrived, packed into chunks with an end
// offset, an arrival time and a drawing tag per line: 13 bytes of overhead a line,
// so a day-long busy room stays small. Chunks of fixed size keep an append from
// ever copying the whole log when it grows; a line never spans two chunks.
class LineStore {
public:
    qsizetype size() const { return ends_.size(); }
    bool isEmpty() const { return ends_.isEmpty(); }

    void append(const QByteArray& line, qint64 arrivedSecs, quint8 tag);
    void clear();

    // A view into the store: valid until the next append or clear.
    QByteArrayView line(qsizetype row) const;
    qint64 arrivedSecs(qsizetype row) const { return qint64(times_[row]); }
    quint8 tag(qsizetype row) const { return tags_[row]; }

    // Rows holding the needle, ASCII letters matched in either case (the needle's
    // letters in lower case), in ascending order; a row counts once.
    QList<int> findRows(QByteArrayView needle) const;
    static bool containsFolded(QByteArrayView line, QByteArrayView needle);

    // Every line followed by CR LF.
    QByteArray savedBytes() const;

private:
    static constexpr qsizetype kChunkBytes = 1 << 20;

    qsizetype chunkOf(qint64 offset) const;

    QList<QByteArray> chunks_;
    QList<qint64> chunkStarts_; // offset of each chunk's first byte in the whole log
    QList<qint64> ends_;
    QList<quint32> times_; // seconds since the epoch; enough until 2106
    QList<quint8> tags_;
};
