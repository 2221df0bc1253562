#include "protocol/RoomState.h"
#include "protocol/Wire.h"

#include <QtTest>

namespace {

struct FakeWindow : WhisperPeer {
    QByteArray field;
    explicit FakeWindow(QByteArray f) : field(std::move(f)) {}
    QByteArray peerSeatField() const override { return field; }
};

// The room state only compares connection addresses; it never touches them.
TCustomWinSocket* fakeConnection(int n) {
    static char storage[8];
    return reinterpret_cast<TCustomWinSocket*>(&storage[n]);
}

} // namespace

class TestRoomState : public QObject {
    Q_OBJECT

private slots:
    void seatsFillLowestFirstAndReuseFreedSeats() {
        RoomState room;
        QCOMPARE(room.firstEmptySeat(), 0);
        room.seats[0].connection = fakeConnection(0);
        room.seats[1].connection = fakeConnection(1);
        QCOMPARE(room.firstEmptySeat(), 2);
        room.seats[0].connection = nullptr;
        QCOMPARE(room.firstEmptySeat(), 0);
        QCOMPARE(room.findSeat(fakeConnection(1)), 1);
        QCOMPARE(room.findSeat(fakeConnection(2)), -1);
        QCOMPARE(room.findSeat(nullptr), -1);
        for (auto& seat : room.seats)
            seat.connection = fakeConnection(3);
        QCOMPARE(room.firstEmptySeat(), -1);
    }

    void nicknameLookupIsExactAndLowestFirst() {
        RoomState room;
        room.seats[4].nickname = "Joe";
        room.seats[9].nickname = "Joe";
        room.seats[2].nickname = "joe";
        QCOMPARE(room.findSeatByNickname("Joe"), 4);
        QCOMPARE(room.findSeatByNickname("joe"), 2);
        QCOMPARE(room.findSeatByNickname("Joe "), -1);
        // An empty nickname matches the first seat that has none.
        QCOMPARE(room.findSeatByNickname(""), 0);
    }

    void whisperTableLookups() {
        RoomState room;
        FakeWindow a("003"), b("ser"), c("003");
        QCOMPARE(room.firstEmptyWhisperSlot(), 0);
        QCOMPARE(room.findWhisper("003"), -1);
        room.whispers[5] = &a;
        room.whispers[1] = &b;
        room.whispers[7] = &c;
        QCOMPARE(room.findWhisper("003"), 5);
        QCOMPARE(room.findWhisper("ser"), 1);
        QCOMPARE(room.findWhisper("3"), -1);
        QCOMPARE(room.firstEmptyWhisperSlot(), 0);
        room.whispers.fill(&a);
        QCOMPARE(room.firstEmptyWhisperSlot(), -1);
        room.clearWhispers();
        QCOMPARE(room.findWhisper("003"), -1);
        QCOMPARE(room.firstEmptyWhisperSlot(), 0);
    }

    void rosterListsSeatsAscendingThenTheHost() {
        RoomState room;
        room.ownNickname = "host";
        QCOMPARE(wire::rosterText(room.rosterNicknames()), QByteArray("host\n"));
        room.seats[7].nickname = "g";
        room.seats[0].nickname = "a";
        room.seats[3].connection = fakeConnection(3); // accepted, not joined: not listed
        QCOMPARE(wire::rosterText(room.rosterNicknames()), QByteArray("a\ng\nhost\n"));
    }

    void clearingSeatsForgetsConnectionsNicknamesAndCount() {
        RoomState room;
        room.seats[2] = {fakeConnection(2), "x"};
        room.occupancy = 1;
        room.clearSeats();
        QCOMPARE(room.findSeat(fakeConnection(2)), -1);
        QCOMPARE(room.findSeatByNickname("x"), -1);
        QCOMPARE(room.occupancy, 0);
    }
};

QTEST_APPLESS_MAIN(TestRoomState)
#include "tst_roomstate.moc"
