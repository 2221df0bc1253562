#include "appearance/WidgetColours.h"

#include <QPalette>
#include <QWidget>

namespace appearance {

namespace {

void setRole(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette p = widget->palette();
    p.setColor(role, colour);
    widget->setPalette(p);
}

} // namespace

QColor textColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Active, QPalette::Text);
}

QColor backgroundColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Active, QPalette::Base);
}

void setTextColour(QWidget* widget, const QColor& colour) {
    setRole(widget, QPalette::Text, colour);
}

void setBackgroundColour(QWidget* widget, const QColor& colour) {
    setRole(widget, QPalette::Base, colour);
}

} // namespace appearance
