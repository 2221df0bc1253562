#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QToolButton;

// The find bar over a chat log: the text to find, previous and next, how many lines
// hold it. Enter goes to the next match, Shift+Enter to the previous one; Escape
// closes the bar and nothing else (the window's own Escape is not asked).
class FindBar : public QFrame {
    Q_OBJECT

public:
    explicit FindBar(QWidget* parent = nullptr);

    QLineEdit* findText;
    QToolButton* findPrevious;
    QToolButton* findNext;
    QLabel* findCount;
    QToolButton* findClose;

    // at is 0-based; -1 with matches means none chosen yet.
    void showCount(int at, int matches);
    // The text has a character no line can hold, so nothing was searched.
    void showUnencodable();

signals:
    void textChanged(const QString& text);
    void step(int direction); // +1 next, -1 previous
    void closed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
