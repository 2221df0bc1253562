#pragma once

#include <QByteArray>

// How a chat-log line relates to the reader, for drawing and for alerts only:
// the stored bytes never change.
namespace wire {

enum class LineKind {
    Own,    // said by the reader
    ToMe,   // "X 对 <reader> 说: ..."
    Notice, // the welcome and leave lines
    Other,
};

LineKind classifyLine(const QByteArray& line, const QByteArray& ownNickname);

// What of a line decides its kind for any reader, found once so that many readers of
// the same line each need only a comparison or two.
struct LineParts {
    LineKind unaddressed = LineKind::Other; // Notice or Other: what a line that is not talk is
    QByteArray sender;                      // a talk line's speaker, else empty
    QByteArray toRest;                      // what follows "<sender> 对 ", else empty
};
LineParts lineParts(const QByteArray& line);
LineKind kindFor(const LineParts& parts, QByteArrayView ownNickname);

// The speaker of a talk line (the text before " 对 " or " 自言自语地说道: "),
// or empty when the line is not talk.
QByteArray talkSender(const QByteArray& line);

} // namespace wire
