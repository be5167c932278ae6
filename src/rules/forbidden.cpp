#include "rules/forbidden.h"

#include "board/line_state.h"

namespace kesta {

bool isForbidden(Position& p, CellIndex cell) {
  if (p.board->cells[cell] != Empty) return false;
  const int cls = p.cellInfo[cell].cellClass[Black];
  if (cls == ClassBlackDoubleFour || cls == ClassBlackLongLine) return true;
  if (cls != ClassBlackDoubleThree) return false;
  // A double-three candidate: forbidden when two of its threes are real.
  int real = 0;
  for (int k = 0; k < 4; ++k)
    if (isRealThree(p, cell, k) && ++real == 2) return true;
  return false;
}

bool isRealThree(Position& p, CellIndex cell, int k) {
  const int code = p.cellInfo[cell].lineCode[Black][k];
  if (code != CodeOpenThree && code != CodeSpare14) return false;
  const int d = DirectionStep[k];
  // The line codes of the scanned cells before the trial stone: a cell that already made a
  // straight four without it belongs to another three of the line (possibly beyond a White
  // stone), and does not make this three real.
  uint8_t before[2][5];
  for (int side = 0; side < 2; ++side)
    for (int m = 1; m <= 4; ++m)
      before[side][m] = p.cellInfo[CellIndex(cell + (side == 0 ? m : -m) * d)].lineCode[Black][k];
  makeScratchAs(p, cell, Black);
  // Forward, then backward, up to four cells; occupied cells are passed over.
  for (int side = 0; side < 2; ++side) {
    const int sign = side == 0 ? 1 : -1;
    for (int m = 1; m <= 4; ++m) {
      const CellIndex t = CellIndex(cell + sign * m * d);
      if (p.board->cells[t] == Empty && p.cellInfo[t].lineCode[Black][k] == CodeOpenFour &&
          before[side][m] != CodeOpenFour && !isForbidden(p, t)) {
        unmakeScratch(p);
        return true;
      }
    }
  }
  unmakeScratch(p);
  return false;
}

std::vector<CellIndex> forbiddenCells(Position& p) {
  const Board& b = *p.board;
  std::vector<CellIndex> cells;
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x)
      if (b.cells[cellOf(x, y)] == Empty && isForbidden(p, cellOf(x, y))) cells.push_back(cellOf(x, y));
  return cells;
}

}  // namespace kesta
