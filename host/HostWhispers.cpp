// The host's side of whispering: relaying between seats, whispers for the host
// itself, and answering whisper and nickname requests.
#include "host/RoomHost.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

void RoomHost::whisperBranch(TCustomWinSocket* socket, const QByteArray& seatField,
                             const QByteArray& text) {
    const int from = room_.findSeat(socket);
    // Only a participant who has joined may whisper, and only under its own name. A CR
    // never comes from typing; it would let the receiver cut the text into other messages.
    if (from < 0 || room_.seats[from].nickname.isEmpty() || text.size() > wire::kMaxLineBytes ||
        !wire::isWhisperLineFrom(text, room_.seats[from].nickname) || text.contains(wire::CR))
        return;
    if (seatField == wire::kHostSeat) {
        whisperForHost(from, text);
        return;
    }
    const std::optional<int> to = wire::seatNumber(seatField);
    if (!to)
        return;
    TCustomWinSocket* target = room_.seats[*to].connection;
    if (target != nullptr)
        errors_.send(target, wire::whisper(wire::seatField(from), text));
}

void RoomHost::whisperForHost(int seat, const QByteArray& text) {
    const QByteArray field = wire::seatField(seat);
    const int existing = room_.findWhisper(field);
    if (existing >= 0) {
        view_.appendWhisper(room_.whispers[existing], text);
        view_.showWhisper(room_.whispers[existing]);
        return;
    }
    const int slot = room_.firstEmptyWhisperSlot();
    if (slot < 0)
        return; // every window is taken: dropped, as a client drops it
    WhisperPeer* window = view_.createWhisper(slot);
    view_.setWhisperCaption(window, room_.seats[seat].nickname);
    view_.setWhisperPeer(window, field);
    view_.appendWhisper(window, text);
}

void RoomHost::whisperRequestBranch(TCustomWinSocket* socket, const QByteArray& nickname) {
    // An empty name would match the first empty seat; it names nobody.
    if (nickname.isEmpty())
        return;
    if (nickname == room_.ownNickname)
        errors_.send(socket, wire::whisperAnswer(wire::kHostSeat, wire::kHostName));
    const int seat = room_.findSeatByNickname(nickname);
    if (seat >= 0)
        errors_.send(socket, wire::whisperAnswer(wire::seatField(seat), nickname));
}

void RoomHost::nicknameBranch(TCustomWinSocket* socket, const QByteArray& seatField) {
    const std::optional<int> seat = wire::seatNumber(seatField);
    if (!seat)
        return;
    errors_.send(socket, wire::nicknameAnswer(seatField, room_.seats[*seat].nickname));
}

void RoomHost::openWhisper(const QByteArray& nickname) {
    const int seat = room_.findSeatByNickname(nickname);
    if (seat < 0 || nickname.isEmpty())
        return;
    const QByteArray field = wire::seatField(seat);
    const int existing = room_.findWhisper(field);
    if (existing >= 0) {
        view_.showWhisper(room_.whispers[existing]);
        return;
    }
    const int slot = room_.firstEmptyWhisperSlot();
    if (slot < 0)
        return;
    WhisperPeer* window = view_.createWhisper(slot);
    view_.setWhisperCaption(window, nickname);
    view_.setWhisperPeer(window, field);
}

void RoomHost::sendWhisper(const QByteArray& peerSeatField, const QByteArray& whisperLine) {
    SendErrors::Scope scope(errors_);
    // A window whose peer cannot be reached (left over from a client session, or
    // its seat now empty) only logs the line.
    const std::optional<int> seat = wire::seatNumber(peerSeatField);
    if (!seat || room_.seats[*seat].connection == nullptr)
        return;
    errors_.send(room_.seats[*seat].connection, wire::whisper(wire::kHostSeat, whisperLine));
}

void RoomHost::forgetHostWindowsOfClientSessions() {
    for (WhisperPeer*& window : room_.whispers) {
        if (window != nullptr && window->peerSeatField() == wire::kHostSeat)
            window = nullptr;
    }
}
