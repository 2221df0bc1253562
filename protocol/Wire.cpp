#include "protocol/Wire.h"

namespace wire {

const QByteArray kHostName("\xb7\xfe\xce\xf1\xc6\xf7");
const QByteArray kTalkTo(" \xb6\xd4 ");
const QByteArray kSays(" \xcb\xb5: ");
const QByteArray kSelfTalk(" \xd7\xd4\xd1\xd4\xd7\xd4\xd3\xef\xb5\xd8\xcb\xb5\xb5\xc0: ");
const QByteArray kLeaves(" \xc0\xeb\xbf\xaa\xc1\xc4\xcc\xec\xca\xd2!");
const QByteArray kWelcome("\xbb\xb6\xd3\xad\xc0\xb4\xb5\xbd:");
const QByteArray
    kRoomFull("\xb6\xd4\xb2\xbb\xc6\xf0\xa3\xa1\n\xc1\xc4\xcc\xec\xca\xd2\xc8\xcb\xc2\xfa!");
const QByteArray
    kNicknameInUse("\xc4\xfa\xb5\xc4\xea\xc7\xb3\xc6\xd2\xd1\xbe\xad\xd3\xd0\xc8\xcb\xd4\xda"
                   "\xca\xb9\xd3\xc3\xc1\xcb!");
const QByteArray kNicknameControl("\xea\xc7\xb3\xc6\xb2\xbb\xc4\xdc\xba\xac\xd3\xd0\xbf\xd8\xd6\xc6"
                                  "\xd7\xd6\xb7\xfb!");
const QByteArray kNicknameTooLong("\xea\xc7\xb3\xc6\xcc\xab\xb3\xa4\xc1\xcb!");

Message parse(const QByteArray& message) {
    return Message{message.left(2), message.mid(2)};
}

QByteArray seatField(int seat) {
    return QByteArray::number(seat).rightJustified(3, '0');
}

std::optional<int> seatNumber(QByteArrayView field) {
    if (field.size() != 3)
        return std::nullopt;
    int value = 0;
    for (char c : field) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 100)
        return std::nullopt;
    return value;
}

static QByteArray join(QByteArrayView code, QByteArrayView a, QByteArrayView b = {}) {
    QByteArray out;
    out.reserve(code.size() + a.size() + b.size());
    out.append(code).append(a).append(b);
    return out;
}

QByteArray joinRequest() {
    return kJoin.toByteArray();
}
QByteArray joinReply(const QByteArray& nickname) {
    return join(kJoin, nickname);
}
QByteArray notice(const QByteArray& text) {
    return join(kNotice, text);
}
QByteArray line(const QByteArray& text) {
    return join(kLine, text);
}
QByteArray roster(const QByteArray& rosterText) {
    return join(kRoster, rosterText);
}
QByteArray whisperRequest(const QByteArray& nickname) {
    return join(kWhisperRequest, nickname);
}

QByteArray whisperAnswer(QByteArrayView seatField, const QByteArray& name) {
    return join(kWhisperRequest, seatField, name);
}

QByteArray whisper(QByteArrayView seatField, const QByteArray& whisperLine) {
    return join(kWhisper, seatField, whisperLine);
}

QByteArray nicknameRequest(QByteArrayView seatField) {
    return join(kNickname, seatField);
}

QByteArray nicknameAnswer(QByteArrayView seatField, const QByteArray& nickname) {
    return join(kNickname, seatField, nickname);
}

QByteArray talkLine(const QByteArray& sender, const QByteArray& addressee, const QByteArray& text) {
    return sender + kTalkTo + addressee + kSays + text + CR;
}

QByteArray selfTalkLine(const QByteArray& sender, const QByteArray& text) {
    return sender + kSelfTalk + text + CR;
}

QByteArray leaveNotice(const QByteArray& nickname) {
    return nickname + kLeaves + CR;
}
QByteArray welcome(const QByteArray& roomName) {
    return kWelcome + roomName;
}

QByteArray whisperLine(const QByteArray& sender, const QByteArray& text) {
    return sender + kSays + text;
}

QByteArray rosterText(const QList<QByteArray>& nicknames) {
    QByteArray out;
    for (const QByteArray& nickname : nicknames)
        out.append(nickname).append(LF);
    return out;
}

QList<QByteArray> rosterLines(const QByteArray& rosterText) {
    QList<QByteArray> lines = rosterText.split(LF);
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool isSafeNickname(const QByteArray& nickname) {
    for (char c : nickname) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

bool isTalkLineFrom(const QByteArray& line, const QByteArray& sender) {
    if (!line.endsWith(CR))
        return false;
    const QByteArrayView body = QByteArrayView(line).chopped(1);
    if (body.contains(CR) || body.contains(LF))
        return false;
    if (!body.startsWith(sender))
        return false;
    const QByteArrayView rest = body.sliced(sender.size());
    return rest.startsWith(kTalkTo) || rest.startsWith(kSelfTalk);
}

bool isWhisperLineFrom(const QByteArray& line, const QByteArray& sender) {
    return line.startsWith(sender) && QByteArrayView(line).sliced(sender.size()).startsWith(kSays);
}

QList<QByteArray> split(const QByteArray& read, QByteArrayView codeLetters,
                        QByteArrayView wholeCodes) {
    QList<QByteArray> messages;
    qsizetype start = 0;
    const auto runsToEnd = [&] {
        return start + 1 < read.size() && read[start] == '&' &&
               wholeCodes.contains(read[start + 1]);
    };
    for (qsizetype i = 0; i + 2 < read.size() && !runsToEnd(); ++i) {
        if (read[i] == CR && read[i + 1] == '&' && codeLetters.contains(read[i + 2])) {
            messages.append(read.mid(start, i + 1 - start));
            start = i + 1;
        }
    }
    messages.append(read.mid(start));
    return messages;
}

} // namespace wire
