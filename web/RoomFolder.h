#pragma once

#include <QLockFile>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// A running room's private folder (0700), by default under the user's cache rather
// than /tmp, where a tmpfs would keep up to 10 GiB of files in memory. It goes with
// the room; the folders of a copy that crashed or was logged out are removed when
// the next room starts, known by the lock each running room holds in its own.
class RoomFolder {
public:
    explicit RoomFolder(const QString& under = QString());
    ~RoomFolder();
    RoomFolder(const RoomFolder&) = delete;
    RoomFolder& operator=(const RoomFolder&) = delete;

    bool isValid() const;
    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }

    // $XDG_CACHE_HOME/pinwa/files
    static QString defaultBase();
    static QString lockPath(const QString& folder);

private:
    static QString madeBase(const QString& under);
    static void removeLeftovers(const QString& base, const QString& own);

    QTemporaryDir dir_;
    std::unique_ptr<QLockFile> lock_; // released before the folder goes
};
