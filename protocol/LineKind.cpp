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

LineKind classifyLine(const QByteArray& line, const QByteArray& ownNickname) {
    const QByteArray sender = talkSender(line);
    if (sender.isEmpty()) {
        QByteArrayView body(line);
        if (body.endsWith(CR))
            body.chop(1);
        return body.startsWith(kWelcome) || body.endsWith(kLeaves) ? LineKind::Notice
                                                                   : LineKind::Other;
    }
    if (ownNickname.isEmpty())
        return LineKind::Other;
    if (sender == ownNickname)
        return LineKind::Own;
    const QByteArrayView rest = QByteArrayView(line).sliced(sender.size());
    if (rest.startsWith(kTalkTo) && rest.sliced(kTalkTo.size()).startsWith(ownNickname + kSays))
        return LineKind::ToMe;
    return LineKind::Other;
}

} // namespace wire
