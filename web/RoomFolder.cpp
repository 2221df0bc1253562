#include "web/RoomFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

const QString kPrefix = QStringLiteral("room-");

// Only a dead owner makes a lock stale: a room may run for days.
void onlyDeadOwnersAreStale(QLockFile& lock) {
    lock.setStaleLockTime(0);
}

} // namespace

RoomFolder::RoomFolder(const QString& under)
    : dir_(QDir(madeBase(under)).filePath(kPrefix + QStringLiteral("XXXXXX"))) {
    // QTemporaryDir makes it 0700: other users of the machine cannot look in.
    if (!dir_.isValid())
        return;
    lock_ = std::make_unique<QLockFile>(lockPath(dir_.path()));
    onlyDeadOwnersAreStale(*lock_);
    if (lock_->tryLock(0))
        removeLeftovers(QFileInfo(dir_.path()).absolutePath(), dir_.path());
}

RoomFolder::~RoomFolder() = default;

bool RoomFolder::isValid() const {
    return dir_.isValid() && lock_ && lock_->isLocked();
}

QString RoomFolder::defaultBase() {
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::tempPath();
    return QDir(cache).filePath(QStringLiteral("pinwa/files"));
}

QString RoomFolder::lockPath(const QString& folder) {
    return QDir(folder).filePath(QStringLiteral("room.lock"));
}

QString RoomFolder::madeBase(const QString& under) {
    const QString base = under.isEmpty() ? defaultBase() : under;
    if (QDir().mkpath(base) && under.isEmpty())
        QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return base;
}

void RoomFolder::removeLeftovers(const QString& base, const QString& own) {
    const QDir dir(base);
    const QStringList names =
        dir.entryList({kPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const QString folder = dir.filePath(name);
        // A folder without its lock is a room still being made.
        if (folder == own || !QFileInfo::exists(lockPath(folder)))
            continue;
        QLockFile lock(lockPath(folder));
        onlyDeadOwnersAreStale(lock);
        if (!lock.tryLock(0))
            continue; // its copy is still running
        lock.unlock();
        QDir(folder).removeRecursively();
    }
}
