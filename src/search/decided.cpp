#include "search/decided.h"

#include <vector>

#include "board/line_state.h"
#include "rules/rules.h"
#include "search/move_gen.h"
#include "search/threat_search.h"

namespace kesta {

namespace {

bool hasFourCell(const Worker& e, int side) {
  const int32_t* n = e.classCount[side];
  return n[ClassFour] != 0 || n[ClassFourPlus] != 0 || n[ClassFourThree] != 0 || n[ClassOpenFour] != 0;
}

// Rule 5b: S's four-three cells, each tried; a forced defence that gives O no four decides.
int32_t fourThreeScan(Worker& e, int n) {
  const Board& b = *e.board;
  const int S = b.sideToMove, O = b.opponent;
  for (int y = b.box.yMin; y <= b.box.yMax; ++y)
    for (int x = b.box.xMin; x <= b.box.xMax; ++x) {
      const CellIndex k = CellIndex((y + 5) * 32 + x + 5);
      const CellInfo& c = e.cellInfo[k];
      if (b.cells[k] != Empty || c.nearCount == 0 || c.cellClass[S] != ClassFourThree) continue;
      makeScratch(e, k);
      const CellIndex g = fiveCellOf(e, k, S);
      if (isForbiddenFor(e, O, g)) {
        unmakeScratch(e);
        return winIn(e.ply + 4);
      }
      const int cls = e.cellInfo[g].cellClass[O];
      unmakeScratch(e);
      if (cls < ClassFour) return winIn(e.ply + 4);
      if (--n == 0) return 0;
    }
  return 0;
}

// S's four-making cells along one line of a candidate, as the refutation sweep collects them.
bool acceptsFour(const Worker& e, CellIndex j, int k, int S) {
  const Board& b = *e.board;
  const CellInfo& c = e.cellInfo[j];
  const int code = c.lineCode[S][k];
  if (code < CodeFour) return false;
  const int d = DirectionStep[k];
  CellIndex start;
  if (code == CodeFive)
    start = j;
  else if (e.cellInfo[j - d].cellClass[S] == ClassFive)
    start = CellIndex(j - d);
  else if (e.cellInfo[j + d].cellClass[S] == ClassFive)
    start = CellIndex(j + d);
  else
    return true;
  // From B back over S's stones, then from the first cell that is not one forward over S's
  // stones; a seventh stone in either walk rejects the direction.
  int t = start, stones = 0;
  while (b.cells[t] == S) {
    if (++stones >= 7) return false;
    t -= d;
  }
  stones = 0;
  for (t += d; b.cells[t] == S; t += d)
    if (++stones >= 7) return false;
  return true;
}

}  // namespace

int32_t decidedScore(Worker& e) {
  const Board& b = *e.board;
  const int S = b.sideToMove, O = b.opponent;
  const int32_t ply = e.ply;
  // 1-3. Fives.
  if (e.classCount[S][ClassFive] >= 1) return winIn(ply);
  if (e.classCount[O][ClassFive] >= 1) {
    // The five comes next when no stone stops the opponent's fives, or when the one that would is
    // forbidden to Black.
    CellIndex blocks[MaxFiveBlocks];
    const int n = fiveBlocks(e, O, blocks);
    return n == 0 || (n == 1 && isForbiddenFor(e, S, blocks[0])) ? lossIn(ply + 1) : 0;
  }
  // 4. An open four or double four.
  if (e.classCount[S][ClassOpenFour] >= 1) return winIn(ply + 2);
  // 5. Four-threes.
  const int n = e.classCount[S][ClassFourThree];
  if (n >= 1) {
    if (!hasFourCell(e, O)) return winIn(ply + 4);
    // Under caro the scan is left to the search: its five cells may be blocked ones.
    if (overlineWins(ruleOf(e), S) && !isCaro(ruleOf(e)))
      if (const int32_t r = fourThreeScan(e, n); r != 0) return r;
  }
  // 6-9. Freestyle only, right after a double-three move.
  if (ruleOf(e) != Freestyle || e.currentMoveClass[0] != ClassDoubleThree) return 0;
  if (e.classCount[S][ClassDoubleThree] >= 1 && !hasFourCell(e, O)) return winIn(ply + 4);
  if (probe(*e.shared.TransTable, b.hash).found) return 0;
  const int32_t r = doubleThreeRefutation(e);
  return isLoss(r) ? r : 0;
}

int32_t doubleThreeRefutation(Worker& e) {
  const Board& b = *e.board;
  const int S = b.sideToMove, O = b.opponent;
  int32_t threats = e.classCount[O][ClassOpenFour];
  int32_t total = 0;
  std::vector<CellIndex>& cells = e.fourCells;
  if (e.classCount[S][ClassFour] + e.classCount[S][ClassFourPlus] >= 1) {
    for (;;) {
      cells.clear();
      for (int y = b.box.yMin; y <= b.box.yMax; ++y)
        for (int x = b.box.xMin; x <= b.box.xMax; ++x) {
          const CellIndex j = CellIndex((y + 5) * 32 + x + 5);
          const CellInfo& c = e.cellInfo[j];
          if (b.cells[j] != Empty || c.nearCount == 0 || c.cellClass[S] < ClassFour ||
              c.cellClass[S] == ClassOpenFour)
            continue;
          for (int k = 0; k < 4; ++k)
            if (acceptsFour(e, j, k, S)) {
              cells.push_back(j);
              break;
            }
        }
      if (cells.empty()) break;
      for (CellIndex j : cells) placeSameSide(e, j);
      total += int32_t(cells.size());
      if (e.classCount[S][ClassOpenFour] > 0 || e.classCount[S][ClassFourThree] > 0) {
        threats = 0;
        break;
      }
      if (e.classCount[S][ClassFour] + e.classCount[S][ClassFourPlus] <= 0) break;
    }
  }
  const bool lost = threats > 0 && e.classCount[O][ClassOpenFour] == threats;
  for (int32_t i = 0; i < total; ++i) removeSameSide(e);
  // Each of S's fours is two cells in the sweep, and two plies in play: the four and O's block.
  // Counting one ply a four claimed O's five a ply or more too early, on the wrong side's move.
  return lost ? lossIn(e.ply + 3 + 2 * (total / 2)) : 0;
}

}  // namespace kesta
