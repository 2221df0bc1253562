#include "app/ProgramSettings.h"

#include <QStandardPaths>

namespace {

const char* const kWebJoin = "webJoin";

} // namespace

ProgramSettings::ProgramSettings() : store_(fileName(), QSettings::IniFormat) {}

QString ProgramSettings::fileName() {
    // The generic location, not the application's: the tests run under other names.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/pinwa/pinwa.conf");
}

bool ProgramSettings::webJoin() const {
    return store_.value(QLatin1String(kWebJoin), false).toBool();
}

void ProgramSettings::setWebJoin(bool on) {
    store_.setValue(QLatin1String(kWebJoin), on);
    store_.sync(); // written at once, so a crash later does not forget it
}
