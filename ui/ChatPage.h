#pragma once

#include <QWidget>

class ChatLog;
class QAbstractItemView;
class FlatButton;
class InputHistory;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;

// The chat room page: chat log, user list with the online count, addressee,
// input line and send button, and the two popup menus. Layout only; the main
// window wires the behaviour.
class ChatPage : public QWidget {
    Q_OBJECT

public:
    explicit ChatPage(QWidget* parent = nullptr);

    QWidget* Panel4;
    QGroupBox* GroupBox3;
    QLabel* Label8;
    QLabel* heshe;
    QLabel* Label13;
    QLabel* pep;
    ChatLog* Memo1;
    QListWidget* list1;
    QLabel* Label7;
    QLineEdit* Edit5;
    InputHistory* Edit5History;
    FlatButton* SpeedButton3;
    QPushButton* fjk;
    FlatButton* webQr; // shown while a hosted room also serves its web page
    FlatButton* sendFile;

    QMenu* pop1;
    QAction* S1;
    QAction* C1;
    QAction* D1;
    QMenu* pop2;
    QAction* F1;
    QAction* T1;
    QAction* Q1;
    QAction* J1; // the host's ban, after the three items every copy has

signals:
    // Enter in the chat log or the user list: focus has moved to the input line.
    void enterPressed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The menu key and Shift+F10 open a list's popup beside its current entry.
    void popupFromKeyboard(QAbstractItemView* view, QMenu* menu);
};
