#include "discovery/FoundRoom.h"

QString FoundRoom::entryText() const {
    const QString count = online >= 0 ? QString::number(online) : QStringLiteral("?");
    return QStringLiteral("%1 (%2, %3 人) %4:%5").arg(room, nickname, count, address).arg(port);
}

namespace roomtxt {

QList<QByteArray> encode(const QString& nickname, int online, quint16 webPort) {
    QList<QByteArray> records{"nick=" + nickname.toUtf8(), "online=" + QByteArray::number(online)};
    if (webPort != 0)
        records.append("web=" + QByteArray::number(webPort));
    return records;
}

void decode(const QList<QByteArray>& records, FoundRoom& room) {
    for (const QByteArray& record : records) {
        const qsizetype equals = record.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = record.left(equals);
        const QByteArray value = record.mid(equals + 1);
        bool ok = false;
        if (key == "nick") {
            room.nickname = QString::fromUtf8(value);
        } else if (key == "online") {
            const int n = value.toInt(&ok);
            if (ok && n >= 0)
                room.online = n;
        } else if (key == "web") {
            const ushort port = value.toUShort(&ok);
            if (ok)
                room.webPort = port;
        }
    }
}

} // namespace roomtxt
