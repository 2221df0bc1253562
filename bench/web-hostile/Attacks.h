#pragma once

#include "Honest.h"

#include <QList>
#include <QPair>
#include <QString>

// What every attack may use: the room, an honest seated page of the main
// thread's own (it sends the honest file checks), and a file of the room.
struct Context {
    Room room;
    RawPage& honestPage;
    QByteArray roomFileToken; // empty until an attack needs the file
    QString roomFileName = QStringLiteral("room.bin");
    int filesTried = 0, filesThrough = 0;
};

// What one attack found, as "label: value" lines for its table.
struct Found {
    QList<QPair<QString, QString>> figures;
    void add(const QString& label, const QString& value);
};

struct Attack {
    const char* name;
    const char* what;
    Found (*run)(Context&);
    bool needsRoomFile = false; // sent before the attack's window opens
};

// The attacks, in the order they run; every one ends what it opened.
const QList<Attack>& attacks();

// The honest page's 8 MiB file that the download attacks ask for, sent the first
// time one needs it (not before: the big offers are to find the room empty).
bool ensureRoomFile(Context& c);

// The honest page's 1 KiB file to the host, in a word: "through (12 ms)" or "refused: ...".
QString honestFile(Context& c);
