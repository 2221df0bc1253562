#include "ui/FocusRing.h"

#include <QEvent>
#include <QPainter>

namespace {

constexpr int kWidth = 2;

} // namespace

FocusRing::FocusRing(QWidget* watched) : QWidget(watched->parentWidget()), watched_(watched) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    watched->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        follow();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void FocusRing::follow() {
    if (watched_ == nullptr || !watched_->hasFocus() || !watched_->isVisible()) {
        hide();
        return;
    }
    setGeometry(watched_->geometry().adjusted(-kWidth, -kWidth, kWidth, kWidth));
    show();
    raise();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(QPen(palette().color(QPalette::Active, QPalette::Highlight), kWidth));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0, -kWidth / 2.0));
}
