#pragma once

#include "net/Sockets.h"

#include <QByteArray>
#include <QString>

struct RoomState;
class RoomView;

// The room client: connecting, the connection events, the client read handler
// with the join handshake, notices, log lines and rosters.
class RoomClient {
public:
    struct Settings {
        QString address;
        int port = 8888;
        QByteArray nickname;
    };

    RoomClient(RoomState& room, TClientSocket& client, RoomView& view);

    void SpeedButton1Click(const Settings& settings);
    void talk(const QByteArray& line);
    // Asks the host for a whisper with a participant; the window opens on its answer.
    void requestWhisper(const QByteArray& nickname);
    void sendWhisper(const QByteArray& peerSeatField, const QByteArray& whisperLine);
    // The end button: closes the session, or cancels an attempt still under way.
    void endSession();
    // Closing the window.
    void stop();

    // Socket events of client.
    void clientConnecting();
    void clientConnect();
    void clientError(TErrorEvent event, int& errorCode);
    void clientDisconnect();
    void clientRead(TCustomWinSocket* socket);
    // The bytes of one read from the host; clientRead hands each read here.
    void handleRead(const QByteArray& read);

    bool isConnected() const { return connected_; }

private:
    void handleMessage(const QByteArray& message);
    void abandonAttempt();
    void nicknameBranch(const QByteArray& seatField, const QByteArray& nickname);
    void whisperBranch(const QByteArray& seatField, const QByteArray& text);
    void whisperAnswerBranch(const QByteArray& seatField, const QByteArray& name);

    RoomState& room_;
    TClientSocket& client_;
    RoomView& view_;
    // Set by the connected event: only a session that really connected ends
    // with the disconnected handling and its message box.
    bool connected_ = false;
};
