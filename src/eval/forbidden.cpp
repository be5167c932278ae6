#include "eval/forbidden.h"

#include "board/line_state.h"

namespace kesta {

bool isForbidden(Engine& e, CellIndex cell) {
  if (e.board->cells[cell] != Empty) return false;
  const int cls = e.cellInfo[cell].cellClass[Black];
  if (cls == 1 || cls == 2) return true;
  if (cls != 0) return false;
  // A double-three candidate: forbidden when two of its threes are real.
  int real = 0;
  for (int k = 0; k < 4; ++k)
    if (isRealThree(e, cell, k) && ++real == 2) return true;
  return false;
}

bool isRealThree(Engine& e, CellIndex cell, int k) {
  const int code = e.cellInfo[cell].lineCode[Black][k];
  if (code != 13 && code != 14) return false;
  makeScratchAs(e, cell, Black);
  const int d = DirectionStep[k];
  // Forward, then backward, up to four cells; occupied cells are passed over.
  for (int sign : {1, -1}) {
    for (int m = 1; m <= 4; ++m) {
      const CellIndex t = CellIndex(cell + sign * m * d);
      if (e.board->cells[t] == Empty && e.cellInfo[t].lineCode[Black][k] == 16 && !isForbidden(e, t)) {
        unmakeScratch(e);
        return true;
      }
    }
  }
  unmakeScratch(e);
  return false;
}

}  // namespace kesta
