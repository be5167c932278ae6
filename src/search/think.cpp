#include "search/think.h"

#include <algorithm>

#include "board/line_state.h"
#include "core/clock.h"
#include "rules/rules.h"
#include "search/opening_book.h"
#include "search/search.h"
#include "search/threads.h"

namespace kesta {

namespace {

// Steps 6 to 9 of think: the per-think state, table ageing and the deepening.
ThinkResult searchBody(Engine& e) {
  Board& b = *e.board;
  // 6-8. Per-think state and table ageing.
  e.SearchCounter = 0;
  e.ply = 0;
  prepareThreads(e, e);
  for (int t = b.firstCell; t <= b.lastCell; ++t)
    if (b.cells[t] != Wall) e.cellInfo[t].rootLoss = 0;
  if (e.ReloadConfigOnEachMove) clearTable(*e.TransTable);
  // Large pages only where no clock can be lost to their first touch (see fitTable).
  fitTable(*e.TransTable, tableBucketsForThink(e), e.LargePages && !limitedByTimeAlone(e));
  ageTable(*e.TransTable);
  // 9. The search, and its last report.
  const CellIndex move = avoidFoul(e, iterativeDeepening(e));
  const DeepeningReport& r = e.report;
  if (e.InfoHook)
    e.InfoHook(e, SearchReport{r.depth, r.score, thinkNodes(e), elapsedMs(e.ThinkStartMs), move, true});
  return ThinkResult{move, r.score, r.depth, thinkNodes(e), r.proof};
}

// Starts the think's clock and clears its stop flag and report.
void startThink(Engine& e) {
  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.report = DeepeningReport{};
  e.SearchCounter = 0;
  e.otherNodes = 0;
}

// A move the opening rules or the book chose, without a search.
ThinkResult chosen(Engine& e, CellIndex move) {
  e.Stopped = 1;
  return ThinkResult{move, 0, 0, 0, nullptr};
}

}  // namespace

void widenAroundEdgeStone(Engine& e, CellIndex stone, int reach) {
  Board& b = *e.board;
  const int x = cellX(stone), y = cellY(stone), n = b.size;
  b.box.xMin = uint8_t(std::min({int(b.box.xMin), std::max(0, x - reach), n - 5}));
  b.box.yMin = uint8_t(std::min({int(b.box.yMin), std::max(0, y - reach), n - 5}));
  b.box.xMax = uint8_t(std::max({int(b.box.xMax), std::min(x + reach, n - 1), 4}));
  b.box.yMax = uint8_t(std::max({int(b.box.yMax), std::min(y + reach, n - 1), 4}));
  for (int j = -3; j <= 3; ++j)
    for (int i = -3; i <= 3; ++i) {
      if (i == 0 && j == 0) continue;
      const int cx = x + i, cy = y + j;
      if (!insideBoard(b, cx, cy)) continue;
      const CellIndex t = cellOf(cx, cy);
      if (b.cells[t] == Empty && e.cellInfo[t].nearCount == 0) e.cellInfo[t].nearCount = 1;
    }
  for (int r = 4; r <= reach; ++r)
    for (int d : DirectionStep) {
      e.cellInfo[stone + r * d].nearCount += 1;
      e.cellInfo[stone - r * d].nearCount += 1;
    }
}

ThinkResult think(Engine& e) {
  Board& b = *e.board;
  // 1. Clock and stop flag.
  startThink(e);
  // 2. The first stone goes to the centre.
  if (b.moveCount == 0) return chosen(e, CellIndex((b.centre + 5) * 33));
  if (b.moveCount == 1) {
    // 3. A reply to a single stone.
    const CellIndex stone = b.moves[0];
    const int x = cellX(stone), y = cellY(stone), n = b.size;
    if (x >= 5 && x < n - 5 && y >= 5 && y < n - 5) {
      for (;;) {
        const int dy = int(uniformDraw(e.NeighbourRandom, 3)) - 1;
        const int dx = int(uniformDraw(e.NeighbourRandom, 3)) - 1;
        const CellIndex t = cellOf(x + dx, y + dy);
        if (b.cells[t] == Empty) return chosen(e, t);
      }
    }
    if (x == 0 || y == 0 || x == n - 1 || y == n - 1)
      widenAroundEdgeStone(e, stone, 5);
    else if (x == 1 || y == 1 || x == n - 2 || y == n - 2)
      widenAroundEdgeStone(e, stone, 4);
  } else if (b.moveCount == b.cellCount) {
    // 4. A full board has no move.
    return chosen(e, 0);
  }
  // 5. The opening book, whose lines were chosen for the other rules.
  if (e.UseOpeningBook && !isCaro(ruleOf(e))) {
    const CellIndex t = bookLookup(e, e.BookRandom);
    if (t != 0 && b.cells[t] == Empty) return chosen(e, t);
  }
  const ThinkResult result = searchBody(e);
  e.Stopped = 1;
  return result;
}

ThinkResult searchPosition(Engine& e) {
  startThink(e);
  const ThinkResult result = searchBody(e);
  e.Stopped = 1;
  return result;
}

void seedGenerators(Engine& e, uint64_t seed) {
  e.NeighbourRandom.seed(seed + 1);
  e.BookRandom.seed(seed + 2);
}

void seedAllGenerators(Engine& e, uint64_t seed) {
  drawZobristKeys(seed);
  seedGenerators(e, seed);
  rehash(*e.board);
}

CellIndex avoidFoul(Engine& e, CellIndex move) {
  const Board& b = *e.board;
  if (!hasForbiddenMoves(ruleOf(e), b.sideToMove) || move >= BoardCells || b.cells[move] != Empty ||
      !isForbidden(e, move))
    return move;
  // The best-scored legal cell near the stones, else the first legal cell of the board.
  CellIndex best = 0;
  int32_t bestScore = 0;
  for (int y = b.box.yMin; y <= b.box.yMax; ++y)
    for (int x = b.box.xMin; x <= b.box.xMax; ++x) {
      const CellIndex t = cellOf(x, y);
      const CellInfo& c = e.cellInfo[t];
      if (b.cells[t] != Empty || c.nearCount == 0) continue;
      const int32_t score = int32_t(c.moveScore[Black]) + c.moveScore[White];
      if ((best == 0 || score > bestScore) && !isForbidden(e, t)) {
        best = t;
        bestScore = score;
      }
    }
  for (int t = b.firstCell; best == 0 && t <= b.lastCell; ++t)
    if (b.cells[t] == Empty && !isForbidden(e, CellIndex(t))) best = CellIndex(t);
  return best != 0 ? best : move;
}

int applyAndJudge(Engine& e, int x, int y) {
  if (!e.Stopped) return 0;
  const CellIndex cell = cellOf(x, y);
  const int cls = e.cellInfo[cell].cellClass[e.board->sideToMove];
  const bool foul = isForbiddenFor(e, e.board->sideToMove, cell);
  makeMove(e, cell);
  return cls == ClassFive ? 1 : foul ? -1 : 0;
}

}  // namespace kesta
