#include "app/DesktopNotifier.h"

#include "ui/Dialogs.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <QWidget>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");

void bringForward(QWidget* window) {
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {
    clock_.start();
    // Without an address nothing is started or searched for.
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return;
    busUp_ = QDBusConnection::sessionBus().isConnected();
    if (busUp_)
        watchService();
}

void DesktopNotifier::watchService() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    auto* watcher = new QDBusServiceWatcher(kService, bus,
                                            QDBusServiceWatcher::WatchForRegistration |
                                                QDBusServiceWatcher::WatchForUnregistration,
                                            this);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { serviceUp_ = true; });
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { serviceUp_ = false; });
    // Asked without waiting, so start-up never waits for the bus.
    askBus(QStringLiteral("NameHasOwner"), {kService},
           [](const QVariant& v) { return v.toBool(); });
    askBus(QStringLiteral("ListActivatableNames"), {},
           [](const QVariant& v) { return v.toStringList().contains(kService); });
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
}

void DesktopNotifier::askBus(const QString& method, const QVariantList& arguments,
                             bool (*found)(const QVariant&)) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, found](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (!w->isError() && found(w->reply().arguments().value(0)))
                    serviceUp_ = true;
            });
}

void DesktopNotifier::notify(const QString& peer, const QString& title, const QString& text,
                             QWidget* target) {
    if (!busUp_ || !serviceUp_)
        return;
    Burst& burst = bursts_[peer];
    burst.target = target;
    burst.title = title;
    burst.text = text;
    const qint64 now = clock_.elapsed();
    const qint64 quietUntil = burst.shownAt + kQuietMs;
    if (now >= quietUntil && (burst.later == nullptr || !burst.later->isActive())) {
        burst.count = 1;
        show(peer);
        return;
    }
    ++burst.count;
    if (burst.later == nullptr) {
        burst.later = new QTimer(this);
        burst.later->setSingleShot(true);
        connect(burst.later, &QTimer::timeout, this, [this, peer] { show(peer); });
    }
    if (!burst.later->isActive())
        burst.later->start(int(qMax<qint64>(0, quietUntil - now)));
}

void DesktopNotifier::forgetBursts() {
    for (Burst& burst : bursts_) {
        if (burst.later != nullptr)
            burst.later->stop();
        burst.count = 0;
    }
}

void DesktopNotifier::show(const QString& peer) {
    Burst& burst = bursts_[peer];
    if (burst.count == 0 || !serviceUp_)
        return;
    burst.shownAt = clock_.elapsed();
    const QString body = burst.count > 1
                             ? burst.text + QStringLiteral("\n(共%1条新消息)").arg(burst.count)
                             : burst.text;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << applicationTitle() << burst.id << QString() << burst.title << body
         << QStringList{kDefaultAction, QStringLiteral("查看")} << QVariantMap() << -1;
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, peer](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (!reply.isError())
                    bursts_[peer].id = reply.value();
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
    if (id == 0 || action != kDefaultAction)
        return;
    for (const Burst& burst : std::as_const(bursts_)) {
        if (burst.id == id && burst.target) {
            bringForward(burst.target);
            return;
        }
    }
}
