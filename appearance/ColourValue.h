#pragma once

#include <QByteArray>
#include <QColor>
#include <optional>

// Colour values as col.col stores them: a signed 32-bit number, 0..16777215 an RGB
// colour with red in the lowest byte, a negative one a desktop system colour named
// by the index in its lowest byte.
namespace appearance {

// The number an entry holds: optional spaces, an optional sign, then decimal digits
// or hexadecimal after "$", "x", "X" or "0x"; it must fit in 32 bits. Nothing else.
std::optional<qint32> parseInteger(const QByteArray& text);

// As parseInteger, but a text that is not a number raises the conversion error.
qint32 toInteger(const QByteArray& text);

QColor colourFromValue(qint32 value);
qint32 valueFromColour(const QColor& colour);

// The desktop colour a Windows system colour index stands for, from the palette.
QColor systemColour(int index);

} // namespace appearance
