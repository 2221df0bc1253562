#pragma once

#include <QObject>

struct RoomState;
class QListWidget;
class RoomHost;

// For the host: hovering a user-list entry shows where that participant connects
// from and how long it has been in the room.
class HostTooltips : public QObject {
    Q_OBJECT

public:
    HostTooltips(QListWidget* list, const RoomState& room, const RoomHost& host);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QListWidget* list_;
    const RoomState& room_;
    const RoomHost& host_;
};
