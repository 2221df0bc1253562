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

// The speaker of a talk line (the text before " 对 " or " 自言自语地说道: "),
// or empty when the line is not talk.
QByteArray talkSender(const QByteArray& line);

} // namespace wire
