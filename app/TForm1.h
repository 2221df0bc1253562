#pragma once

#include "protocol/RoomState.h"

#include <QMainWindow>

class AboutPage;
class ChatPage;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTabWidget;
class SettingsPage;

// The main window: owns the room state, both socket components, every control of
// the three pages and every whisper window.
class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    RoomState room;

    QTabWidget* page;
    SettingsPage* settings;
    ChatPage* chat;
    AboutPage* about;
    QStatusBar* ts;
    QLabel* tsText;
    QFrame* Panel1;
    QWidget* Panel6;
    QLabel* xiaonc;
    QLabel* xiaoname;
    QLabel* ipname;
    QListWidget* list2;
    QPushButton* Button1;

    QString statusText() const;
    void setStatusText(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void wireShell();
    void FormCreate();
    void FormKeyPress();
    void FormCloseQuery(bool& canClose);
    void RadioButton1Click();
    void RadioButton2Click();
};
