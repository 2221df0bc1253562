#include "app/HostTooltips.h"

#include "host/RoomHost.h"
#include "protocol/RoomState.h"

#include <QListWidget>

namespace {

QString stay(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("%1秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1小时%2分").arg(seconds / 3600).arg(seconds / 60 % 60);
}

// The entry's tooltip is also its description, which item-view readers speak.
class UserEntry : public QListWidgetItem {
public:
    UserEntry(const QString& shown, QListWidget* list, const HostTooltips& tips)
        : QListWidgetItem(shown, list), tips_(tips) {}

    QVariant data(int role) const override {
        if (role != Qt::ToolTipRole && role != Qt::AccessibleDescriptionRole)
            return QListWidgetItem::data(role);
        const QString tip = tips_.tipFor(QListWidgetItem::data(Qt::UserRole).toByteArray());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    QListWidgetItem* clone() const override {
        auto* copy = new UserEntry(text(), nullptr, tips_);
        *static_cast<QListWidgetItem*>(copy) = *this;
        return copy;
    }

private:
    const HostTooltips& tips_;
};

} // namespace

HostTooltips::HostTooltips(QListWidget* list, const RoomState& room, const RoomHost& host)
    : QObject(list), list_(list), room_(room), host_(host) {}

QListWidgetItem* HostTooltips::addEntry(const QString& shown, const QByteArray& nickname) {
    auto* item = new UserEntry(shown, list_, *this);
    item->setData(Qt::UserRole, nickname);
    return item;
}

QString HostTooltips::tipFor(const QByteArray& nickname) const {
    if (room_.mode != RoomState::HostMode)
        return {};
    const auto where = host_.whereabouts(nickname);
    if (!where)
        return {};
    QString text = QStringLiteral("地址: ") +
                   (where->address.isEmpty() ? QStringLiteral("?") : where->address);
    if (where->joined.isValid())
        text += QStringLiteral("\n在聊天室: ") +
                stay(where->joined.secsTo(QDateTime::currentDateTime()));
    return text;
}
