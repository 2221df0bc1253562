#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class QTimer;
class QWidget;

// Desktop notifications through the notification service on the session bus.
// With no bus or no service it stays silent: nothing is sent, nothing is shown.
// A peer gets at most one notification every few seconds; the lines of a burst
// come together in one, with their count. Peer text is always shown as text: a
// service that reads markup gets it escaped.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 5000;
    // Notifications whose click still brings their window forward.
    static constexpr int kRemembered = 32;

    explicit DesktopNotifier(QObject* parent = nullptr);

    // A line from one peer; a click on the notification brings target forward.
    void notify(const QString& peer, const QString& title, const QString& text, QWidget* target);
    // The user is back: the next line starts a fresh count.
    void forgetBursts();

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    struct Burst {
        QPointer<QWidget> target;
        QString title;
        QString text;
        int count = 0;
        uint id = 0; // the notification it replaces, once the service has answered
        qint64 shownAt = -kQuietMs;
        QTimer* later = nullptr; // only while lines wait for the quiet time to end
    };
    struct Shown {
        uint id;
        QPointer<QWidget> target;
    };
    enum class Markup { Unknown, No, Yes };

    void watchService();
    // running: the service is up now, not only startable on demand.
    void serviceSeen(bool running);
    void askCapabilities();
    // An asynchronous question to the bus; found says whether the answer means the service is
    // there.
    void askBus(const QString& method, const QVariantList& arguments,
                bool (*found)(const QVariant&), bool running);
    void show(const QString& peer);
    void stopLater(Burst& burst);
    void remember(uint id, QWidget* target);
    QString asText(const QString& text) const;

    bool busUp_ = false;
    bool serviceUp_ = false;
    Markup markup_ = Markup::Unknown;
    bool askedMarkup_ = false;
    // Bursts that waited for the service to say whether it reads markup.
    QStringList waiting_;
    QElapsedTimer clock_;
    // One per peer heard from since the user was last in Pinwa.
    QHash<QString, Burst> bursts_;
    // The latest notifications, and the windows their clicks bring forward.
    QList<Shown> clickable_;
};
