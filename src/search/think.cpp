#include "search/think.h"

#include "board/line_state.h"

namespace kesta {

// Stand-in until the search lands: centre first, then the first empty neighbour of the last stone.
CellIndex think(Engine& e) {
  e.Stopped = 0;
  const Board& b = *e.board;
  if (b.moveCount == 0) return CellIndex((b.centre + 5) * 33);
  const CellIndex last = b.moves[b.moveCount - 1];
  for (int off : NeighbourhoodOffsets)
    if (b.cells[last + off] == Empty) return CellIndex(last + off);
  for (int t = b.firstCell; t <= b.lastCell; ++t)
    if (b.cells[t] == Empty) return CellIndex(t);
  return 0;
}

int32_t timeBudget(const Engine& e) { return e.Settings.TimeoutTurn - 40; }

int applyAndJudge(Engine& e, int x, int y) {
  if (!e.Stopped) return 0;
  const CellIndex cell = cellOf(x, y);
  const int cls = e.cellInfo[cell].cellClass[e.board->sideToMove];
  makeMove(e, cell);
  return cls == 13 ? 1 : 0;
}

}  // namespace kesta
