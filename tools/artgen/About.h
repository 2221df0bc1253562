#pragma once

#include <QImage>

namespace art {

// The program icon: a speech bubble over the mascot's head, size x size pixels.
QImage drawIcon(int size);
// The icon for the desktop's menus; the smallest size shows the head alone, bigger.
QImage drawThemeIcon(int size);
// The about page's portrait, 96 x 112 times `scale`.
QImage drawPortrait(int scale);

} // namespace art
