#pragma once

#include "Paint.h"

namespace art {

// The symbol of slots 0..8, drawn in the upper right so the set's character fits the lower left.
void drawSymbol(QPainter& p, int slot, const Look& look);

} // namespace art
