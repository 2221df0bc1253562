#pragma once

#include <QByteArray>
#include <QObject>

struct RoomState;
class DesktopNotifier;
class QWidget;
class UnreadTray;

// What the user hears of lines that arrive while a Pinwa window is not in front:
// the window asks for attention, lines for the user become desktop notifications,
// and the tray counts what is unread. It never changes a line.
class Attention : public QObject {
    Q_OBJECT

public:
    Attention(QWidget* mainWindow, const RoomState& room);

    void publicLine(const QByteArray& line);
    void notice();
    void whisper(QWidget* window, const QByteArray& line);
    // A window may take the keyboard only from another window of ours, never from another
    // program.
    bool mayTakeFocus() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // No window of ours is active: the user is in another program.
    bool elsewhere() const;
    void countUnread();

    QWidget* main_;
    const RoomState& room_;
    DesktopNotifier* notifier_;
    UnreadTray* tray_;
    int unread_ = 0;
};
