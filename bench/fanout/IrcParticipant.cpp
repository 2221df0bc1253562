#include "IrcParticipant.h"

namespace irc {

bool join(RawParticipant& p, quint16 port, const QByteArray& nickname, int timeoutMs) {
    if (!p.connectTo(port))
        return false;
    if (!p.sendAll("NICK " + nickname + "\r\nUSER " + nickname + " 0 * :" + nickname + "\r\n"))
        return false;
    if (!p.waitFor(" 001 ", timeoutMs))
        return false;
    const qsizetype from = p.received.size();
    if (!p.sendAll(QByteArray("JOIN ") + kChannel + "\r\n"))
        return false;
    return p.waitFor(" 366 ", timeoutMs, from);
}

QByteArray privmsg(const QByteArray& text) {
    return QByteArray("PRIVMSG ") + kChannel + " :" + text + "\r\n";
}

void answerPings(RawParticipant& p) {
    for (qsizetype at = p.received.indexOf("PING "); at >= 0;
         at = p.received.indexOf("PING ", at + 1)) {
        if (at > 0 && p.received[at - 1] != '\n')
            continue;
        const qsizetype end = p.received.indexOf('\n', at);
        if (end < 0)
            break;
        p.sendAll("PONG " + p.received.mid(at + 4, end - at - 4).trimmed() + "\r\n");
    }
}

} // namespace irc
