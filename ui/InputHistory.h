#pragma once

#include <QObject>
#include <QStringList>

class QLineEdit;

// Up and Down in an input line step through the lines sent from it this session;
// what was typed but not sent comes back after the newest one.
class InputHistory : public QObject {
    Q_OBJECT

public:
    explicit InputHistory(QLineEdit* input);

    // A line has just been sent from the input.
    void record(const QString& line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step(int by);

    QLineEdit* input_;
    QStringList sent_;
    QString draft_;
    qsizetype at_ = 0; // sent_.size() stands for the draft
};
