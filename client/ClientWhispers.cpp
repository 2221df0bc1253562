// The client's side of whispering: windows opened by arriving whispers and by
// the host's answers, captions learned by asking for a seat's nickname.
#include "client/RoomClient.h"
#include "protocol/RoomState.h"
#include "protocol/RoomView.h"
#include "protocol/Wire.h"

void RoomClient::nicknameBranch(const QByteArray& seatField, const QByteArray& nickname) {
    const int slot = room_.findWhisper(seatField);
    if (slot >= 0)
        view_.setWhisperCaption(room_.whispers[slot], nickname);
}

void RoomClient::whisperBranch(const QByteArray& seatField, const QByteArray& text) {
    const int existing = room_.findWhisper(seatField);
    if (existing >= 0) {
        view_.showWhisper(room_.whispers[existing]);
        view_.appendWhisper(room_.whispers[existing], text);
        return;
    }
    const int slot = room_.firstEmptyWhisperSlot();
    if (slot < 0)
        return;
    WhisperPeer* window = view_.createWhisper(slot);
    view_.setWhisperPeer(window, seatField);
    view_.appendWhisper(window, text);
    if (seatField == wire::kHostSeat)
        view_.setWhisperCaption(window, wire::kHostName);
    else
        client_.Connection()->SendString(wire::nicknameRequest(seatField));
}

void RoomClient::whisperAnswerBranch(const QByteArray& seatField, const QByteArray& name) {
    const int existing = room_.findWhisper(seatField);
    if (existing >= 0) {
        view_.showWhisper(room_.whispers[existing]);
        return;
    }
    const int slot = room_.firstEmptyWhisperSlot();
    if (slot < 0) {
        view_.showNotice(QStringLiteral("已经没有悄悄话窖口可以再开启了\n请先关掉一部分!"));
        return;
    }
    WhisperPeer* window = view_.createWhisper(slot);
    view_.setWhisperPeer(window, seatField);
    view_.setWhisperCaption(window, name);
    view_.focusWhisperInput(window);
}

void RoomClient::requestWhisper(const QByteArray& nickname) {
    client_.Connection()->SendString(wire::whisperRequest(nickname));
}

void RoomClient::sendWhisper(const QByteArray& peerSeatField, const QByteArray& whisperLine) {
    client_.Connection()->SendString(wire::whisper(peerSeatField, whisperLine));
}
