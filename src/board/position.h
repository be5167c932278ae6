// Layer 3 of 8 (tools/check-layers.sh): board/ includes only board/, eval/ and core/.
// The position record that make and unmake keep: the Board, each cell's line state, the evaluation
// sums, the class counts and the ply. The Engine extends it with everything of the search.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "board/board.h"
#include "eval/eval_tables.h"

namespace kesta {

// Line state of one cell.
// lineWindow[k][s]: for direction k and side s, the window cells t + p*d (p = -5..-1, +1..+5) as a
// ternary number: digit 0 an empty cell, 1 a stone of s, 2 an opponent stone or Wall. p = +1..+5
// is digit 5 - p, p = -1..-5 is digit 4 - p, so digit 9 down to digit 0 walks the window from
// t - 5d to t + 5d. lineCode[s][k] is the line code of that window.
// The fields before nearCount are the line state that make keeps and unmake restores.
struct CellInfo {
  uint16_t lineWindow[4][2];
  uint8_t lineCode[2][4];
  uint16_t codeKey[2];  // each side's four codes as one number, for the lookup of the values below
  uint8_t cellClass[2];
  int16_t moveScore[2];
  int16_t evalScore[2];
  uint8_t nearCount;
  uint8_t rootLoss;  // set by the root search on a move proven lost, cleared at each think
};
static_assert(offsetof(CellInfo, nearCount) == 38 && sizeof(CellInfo) == 40);

// What one stone changed in one window cell: the cell's line state as it was before, so that
// taking the stone back restores it instead of looking every table up again.
struct CellUndo {
  uint16_t cell;
  uint8_t lineState[offsetof(CellInfo, nearCount)];
};
static_assert(sizeof(CellUndo) == 40);

// The board-wide sums before one stone, and where its cell records end.
struct StoneUndo {
  int32_t evalSum[2];
  int32_t classCount[2][CellClassCount];
  uint32_t end;  // one past the stone's last CellUndo
};

// Powers of 3: the weight of each window digit.
inline constexpr uint16_t WindowDigit[10] = {1, 3, 9, 27, 81, 243, 729, 2187, 6561, 19683};

// The 10-bit mask of the window cells holding a stone of side s or Wall in direction k (bit b for
// digit b), read back from the two sides' windows: a cell that blocks both sides is Wall.
inline uint16_t lineBitsOf(const CellInfo& c, int k, int s) {
  uint16_t bits = 0;
  for (int b = 0; b < 10; ++b) {
    const int own = c.lineWindow[k][s] / WindowDigit[b] % 3, other = c.lineWindow[k][s ^ 1] / WindowDigit[b] % 3;
    if (own == 1 || (own == 2 && other == 2)) bits = uint16_t(bits | 1u << b);
  }
  return bits;
}

constexpr int MaxStones = MaxBoardSize * MaxBoardSize;
// A stone changes at most the ten window cells of each of its four lines.
constexpr int MaxCellUndos = MaxStones * 40;

struct Position {
  CellInfo cellInfo[BoardCells];
  Board* board;  // owned by the caller, who keeps it alive as long as the position
  // The rule and the tables make and unmake read; owned elsewhere (an Engine, a test) and shared
  // read-only. Changed only between games, followed by resetGame.
  const PatternTables* tables = nullptr;
  int32_t evalSum[2];
  int32_t classCount[2][CellClassCount];
  int32_t ply;
  // Under caro (PatternTables::edgeAware), each cell's edge configuration in each direction:
  // which table its windows read their codes from. Set by resetGame.
  uint8_t edgeConfig[BoardCells][4];
  // One record per stone on the board, in the order of the board's move list.
  StoneUndo stoneUndo[MaxStones];
  CellUndo cellUndo[MaxCellUndos];
};

// Gives to the position of from, whose Board the caller has copied into to's: the cells' line
// state, the sums and counts, the rule's tables, and the undo records of the stones on the board
// (the next stone's cell records start where the last one's end). Everything a search from this
// position reads; the cell records of earlier stones are not needed to make and unmake above it.
inline void copyPositionState(Position& to, const Position& from) {
  std::memcpy(to.cellInfo, from.cellInfo, sizeof to.cellInfo);
  to.tables = from.tables;
  std::memcpy(to.evalSum, from.evalSum, sizeof to.evalSum);
  std::memcpy(to.classCount, from.classCount, sizeof to.classCount);
  to.ply = from.ply;
  std::memcpy(to.edgeConfig, from.edgeConfig, sizeof to.edgeConfig);
  std::memcpy(to.stoneUndo, from.stoneUndo, sizeof(StoneUndo) * size_t(from.board->moveCount));
}

inline Rule ruleOf(const Position& p) {
  return p.tables->rule;
}

}  // namespace kesta
