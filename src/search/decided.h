// Decided positions: wins and losses that follow from the class counts (fives, open fours,
// four-threes, double open threes) with two short look-aheads. Entry point: decidedScore.
#pragma once

#include "search/engine.h"

namespace kesta {

// 0 when the position is not decided, else a decided score for the side to move counted from the
// search root. Every scratch and same-side stone is undone before it returns.
int32_t decidedScore(Worker& e);

// 0, or a losing score for the side to move when its fours cannot disturb the opponent's
// open-four threats (freestyle, after a double-three move).
int32_t doubleThreeRefutation(Worker& e);

}  // namespace kesta
