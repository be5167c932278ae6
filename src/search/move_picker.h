// Per-ply move lists: a move with its ordering score, and the staged picker that hands the
// search its moves (table move first, then the generated list in order).
#pragma once

#include <cstdint>
#include <vector>

#include "core/types.h"

namespace kesta {

struct MoveEntry {
  CellIndex cell;
  int32_t score;
};

struct MovePicker {
  std::vector<MoveEntry> moves;  // cleared by length only; the storage is kept
  CellIndex ttMove = 0;
  uint8_t stage = 0;  // 0 table move next, 1 generation next, 2 walking the list, best first
  uint64_t index = 0;

  // Resets the picker for a node; keeps the storage.
  void reset(CellIndex tableMove) {
    moves.clear();
    ttMove = tableMove;
    stage = 0;
    index = 0;
  }
};

constexpr int PlyCount = 150;
// Room for every cell of the largest board, so no list ever grows during a search.
constexpr int PickerCapacity = 512;

}  // namespace kesta
