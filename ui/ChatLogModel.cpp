#include "ui/ChatLogModel.h"

#include "protocol/Gb.h"

#include <QDateTime>
#include <algorithm>

ChatLogModel::ChatLogModel(QObject* parent) : QAbstractListModel(parent) {}

int ChatLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(store_.size());
}

QVariant ChatLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= store_.size())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return text(row);
    case Qt::ToolTipRole:
        return QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row))
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case Qt::AccessibleDescriptionRole: // when it came, for a reader too
        return QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row))
                   .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
               describeOffer(row);
    case ArrivedRole:
        return QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row));
    case KindRole:
        return int(kind(row));
    case BytesRole:
        return store_.line(row).toByteArray();
    case EarlierRole:
        return isEarlier(row);
    case HeaderRole:
        return header(row);
    case AttachmentRole:
        return int(attachment(row));
    default:
        return {};
    }
}

QString ChatLogModel::describeOffer(int row) const {
    // The file card's buttons are drawn, not widgets: a reader hears the key instead.
    const bool own = kind(row) == wire::LineKind::Own;
    if (attachment(row) == attachment::Kind::File)
        return own ? QString() : QStringLiteral(",文件:按空格键接收或另存为");
    const auto picture = offer(row);
    if (attachment(row) != attachment::Kind::Picture || !picture)
        return {};
    QString said = QStringLiteral(",图片: %1 (%2)").arg(picture->name, picture->sizeText);
    const PictureLook look = pictures_ ? pictures_(picture->token) : PictureLook();
    switch (look.state) {
    case PictureLook::State::Shown:
        return said + QStringLiteral(",按空格键打开");
    case PictureLook::State::Fetching:
        return said + QStringLiteral(",正在取图片");
    default: // a file card, as drawn: its word, then its buttons
        if (!look.word.isEmpty())
            said += QStringLiteral(",") + look.word;
        return own ? said : said + QStringLiteral(",按空格键接收或另存为");
    }
}

namespace {
// A row's tag: its kind in the low two bits, its attachment in the next two.
constexpr quint8 kKindBits = 0x03;
constexpr int kAttachmentShift = 2;
constexpr quint8 kEarlier = 0x80;
} // namespace

quint8 ChatLogModel::tagFor(const QByteArray& line) const {
    // Told apart as it arrives, against the nickname of the session it arrived in.
    return quint8(wire::classifyLine(line, ownNickname_)) |
           quint8(quint8(attachment::classify(line)) << kAttachmentShift);
}

void ChatLogModel::append(const QByteArray& line) {
    const int row = int(store_.size());
    beginInsertRows({}, row, row);
    store_.append(line, QDateTime::currentSecsSinceEpoch(), tagFor(line));
    endInsertRows();
}

void ChatLogModel::appendEarlier(const QByteArray& line, qint64 arrivedSecs) {
    const int row = int(store_.size());
    beginInsertRows({}, row, row);
    store_.append(line, arrivedSecs, tagFor(line) | kEarlier);
    endInsertRows();
}

void ChatLogModel::insertEarlier(int row, const QList<Earlier>& lines) {
    if (lines.isEmpty())
        return;
    row = std::clamp(row, 0, int(store_.size()));
    beginInsertRows({}, row, row + int(lines.size()) - 1);
    // The store only appends: it is built again once, around the kept lines.
    LineStore rebuilt;
    const auto copyRows = [&](qsizetype from, qsizetype to) {
        for (qsizetype r = from; r < to; ++r)
            rebuilt.append(store_.line(r).toByteArray(), store_.arrivedSecs(r), store_.tag(r));
    };
    copyRows(0, row);
    for (const Earlier& e : lines)
        rebuilt.append(e.line, e.arrivedSecs, tagFor(e.line) | kEarlier);
    copyRows(row, store_.size());
    store_ = std::move(rebuilt);
    shown_.clear();
    endInsertRows();
}

bool ChatLogModel::isEarlier(int row) const {
    return (store_.tag(row) & kEarlier) != 0;
}

// A date above the first earlier line of each day, and a word where today's talk begins.
QString ChatLogModel::header(int row) const {
    const bool before = row > 0 && isEarlier(row - 1);
    if (!isEarlier(row))
        return before ? QStringLiteral("以上是以前的聊天记录") : QString();
    const QDate day = QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row)).date();
    if (before && QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row - 1)).date() == day)
        return {};
    return day.toString(QStringLiteral("yyyy-MM-dd"));
}

void ChatLogModel::clear() {
    beginResetModel();
    store_.clear();
    shown_.clear();
    endResetModel();
}

QString ChatLogModel::text(int row) const {
    if (const QString* cached = shown_.object(row))
        return *cached;
    auto* shown = new QString(gb::toDisplay(store_.line(row).toByteArray()));
    // A CR would show as a box; the bytes keep it.
    shown->remove(QLatin1Char('\r'));
    const QString copy = *shown;
    shown_.insert(row, shown);
    return copy;
}

wire::LineKind ChatLogModel::kind(int row) const {
    return wire::LineKind(store_.tag(row) & kKindBits);
}

attachment::Kind ChatLogModel::attachment(int row) const {
    return attachment::Kind((store_.tag(row) >> kAttachmentShift) & 0x03);
}

std::optional<fileoffer::Offer> ChatLogModel::offer(int row) const {
    if (attachment(row) == attachment::Kind::None)
        return std::nullopt;
    return fileoffer::find(text(row));
}

void ChatLogModel::setOwnNickname(const QByteArray& nickname) {
    ownNickname_ = nickname;
}
