#pragma once

#include <QColor>

class QWidget;

// Text and background colour of the chat page's log, input line and user list.
// Whisper windows copy them from there, so both sides use these roles.
namespace appearance {

QColor textColour(const QWidget* widget);
QColor backgroundColour(const QWidget* widget);
// In every colour group: a control disabled between sessions keeps its colours.
void setTextColour(QWidget* widget, const QColor& colour);
void setBackgroundColour(QWidget* widget, const QColor& colour);

} // namespace appearance
