#pragma once

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

// Announces the room being hosted as _pinwa._tcp (and its page as _http._tcp) through
// Avahi. Every call is asynchronous; without a daemon nothing happens and nothing is said.
class RoomAnnouncer : public QObject {
    Q_OBJECT

public:
    struct Room {
        QString name;
        QString nickname;
        quint16 port = 0;
        int online = 1;
        quint16 webPort = 0; // 0: the page is not served
    };

    explicit RoomAnnouncer(QObject* parent = nullptr,
                           const QDBusConnection& bus = QDBusConnection::systemBus());
    ~RoomAnnouncer() override;

    void start(const Room& room);
    // Sent on at most once a second; the last count always goes out.
    void setOnlineCount(int online);
    // Withdraws the announcement.
    void stop();

    // The name on the network: the room's, or Avahi's alternative after a clash.
    QString name() const { return name_; }

signals:
    void established(const QString& name);

private slots:
    void groupStateChanged(int state, const QString& error);

private:
    void groupCreated(const QString& path, quint64 generation);
    void addAndCommit();
    void sendCount();

    QDBusConnection bus_;
    Room room_;
    QString name_;
    QString group_;
    bool active_ = false;
    quint64 generation_ = 0; // answers for an earlier start are dropped
    QElapsedTimer lastCount_;
    QTimer countTimer_;
};
