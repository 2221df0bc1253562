#pragma once

#include <QStringList>

// The participants of the soak, in their own process: 100 slots that join, talk,
// whisper and leave at random, and account for every line each of them was owed.
int soakDriverMain(const QStringList& args);
