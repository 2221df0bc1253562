#pragma once

#include "ProcessFigures.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <functional>
#include <memory>

class TForm1;

// Settings, room records and picture caches in a folder of this run's own, removed when
// it ends (children started meanwhile use it too): a benchmark never writes into the
// user's home, nor reads what an earlier run left there. Made before anything hosts.
class ScratchHome {
public:
    ScratchHome();
    QString path() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

// The real main window hosting a room, started through its own run button.
std::unique_ptr<TForm1> startHostWindow(quint16 port, const QString& nickname = "host",
                                        const QString& roomName = "room");

// Starts hosting in a shown window, as the user would on the settings page.
void hostIn(TForm1& form, quint16 port, const QString& nickname, const QString& roomName);
// Joins the room on 127.0.0.1:port in a shown window, as the user would.
void joinIn(TForm1& form, quint16 port, const QString& nickname);

// Lifts the host's per-connection budget (10 messages a second), which would
// otherwise set the pace of a sender that writes as fast as it can: a fanout
// benchmark measures the relay, not the metering.
void liftBudget(TForm1& form);

// Participants that hold a nickname right now.
int seatedCount(const TForm1& form);

// Runs the Qt event loop until the child closes its stdout, handing over each line.
void runUntilChildEnds(const figures::Child& child,
                       const std::function<void(const QByteArray&)>& onLine);

// Runs the event loop until done() holds or timeoutMs passes; returns done().
bool runUntil(const std::function<bool()>& done, int timeoutMs);
