#pragma once

#include <QIcon>

// The program's icon, the mascot, in every size drawn for the desktop.
QIcon appIcon();
