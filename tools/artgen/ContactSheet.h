#pragma once

#include "Characters.h"

#include <QImage>
#include <array>

namespace art {

constexpr int slotCount = 13;
using Sets = std::array<std::array<QImage, slotCount>, setCount>;

// Every picture on silver at actual size, without labels.
QImage actualSizeSheet(const Sets& sets);
// Every set twice, labelled: the 32 x 32 pictures blown up to 64 x 64 as a scale of 2 shows
// them without sharp pictures, and below them the 64 x 64 pictures drawn for that scale.
QImage bothScalesSheet(const Sets& sets, const Sets& sharp);

} // namespace art
