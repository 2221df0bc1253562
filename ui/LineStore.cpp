#include "ui/LineStore.h"

#include <algorithm>
#include <functional>

namespace {

// GB2312 keeps ASCII bytes out of its two-byte characters, so folding bytes in
// 'A'..'Z' folds exactly the ASCII letters.
char fold(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

struct FoldHash {
    std::size_t operator()(char c) const { return std::hash<char>()(fold(c)); }
};

struct FoldEqual {
    bool operator()(char a, char b) const { return fold(a) == fold(b); }
};

} // namespace

void LineStore::append(const QByteArray& line, qint64 arrivedSecs, quint8 tag) {
    const qint64 start = ends_.isEmpty() ? 0 : ends_.last();
    if (chunks_.isEmpty() || chunks_.last().size() + line.size() > kChunkBytes) {
        chunks_.append(QByteArray());
        chunks_.last().reserve(qMax(kChunkBytes, line.size()));
        chunkStarts_.append(start);
    }
    chunks_.last().append(line);
    ends_.append(start + line.size());
    times_.append(quint32(arrivedSecs));
    tags_.append(tag);
}

void LineStore::clear() {
    chunks_ = QList<QByteArray>();
    chunkStarts_ = QList<qint64>();
    ends_ = QList<qint64>();
    times_ = QList<quint32>();
    tags_ = QList<quint8>();
}

qsizetype LineStore::chunkOf(qint64 offset) const {
    // The last chunk starting at or before the offset: a line that opened a chunk
    // starts exactly where the one before ends.
    return std::upper_bound(chunkStarts_.begin(), chunkStarts_.end(), offset) -
           chunkStarts_.begin() - 1;
}

QByteArrayView LineStore::line(qsizetype row) const {
    const qint64 begin = row > 0 ? ends_[row - 1] : 0;
    const qsizetype chunk = chunkOf(begin);
    return QByteArrayView(chunks_[chunk].constData() + (begin - chunkStarts_[chunk]),
                          ends_[row] - begin);
}

QByteArray LineStore::savedBytes() const {
    QByteArray out;
    out.reserve((isEmpty() ? 0 : ends_.last()) + 2 * size());
    for (qsizetype row = 0; row < size(); ++row)
        out.append(line(row)).append("\r\n");
    return out;
}

QList<int> LineStore::findRows(QByteArrayView needle) const {
    QList<int> rows;
    if (needle.isEmpty())
        return rows;
    const std::boyer_moore_horspool_searcher search(needle.begin(), needle.end(), FoldHash(),
                                                    FoldEqual());
    // No line spans two chunks, so no match does either.
    for (qsizetype chunk = 0; chunk < chunks_.size(); ++chunk) {
        const char* begin = chunks_[chunk].constData();
        const char* end = begin + chunks_[chunk].size();
        const qint64 base = chunkStarts_[chunk];
        for (const char* from = begin;;) {
            const auto [hit, hitEnd] = search(from, end);
            if (hit == end)
                break;
            const qsizetype row =
                std::upper_bound(ends_.begin(), ends_.end(), base + qint64(hit - begin)) -
                ends_.begin();
            // A hit running into the next line is no match.
            if (base + (hitEnd - begin) <= ends_[row]) {
                rows.append(int(row));
                from = begin + (ends_[row] - base);
            } else {
                from = hit + 1;
            }
        }
    }
    return rows;
}

bool LineStore::containsFolded(QByteArrayView line, QByteArrayView needle) {
    return std::search(line.begin(), line.end(), needle.begin(), needle.end(), FoldEqual()) !=
           line.end();
}
