// Consistency of the game state between commands: the Board record against its own stones, and
// the Engine's incremental line state against a from-scratch rebuild from those stones.
// Entry point: stateDifference.
#pragma once

#include <string>

#include "search/engine.h"

namespace kesta::fuzz {

// Empty when the Board and the Engine's per-cell state agree with a rebuild from the stones;
// otherwise a description of the first differences found.
//  - Board: Walls exactly outside the n-by-n square, one stone per listed move with the colours
//    alternating from Black, side to move and opponent from the move count, the hash the XOR of
//    the stones' keys.
//  - Engine, for every Empty cell: line windows, lineCode, moveScore, evalScore and cellClass as the
//    tables give them for the stones around it; evalSum and classCount summed over Empty cells;
//    nearCount at least the number of neighbouring stones (the think entry may add marks around
//    a lone edge stone, so it can be higher).
std::string stateDifference(const Engine& e);

}  // namespace kesta::fuzz
