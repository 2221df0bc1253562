#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QWidget;

// Local files dropped onto a widget (a log, a whisper window) go to `onDrop`.
class FileDrop : public QObject {
public:
    static void enable(QWidget* target, std::function<void(const QStringList&)> onDrop);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileDrop(QObject* parent, std::function<void(const QStringList&)> onDrop)
        : QObject(parent), onDrop_(std::move(onDrop)) {}
    std::function<void(const QStringList&)> onDrop_;
};
