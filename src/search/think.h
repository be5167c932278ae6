// The think entry: the engine's move for the side to move, with the opening rules, the opening
// book and the time budget. Entry points: think, timeBudget, applyAndJudge.
#pragma once

#include "search/engine.h"

namespace kesta {

// The move for the side to move, or a cell that is not Empty (0) when there is none.
CellIndex think(Engine& e);

// Milliseconds the current move may use.
int32_t timeBudget(const Engine& e);

// Makes the engine's move at (x, y) when Stopped is set: 1 five, -1 renju foul, 0 otherwise.
int applyAndJudge(Engine& e, int x, int y);

}  // namespace kesta
