#include "discovery/RoomAnnouncer.h"

#include "discovery/Avahi.h"
#include "discovery/FoundRoom.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

constexpr int kCountSpacingMs = 1000;

} // namespace

RoomAnnouncer::RoomAnnouncer(QObject* parent, const QDBusConnection& bus)
    : QObject(parent), bus_(bus) {
    qDBusRegisterMetaType<QList<QByteArray>>(); // TXT records travel as aay
    countTimer_.setSingleShot(true);
    connect(&countTimer_, &QTimer::timeout, this, &RoomAnnouncer::sendCount);
}

RoomAnnouncer::~RoomAnnouncer() {
    stop();
}

void RoomAnnouncer::start(const Room& room) {
    stop();
    room_ = room;
    name_ = room.name;
    active_ = true;
    const quint64 generation = ++generation_;
    auto* watcher =
        new QDBusPendingCallWatcher(bus_.asyncCall(avahi::call(QStringLiteral("/"), avahi::kServer,
                                                               QStringLiteral("EntryGroupNew"))),
                                    this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        const QDBusPendingReply<QDBusObjectPath> reply = *watcher;
        if (!reply.isError())
            groupCreated(reply.value().path(), generation);
    });
}

void RoomAnnouncer::groupCreated(const QString& path, quint64 generation) {
    if (generation != generation_ || !active_) {
        // The room ended while the group was being made.
        avahi::post(bus_, path, avahi::kEntryGroup, QStringLiteral("Free"));
        return;
    }
    group_ = path;
    bus_.connect(avahi::kService, group_, avahi::kEntryGroup, QStringLiteral("StateChanged"), this,
                 SLOT(groupStateChanged(int, QString)));
    addAndCommit();
}

void RoomAnnouncer::addAndCommit() {
    // Avahi handles one connection's calls in order, so these need not wait for each other.
    auto add = [this](const QString& type, quint16 port, const QList<QByteArray>& txt) {
        avahi::post(bus_, group_, avahi::kEntryGroup, QStringLiteral("AddService"),
                    {avahi::kAnyInterface, avahi::kAnyProtocol, 0u, name_, type, QString(),
                     QString(), QVariant::fromValue(port), QVariant::fromValue(txt)});
    };
    add(avahi::kRoomType, room_.port, roomtxt::encode(room_.nickname, room_.online, room_.webPort));
    if (room_.webPort != 0)
        add(avahi::kWebType, room_.webPort, {QByteArrayLiteral("path=/")});
    avahi::post(bus_, group_, avahi::kEntryGroup, QStringLiteral("Commit"));
    lastCount_.start();
}

void RoomAnnouncer::groupStateChanged(int state, const QString&) {
    if (state == avahi::Established) {
        emit established(name_);
        return;
    }
    if (state != avahi::Collision)
        return;
    const quint64 generation = generation_;
    auto* watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(avahi::call(QStringLiteral("/"), avahi::kServer,
                                   QStringLiteral("GetAlternativeServiceName"), {name_})),
        this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        const QDBusPendingReply<QString> reply = *watcher;
        if (reply.isError() || generation != generation_ || group_.isEmpty())
            return;
        name_ = reply.value();
        avahi::post(bus_, group_, avahi::kEntryGroup, QStringLiteral("Reset"));
        addAndCommit();
    });
}

void RoomAnnouncer::setOnlineCount(int online) {
    if (online == room_.online)
        return;
    room_.online = online;
    if (group_.isEmpty() || countTimer_.isActive())
        return; // goes out with the records being added, or with the pending update
    const qint64 wait = kCountSpacingMs - lastCount_.elapsed();
    if (wait > 0)
        countTimer_.start(static_cast<int>(wait));
    else
        sendCount();
}

void RoomAnnouncer::sendCount() {
    if (group_.isEmpty())
        return;
    lastCount_.start();
    avahi::post(
        bus_, group_, avahi::kEntryGroup, QStringLiteral("UpdateServiceTxt"),
        {avahi::kAnyInterface, avahi::kAnyProtocol, 0u, name_, avahi::kRoomType, QString(),
         QVariant::fromValue(roomtxt::encode(room_.nickname, room_.online, room_.webPort))});
}

void RoomAnnouncer::stop() {
    active_ = false;
    ++generation_;
    countTimer_.stop();
    if (group_.isEmpty())
        return;
    bus_.disconnect(avahi::kService, group_, avahi::kEntryGroup, QStringLiteral("StateChanged"),
                    this, SLOT(groupStateChanged(int, QString)));
    // Freeing the group withdraws both services; Avahi says goodbye on the network.
    avahi::post(bus_, group_, avahi::kEntryGroup, QStringLiteral("Free"));
    group_.clear();
}
