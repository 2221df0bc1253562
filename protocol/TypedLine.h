#pragma once

#include <QString>

// What the input lines make of typed text before it goes out as one line.
namespace typing {

// Line breaks (a pasted paragraph) become spaces: a line with a break in it would be
// dropped by the host, and the rest of the paste with it.
QString oneLine(const QString& text);

// Shown, with the text kept in the input, when a line is longer than a host relays.
QString tooLongNotice();

} // namespace typing
