#pragma once

class QLabel;
class QString;

// What a screen reader needs beyond the toolkit's own accessibility.
namespace a11y {

// Installs, once, the accessible interfaces that keep hidden controls (the invisible
// settings list and trigger buttons, pages behind their tabs, a hidden group) out of
// the tree and let the colour preview's samples be read and pressed as buttons.
void install();

// Shows text in a label and lets it be read with its meaning ("在线人数: 2", not "2").
void setSpokenText(QLabel* label, const QString& meaning, const QString& text);

} // namespace a11y
