#pragma once

#include <QObject>

class QLabel;
class QStatusBar;
class QTabWidget;
class RoomBrowser;
class SettingsPage;

// The client's list of rooms on the network: it browses only while the settings page
// shows the client role, fills `rooms`, and says in the status bar when nothing is found.
class RoomFinder : public QObject {
    Q_OBJECT

public:
    RoomFinder(QWidget* window, QTabWidget* page, SettingsPage* settings, QStatusBar* ts);

    RoomBrowser* browser() const { return browser_; }
    QLabel* note() const { return note_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow();
    void refresh();
    void choose(int index);

    QWidget* window_;
    QTabWidget* page_;
    SettingsPage* settings_;
    RoomBrowser* browser_;
    QLabel* note_;
};
