#pragma once

#include "discovery/FoundRoom.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QTimer>

// Lists the _pinwa._tcp rooms on the network through Avahi, kept current while it runs.
// Asynchronous throughout; without a daemon it says so and does nothing else.
class RoomBrowser : public QObject {
    Q_OBJECT

public:
    enum class State { Idle, Searching, Found, NoDaemon, NothingFound };

    explicit RoomBrowser(QObject* parent = nullptr,
                         const QDBusConnection& bus = QDBusConnection::systemBus());
    ~RoomBrowser() override;

    void start();
    void stop();

    State state() const { return state_; }
    // Resolved rooms, by name, each address and port once.
    QList<FoundRoom> rooms() const;

    // How long a search may find nothing before it says so.
    static constexpr int kQuietMs = 4000;

signals:
    void changed();

private slots:
    void itemNew(int interface, int protocol, const QString& name, const QString& type,
                 const QString& domain, uint flags);
    void itemRemove(int interface, int protocol, const QString& name, const QString& type,
                    const QString& domain, uint flags);
    void resolverFound(const QDBusMessage& message);

private:
    void browserPrepared(const QString& path);
    void resolverPrepared(const QString& key, const QString& path);
    void resolved(const QString& key, const QDBusMessage& message);
    void freeResolver(const QString& key);
    void settle();

    QDBusConnection bus_;
    State state_ = State::Idle;
    QString browser_;
    quint64 generation_ = 0;             // answers for an earlier search are dropped
    QHash<QString, QString> resolvers_;  // key -> resolver path
    QHash<QString, FoundRoom> found_;    // key -> resolved room
    QHash<QString, QDBusMessage> early_; // resolver path -> its answer, come before the path
    QTimer quiet_;
};
