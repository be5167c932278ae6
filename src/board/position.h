// Layer 3 of 7 (tools/check-layers.sh): board/ includes only board/ and eval/.
// The position record that make and unmake keep: the Board, each cell's line state, the evaluation
// sums, the class counts and the ply. The Engine extends it with everything of the search.
#pragma once

#include <cstdint>

#include "board/board.h"

namespace kesta {

// Line state of one cell.
// lineBits[k][s]: for direction k and side s, a 10-bit mask of the window cells t + p*d
// (p = -5..-1, +1..+5) holding a stone of s or Wall. p = +1..+5 is bit 5 - p, p = -1..-5 is
// bit 4 - p, so bit 9 down to bit 0 walks the window from t - 5d to t + 5d.
struct CellInfo {
  uint16_t lineBits[4][2];
  uint8_t lineCode[2][4];
  int16_t moveScore[2];
  int16_t evalScore[2];
  uint8_t cellClass[2];
  uint8_t nearCount;
  uint8_t rootLoss;  // set by the root search on a move proven lost, cleared at each think
};

// What one stone changed in one window cell: the cell's fields as they were before, so that taking
// the stone back restores them instead of looking every table up again.
struct CellUndo {
  uint16_t cellAndDirection;  // cell + 1024 * k, k the direction whose window held the stone
  uint8_t code[2];            // lineCode[0][k], lineCode[1][k]
  uint8_t cls[2];
  uint16_t bits;  // lineBits[k][the stone's side]
  int16_t move[2];
  int16_t eval[2];
};
static_assert(sizeof(CellUndo) == 16);

// The board-wide sums before one stone, and where its cell records end.
struct StoneUndo {
  int32_t evalSum[2];
  int32_t classCount[2][14];
  uint32_t end;  // one past the stone's last CellUndo
};

constexpr int MaxStones = MaxBoardSize * MaxBoardSize;
// A stone changes at most the ten window cells of each of its four lines.
constexpr int MaxCellUndos = MaxStones * 40;

struct Position {
  CellInfo cellInfo[BoardCells];
  Board* board;  // owned by the caller, who keeps it alive as long as the position
  int32_t evalSum[2];
  int32_t classCount[2][14];
  int32_t ply;
  // One record per stone on the board, in the order of the board's move list.
  StoneUndo stoneUndo[MaxStones];
  CellUndo cellUndo[MaxCellUndos];
};

}  // namespace kesta
