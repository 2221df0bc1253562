#pragma once

#include <QListWidgetItem>
#include <QObject>

struct RoomState;
class QListWidget;
class RoomHost;

// For the host: each user-list entry tells, as its tooltip, where that participant
// connects from and how long it has been in the room. Asked for whenever it is shown
// or read, by a hover or by assistive technology, so the time is always current.
class HostTooltips : public QObject {
    Q_OBJECT

public:
    HostTooltips(QListWidget* list, const RoomState& room, const RoomHost& host);

    // An entry of the user list for a nickname, carrying these tooltips.
    QListWidgetItem* addEntry(const QString& shown, const QByteArray& nickname);
    // Empty for a client and for a nickname that holds no seat.
    QString tipFor(const QByteArray& nickname) const;

private:
    QListWidget* list_;
    const RoomState& room_;
    const RoomHost& host_;
};
