// Consistency of the game state, for the unit tests and the command-loop fuzz target alike: the
// Board record against its own stones, and a position's incremental line state against a
// from-scratch rebuild from those stones. Entry point: stateDifference.
#pragma once

#include <cstdint>
#include <string>

#include "board/position.h"

namespace kesta::check {

// How strictly stateDifference judges.
struct StateCheck {
  // Scratch or same-side stones may stand: the stones need not alternate in colour from Black,
  // nor the side to move follow the move count.
  bool anyColours = false;
  // nearCount exactly the number of stones near, on every cell. Otherwise at least that many on
  // Empty cells: the think entry may add marks around a lone edge stone.
  bool exactNearCount = false;
  // While scratch or same-side stones stand, evalScore and evalSum stay as they were before the
  // first of them: those records (all BoardCells) and sums. Null: as rebuilt from the stones.
  const CellInfo* evalCells = nullptr;
  const int32_t* evalSums = nullptr;
};

// Empty when the Board and the position's per-cell state agree with a rebuild from the stones;
// otherwise a description of the first differences found, one a line.
//  - Board: Walls exactly outside the n-by-n square, one stone per listed move with the colours
//    alternating from Black, side to move and opponent from the move count, the hash the XOR of
//    the stones' keys.
//  - Line state, for every Empty cell: line windows, lineCode, codeKey, moveScore, evalScore and
//    cellClass as the tables give them for the stones around it; evalSum and classCount summed
//    over Empty cells; nearCount from the stones near it (see StateCheck).
std::string stateDifference(const Position& p, const StateCheck& how = {});

}  // namespace kesta::check
