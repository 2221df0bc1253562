#pragma once

#include <QSettings>

// The program's own settings, kept apart from col.col (whose seven lines other
// copies share) in $XDG_CONFIG_HOME/pinwa/pinwa.conf.
class ProgramSettings {
public:
    ProgramSettings();

    static QString fileName();

    // Whether a room hosted here also lets phones and browsers join.
    bool webJoin() const;
    void setWebJoin(bool on);

    // Whether a room hosted here is announced on the local network.
    bool announce() const;
    void setAnnounce(bool on);

    // What the room's files may take: each one, in MiB, and all together, in GiB.
    int fileLimitMiB() const;
    void setFileLimitMiB(int mib);
    int roomLimitGiB() const;
    // Offered pictures up to this size show inline, fetched at once; larger stay files.
    int pictureLimitMiB() const;
    void setRoomLimitGiB(int gib);

    // Whether a room hosted here keeps its public talk for later, and how much a
    // newcomer is shown of it.
    bool roomHistory() const;
    void setRoomHistory(bool on);
    int historyLines() const;
    // How much a room keeps: the oldest lines go first beyond either.
    int keepLines() const;
    int keepDays() const;
    // Where kept rooms live: $XDG_DATA_HOME/pinwa/rooms.
    static QString historyFolder();

private:
    QSettings store_;
};
