#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

// The files on their way in or out, each with a bar, how fast and how long it
// still takes, and a cancel button. A small window of its own, beside the chat.
class TransferList : public QWidget {
    Q_OBJECT
public:
    explicit TransferList(QWidget* owner);
    // Shows the window in front without taking the keyboard from where the user types.
    void reveal();

    class Row {
    public:
        void setProgress(qint64 have, qint64 size);
        void setState(const QString& text, bool bad = false);
        void finish(const QString& text, bool bad = false);
        // A new try: speed counts from here.
        void restart() {
            clock.restart();
            startedAt = -1;
        }
        QProgressBar* bar;
        QLabel* state;
        QPushButton* cancel;
        QPushButton* receive = nullptr; // offers only: 接收 / 继续
        QPushButton* saveAs = nullptr;
        QElapsedTimer clock;
        qint64 startedAt = -1;
    };
    // A new row; `onCancel` runs when its cancel button is pressed. The window shows
    // (without taking the keyboard) when `show` says so.
    Row* add(const QString& what, std::function<void()> onCancel, bool show = true);
    // A file offered in the room: its name and size, 接收 and 另存为. The window stays as
    // it is: the offer's entry in the log is where the user meets it.
    Row* addOffer(const QString& what, const QString& size, std::function<void()> onReceive,
                  std::function<void()> onSaveAs, std::function<void()> onCancel);

private:
    QVBoxLayout* rows_;
};
