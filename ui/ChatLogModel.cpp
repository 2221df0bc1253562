#include "ui/ChatLogModel.h"

#include "protocol/FileOffer.h"
#include "protocol/Gb.h"

#include <QDateTime>

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
    case Qt::AccessibleDescriptionRole: { // when it came, for a reader too
        QString said = QDateTime::fromSecsSinceEpoch(store_.arrivedSecs(row))
                           .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        // The file card's buttons are drawn, not widgets: a reader hears the key instead.
        if (kind(row) != wire::LineKind::Own && text(row).contains(QStringLiteral("[文件] ")) &&
            fileoffer::find(text(row)))
            said += QStringLiteral(",文件:按空格键接收或另存为");
        return said;
    }
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
    default:
        return {};
    }
}

void ChatLogModel::append(const QByteArray& line) {
    const int row = int(store_.size());
    beginInsertRows({}, row, row);
    // Told apart as it arrives, against the nickname of the session it arrived in.
    store_.append(line, QDateTime::currentSecsSinceEpoch(),
                  quint8(wire::classifyLine(line, ownNickname_)));
    endInsertRows();
}

namespace {
constexpr quint8 kEarlier = 0x80; // beside the kind in a row's tag
} // namespace

void ChatLogModel::appendEarlier(const QByteArray& line, qint64 arrivedSecs) {
    const int row = int(store_.size());
    beginInsertRows({}, row, row);
    store_.append(line, arrivedSecs, quint8(wire::classifyLine(line, ownNickname_)) | kEarlier);
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
    return wire::LineKind(store_.tag(row) & ~kEarlier);
}

void ChatLogModel::setOwnNickname(const QByteArray& nickname) {
    ownNickname_ = nickname;
}
