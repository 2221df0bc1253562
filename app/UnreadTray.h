#pragma once

#include <QIcon>
#include <QObject>

class QSystemTrayIcon;
class QWidget;

// The system tray icon, where the desktop has a tray: the number of lines that
// arrived while the user was elsewhere, drawn on the icon and in its tooltip; a
// click brings the window forward.
class UnreadTray : public QObject {
    Q_OBJECT

public:
    // Null when the desktop has no tray.
    static UnreadTray* createFor(QWidget* window);

    // createFor decides whether the desktop has a tray to show it in.
    explicit UnreadTray(QWidget* window);

    void setUnread(int count);

private:
    QWidget* window_;
    QIcon base_;
    QSystemTrayIcon* icon_;
    int shown_ = -1;
    QString badge_;
};
