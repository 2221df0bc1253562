#include "app/ProgramSettings.h"

#include <QStandardPaths>
#include <algorithm>

namespace {

const char* const kWebJoin = "webJoin";
const char* const kAnnounce = "announce";
const char* const kFileLimit = "files/perFileMiB";
const char* const kRoomLimit = "files/perRoomGiB";
const char* const kPictureLimit = "pictures/inlineMiB";
const char* const kRoomHistory = "roomHistory";
const char* const kHistoryLines = "history/linesForNewcomers";
const char* const kKeepLines = "history/keepLines";
const char* const kKeepDays = "history/keepDays";

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

bool ProgramSettings::announce() const {
    return store_.value(QLatin1String(kAnnounce), true).toBool();
}

void ProgramSettings::setAnnounce(bool on) {
    store_.setValue(QLatin1String(kAnnounce), on);
    store_.sync();
}

int ProgramSettings::fileLimitMiB() const {
    return store_.value(QLatin1String(kFileLimit), 2048).toInt();
}

void ProgramSettings::setFileLimitMiB(int mib) {
    store_.setValue(QLatin1String(kFileLimit), mib);
    store_.sync();
}

int ProgramSettings::pictureLimitMiB() const {
    return std::clamp(store_.value(QLatin1String(kPictureLimit), 10).toInt(), 0, 2048);
}

int ProgramSettings::roomLimitGiB() const {
    return store_.value(QLatin1String(kRoomLimit), 10).toInt();
}

void ProgramSettings::setRoomLimitGiB(int gib) {
    store_.setValue(QLatin1String(kRoomLimit), gib);
    store_.sync();
}

bool ProgramSettings::roomHistory() const {
    return store_.value(QLatin1String(kRoomHistory), true).toBool();
}

void ProgramSettings::setRoomHistory(bool on) {
    store_.setValue(QLatin1String(kRoomHistory), on);
    store_.sync();
}

QString ProgramSettings::historyFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/pinwa/rooms");
}

int ProgramSettings::historyLines() const {
    return std::clamp(store_.value(QLatin1String(kHistoryLines), 200).toInt(), 0, 10000);
}

int ProgramSettings::keepLines() const {
    return std::clamp(store_.value(QLatin1String(kKeepLines), 100000).toInt(), 1, 10000000);
}

int ProgramSettings::keepDays() const {
    return std::clamp(store_.value(QLatin1String(kKeepDays), 30).toInt(), 1, 36500);
}
