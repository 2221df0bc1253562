#include "discovery/RoomBrowser.h"

#include "discovery/Avahi.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QSet>
#include <algorithm>

namespace {

QString keyOf(int interface, const QString& name) {
    return QString::number(interface) + QLatin1Char('/') + name;
}

const char* const kItemNew = SLOT(itemNew(int, int, QString, QString, QString, uint));
const char* const kItemRemove = SLOT(itemRemove(int, int, QString, QString, QString, uint));
const char* const kFound = SLOT(resolverFound(QDBusMessage));

} // namespace

RoomBrowser::RoomBrowser(QObject* parent, const QDBusConnection& bus) : QObject(parent), bus_(bus) {
    qDBusRegisterMetaType<QList<QByteArray>>();
    quiet_.setSingleShot(true);
    quiet_.setInterval(kQuietMs);
    connect(&quiet_, &QTimer::timeout, this, &RoomBrowser::settle);
}

RoomBrowser::~RoomBrowser() {
    stop();
}

void RoomBrowser::start() {
    if (state_ != State::Idle)
        return;
    if (!bus_.isConnected()) {
        // No system bus, no daemon; a call on it would never be answered.
        state_ = State::NoDaemon;
        emit changed();
        return;
    }
    state_ = State::Searching;
    const quint64 generation = ++generation_;
    // Every resolver's answer, listened for before any resolver exists: a daemon without
    // Avahi's fix for it answers a prepared resolver at once, before its Start.
    bus_.connect(avahi::kService, QString(), avahi::kServiceResolver, QStringLiteral("Found"), this,
                 kFound);
    // Prepared, then started once its signals are connected, so no room slips past.
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(avahi::call(
            QStringLiteral("/"), avahi::kServer2, QStringLiteral("ServiceBrowserPrepare"),
            {avahi::kAnyInterface, avahi::kIPv4, avahi::kRoomType, QString(), 0u})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (generation != generation_) {
            if (!reply.isError())
                avahi::post(bus_, reply.value().path(), avahi::kServiceBrowser,
                            QStringLiteral("Free"));
            return;
        }
        if (reply.isError()) {
            state_ = State::NoDaemon;
            emit changed();
            return;
        }
        browserPrepared(reply.value().path());
    });
    emit changed();
}

void RoomBrowser::browserPrepared(const QString& path) {
    browser_ = path;
    bus_.connect(avahi::kService, browser_, avahi::kServiceBrowser, QStringLiteral("ItemNew"), this,
                 kItemNew);
    bus_.connect(avahi::kService, browser_, avahi::kServiceBrowser, QStringLiteral("ItemRemove"),
                 this, kItemRemove);
    avahi::post(bus_, browser_, avahi::kServiceBrowser, QStringLiteral("Start"));
    quiet_.start();
}

void RoomBrowser::itemNew(int interface, int protocol, const QString& name, const QString& type,
                          const QString& domain, uint) {
    const QString key = keyOf(interface, name);
    if (resolvers_.contains(key))
        return;
    resolvers_.insert(key, QString());
    const quint64 generation = generation_;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(avahi::call(QStringLiteral("/"), avahi::kServer2,
                                   QStringLiteral("ServiceResolverPrepare"),
                                   {interface, protocol, name, type, domain, avahi::kIPv4, 0u})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation, key] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (reply.isError())
            return;
        const QString path = reply.value().path();
        if (generation != generation_ || !resolvers_.contains(key)) {
            early_.remove(path);
            avahi::post(bus_, path, avahi::kServiceResolver, QStringLiteral("Free"));
            return;
        }
        resolverPrepared(key, path);
    });
}

void RoomBrowser::resolverPrepared(const QString& key, const QString& path) {
    resolvers_[key] = path;
    // The resolver stays and reports again when the room's records change (its count).
    avahi::post(bus_, path, avahi::kServiceResolver, QStringLiteral("Start"));
    if (early_.contains(path))
        resolved(key, early_.take(path));
}

void RoomBrowser::resolverFound(const QDBusMessage& message) {
    const QString key = resolvers_.key(message.path());
    if (!key.isEmpty())
        resolved(key, message);
    else if (resolvers_.values().contains(QString()))
        early_.insert(message.path(), message); // its path is still on its way
}

void RoomBrowser::resolved(const QString& key, const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() < 10)
        return;
    FoundRoom room;
    room.key = key;
    room.room = args.at(2).toString();
    room.address = args.at(7).toString();
    room.port = static_cast<quint16>(args.at(8).toUInt());
    QList<QByteArray> txt;
    args.at(9).value<QDBusArgument>() >> txt;
    roomtxt::decode(txt, room);
    found_.insert(key, room);
    state_ = State::Found;
    emit changed();
}

void RoomBrowser::itemRemove(int interface, int, const QString& name, const QString&,
                             const QString&, uint) {
    const QString key = keyOf(interface, name);
    freeResolver(key);
    if (found_.remove(key) == 0)
        return;
    if (found_.isEmpty())
        state_ = quiet_.isActive() ? State::Searching : State::NothingFound;
    emit changed();
}

void RoomBrowser::freeResolver(const QString& key) {
    const QString path = resolvers_.take(key);
    if (path.isEmpty())
        return;
    avahi::post(bus_, path, avahi::kServiceResolver, QStringLiteral("Free"));
}

void RoomBrowser::settle() {
    if (state_ != State::Searching)
        return;
    state_ = State::NothingFound;
    emit changed();
}

void RoomBrowser::stop() {
    if (state_ == State::Idle)
        return;
    ++generation_;
    quiet_.stop();
    for (const QString& key : resolvers_.keys())
        freeResolver(key);
    bus_.disconnect(avahi::kService, QString(), avahi::kServiceResolver, QStringLiteral("Found"),
                    this, kFound);
    early_.clear();
    if (!browser_.isEmpty()) {
        bus_.disconnect(avahi::kService, browser_, avahi::kServiceBrowser,
                        QStringLiteral("ItemNew"), this, kItemNew);
        bus_.disconnect(avahi::kService, browser_, avahi::kServiceBrowser,
                        QStringLiteral("ItemRemove"), this, kItemRemove);
        avahi::post(bus_, browser_, avahi::kServiceBrowser, QStringLiteral("Free"));
        browser_.clear();
    }
    found_.clear();
    state_ = State::Idle;
    emit changed();
}

QList<FoundRoom> RoomBrowser::rooms() const {
    QList<FoundRoom> list;
    QSet<QString> seen;
    for (const FoundRoom& room : found_) {
        // A room seen through two interfaces is still one room.
        if (seen.contains(room.entryText()))
            continue;
        seen.insert(room.entryText());
        list.append(room);
    }
    std::sort(list.begin(), list.end(), [](const FoundRoom& a, const FoundRoom& b) {
        return a.room != b.room ? a.room < b.room : a.address < b.address;
    });
    return list;
}
