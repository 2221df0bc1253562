#pragma once

#include "host/Meter.h"
#include "host/SendErrors.h"
#include "net/Sockets.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <array>
#include <functional>
#include <optional>

struct RoomState;
class RoomView;

// The room host: opening a room, admission, the host read handler, roster,
// departures, kick, broadcast and the host's own public talk.
class RoomHost {
public:
    struct Settings {
        int port = 8888;
        QByteArray roomName;
        QByteArray nickname;
    };

    RoomHost(RoomState& room, TServerSocket& ser, RoomView& view);

    void SpeedButton2Click(const Settings& settings);
    void fjkClick();
    void T1Click();
    void F1Click();
    void talk(const QByteArray& line);
    // The host opens a whisper with a participant from the user list.
    void openWhisper(const QByteArray& nickname);
    // The host's whisper window sends a line to its peer's seat.
    void sendWhisper(const QByteArray& peerSeatField, const QByteArray& whisperLine);
    // Where a participant connects from and since when it has been in the room.
    struct Whereabouts {
        QString address;
        QDateTime joined;
    };
    std::optional<Whereabouts> whereabouts(const QByteArray& nickname) const;
    // Kicks the selected participant and refuses its address until the room ends.
    void J1Click();
    // Drops every participant at once; nobody gets a leave notice or a roster.
    void endRoom();
    // A web seat's connection comes from this machine on behalf of a browser elsewhere;
    // the gateway says where, so that the tooltip and bans see the browser, and hands
    // over the seat's reader, so that what the room sends it stays in this process.
    void noteProxied(quint16 loopbackPort, const QString& address, SendErrors::LocalReader reader) {
        proxied_.insert(loopbackPort, {address, std::move(reader)});
    }
    void forgetProxied(quint16 loopbackPort) { proxied_.remove(loopbackPort); }
    // The participant whose room connection comes from exactly that address and port
    // (never a web seat's, which comes from this machine): how a desktop copy proves,
    // elsewhere, that it holds a seat here. The serial is its seat's for as long as it stays.
    struct Holder {
        quint64 serial = 0;
        QByteArray nickname;
    };
    std::optional<Holder> seatAt(const QString& address, quint16 port) const;
    bool isBanned(const QString& address) const { return bannedAddresses_.contains(address); }
    // Every message the room sends to all its seats (talk, leave notices, notices):
    // what a record of the room keeps. Whispers never pass here.
    std::function<void(const QByteArray& message)> onPublic;
    // A participant who had joined has left, for whatever reason.
    std::function<void(quint64 serial)> onSeatLeft;

    // Socket events of ser.
    void serAccept(TCustomWinSocket* socket);
    void serClientConnect(TCustomWinSocket* socket);
    void serClientError(TCustomWinSocket* socket, TErrorEvent event, int& errorCode);
    void serClientRead(TCustomWinSocket* socket);
    void serClientWrite(TCustomWinSocket* socket);
    void serClientDisconnect(TCustomWinSocket* socket);
    // The bytes of one read from that connection, all handled at once, unmetered.
    void handleRead(TCustomWinSocket* socket, const QByteArray& read);

    SendErrors& sender() { return errors_; }
    Meter& meter() { return meter_; }

    // A connection that has not answered the join request by then is let go.
    static constexpr int kJoinDeadlineMs = 10000;

private:
    QString peerAddress(const TCustomWinSocket* socket) const;
    void handleMessage(TCustomWinSocket* socket, const QByteArray& message);
    // Handles what the connection sent, as far as its budget allows.
    void serve(TCustomWinSocket* socket);
    void resume(TCustomWinSocket* socket);
    void joinReply(TCustomWinSocket* socket, const QByteArray& nickname);
    void relayTalk(TCustomWinSocket* socket, const QByteArray& line);
    void refuse(TCustomWinSocket* socket, const QByteArray& notice);
    void whisperBranch(TCustomWinSocket* socket, const QByteArray& seatField,
                       const QByteArray& text);
    void whisperRequestBranch(TCustomWinSocket* socket, const QByteArray& nickname);
    void nicknameBranch(TCustomWinSocket* socket, const QByteArray& seatField);
    void whisperForHost(int seat, const QByteArray& text);
    void forgetHostWindowsOfClientSessions();
    void startJoinDeadline(TCustomWinSocket* socket);
    void letGoIfNotJoined(TCustomWinSocket* socket);
    void sendToSeats(const QByteArray& message);
    bool refuseBanned(TCustomWinSocket* socket);
    // A web seat's connection: what the room sends it goes to its reader directly.
    void deliverToProxiedSeat(TCustomWinSocket* socket);

    RoomState& room_;
    TServerSocket& ser_;
    RoomView& view_;
    SendErrors errors_;
    Meter meter_;
    int rosterBroadcasts_ = 0;
    QSet<QString> bannedAddresses_;
    struct Proxied {
        QString address;
        SendErrors::LocalReader reader;
    };
    QHash<quint16, Proxied> proxied_;
    std::array<QDateTime, 101> joinedAt_{};
    std::array<quint64, 101> seatSerial_{};
    quint64 lastSerial_ = 0;
};
