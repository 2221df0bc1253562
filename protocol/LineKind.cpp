#include "protocol/LineKind.h"

#include "protocol/Wire.h"

namespace wire {

namespace {

// The first marker decides: a nickname holding " 对 " is rare, a text holding it common.
qsizetype markerAt(const QByteArray& line, const QByteArray& marker) {
    const qsizetype at = line.indexOf(marker);
    return at > 0 ? at : -1;
}

} // namespace

QByteArray talkSender(const QByteArray& line) {
    const qsizetype to = markerAt(line, kTalkTo);
    const qsizetype self = markerAt(line, kSelfTalk);
    if (to < 0 && self < 0)
        return {};
    const qsizetype at = (to < 0 || (self >= 0 && self < to)) ? self : to;
    return line.left(at);
}

LineParts lineParts(const QByteArray& line) {
    LineParts parts;
    parts.sender = talkSender(line);
    if (parts.sender.isEmpty()) {
        QByteArrayView body(line);
        if (body.endsWith(CR))
            body.chop(1);
        if (body.startsWith(kWelcome) || body.endsWith(kLeaves))
            parts.unaddressed = LineKind::Notice;
        return parts;
    }
    const QByteArrayView rest = QByteArrayView(line).sliced(parts.sender.size());
    if (rest.startsWith(kTalkTo))
        parts.toRest = rest.sliced(kTalkTo.size()).toByteArray();
    return parts;
}

LineKind kindFor(const LineParts& parts, QByteArrayView ownNickname) {
    if (parts.sender.isEmpty())
        return parts.unaddressed;
    if (ownNickname.isEmpty())
        return LineKind::Other;
    if (parts.sender == ownNickname)
        return LineKind::Own;
    if (parts.toRest.startsWith(ownNickname) &&
        QByteArrayView(parts.toRest).sliced(ownNickname.size()).startsWith(kSays))
        return LineKind::ToMe;
    return LineKind::Other;
}

LineKind classifyLine(const QByteArray& line, const QByteArray& ownNickname) {
    return kindFor(lineParts(line), ownNickname);
}

} // namespace wire
