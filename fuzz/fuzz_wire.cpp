// Message parsing and splitting, seat fields, rosters and the talk and whisper
// line checks, each against a property it must keep for every input.
#include "Require.h"
#include "protocol/Gb.h"
#include "protocol/Wire.h"

#include <QByteArray>
#include <cstdio>
#include <cstdlib>

namespace {

void checkSplit(const QByteArray& read, QByteArrayView letters) {
    const QList<QByteArray> pieces = wire::split(read, letters);
    QByteArray joined;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        const QByteArray& piece = pieces[i];
        joined += piece;
        if (i + 1 < pieces.size())
            require(piece.endsWith(wire::CR), "a piece that is cut off does not end in CR");
        if (i > 0) {
            require(piece.size() >= 2 && piece[0] == '&' && letters.contains(piece[1]),
                    "a piece after a cut does not start with a known code");
        }
        // A cut is made at every CR + "&" + known letter and nowhere else.
        for (qsizetype j = 0; j + 2 < piece.size(); ++j) {
            require(
                !(piece[j] == wire::CR && piece[j + 1] == '&' && letters.contains(piece[j + 2])),
                "a piece still holds a boundary");
        }
        const wire::Message m = wire::parse(piece);
        require(m.code + m.payload == piece, "parse loses bytes");
        require(m.code.size() == qMin<qsizetype>(2, piece.size()), "parse takes a wrong code");
        require(m.seatField() + m.text() == m.payload, "seat field and text lose bytes");
    }
    require(joined == read, "split pieces do not re-join to the read");
}

void checkSeatField(QByteArrayView field) {
    const std::optional<int> seat = wire::seatNumber(field);
    if (seat) {
        require(*seat >= 0 && *seat <= 100, "seat number outside the 101 seats");
        require(wire::seatField(*seat) == field, "seat number does not write back to its field");
    }
}

void checkRoster(const QByteArray& text) {
    const QList<QByteArray> lines = wire::rosterLines(text);
    for (const QByteArray& l : lines)
        require(!l.contains(wire::LF), "a roster line holds a line feed");
    const QByteArray rebuilt = wire::rosterText(lines);
    require(rebuilt == (text.isEmpty() || text.endsWith(wire::LF) ? text : text + wire::LF),
            "roster lines do not rebuild the roster");
}

void checkLines(const QByteArray& sender, const QByteArray& rest) {
    if (wire::isTalkLineFrom(rest, sender)) {
        require(rest.startsWith(sender) && rest.endsWith(wire::CR), "talk line accepted unframed");
        require(rest.count(wire::CR) == 1 && !rest.contains(wire::LF),
                "talk line accepted with a second line in it");
    }
    const bool plain = !sender.contains(wire::CR) && !sender.contains(wire::LF) &&
                       !rest.contains(wire::CR) && !rest.contains(wire::LF);
    if (plain) {
        require(wire::isTalkLineFrom(wire::talkLine(sender, "amy", rest), sender),
                "our own talk line is refused");
        require(wire::isTalkLineFrom(wire::selfTalkLine(sender, rest), sender),
                "our own self-talk line is refused");
    }
    require(wire::isWhisperLineFrom(wire::whisperLine(sender, rest), sender),
            "our own whisper line is refused");
    if (wire::isWhisperLineFrom(rest, sender))
        require(rest.startsWith(sender + wire::kSays), "whisper line accepted from someone else");
    if (wire::isSafeNickname(sender))
        require(wire::rosterLines(wire::rosterText({sender, "host"})).size() == 2,
                "a safe nickname splits the roster");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    checkSplit(input, wire::kHostCodes);
    checkSplit(input, wire::kClientCodes);
    for (qsizetype i = 0; i + 3 <= qMin<qsizetype>(input.size(), 8); ++i)
        checkSeatField(QByteArrayView(input).sliced(i, 3));
    checkSeatField(input);
    checkRoster(input);
    const qsizetype cut = size > 0 ? data[0] % (input.size() + 1) : 0;
    checkLines(input.left(cut), input.mid(cut));
    (void)gb::fromTyped(gb::toDisplay(input));
    return 0;
}
