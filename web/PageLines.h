#pragma once

#include "protocol/LineKind.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <array>
#include <deque>

// What pages are sent for the lines of the room, made once for every seat a read
// reaches (the host hands each seat the same read): a seat only numbers the frames,
// and takes another body only for a line that is its own or said to it.
class PageLines {
public:
    struct Line {
        wire::LineParts parts;
        // By kind: the frame without its number, for each kind some reader can see.
        std::array<QByteArray, 4> bodies;
        const QByteArray& bodyFor(QByteArrayView ownNickname) const {
            return bodies[static_cast<std::size_t>(wire::kindFor(parts, ownNickname))];
        }
        // What a reader who neither said it nor is spoken to gets.
        const QByteArray& plainBody() const {
            return bodies[static_cast<std::size_t>(parts.sender.isEmpty() ? parts.unaddressed
                                                                          : wire::LineKind::Other)];
        }
    };

    // One log line as it arrived (CR included), shown at `time`.
    static Line line(const QByteArray& bytes, const QByteArray& time);
    // What a read holds, when every seat takes it alike: nothing but lines, or one list
    // of the room's users. Anything else takes the room client's own way.
    struct Read {
        enum class Kind { Other, Lines, Users } kind = Kind::Other;
        QList<Line> lines;
        // The number of the first line's plain body among the shared ones (sharedBody).
        quint64 firstShared = 0;
        // Whoever said one of the lines or may be spoken to in one: only they need
        // bodies line by line; everyone else takes each line's plain body.
        QSet<QByteArray> involved;
        QList<QByteArray> nicknames;
        QByteArray usersBody; // the page's "users" frame without its number
    };
    // Valid until the next call.
    const Read& read(QByteArrayView bytes);
    // The plain body of a line read lately, by its number: a seat's replay refers to these
    // rather than keeping each. Null once the line is older than every seat keeps.
    const QByteArray* sharedBody(quint64 number) const;
    // "HH:mm:ss" now, worked out once a second: the local time costs the C library a
    // look at the time zone file each time.
    QByteArray time();

private:
    void share(const QByteArray& body);

    std::deque<QByteArray> shared_;
    quint64 firstShared_ = 0; // the number of shared_.front()
    qsizetype sharedBytes_ = 0;
    QByteArray bytes_;
    qint64 readSecond_ = -1;
    Read read_;
    qint64 second_ = -1;
    QByteArray time_;
};
