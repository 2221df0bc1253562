// The room on the network: announced while the host runs it, found by clients.
#include "app/RoomFinder.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "discovery/RoomAnnouncer.h"
#include "protocol/Gb.h"
#include "web/WebGateway.h"

#include <QCheckBox>
#include <QSpinBox>

void TForm1::wireDiscovery() {
    announcer = new RoomAnnouncer(this);
    finder = new RoomFinder(this, page, settings, ts);
}

void TForm1::startAnnounce() {
    if (!settings->announce->isChecked())
        return;
    announcer->start({gb::toDisplay(room.roomName), gb::toDisplay(room.ownNickname),
                      static_cast<quint16>(settings->port2->value()), room.occupancy + 1,
                      web->isRunning() ? web->port() : quint16(0)});
}
