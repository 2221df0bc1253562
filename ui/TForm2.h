#pragma once

#include "protocol/WhisperPeer.h"

#include <QWidget>
#include <functional>

class ChatLog;
struct RoomState;
class InputHistory;
class QLabel;
class QLineEdit;

// A whisper window: one private conversation with the participant in one seat
// (or the host, "ser"). Closing only hides it; it lives as long as its owner.
class TForm2 : public QWidget, public WhisperPeer {
    Q_OBJECT

public:
    TForm2(RoomState& room, QWidget* owner);

    QByteArray peerSeatField() const override { return peerSeat_; }
    void setPeerSeatField(const QByteArray& field);
    void setPeerName(const QByteArray& name);
    void appendLine(const QByteArray& line);
    QList<QByteArray> lines() const;
    // Copies the main chat log's and input line's colours, once.
    void takeColours(const QWidget* chatLog, const QWidget* inputLine);

    // Sends one whisper line to the peer; set by whoever runs the session.
    std::function<void(TForm2& window, const QByteArray& line)> OnSend;

    QWidget* Panel1;
    ChatLog* Memo1;
    QLabel* Label1;
    QLineEdit* Edit1;
    InputHistory* Edit1History;
    QLabel* hesheid;

    void Edit1Enter();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool FormCloseQuery();

    RoomState& room_;
    QByteArray peerSeat_;
};
