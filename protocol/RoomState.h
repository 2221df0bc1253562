#pragma once

#include "protocol/WhisperPeer.h"

#include <QByteArray>
#include <QList>
#include <array>

class TCustomWinSocket;

// The session record of one main window. Plain data and linear lookups over the
// 101 entries, lowest index first; "none" is -1.
struct RoomState {
    enum Mode { NoSession = 0, ClientMode = 1, HostMode = 2 };

    static constexpr int kEntries = 101;
    static constexpr int kMaxConnections = 100;

    struct Seat {
        TCustomWinSocket* connection = nullptr; // not owned
        QByteArray nickname;
    };

    int mode = NoSession;
    QByteArray ownNickname;
    QByteArray roomName;
    QByteArray addressee;
    int occupancy = 0;
    std::array<Seat, kEntries> seats{};
    std::array<WhisperPeer*, kEntries> whispers{}; // not owned

    int findSeat(const TCustomWinSocket* connection) const;
    int findSeatByNickname(const QByteArray& nickname) const;
    int firstEmptySeat() const;
    int findWhisper(const QByteArray& seatField) const;
    int firstEmptyWhisperSlot() const;

    // Every seat's nickname that is set, ascending, then our own.
    QList<QByteArray> rosterNicknames() const;

    void clearSeats();
    void clearWhispers();
};
