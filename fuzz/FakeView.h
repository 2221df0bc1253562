#pragma once

#include "Require.h"
#include "protocol/RoomView.h"
#include "protocol/WhisperPeer.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <memory>
#include <optional>
#include <vector>

// A whisper window reduced to what the room state asks of it.
class FakeWhisper final : public WhisperPeer {
public:
    QByteArray peerSeatField() const override { return peer; }
    QByteArray peer;
    QByteArray caption;
    QList<QByteArray> lines;
};

// The window as the host and client see it, with no widgets: it records what
// they show and owns the whisper windows they create.
class FakeView : public RoomView {
public:
    void setStatus(const QString&) override {}
    void showNotice(const QString&) override { ++notices; }
    bool confirm(const QString&) override { return true; }
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
    void focusField(Field) override {}
    void enterSession(bool, const QByteArray&, const QByteArray&) override {}
    void leaveSession(bool) override {}
    void appendLog(const QByteArray& line) override;
    void setUserList(const QList<QByteArray>& nicknames) override { userList = nicknames; }
    std::optional<QByteArray> selectedUser() const override { return {}; }
    void removeSelectedUser() override {}
    void setOnlineCount(int count) override { onlineCount = count; }
    void reportErrorLater(const QString&) override { ++errors; }
    WhisperPeer* createWhisper(int slot) override;
    void setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) override;
    void setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) override;
    void appendWhisper(WhisperPeer* window, const QByteArray& line) override;
    void showWhisper(WhisperPeer*) override {}
    void focusWhisperInput(WhisperPeer*) override {}
    void pause(int) override {}

    // The table the windows belong in; createWhisper stores each one there.
    std::array<WhisperPeer*, 101>* table = nullptr;
    std::vector<std::unique_ptr<FakeWhisper>> windows;
    QList<QByteArray> log;
    QList<QByteArray> userList;
    int onlineCount = -1;
    int notices = 0;
    int errors = 0;
};

// Stops the fuzzer with a message when an invariant does not hold.
