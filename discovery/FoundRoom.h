#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A room as announced: its DNS-SD instance name and what its TXT records say.
struct FoundRoom {
    QString key; // where it was seen: interface and instance name
    QString room;
    QString nickname;
    int online = -1; // -1: not said
    QString address;
    quint16 port = 0;
    quint16 webPort = 0; // 0: no web page

    // How the settings page lists it: <room> (<nickname>, <n> 人) <address>:<port>
    QString entryText() const;
};

namespace roomtxt {

// TXT records of a room: nick=, online= and, with web joining on, web=.
QList<QByteArray> encode(const QString& nickname, int online, quint16 webPort);
// Fills what the records say into room; unknown or malformed records are left alone.
void decode(const QList<QByteArray>& records, FoundRoom& room);

} // namespace roomtxt
