#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QWebSocket>

// A message as a page sends it: {"type": type, ...more}.
inline QJsonObject msg(const QString& type,
                       std::initializer_list<std::pair<QString, QJsonValue>> more = {}) {
    QJsonObject o{{QStringLiteral("type"), type}};
    for (const auto& [k, v] : more)
        o.insert(k, v);
    return o;
}

// A page of our own as the gateway sees it: a WebSocket from the page's origin,
// recording every message the gateway sends.
class WebPage {
public:
    explicit WebPage(quint16 webPort, const QString& host = QStringLiteral("127.0.0.1"))
        : origin_(QStringLiteral("http://%1:%2").arg(host).arg(webPort)), socket_(origin_) {
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, [this](const QString& t) {
            got.append(QJsonDocument::fromJson(t.toUtf8()).object());
        });
        socket_.open(QUrl(QStringLiteral("ws://%1:%2/ws").arg(host).arg(webPort)));
    }

    bool waitOpen() {
        return QTest::qWaitFor(
            [this] { return socket_.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    // Opens and takes a seat under that nickname; false when either does not happen.
    bool joinAs(const QString& nickname) {
        if (!waitOpen())
            return false;
        send(msg("join", {{"nickname", nickname}}));
        return !take(QStringLiteral("users")).isEmpty();
    }
    void send(const QJsonObject& message) {
        socket_.sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson()));
    }
    // The first message of that type not yet taken, waiting for it if need be.
    QJsonObject take(const QString& type, int timeoutMs = 5000) {
        QJsonObject found;
        (void)QTest::qWaitFor(
            [&] {
                for (qsizetype i = taken_; i < got.size(); ++i) {
                    if (got[i].value(QStringLiteral("type")).toString() == type) {
                        found = got[i];
                        taken_ = i + 1;
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }
    QWebSocket& socket() { return socket_; }

    QList<QJsonObject> got;

private:
    QString origin_;
    QWebSocket socket_;
    qsizetype taken_ = 0;
};
