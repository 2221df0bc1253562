#include "app/UnreadTray.h"

#include "ui/Dialogs.h"

#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

QString badgeText(int count) {
    return count > 99 ? QStringLiteral("99+") : count > 0 ? QString::number(count) : QString();
}

QPixmap withBadge(const QIcon& base, const QString& text) {
    QPixmap pixmap = base.pixmap(64, 64);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badge(26, 26, 38, 38);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(214, 40, 40));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(text.size() > 2 ? 18 : 26);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, text);
    return pixmap;
}

} // namespace

UnreadTray* UnreadTray::createFor(QWidget* window) {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return nullptr;
    return new UnreadTray(window);
}

UnreadTray::UnreadTray(QWidget* window)
    : QObject(window), window_(window), icon_(new QSystemTrayIcon(this)) {
    base_ = window->windowIcon();
    if (base_.isNull() || base_.availableSizes().isEmpty())
        base_ = QIcon(QStringLiteral(":/about/pinwa-64.png"));
    connect(icon_, &QSystemTrayIcon::activated, this, [this] {
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
        window_->show();
        window_->raise();
        window_->activateWindow();
    });
    setUnread(0);
    icon_->show();
}

void UnreadTray::setUnread(int count) {
    if (count == shown_)
        return;
    shown_ = count;
    // Every new icon is sent to the tray and drawn again there; past 99 they all look alike.
    const QString badge = badgeText(count);
    if (badge != badge_ || icon_->icon().isNull()) {
        badge_ = badge;
        icon_->setIcon(badge.isEmpty() ? base_ : QIcon(withBadge(base_, badge)));
    }
    icon_->setToolTip(count > 0 ? applicationTitle() + QStringLiteral(": %1条未读").arg(count)
                                : applicationTitle());
}
