#include "protocol/RoomState.h"

int RoomState::findSeat(const TCustomWinSocket* connection) const {
    if (connection == nullptr)
        return -1;
    for (int i = 0; i < kEntries; ++i) {
        if (seats[i].connection == connection)
            return i;
    }
    return -1;
}

int RoomState::findSeatByNickname(const QByteArray& nickname) const {
    for (int i = 0; i < kEntries; ++i) {
        if (seats[i].nickname == nickname)
            return i;
    }
    return -1;
}

int RoomState::firstEmptySeat() const {
    for (int i = 0; i < kEntries; ++i) {
        if (seats[i].connection == nullptr)
            return i;
    }
    return -1;
}

int RoomState::findWhisper(const QByteArray& seatField) const {
    for (int i = 0; i < kEntries; ++i) {
        if (whispers[i] != nullptr && whispers[i]->peerSeatField() == seatField)
            return i;
    }
    return -1;
}

int RoomState::firstEmptyWhisperSlot() const {
    for (int i = 0; i < kEntries; ++i) {
        if (whispers[i] == nullptr)
            return i;
    }
    return -1;
}

QList<QByteArray> RoomState::rosterNicknames() const {
    QList<QByteArray> nicknames;
    for (const Seat& seat : seats) {
        if (!seat.nickname.isEmpty())
            nicknames.append(seat.nickname);
    }
    nicknames.append(ownNickname);
    return nicknames;
}

void RoomState::clearSeats() {
    for (Seat& seat : seats)
        seat = Seat{};
    occupancy = 0;
}

void RoomState::clearWhispers() {
    whispers.fill(nullptr);
}
