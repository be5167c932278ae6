// The think entry: the engine's move for the side to move, with the opening rules and the opening
// book (the time budget is in time_manager.h). Entry points: think, applyAndJudge.
#pragma once

#include <random>

#include "search/engine.h"
#include "search/time_manager.h"

namespace kesta {

// The move for the side to move, or a cell that is not Empty (0) when there is none.
CellIndex think(Engine& e);

// A renju foul loses at once. When the search settles on a forbidden cell for Black (a lost root
// whose only block is forbidden, say), any legal cell keeps the game going; the move itself is
// kept only when every empty cell is forbidden.
CellIndex avoidFoul(Engine& e, CellIndex move);

// Makes the engine's move at (x, y) when Stopped is set: 1 five, -1 renju foul, 0 otherwise.
int applyAndJudge(Engine& e, int x, int y);

// Marks the cells around a lone stone near the edge as candidates and widens the box.
void widenAroundEdgeStone(Engine& e, CellIndex stone, int reach);

// The two generators of the think entry, each seeded once with the calendar time in seconds.
std::mt19937_64& neighbourRandom();
std::mt19937_64& bookRandom();

// Reseeds every random generator of the process (boards, neighbour replies, book), so that runs
// of the developer tool repeat exactly.
void seedAllGenerators(uint64_t seed);

// Steps 6 to 9 of think without the opening rules: the per-think reset, ageing and the deepening.
CellIndex searchPosition(Engine& e);

}  // namespace kesta
