#include "app/HostTooltips.h"

#include "host/RoomHost.h"
#include "protocol/RoomState.h"

#include <QHelpEvent>
#include <QListWidget>
#include <QToolTip>

namespace {

QString stay(qint64 seconds) {
    if (seconds < 60)
        return QStringLiteral("%1秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1分%2秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1小时%2分").arg(seconds / 3600).arg(seconds / 60 % 60);
}

} // namespace

HostTooltips::HostTooltips(QListWidget* list, const RoomState& room, const RoomHost& host)
    : QObject(list), list_(list), room_(room), host_(host) {
    list_->viewport()->installEventFilter(this);
}

bool HostTooltips::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ToolTip || room_.mode != RoomState::HostMode)
        return QObject::eventFilter(watched, event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QListWidgetItem* item = list_->itemAt(help->pos());
    const auto where =
        item != nullptr ? host_.whereabouts(item->data(Qt::UserRole).toByteArray()) : std::nullopt;
    if (!where) {
        QToolTip::hideText();
        return true;
    }
    QString text = QStringLiteral("地址: ") +
                   (where->address.isEmpty() ? QStringLiteral("?") : where->address);
    if (where->joined.isValid())
        text += QStringLiteral("\n在聊天室: ") +
                stay(where->joined.secsTo(QDateTime::currentDateTime()));
    QToolTip::showText(help->globalPos(), text, list_->viewport(), list_->visualItemRect(item));
    return true;
}
