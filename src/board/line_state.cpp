#include "board/line_state.h"

#include "eval/eval_tables.h"

namespace kesta {

// The 5x5 square without its centre, plus the cells at distance 3 on the four lines.
const int NeighbourhoodOffsets[32] = {
    -3 * 32 - 3, -3 * 32, -3 * 32 + 3,                                 // dy = -3
    -2 * 32 - 2, -2 * 32 - 1, -2 * 32, -2 * 32 + 1, -2 * 32 + 2,       // dy = -2
    -1 * 32 - 2, -1 * 32 - 1, -1 * 32, -1 * 32 + 1, -1 * 32 + 2,       // dy = -1
    -3, -2, -1, 1, 2, 3,                                               // dy = 0
    1 * 32 - 2, 1 * 32 - 1, 1 * 32, 1 * 32 + 1, 1 * 32 + 2,            // dy = +1
    2 * 32 - 2, 2 * 32 - 1, 2 * 32, 2 * 32 + 1, 2 * 32 + 2,            // dy = +2
    3 * 32 - 3, 3 * 32, 3 * 32 + 3,                                    // dy = +3
};

namespace {

inline int keyOf(const uint8_t code[4]) { return patternKey(code[0], code[1], code[2], code[3]); }

inline void recomputeCodes(CellInfo& c, int k) {
  c.lineCode[0][k] = LineCodeTable[0][c.lineBits[k][0] * 1024u + c.lineBits[k][1]];
  c.lineCode[1][k] = LineCodeTable[1][c.lineBits[k][1] * 1024u + c.lineBits[k][0]];
}

// The eight-step refresh of a window cell after its mask in direction k changed.
inline void refreshFull(Engine& e, CellInfo& c, int k) {
  recomputeCodes(c, k);
  const CellScore& s0 = CellScoreTable[0][keyOf(c.lineCode[0])];
  const CellScore& s1 = CellScoreTable[1][keyOf(c.lineCode[1])];
  c.moveScore[0] = s0.move;
  c.moveScore[1] = s1.move;
  e.evalSum[0] += s0.eval - c.evalScore[0];
  e.evalSum[1] += s1.eval - c.evalScore[1];
  c.evalScore[0] = s0.eval;
  c.evalScore[1] = s1.eval;
  e.classCount[0][c.cellClass[0]] -= 1;
  e.classCount[1][c.cellClass[1]] -= 1;
  c.cellClass[0] = s0.cls;
  c.cellClass[1] = s1.cls;
  e.classCount[0][c.cellClass[0]] += 1;
  e.classCount[1][c.cellClass[1]] += 1;
}

// The reduced refresh: codes, move scores and classes; evalScore is not touched.
inline void refreshReduced(Engine& e, CellInfo& c, int k) {
  recomputeCodes(c, k);
  const CellScore& s0 = CellScoreTable[0][keyOf(c.lineCode[0])];
  const CellScore& s1 = CellScoreTable[1][keyOf(c.lineCode[1])];
  c.moveScore[0] = s0.move;
  c.moveScore[1] = s1.move;
  e.classCount[0][c.cellClass[0]] -= 1;
  e.classCount[1][c.cellClass[1]] -= 1;
  c.cellClass[0] = s0.cls;
  c.cellClass[1] = s1.cls;
  e.classCount[0][c.cellClass[0]] += 1;
  e.classCount[1][c.cellClass[1]] += 1;
}

// Toggles side s's bit for the stone at cell in every Empty window cell and refreshes it. The
// same walk sets the bits in make and clears them in unmake.
template <bool Full>
inline void walkWindows(Engine& e, CellIndex cell, int s) {
  const uint8_t* cells = e.board->cells;
  for (int k = 0; k < 4; ++k) {
    const int d = DirectionStep[k];
    for (int m = 5; m >= 1; --m) {
      const int t = cell - m * d;
      if (cells[t] != Empty) continue;
      CellInfo& c = e.cellInfo[t];
      c.lineBits[k][s] ^= uint16_t(1u << (5 - m));
      if (Full)
        refreshFull(e, c, k);
      else
        refreshReduced(e, c, k);
    }
    for (int m = 1; m <= 5; ++m) {
      const int t = cell + m * d;
      if (cells[t] != Empty) continue;
      CellInfo& c = e.cellInfo[t];
      c.lineBits[k][s] ^= uint16_t(1u << (4 + m));
      if (Full)
        refreshFull(e, c, k);
      else
        refreshReduced(e, c, k);
    }
  }
}

inline void raiseNear(Engine& e, CellIndex cell) {
  for (int off : NeighbourhoodOffsets) e.cellInfo[cell + off].nearCount += 1;
}
inline void lowerNear(Engine& e, CellIndex cell) {
  for (int off : NeighbourhoodOffsets) e.cellInfo[cell + off].nearCount -= 1;
}

inline void removeClasses(Engine& e, const CellInfo& c) {
  e.classCount[0][c.cellClass[0]] -= 1;
  e.classCount[1][c.cellClass[1]] -= 1;
}
inline void returnClasses(Engine& e, const CellInfo& c) {
  e.classCount[0][c.cellClass[0]] += 1;
  e.classCount[1][c.cellClass[1]] += 1;
}

}  // namespace

void makeMove(Engine& e, CellIndex cell) {
  const int s = e.board->sideToMove;
  pushStone(*e.board, cell);
  e.ply += 1;
  walkWindows<true>(e, cell, s);
  const CellInfo& c = e.cellInfo[cell];
  e.evalSum[0] -= c.evalScore[0];
  e.evalSum[1] -= c.evalScore[1];
  removeClasses(e, c);
  raiseNear(e, cell);
}

void unmakeMove(Engine& e) {
  Board& b = *e.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  popStone(b);
  e.ply -= 1;
  const int s = b.sideToMove;
  const CellInfo& c = e.cellInfo[cell];
  e.evalSum[0] += c.evalScore[0];
  e.evalSum[1] += c.evalScore[1];
  returnClasses(e, c);
  walkWindows<true>(e, cell, s);
  lowerNear(e, cell);
}

void makeScratchAs(Engine& e, CellIndex cell, uint8_t colour) {
  Board& b = *e.board;
  b.cells[cell] = colour;
  b.hash ^= b.zobrist[colour][cell];
  b.moves[b.moveCount] = cell;
  b.boxHistory[b.moveCount] = int32_t(boxWord(b.box));
  updateBox(b, cell);
  b.sideToMove ^= 1;
  b.opponent ^= 1;
  b.moveCount += 1;
  e.ply += 1;
  walkWindows<false>(e, cell, colour);
  removeClasses(e, e.cellInfo[cell]);
  raiseNear(e, cell);
}

void makeScratch(Engine& e, CellIndex cell) { makeScratchAs(e, cell, e.board->sideToMove); }

void unmakeScratch(Engine& e) {
  Board& b = *e.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  const int s = b.cells[cell];  // the stone's own colour, also for a trial stone
  popStone(b);
  e.ply -= 1;
  returnClasses(e, e.cellInfo[cell]);
  walkWindows<false>(e, cell, s);
  lowerNear(e, cell);
}

void placeSameSide(Engine& e, CellIndex cell) {
  Board& b = *e.board;
  const int s = b.sideToMove;
  b.cells[cell] = uint8_t(s);
  b.hash ^= b.zobrist[s][cell];
  b.moves[b.moveCount] = cell;
  b.boxHistory[b.moveCount] = int32_t(boxWord(b.box));
  updateBox(b, cell);
  b.moveCount += 1;
  walkWindows<false>(e, cell, s);
  removeClasses(e, e.cellInfo[cell]);
  raiseNear(e, cell);
}

void removeSameSide(Engine& e) {
  Board& b = *e.board;
  const int s = b.sideToMove;
  b.moveCount -= 1;
  const CellIndex cell = b.moves[b.moveCount];
  b.hash ^= b.zobrist[b.cells[cell]][cell];
  b.cells[cell] = Empty;
  b.box = boxOf(uint32_t(b.boxHistory[b.moveCount]));
  returnClasses(e, e.cellInfo[cell]);
  walkWindows<false>(e, cell, s);
  lowerNear(e, cell);
}

}  // namespace kesta
