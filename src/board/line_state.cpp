#include "board/line_state.h"

#include <cstring>

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
  c.lineCode[0][k] = lineCodeOf(0, c.lineBits[k][0], c.lineBits[k][1]);
  c.lineCode[1][k] = lineCodeOf(1, c.lineBits[k][1], c.lineBits[k][0]);
}

// The refresh of a window cell after its mask in direction k changed: codes, move scores and classes,
// and with Full the evaluation scores and their sums.
template <bool Full>
inline void refresh(Position& p, CellInfo& c, int k) {
  recomputeCodes(c, k);
  const CellScore& s0 = CellScoreTable[0][keyOf(c.lineCode[0])];
  const CellScore& s1 = CellScoreTable[1][keyOf(c.lineCode[1])];
  c.moveScore[0] = s0.move;
  c.moveScore[1] = s1.move;
  if (Full) {
    p.evalSum[0] += s0.eval - c.evalScore[0];
    p.evalSum[1] += s1.eval - c.evalScore[1];
    c.evalScore[0] = s0.eval;
    c.evalScore[1] = s1.eval;
  }
  p.classCount[0][c.cellClass[0]] -= 1;
  p.classCount[1][c.cellClass[1]] -= 1;
  c.cellClass[0] = s0.cls;
  c.cellClass[1] = s1.cls;
  p.classCount[0][c.cellClass[0]] += 1;
  p.classCount[1][c.cellClass[1]] += 1;
}

// Sets side s's bit for the new stone at cell in every Empty window cell and refreshes the cell,
// keeping what it held in the stone's undo records.
template <bool Full>
inline void addToWindows(Position& p, CellIndex cell, int s) {
  const uint8_t* cells = p.board->cells;
  const int stone = p.board->moveCount - 1;
  StoneUndo& undo = p.stoneUndo[stone];
  std::memcpy(undo.evalSum, p.evalSum, sizeof undo.evalSum);
  std::memcpy(undo.classCount, p.classCount, sizeof undo.classCount);
  CellUndo* out = p.cellUndo + (stone > 0 ? p.stoneUndo[stone - 1].end : 0);
  for (int k = 0; k < 4; ++k) {
    const int d = DirectionStep[k];
    for (int m = -5; m <= 5; ++m) {
      if (m == 0) continue;
      const int t = cell + m * d;
      if (cells[t] != Empty) continue;
      CellInfo& c = p.cellInfo[t];
      CellUndo& u = *out++;
      u.cellAndDirection = uint16_t(t + BoardCells * k);
      u.code[0] = c.lineCode[0][k];
      u.code[1] = c.lineCode[1][k];
      u.cls[0] = c.cellClass[0];
      u.cls[1] = c.cellClass[1];
      u.bits = c.lineBits[k][s];
      u.move[0] = c.moveScore[0];
      u.move[1] = c.moveScore[1];
      u.eval[0] = c.evalScore[0];
      u.eval[1] = c.evalScore[1];
      // The stone lies at offset -m from t: bit 5 + m of t's window when m < 0, bit 4 + m otherwise.
      c.lineBits[k][s] |= uint16_t(1u << (m < 0 ? 5 + m : 4 + m));
      refresh<Full>(p, c, k);
    }
  }
  undo.end = uint32_t(out - p.cellUndo);
}

// Takes the stone just popped, of side s, out of its window cells by restoring their records.
inline void restoreWindows(Position& p, int s) {
  const int stone = p.board->moveCount;
  const StoneUndo& undo = p.stoneUndo[stone];
  const CellUndo* first = p.cellUndo + (stone > 0 ? p.stoneUndo[stone - 1].end : 0);
  for (const CellUndo* u = first; u != p.cellUndo + undo.end; ++u) {
    CellInfo& c = p.cellInfo[u->cellAndDirection % BoardCells];
    const int k = u->cellAndDirection / BoardCells;
    c.lineCode[0][k] = u->code[0];
    c.lineCode[1][k] = u->code[1];
    c.cellClass[0] = u->cls[0];
    c.cellClass[1] = u->cls[1];
    c.lineBits[k][s] = u->bits;
    c.moveScore[0] = u->move[0];
    c.moveScore[1] = u->move[1];
    c.evalScore[0] = u->eval[0];
    c.evalScore[1] = u->eval[1];
  }
  std::memcpy(p.evalSum, undo.evalSum, sizeof undo.evalSum);
  std::memcpy(p.classCount, undo.classCount, sizeof undo.classCount);
}

inline void raiseNear(Position& p, CellIndex cell) {
  for (int off : NeighbourhoodOffsets) p.cellInfo[cell + off].nearCount += 1;
}
inline void lowerNear(Position& p, CellIndex cell) {
  for (int off : NeighbourhoodOffsets) p.cellInfo[cell + off].nearCount -= 1;
}

inline void removeClasses(Position& p, const CellInfo& c) {
  p.classCount[0][c.cellClass[0]] -= 1;
  p.classCount[1][c.cellClass[1]] -= 1;
}

}  // namespace

void resetGame(Position& p) {
  Board& b = *p.board;
  clearBoard(b);
  p.ply = 0;
  p.evalSum[0] = p.evalSum[1] = 0;
  std::memset(p.cellInfo, 0, sizeof p.cellInfo);
  std::memset(p.classCount, 0, sizeof p.classCount);
  for (int t = b.firstCell; t <= b.lastCell; ++t) {
    if (b.cells[t] == Wall) continue;
    CellInfo& c = p.cellInfo[t];
    for (int k = 0; k < 4; ++k) {
      const int d = DirectionStep[k];
      unsigned wall = 0;
      for (int m = 1; m <= 5; ++m) {
        if (b.cells[t - m * d] == Wall) wall |= 1u << (4 + m);
        if (b.cells[t + m * d] == Wall) wall |= 1u << (5 - m);
      }
      c.lineBits[k][0] = c.lineBits[k][1] = uint16_t(wall);
      c.lineCode[0][k] = lineCodeOf(0, wall, wall);
      c.lineCode[1][k] = lineCodeOf(1, wall, wall);
    }
    for (int s = 0; s < 2; ++s) {
      const int key = patternKey(c.lineCode[s][0], c.lineCode[s][1], c.lineCode[s][2], c.lineCode[s][3]);
      c.moveScore[s] = MoveScoreTable[s][key];
      c.evalScore[s] = EvalScoreTable[s][key];
      c.cellClass[s] = CellClassTable[s][key];
      p.evalSum[s] += c.evalScore[s];
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
  p.evalSum[0] -= c.evalScore[0];
  p.evalSum[1] -= c.evalScore[1];
  removeClasses(p, c);
  raiseNear(p, cell);
}

void unmakeMove(Position& p) {
  Board& b = *p.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  popStone(b);
  p.ply -= 1;
  restoreWindows(p, b.sideToMove);
  lowerNear(p, cell);
}

void makeScratchAs(Position& p, CellIndex cell, uint8_t colour) {
  Board& b = *p.board;
  b.cells[cell] = colour;
  b.hash ^= b.zobrist[colour][cell];
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

void makeScratch(Position& p, CellIndex cell) { makeScratchAs(p, cell, p.board->sideToMove); }

void unmakeScratch(Position& p) {
  Board& b = *p.board;
  const CellIndex cell = b.moves[b.moveCount - 1];
  const int s = b.cells[cell];  // the stone's own colour, also for a trial stone
  popStone(b);
  p.ply -= 1;
  restoreWindows(p, s);
  lowerNear(p, cell);
}

void placeSameSide(Position& p, CellIndex cell) {
  Board& b = *p.board;
  const int s = b.sideToMove;
  b.cells[cell] = uint8_t(s);
  b.hash ^= b.zobrist[s][cell];
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
  const int s = b.sideToMove;
  b.moveCount -= 1;
  const CellIndex cell = b.moves[b.moveCount];
  b.hash ^= b.zobrist[b.cells[cell]][cell];
  b.cells[cell] = Empty;
  b.box = boxOf(uint32_t(b.boxHistory[b.moveCount]));
  restoreWindows(p, s);
  lowerNear(p, cell);
}

}  // namespace kesta
