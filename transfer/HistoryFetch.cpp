#include "transfer/HistoryFetch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

HistoryFetch::HistoryFetch(const QString& hostAddress, quint16 webPort, quint16 seatPort,
                           QObject* parent)
    // The page's own origin, as the surface accepts from nobody else.
    : QObject(parent), socket_(QStringLiteral("http://%1:%2").arg(hostAddress).arg(webPort)),
      seatPort_(seatPort) {
    connect(&socket_, &QWebSocket::connected, this, [this] {
        socket_.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{QStringLiteral("type"), QStringLiteral("history")},
                                      {QStringLiteral("seatPort"), seatPort_}})
                .toJson(QJsonDocument::Compact)));
    });
    connect(&socket_, &QWebSocket::textMessageReceived, this, &HistoryFetch::message);
    connect(&socket_, &QWebSocket::disconnected, this, [this] { finish(false); });
    connect(&socket_, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { finish(false); });
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, [this] { finish(false); });
    deadline_.start(kWaitMs);
    socket_.setMaxAllowedIncomingMessageSize(1 << 20);
    socket_.open(QUrl(QStringLiteral("ws://%1:%2/ws").arg(hostAddress).arg(webPort)));
}

HistoryFetch::~HistoryFetch() {
    // The socket closes last, after the members its signals would reach.
    socket_.disconnect(this);
}

void HistoryFetch::message(const QString& text) {
    const QJsonObject frame = QJsonDocument::fromJson(text.toUtf8()).object();
    // An older host refuses the question: that is no history, not an error.
    if (frame.value(QStringLiteral("type")).toString() != QStringLiteral("history") ||
        !frame.value(QStringLiteral("kept")).toBool(true)) {
        finish(false);
        return;
    }
    for (const QJsonValue& value : frame.value(QStringLiteral("lines")).toArray()) {
        const QJsonObject one = value.toObject();
        const QByteArray message =
            QByteArray::fromBase64(one.value(QStringLiteral("b")).toString().toLatin1(),
                                   QByteArray::AbortOnBase64DecodingErrors);
        if (message.size() < 2 || lines_.size() >= kMaxLines) {
            finish(false);
            return;
        }
        lines_.append(
            {QDateTime::fromMSecsSinceEpoch(one.value(QStringLiteral("t")).toInteger()), message});
    }
    if (!frame.value(QStringLiteral("more")).toBool())
        finish(true);
}

void HistoryFetch::finish(bool got) {
    if (over_)
        return;
    over_ = true;
    deadline_.stop();
    socket_.close();
    if (got)
        emit received(lines_);
    else
        emit nothing();
}
