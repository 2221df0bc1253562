#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <optional>

// The chat's wire messages: a two-byte code ("&" + capital letter) and a payload,
// all GB2312 bytes, one read being one message. Pure functions over bytes.
namespace wire {

// Message codes.
inline constexpr QByteArrayView kJoin = "&U";
inline constexpr QByteArrayView kNotice = "&G";
inline constexpr QByteArrayView kLine = "&S";
inline constexpr QByteArrayView kRoster = "&Y";
inline constexpr QByteArrayView kWhisperRequest = "&W";
inline constexpr QByteArrayView kWhisper = "&Q";
inline constexpr QByteArrayView kNickname = "&P";

// The code letters each side understands, in the order it tests them.
inline constexpr QByteArrayView kHostCodes = "QWPUS";
inline constexpr QByteArrayView kClientCodes = "PQWGUSY";
// What a client never cuts: a whisper carries a participant's text unchanged.
inline constexpr QByteArrayView kClientWholeCodes = "Q";

// The seat field of the host in whispers.
inline constexpr QByteArrayView kHostSeat = "ser";

inline constexpr char CR = '\r';
inline constexpr char LF = '\n';

// Fixed GB2312 texts.
extern const QByteArray kHostName;        // 服务器
extern const QByteArray kTalkTo;          // " 对 "
extern const QByteArray kSays;            // " 说: "
extern const QByteArray kSelfTalk;        // " 自言自语地说道: "
extern const QByteArray kLeaves;          // " 离开聊天室!"
extern const QByteArray kWelcome;         // 欢迎来到:
extern const QByteArray kRoomFull;        // 对不起！ LF 聊天室人满!
extern const QByteArray kNicknameInUse;   // 您的昵称已经有人在使用了!
extern const QByteArray kNicknameControl; // 昵称不能含有控制字符!
extern const QByteArray kNicknameTooLong; // 昵称太长了!

// What the host accepts from a participant. Our clients' nickname box holds 20
// characters; a talk or whisper line this long is far beyond anything typed.
inline constexpr qsizetype kMaxNicknameBytes = 64;
inline constexpr qsizetype kMaxLineBytes = 8192;

struct Message {
    QByteArray code;    // bytes 1-2 (shorter when the message is)
    QByteArray payload; // bytes 3 to the end

    // Addressed messages: bytes 3-5 and bytes 6 to the end.
    QByteArray seatField() const { return payload.left(3); }
    QByteArray text() const { return payload.mid(3); }
};

Message parse(const QByteArray& message);

// "007" for seat 7.
QByteArray seatField(int seat);

// The seat number of a field of exactly three ASCII digits in 0..100, else nothing.
std::optional<int> seatNumber(QByteArrayView field);

// Builders, one per message of the protocol.
QByteArray joinRequest();
QByteArray joinReply(const QByteArray& nickname);
QByteArray notice(const QByteArray& text);
QByteArray line(const QByteArray& text);
QByteArray roster(const QByteArray& rosterText);
QByteArray whisperRequest(const QByteArray& nickname);
QByteArray whisperAnswer(QByteArrayView seatField, const QByteArray& name);
QByteArray whisper(QByteArrayView seatField, const QByteArray& whisperLine);
QByteArray nicknameRequest(QByteArrayView seatField);
QByteArray nicknameAnswer(QByteArrayView seatField, const QByteArray& nickname);

// Texts carried inside messages.
QByteArray talkLine(const QByteArray& sender, const QByteArray& addressee, const QByteArray& text);
QByteArray selfTalkLine(const QByteArray& sender, const QByteArray& text);
QByteArray leaveNotice(const QByteArray& nickname);
QByteArray welcome(const QByteArray& roomName);
QByteArray whisperLine(const QByteArray& sender, const QByteArray& text);

// Every nickname followed by LF.
QByteArray rosterText(const QList<QByteArray>& nicknames);
// Roster lines; the final LF ends the last line and makes no empty entry.
QList<QByteArray> rosterLines(const QByteArray& rosterText);

// A nickname that cannot split a roster or a line: no byte below 0x20.
bool isSafeNickname(const QByteArray& nickname);

// A talk line as our clients make it for this sender: sender + " 对 " or
// sender + " 自言自语地说道: ", one CR at the very end and no other CR or LF.
bool isTalkLineFrom(const QByteArray& line, const QByteArray& sender);

// A whisper line as our clients make it for this sender: sender + " 说: " + text.
bool isWhisperLineFrom(const QByteArray& line, const QByteArray& sender);

// Cuts one read into messages at each CR directly followed by "&" and one of the
// given code letters; the CR stays with the message it ends. Nothing else splits.
// A message whose code letter is in wholeCodes runs to the end of the read: its
// text is a participant's, and must not turn into messages of anyone else.
QList<QByteArray> split(const QByteArray& read, QByteArrayView codeLetters,
                        QByteArrayView wholeCodes = {});

} // namespace wire
