#include "app/Attention.h"

#include "app/DesktopNotifier.h"
#include "app/UnreadTray.h"
#include "protocol/Gb.h"
#include "protocol/LineKind.h"
#include "protocol/RoomState.h"
#include "protocol/Wire.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace {

QString shown(QByteArray line) {
    if (line.endsWith(wire::CR))
        line.chop(1);
    return gb::toDisplay(line);
}

// The speaker of a whisper line: the text before " 说: ".
QByteArray whisperSender(const QByteArray& line) {
    const qsizetype at = line.indexOf(wire::kSays);
    return at > 0 ? line.left(at) : QByteArray();
}

} // namespace

Attention::Attention(QWidget* mainWindow, const RoomState& room)
    : QObject(mainWindow), main_(mainWindow), room_(room), notifier_(new DesktopNotifier(this)),
      tray_(UnreadTray::createFor(mainWindow)) {
    main_->installEventFilter(this);
}

bool Attention::elsewhere() const {
    for (const QWidget* w = QApplication::activeWindow(); w != nullptr; w = w->parentWidget()) {
        if (w == main_)
            return false;
    }
    return true;
}

bool Attention::mayTakeFocus() const {
    return !elsewhere();
}

void Attention::countUnread() {
    if (!elsewhere())
        return;
    ++unread_;
    if (tray_ != nullptr)
        tray_->setUnread(unread_);
}

void Attention::publicLine(const QByteArray& line) {
    const wire::LineKind kind = wire::classifyLine(line, room_.ownNickname);
    if (kind == wire::LineKind::Own)
        return;
    countUnread();
    if (main_->isActiveWindow())
        return;
    QApplication::alert(main_);
    if (kind == wire::LineKind::ToMe) {
        const QByteArray sender = wire::talkSender(line);
        notifier_->notify(QStringLiteral("S") + QString::fromLatin1(sender.toHex()),
                          gb::toDisplay(sender), shown(line), main_);
    }
}

void Attention::notice() {
    if (!main_->isActiveWindow())
        QApplication::alert(main_);
}

void Attention::whisper(QWidget* window, const QByteArray& line) {
    window->installEventFilter(this);
    if (!window->isActiveWindow())
        QApplication::alert(window);
    if (!elsewhere())
        return;
    countUnread();
    QApplication::alert(main_);
    const QByteArray sender = whisperSender(line);
    notifier_->notify(QStringLiteral("Q%1").arg(quintptr(window)),
                      sender.isEmpty() ? window->windowTitle() : gb::toDisplay(sender), shown(line),
                      window);
}

bool Attention::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        notifier_->forgetBursts();
        if (unread_ > 0 && tray_ != nullptr)
            tray_->setUnread(0);
        unread_ = 0;
    }
    return QObject::eventFilter(watched, event);
}
