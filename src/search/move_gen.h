// Move generation and ordering: candidate cells in scan order, the root list with its decided
// cases, and the staged picker of interior nodes. Nothing here makes or unmakes a move.
#pragma once

#include "search/engine.h"

namespace kesta {

// Ordering score: twice the side to move's own moveScore plus the opponent's.
inline int32_t orderScore(const Worker& e, CellIndex cell) {
  const CellInfo& c = e.cellInfo[cell];
  return int32_t(c.moveScore[e.board->sideToMove]) + c.moveScore[0] + c.moveScore[1];
}

// Visits the box row by row (y from yMin to yMax, x from xMin to xMax).
template <typename Visit>
inline void forEachBoxCell(const Board& b, Visit&& visit) {
  for (int y = b.box.yMin; y <= b.box.yMax; ++y) {
    const int row = (y + 5) * 32 + 5;
    for (int x = b.box.xMin; x <= b.box.xMax; ++x) visit(CellIndex(row + x));
  }
}

// Empty, inside the box (the caller's scan), near a stone, and not a renju foul for Black.
bool isCandidate(Worker& e, CellIndex cell);

// Appends every candidate cell with its ordering score, in scan order.
void generateAllMoves(Worker& e, std::vector<MoveEntry>& list);
// Appends the candidate cells where either side makes a four or better; returns how many.
int32_t generateThreatMoves(Worker& e, std::vector<MoveEntry>& list);
// First Empty cell near a stone in scan order with cellClass[side] == cls; 0 when none.
CellIndex findClassCell(const Worker& e, int side, int cls);

// The cells where a stone of the attacker's opponent leaves the attacker no five to make, written
// to out (at most MaxFiveBlocks); 0 when the attacker has none or no single stone stops them all.
// Outside caro these are the one five cell, if the attacker has exactly one; under caro also the
// cells that close a five at its far end (O.XXXX. is stopped at either empty cell). A renju foul of
// the blocker is not excluded.
constexpr int MaxFiveBlocks = 16;
int fiveBlocks(Worker& e, int attacker, CellIndex* out);

enum RootOutcome : int32_t { RootSearch = 0, RootWin = 1, RootLoss = 2 };

// Fills or re-sorts the root list; recognises won and lost roots (the list then holds the move).
int32_t prepareRootMoves(Worker& e, MovePicker& picker);

// The next move of an interior node; false when the node has no further move.
bool nextMove(Worker& e, MovePicker& picker, CellIndex& cell);

// Sort by descending score, equal scores in cell order (generation), and the stable sort that keeps
// equal scores as they stand (the root re-sort).
void sortByScore(std::vector<MoveEntry>& list);
void stableSortByScore(std::vector<MoveEntry>& list);

}  // namespace kesta
