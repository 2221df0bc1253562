#pragma once

#include "protocol/WhisperPeer.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// The narrow view of the main window that the room host and client act on.
// Everything here is what a user sees or answers; the window implements it.
class RoomView {
public:
    enum class Field { HostRoomName, HostNickname, ClientNickname };

    virtual void setStatus(const QString& text) = 0;
    // A plain notice box; modal, so events go on being handled while it is open.
    virtual void showNotice(const QString& text) = 0;
    virtual bool confirm(const QString& text) = 0;
    virtual std::optional<QString> askText(const QString& caption, const QString& prompt) = 0;
    virtual void focusField(Field field) = 0;

    // Hides the connection settings, enables the chat page and moves to it.
    // roomName is empty for a client.
    virtual void enterSession(bool asHost, const QByteArray& nickname,
                              const QByteArray& roomName) = 0;
    // Shows the connection settings again, disables the chat page, empties the user
    // list; with toSettingsPage, also turns to the settings page.
    virtual void leaveSession(bool toSettingsPage) = 0;

    virtual void appendLog(const QByteArray& line) = 0;
    virtual void setUserList(const QList<QByteArray>& nicknames) = 0;
    virtual std::optional<QByteArray> selectedUser() const = 0;
    virtual void removeSelectedUser() = 0;
    virtual void setOnlineCount(int count) = 0;

    // The default error handler's box, shown on the next turn of the event loop:
    // for errors that must not unwind through a socket event still running.
    virtual void reportErrorLater(const QString& text) = 0;

    // Whisper windows. A new window is stored in that table slot, shown at once,
    // and takes the chat log's and input line's colours.
    virtual WhisperPeer* createWhisper(int slot) = 0;
    virtual void setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) = 0;
    virtual void setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) = 0;
    virtual void appendWhisper(WhisperPeer* window, const QByteArray& line) = 0;
    virtual void showWhisper(WhisperPeer* window) = 0;
    virtual void focusWhisperInput(WhisperPeer* window) = 0;

    // Blocks the whole program; only the pauses that keep messages apart use it.
    virtual void pause(int milliseconds) = 0;

protected:
    ~RoomView() = default;
};
