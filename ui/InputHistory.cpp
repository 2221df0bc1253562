#include "ui/InputHistory.h"

#include <QKeyEvent>
#include <QLineEdit>

InputHistory::InputHistory(QLineEdit* input) : QObject(input), input_(input) {
    input_->installEventFilter(this);
}

void InputHistory::record(const QString& line) {
    sent_.append(line);
    at_ = sent_.size();
    draft_.clear();
}

bool InputHistory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == input_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Up) {
                step(-1);
                return true;
            }
            if (key->key() == Qt::Key_Down) {
                step(1);
                return true;
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

void InputHistory::step(int by) {
    const qsizetype to = at_ + by;
    if (to < 0 || to > sent_.size())
        return;
    if (at_ == sent_.size())
        draft_ = input_->text();
    at_ = to;
    input_->setText(at_ == sent_.size() ? draft_ : sent_.at(at_));
}
