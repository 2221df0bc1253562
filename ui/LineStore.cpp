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
    bytes_.append(line);
    ends_.append(bytes_.size());
    times_.append(quint32(arrivedSecs));
    tags_.append(tag);
}

void LineStore::clear() {
    bytes_ = QByteArray();
    ends_ = QList<qint64>();
    times_ = QList<quint32>();
    tags_ = QList<quint8>();
}

QByteArrayView LineStore::line(qsizetype row) const {
    const qint64 begin = row > 0 ? ends_[row - 1] : 0;
    return QByteArrayView(bytes_.constData() + begin, ends_[row] - begin);
}

QByteArray LineStore::savedBytes() const {
    QByteArray out;
    out.reserve(bytes_.size() + 2 * size());
    for (qsizetype row = 0; row < size(); ++row)
        out.append(line(row)).append("\r\n");
    return out;
}

QList<int> LineStore::findRows(QByteArrayView needle) const {
    QList<int> rows;
    if (needle.isEmpty())
        return rows;
    const char* begin = bytes_.constData();
    const char* end = begin + bytes_.size();
    const std::boyer_moore_horspool_searcher search(needle.begin(), needle.end(), FoldHash(),
                                                    FoldEqual());
    for (const char* from = begin;;) {
        const auto [hit, hitEnd] = search(from, end);
        if (hit == end)
            break;
        const qsizetype row =
            std::upper_bound(ends_.begin(), ends_.end(), qint64(hit - begin)) - ends_.begin();
        // A hit running into the next line is no match.
        if (hitEnd - begin <= ends_[row]) {
            rows.append(int(row));
            from = begin + ends_[row];
        } else {
            from = hit + 1;
        }
    }
    return rows;
}

bool LineStore::containsFolded(QByteArrayView line, QByteArrayView needle) {
    return std::search(line.begin(), line.end(), needle.begin(), needle.end(), FoldEqual()) !=
           line.end();
}
