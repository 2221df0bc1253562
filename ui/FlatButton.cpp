#include "ui/FlatButton.h"

FlatButton::FlatButton(const QString& caption, QWidget* parent) : QToolButton(parent) {
    setText(caption);
    setAutoRaise(false);
    setFocusPolicy(Qt::StrongFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setStyleSheet(
        QStringLiteral("QToolButton { border: 1px solid #808080; background: transparent; }"
                       "QToolButton:hover { background: rgba(255,255,255,90); }"
                       "QToolButton:pressed { background: rgba(0,0,0,40); }"
                       "QToolButton:focus { border: 1px solid #000080; }"));
}
