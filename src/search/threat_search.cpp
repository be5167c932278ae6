#include "search/threat_search.h"

#include <algorithm>

#include "board/line_state.h"
#include "core/clock.h"
#include "rules/rules.h"
#include "search/decided.h"
#include "search/move_gen.h"
#include "search/search_clock.h"

namespace kesta {

namespace {

MissingFiveCellHook missingFiveCellHook = nullptr;

// CellIndex offsets of the cells at distance 1 to 4 on the four lines, in the order they are tried.
constexpr int FollowUpOffsets[32] = {-132, -128, -124, -99, -96, -93, -66, -64, -62, -33, -32,
                                     -31,  -4,   -3,   -2,  -1,  1,   2,   3,   4,   31,  32,
                                     33,   62,   64,   66,  93,  96,  99,  124, 128, 132};

bool excludedFoul(Worker& e, CellIndex cell) {
  return isForbiddenFor(e, e.board->sideToMove, cell);
}

template <bool Entry>
int32_t threatNode(Worker& e, CellIndex* bestOut = nullptr) {
  Board& b = *e.board;
  const int s = b.sideToMove, o = b.opponent;
  // 1. Proven results in the table.
  TTSlot* slot = nullptr;
  if (Entry) {
    const ProbeResult pr = probe(*e.shared.TransTable, b.hash);
    slot = pr.slot;
    if (pr.found) {
      const int32_t v = pr.entry.score;
      if (isDecided(v)) return fromTable(v, e.ply);
    }
  }
  // 2-5. Decided positions, fives, the ply limit.
  if (const int32_t r = decidedScore(e); r != 0) return r;
  if (e.classCount[s][ClassFive] >= 1) return winIn(e.ply);
  const int f = e.classCount[o][ClassFive];
  if (e.ply > e.threatPlyLimit) return 0;
  // 6. The forced blocks (one cell outside caro; decidedScore has found a legal one at least); an
  // attacker that must block without making a four gives up.
  if (f >= 1) {
    CellIndex blocks[MaxFiveBlocks];
    const int n = fiveBlocks(e, o, blocks);
    int32_t best = NoScore;
    for (int i = 0; i < n; ++i) {
      if (s == e.threatAttacker && e.cellInfo[blocks[i]].cellClass[s] < ClassFour) continue;
      e.SearchCounter += 1;
      makeScratch(e, blocks[i]);
      const int32_t t = -threatNode<Entry>(e);
      unmakeScratch(e);
      best = std::max(best, t);
      if (isWin(best) || e.shared.Stopped) break;
    }
    return best == NoScore ? 0 : best;
  }
  // 7. Nothing to attack with.
  if (e.classCount[s][ClassFourThree] == 0 && e.classCount[s][ClassFourPlus] == 0 &&
      e.classCount[s][ClassFour] == 0)
    return 0;
  // 8-9. Clock.
  if (clockCheck(e, Entry ? e.countdowns.threat : e.countdowns.threatNext, ThreatClockInterval))
    e.shared.Stopped = 1;
  if (e.shared.Stopped) return 0;
  // 10-11. The attacking moves, best first.
  e.SearchCounter += 1;
  MovePicker& picker = e.PlyLists[e.ply];
  picker.moves.clear();
  picker.stage = 1;
  picker.index = 0;
  if (Entry)
    generateAttackMoves(e, picker.moves);
  else
    generateFollowUpMoves(e, picker.moves);
  if (picker.moves.empty()) return 0;
  sortByScore(picker.moves);
  // 12. Each four and its forced block.
  int32_t best = NoScore;
  CellIndex bestMove = 0;
  for (picker.index = 0; picker.index < picker.moves.size(); ++picker.index) {
    const CellIndex a = picker.moves[picker.index].cell;
    makeScratch(e, a);
    int32_t v = 0;
    if (isCaro(ruleOf(e))) {
      // Every stone that stops the four's five is a defence; the attack holds against the best.
      CellIndex blocks[MaxFiveBlocks];
      const int n = fiveBlocks(e, s, blocks);
      if (n == 0) {
        unmakeScratch(e);
        return winIn(e.ply + 2);
      }
      for (int i = 0; i < n; ++i) {
        makeScratch(e, blocks[i]);
        const int32_t r = threatSearchNext(e);
        unmakeScratch(e);
        v = i == 0 ? r : std::min(v, r);
        if (!isWin(v)) break;
        // A stop before every defence was tried proves nothing.
        if (e.shared.Stopped) {
          v = 0;
          break;
        }
      }
      unmakeScratch(e);
    } else {
      const CellIndex d = fiveCellOf(e, a, s);
      if (isForbiddenFor(e, o, d)) {
        unmakeScratch(e);
        return winIn(e.ply + 2);
      }
      makeScratch(e, d);
      v = threatSearchNext(e);
      unmakeScratch(e);
      unmakeScratch(e);
    }
    if (v > best) {
      best = v;
      bestMove = a;
      if (isWin(v)) break;
    }
    if (e.shared.Stopped) break;
  }
  // 13. A refuted attack is no loss: the attacker need not play it.
  const int32_t result = !isLoss(best) ? best : 0;
  if (bestOut) *bestOut = bestMove;
  if (!Entry) return result;
  // 14-15. Proven wins are stored.
  if (e.shared.Stopped || !isWin(result)) return result;
  store(*e.shared.TransTable, slot, b.hash, toTable(result, e.ply), 0, BoundExact, bestMove);
  return result;
}

}  // namespace

void resetSearchCountdowns(Worker& e) {
  e.countdowns = SearchCountdowns{};
}

int32_t threatSearch(Worker& e) {
  return threatNode<true>(e);
}
int32_t threatSearch(Worker& e, CellIndex& bestMove) {
  bestMove = 0;
  return threatNode<true>(e, &bestMove);
}
int32_t threatSearchNext(Worker& e) {
  return threatNode<false>(e);
}

void generateAttackMoves(Worker& e, std::vector<MoveEntry>& list) {
  const int s = e.board->sideToMove;
  forEachBoxCell(*e.board, [&](CellIndex t) {
    const CellInfo& c = e.cellInfo[t];
    if (e.board->cells[t] != Empty || c.nearCount == 0 || c.cellClass[s] < ClassFour) return;
    if (excludedFoul(e, t)) return;
    list.push_back({t, c.moveScore[s]});
  });
}

void generateFollowUpMoves(Worker& e, std::vector<MoveEntry>& list) {
  const Board& b = *e.board;
  if (b.moveCount < 2) return;
  const CellIndex p = b.moves[b.moveCount - 2];
  if (p == 0) return;
  const int s = b.sideToMove;
  for (int off : FollowUpOffsets) {
    const CellIndex t = CellIndex(p + off);
    const CellInfo& c = e.cellInfo[t];
    if (b.cells[t] != Empty || c.cellClass[s] < ClassFour) continue;
    if (excludedFoul(e, t)) continue;
    list.push_back({t, c.moveScore[s]});
  }
}

CellIndex fiveCellOf(Worker& e, CellIndex stone, int side) {
  const Board& b = *e.board;
  const CellInfo& own = e.cellInfo[stone];
  for (int k = 0; k < 4; ++k) {
    if (own.lineCode[side][k] < CodeFour) continue;
    const int d = DirectionStep[k];
    int passed = 0;
    for (int m = 1; m <= 4; ++m) {
      const CellIndex t = CellIndex(stone - m * d);
      if (b.cells[t] == side) {
        ++passed;
        continue;
      }
      if (b.cells[t] == Empty && e.cellInfo[t].lineCode[side][k] == CodeFive) return t;
      break;
    }
    for (int m = 1; m <= 4 - passed; ++m) {
      const CellIndex t = CellIndex(stone + m * d);
      if (b.cells[t] == side) continue;
      if (b.cells[t] == Empty && e.cellInfo[t].lineCode[side][k] == CodeFive) return t;
      break;
    }
    break;
  }
  if (missingFiveCellHook != nullptr) missingFiveCellHook(e);
  return findClassCell(e, side, ClassFive);
}

void setMissingFiveCellHook(MissingFiveCellHook hook) { missingFiveCellHook = hook; }

}  // namespace kesta
