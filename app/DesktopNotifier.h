#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

class QTimer;
class QWidget;

// Desktop notifications through the notification service on the session bus.
// With no bus or no service it stays silent: nothing is sent, nothing is shown.
// A peer gets at most one notification every few seconds; the lines of a burst
// come together in one, with their count.
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 5000;

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
        QTimer* later = nullptr;
    };

    void watchService();
    // An asynchronous question to the bus; found says whether the answer means the service is
    // there.
    void askBus(const QString& method, const QVariantList& arguments,
                bool (*found)(const QVariant&));
    void show(const QString& peer);

    bool busUp_ = false;
    bool serviceUp_ = false;
    QElapsedTimer clock_;
    QHash<QString, Burst> bursts_;
};
