// The think entry: the engine's move for the side to move, with the opening rules and the opening
// book (the time budget is in time_manager.h). Entry points: think, applyAndJudge.
#pragma once

#include "search/engine.h"
#include "search/time_manager.h"

namespace kesta {

// What a think decided.
struct ThinkResult {
  CellIndex move = 0;  // the move for the side to move; a cell that is not Empty (0) when there is none
  int32_t score = 0;   // from the side to move's view; 0 when the opening rules or the book chose
  int32_t depth = 0;   // the last completed iteration (0: none)
  int64_t nodes = 0;   // of all its threads
  const char* proof = nullptr;  // "vcf" or "vct" when a proof at the root decided the move
};

// The engine's move for the side to move under its settings: starts the clock, plays the opening
// rules and the book, else searches (searchPosition's steps), and leaves the engine stopped.
ThinkResult think(Engine& e);

// The search alone, without the opening rules and the book: starts the clock, resets the per-think
// state, ages the table, deepens, and leaves the engine stopped.
ThinkResult searchPosition(Engine& e);

// A renju foul loses at once. When the search settles on a forbidden cell for Black (a lost root
// whose only block is forbidden, say), any legal cell keeps the game going; the move itself is
// kept only when every empty cell is forbidden.
CellIndex avoidFoul(Engine& e, CellIndex move);

// Makes the engine's move at (x, y) when Stopped is set: 1 five, -1 renju foul, 0 otherwise.
int applyAndJudge(Engine& e, int x, int y);

// Marks the cells around a lone stone near the edge as candidates and widens the box.
void widenAroundEdgeStone(Engine& e, CellIndex stone, int reach);

// Seeds the engine's generators (early replies, book) from seed, so that its thinks repeat.
void seedGenerators(Engine& e, uint64_t seed);

// Draws the process's Zobrist keys from seed, seeds the engine's generators and rehashes its
// board: every random choice repeats from here. Only between thinks, with no other search running.
void seedAllGenerators(Engine& e, uint64_t seed);

}  // namespace kesta
