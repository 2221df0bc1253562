#include "ui/Dialogs.h"

#include <QCoreApplication>

namespace {
Dialogs* installed = nullptr;
} // namespace

Dialogs& Dialogs::instance() {
    Q_ASSERT_X(installed != nullptr, "Dialogs::instance", "no dialog service installed");
    return *installed;
}

void Dialogs::install(Dialogs* dialogs) {
    installed = dialogs;
}

QString applicationTitle() {
    return QStringLiteral("Pinwa聊天室");
}
