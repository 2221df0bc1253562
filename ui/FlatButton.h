#pragma once

#include <QToolButton>

// A flat button drawn on a thin rectangle frame of its own size.
class FlatButton : public QToolButton {
    Q_OBJECT

public:
    FlatButton(const QString& caption, QWidget* parent);
};
