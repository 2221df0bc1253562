#include "app/UnreadTray.h"

#include "ui/Dialogs.h"

#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidget>

namespace {

QPixmap withBadge(const QIcon& base, int count) {
    QPixmap pixmap = base.pixmap(64, 64);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF badge(26, 26, 38, 38);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(214, 40, 40));
    painter.drawEllipse(badge);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(count > 99 ? 18 : 26);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter,
                     count > 99 ? QStringLiteral("99+") : QString::number(count));
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
    icon_->setIcon(count > 0 ? QIcon(withBadge(base_, count)) : base_);
    icon_->setToolTip(count > 0 ? applicationTitle() + QStringLiteral(": %1条未读").arg(count)
                                : applicationTitle());
}
