#include "board/line_state.h"

#include <bit>
#include <cstring>
#include <utility>

#include "eval/eval_tables.h"
#include "eval/evaluation.h"

namespace kesta {

namespace {

// The code of side s for a window of cell in direction k: from the cell's edge configuration's
// table under caro, else from the rule's one table.
template <bool Edge>
inline uint8_t windowCode(const Position& p, const PatternTables& t, int cell, int k, int s, unsigned window) {
  if constexpr (Edge) return t.edgeLineCode(p.edgeConfig[cell][k], s, window);
  return t.lineCodeByWindow[s][window];
}

// The codes of direction k from its windows, and each side's code key with them.
template <bool Edge>
inline void recomputeCodes(const Position& p, const PatternTables& t, int cell, CellInfo& c, int k) {
  for (int s = 0; s < 2; ++s) {
    const uint8_t code = windowCode<Edge>(p, t, cell, k, s, c.lineWindow[k][s]);
    c.codeKey[s] = uint16_t(c.codeKey[s] + (DenseCode[code] - DenseCode[c.lineCode[s][k]]) * CodeKeyWeight[k]);
    c.lineCode[s][k] = code;
  }
}

// The refresh of a window cell after its windows in direction k changed: codes, move scores and
// classes, and with Full the evaluation scores and their sums.
template <bool Full, bool Edge>
inline void refresh(Position& p, const PatternTables& t, int cell, CellInfo& c, int k) {
  const uint32_t keys = uint32_t(c.codeKey[0]) | uint32_t(c.codeKey[1]) << 16;
  recomputeCodes<Edge>(p, t, cell, c, k);
  // A stone often leaves both codes as they were; the cell's values then stand.
  if ((uint32_t(c.codeKey[0]) | uint32_t(c.codeKey[1]) << 16) == keys) return;
  const CellScore& s0 = t.cellScoreOf(0, c.codeKey[0]);
  const CellScore& s1 = t.cellScoreOf(1, c.codeKey[1]);
  c.moveScore[0] = s0.move;
  c.moveScore[1] = s1.move;
  if (Full) {
    cellScoreChanged(p.evalSum, 0, c.evalScore[0], s0.eval);
    cellScoreChanged(p.evalSum, 1, c.evalScore[1], s1.eval);
    c.evalScore[0] = s0.eval;
    c.evalScore[1] = s1.eval;
  }
  // Most refreshes keep the classes; skipping their counters spares a chain of read-modify-writes
  // on the same few counters from cell to cell.
  if (c.cellClass[0] != s0.cls) {
    p.classCount[0][c.cellClass[0]] -= 1;
    p.classCount[0][s0.cls] += 1;
    c.cellClass[0] = s0.cls;
  }
  if (c.cellClass[1] != s1.cls) {
    p.classCount[1][c.cellClass[1]] -= 1;
    p.classCount[1][s1.cls] += 1;
    c.cellClass[1] = s1.cls;
  }
}

// The 40 window cells of a stone, four lines of ten: bit i of a window mask stands for the cell at
// WindowCells.offset[i] from the stone, in direction i / 10, and the stone is the cell's window
// digit WindowCells.digit[i] (a stone at -M from a cell at +M: digit 5 + M when M < 0, 4 + M
// otherwise).
struct WindowCellTables {
  int offset[40];
  uint16_t digit[40];
};
constexpr WindowCellTables makeWindowCellTables() {
  WindowCellTables w{};
  constexpr int Ms[10] = {-5, -4, -3, -2, -1, 1, 2, 3, 4, 5};
  for (int k = 0; k < 4; ++k)
    for (int j = 0; j < 10; ++j) {
      const int m = Ms[j];
      w.offset[k * 10 + j] = m * DirectionStep[k];
      w.digit[k * 10 + j] = WindowDigit[m < 0 ? 5 + m : 4 + m];
    }
  return w;
}
inline constexpr WindowCellTables WindowCells = makeWindowCellTables();

// The mask of the stone's window cells that are Empty. Built without branches: which cells are
// empty follows no pattern the branch predictor could learn, and a miss costs more than the test.
template <size_t... I>
inline uint64_t emptyWindowMask(const uint8_t* at, std::index_sequence<I...>) {
  return ((uint64_t(at[WindowCells.offset[I]] == Empty) << I) | ...);
}

// Enters the new stone of side s at cell into the windows of every Empty window cell and refreshes
// the cell, keeping what it held in the stone's undo records.
// Always inlined: each make gets its own copy, specialised to its variant.
template <bool Full, bool Edge>
[[gnu::always_inline]] inline void addWindows(Position& p, CellIndex cell, int s) {
  // Read once: the stores into the cells below could otherwise make every lookup reload it.
  const PatternTables& tables = *p.tables;
  const int stone = p.board->moveCount - 1;
  StoneUndo& undo = p.stoneUndo[stone];
  std::memcpy(undo.evalSum, p.evalSum, sizeof undo.evalSum);
  std::memcpy(undo.classCount, p.classCount, sizeof undo.classCount);
  CellUndo* out = p.cellUndo + (stone > 0 ? p.stoneUndo[stone - 1].end : 0);
  for (uint64_t m = emptyWindowMask(p.board->cells + cell, std::make_index_sequence<40>()); m; m &= m - 1) {
    const int i = std::countr_zero(m);
    const int t = cell + WindowCells.offset[i];
    const int k = i / 10;
    CellInfo& c = p.cellInfo[t];
    CellUndo& u = *out++;
    u.cell = uint16_t(t);
    std::memcpy(u.lineState, &c, sizeof u.lineState);
    // An own stone for s, a blocker for the other side.
    const uint16_t digit = WindowCells.digit[i];
    c.lineWindow[k][s] = uint16_t(c.lineWindow[k][s] + digit);
    c.lineWindow[k][s ^ 1] = uint16_t(c.lineWindow[k][s ^ 1] + 2 * digit);
    refresh<Full, Edge>(p, tables, t, c, k);
  }
  undo.end = uint32_t(out - p.cellUndo);
}

template <bool Full>
[[gnu::always_inline]] inline void addToWindows(Position& p, CellIndex cell, int s) {
  if (p.tables->edgeAware)
    addWindows<Full, true>(p, cell, s);
  else
    addWindows<Full, false>(p, cell, s);
}

// Takes the stone just popped out of its window cells by restoring their records.
inline void restoreWindows(Position& p) {
  const int stone = p.board->moveCount;
  const StoneUndo& undo = p.stoneUndo[stone];
  const CellUndo* first = p.cellUndo + (stone > 0 ? p.stoneUndo[stone - 1].end : 0);
  for (const CellUndo* u = first; u != p.cellUndo + undo.end; ++u) {
    std::memcpy(&p.cellInfo[u->cell], u->lineState, sizeof u->lineState);
  }
  std::memcpy(p.evalSum, undo.evalSum, sizeof undo.evalSum);
  std::memcpy(p.classCount, undo.classCount, sizeof undo.classCount);
}

// Adds delta to the nearCount of the stone's 32 neighbourhood cells. The offsets are constants, so
// each update is a single instruction at a fixed distance from the stone's record.
template <size_t... I>
inline void addNear(CellInfo* at, int delta, std::index_sequence<I...>) {
  ((at[NeighbourhoodOffsets[I]].nearCount = uint8_t(at[NeighbourhoodOffsets[I]].nearCount + delta)), ...);
}
inline void raiseNear(Position& p, CellIndex cell) { addNear(p.cellInfo + cell, 1, std::make_index_sequence<32>()); }
inline void lowerNear(Position& p, CellIndex cell) { addNear(p.cellInfo + cell, -1, std::make_index_sequence<32>()); }

inline void removeClasses(Position& p, const CellInfo& c) {
  p.classCount[0][c.cellClass[0]] -= 1;
  p.classCount[1][c.cellClass[1]] -= 1;
}

}  // namespace

void resetGame(Position& p) {
  Board& b = *p.board;
  const PatternTables& tables = *p.tables;
  clearBoard(b);
  p.ply = 0;
  p.evalSum[0] = p.evalSum[1] = 0;
  std::memset(p.cellInfo, 0, sizeof p.cellInfo);
  std::memset(p.edgeConfig, 0, sizeof p.edgeConfig);
  std::memset(p.classCount, 0, sizeof p.classCount);
  for (int t = b.firstCell; t <= b.lastCell; ++t) {
    if (b.cells[t] == Wall) continue;
    CellInfo& c = p.cellInfo[t];
    for (int k = 0; k < 4; ++k) {
      const int d = DirectionStep[k];
      unsigned wall = 0;
      int plus = 0, minus = 0;  // the edge's cells on each side, for caro's tables
      for (int m = 1; m <= 5; ++m) {
        if (b.cells[t - m * d] == Wall) {
          wall += 2u * WindowDigit[4 + m];
          ++minus;
        }
        if (b.cells[t + m * d] == Wall) {
          wall += 2u * WindowDigit[5 - m];
          ++plus;
        }
      }
      c.lineWindow[k][0] = c.lineWindow[k][1] = uint16_t(wall);
      p.edgeConfig[t][k] = uint8_t(tables.edgeAware ? edgeConfigOf(plus, minus) : 0);
      for (int s = 0; s < 2; ++s)
        c.lineCode[s][k] = tables.edgeAware ? tables.edgeLineCode(p.edgeConfig[t][k], s, wall)
                                            : tables.lineCodeByWindow[s][wall];
    }
    for (int s = 0; s < 2; ++s) {
      c.codeKey[s] = codeKeyOf(c.lineCode[s]);
      const int key = patternKey(c.lineCode[s][0], c.lineCode[s][1], c.lineCode[s][2], c.lineCode[s][3]);
      c.moveScore[s] = tables.moveScore[s][key];
      c.evalScore[s] = tables.evalScore[s][key];
      c.cellClass[s] = tables.cellClass[s][key];
      cellScoreChanged(p.evalSum, s, 0, c.evalScore[s]);
      p.classCount[s][c.cellClass[s]] += 1;
    }
  }
}

void makeMove(Position& p, CellIndex cell) {
  const int s = p.board->sideToMove;
  pushStone(*p.board, cell);
  p.ply += 1;
  addToWindows<true>(p, cell, s);
  const CellInfo& c = p.cellInfo[cell];
  // The stone's own cell no longer counts.
  cellScoreChanged(p.evalSum, 0, c.evalScore[0], 0);
  cellScoreChanged(p.evalSum, 1, c.evalScore[1], 0);
  removeClasses(p, c);
  raiseNear(p, cell);
}

void unmakeMove(Position& p) {
  Board& b = *p.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  popStone(b);
  p.ply -= 1;
  restoreWindows(p);
  lowerNear(p, cell);
}

namespace {

[[gnu::always_inline]] inline void placeScratch(Position& p, CellIndex cell, uint8_t colour) {
  Board& b = *p.board;
  b.cells[cell] = colour;
  b.hash ^= Zobrist.stone[colour][cell];
  b.moves[b.moveCount] = cell;
  b.boxHistory[b.moveCount] = int32_t(boxWord(b.box));
  updateBox(b, cell);
  b.sideToMove ^= 1;
  b.opponent ^= 1;
  b.moveCount += 1;
  p.ply += 1;
  addToWindows<false>(p, cell, colour);
  removeClasses(p, p.cellInfo[cell]);
  raiseNear(p, cell);
}

}  // namespace

void makeScratchAs(Position& p, CellIndex cell, uint8_t colour) { placeScratch(p, cell, colour); }

void makeScratch(Position& p, CellIndex cell) { placeScratch(p, cell, p.board->sideToMove); }

void unmakeScratch(Position& p) {
  Board& b = *p.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  popStone(b);
  p.ply -= 1;
  restoreWindows(p);
  lowerNear(p, cell);
}

void placeSameSide(Position& p, CellIndex cell) {
  Board& b = *p.board;
  const int s = b.sideToMove;
  b.cells[cell] = uint8_t(s);
  b.hash ^= Zobrist.stone[s][cell];
  b.moves[b.moveCount] = cell;
  b.boxHistory[b.moveCount] = int32_t(boxWord(b.box));
  updateBox(b, cell);
  b.moveCount += 1;
  addToWindows<false>(p, cell, s);
  removeClasses(p, p.cellInfo[cell]);
  raiseNear(p, cell);
}

void removeSameSide(Position& p) {
  Board& b = *p.board;
  b.moveCount -= 1;
  const CellIndex cell = b.moves[b.moveCount];
  b.hash ^= Zobrist.stone[b.cells[cell]][cell];
  b.cells[cell] = Empty;
  b.box = boxOf(uint32_t(b.boxHistory[b.moveCount]));
  restoreWindows(p);
  lowerNear(p, cell);
}

}  // namespace kesta
