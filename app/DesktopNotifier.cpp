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
#include <utility>

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
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] { serviceSeen(true); });
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        serviceUp_ = false;
        // The next service may read markup differently.
        markup_ = Markup::Unknown;
        askedMarkup_ = false;
    });
    // Asked without waiting, so start-up never waits for the bus.
    askBus(
        QStringLiteral("NameHasOwner"), {kService}, [](const QVariant& v) { return v.toBool(); },
        true);
    askBus(
        QStringLiteral("ListActivatableNames"), {},
        [](const QVariant& v) { return v.toStringList().contains(kService); }, false);
    bus.connect(QString(), kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(actionInvoked(uint, QString)));
}

void DesktopNotifier::askBus(const QString& method, const QVariantList& arguments,
                             bool (*found)(const QVariant&), bool running) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, found, running](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                if (!w->isError() && found(w->reply().arguments().value(0)))
                    serviceSeen(running);
            });
}

void DesktopNotifier::serviceSeen(bool running) {
    serviceUp_ = true;
    // A service only startable on demand is not started just to be asked; the first
    // notification asks.
    if (running)
        askCapabilities();
}

void DesktopNotifier::askCapabilities() {
    if (askedMarkup_)
        return;
    askedMarkup_ = true;
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                             QStringLiteral("GetCapabilities"));
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        // A service that cannot say is taken at its word for plain text.
        markup_ = !reply.isError() && reply.value().contains(QStringLiteral("body-markup"))
                      ? Markup::Yes
                      : Markup::No;
        const QStringList waiting = std::exchange(waiting_, {});
        for (const QString& peer : waiting)
            show(peer);
    });
}

QString DesktopNotifier::asText(const QString& text) const {
    if (markup_ != Markup::Yes)
        return text;
    QString out = text;
    out.replace(u'&', QStringLiteral("&amp;"));
    out.replace(u'<', QStringLiteral("&lt;"));
    out.replace(u'>', QStringLiteral("&gt;"));
    return out;
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
    if (now >= quietUntil && burst.later == nullptr) {
        burst.count = 1;
        show(peer);
        return;
    }
    ++burst.count;
    if (burst.later != nullptr)
        return;
    burst.later = new QTimer(this);
    burst.later->setSingleShot(true);
    connect(burst.later, &QTimer::timeout, this, [this, peer] {
        stopLater(bursts_[peer]);
        show(peer);
    });
    burst.later->start(int(qMax<qint64>(0, quietUntil - now)));
}

void DesktopNotifier::stopLater(Burst& burst) {
    if (burst.later == nullptr)
        return;
    // Deleted later: this may run inside the timer's own timeout.
    burst.later->stop();
    burst.later->deleteLater();
    burst.later = nullptr;
}

void DesktopNotifier::forgetBursts() {
    for (Burst& burst : bursts_)
        stopLater(burst);
    bursts_.clear();
    waiting_.clear();
}

void DesktopNotifier::remember(uint id, QWidget* target) {
    clickable_.removeIf([id](const Shown& s) { return s.id == id; });
    clickable_.append({id, target});
    // A desktop keeps only the latest few on screen.
    if (clickable_.size() > kRemembered)
        clickable_.removeFirst();
}

void DesktopNotifier::show(const QString& peer) {
    const auto found = bursts_.find(peer);
    if (found == bursts_.end() || found->count == 0 || !serviceUp_)
        return;
    if (markup_ == Markup::Unknown) {
        if (!waiting_.contains(peer))
            waiting_.append(peer);
        askCapabilities();
        return;
    }
    Burst& burst = *found;
    burst.shownAt = clock_.elapsed();
    const QString body = burst.count > 1
                             ? burst.text + QStringLiteral("\n(共%1条新消息)").arg(burst.count)
                             : burst.text;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << applicationTitle() << burst.id << QString() << asText(burst.title) << asText(body)
         << QStringList{kDefaultAction, QStringLiteral("查看")} << QVariantMap() << -1;
    auto* pending =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, peer, target = burst.target](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    return;
                // The user may be back already; the notification stays clickable.
                remember(reply.value(), target);
                const auto burst = bursts_.find(peer);
                if (burst != bursts_.end())
                    burst->id = reply.value();
            });
}

void DesktopNotifier::actionInvoked(uint id, const QString& action) {
    if (id == 0 || action != kDefaultAction)
        return;
    for (const Shown& shown : std::as_const(clickable_)) {
        if (shown.id == id && shown.target) {
            bringForward(shown.target);
            return;
        }
    }
}
