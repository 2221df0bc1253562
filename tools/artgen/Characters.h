#pragma once

#include "Paint.h"

namespace art {

constexpr int setCount = 7;

enum class Mood { Happy, Wink, Joy, Sleep, Hush };

const Look& lookOf(int set);

// The set's character, small, in the lower left of slots 0..8.
void drawBadge(QPainter& p, int set, Mood mood);
// The four decorative pictures of slots 9..12 (variant 0..3).
void drawDecor(QPainter& p, int set, int variant);
// The mascot standing, for the icon and the about page.
void drawPinwaFigure(QPainter& p, QPointF head, qreal r, Mood mood, bool wave);
void drawPinwaHead(QPainter& p, QPointF c, qreal r, Mood mood);

} // namespace art
