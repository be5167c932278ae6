#include "search/swap2.h"

#include <algorithm>
#include <cstdlib>

#include "board/line_state.h"
#include "rules/rules.h"
#include "search/move_gen.h"
#include "search/opening_book.h"
#include "search/think.h"
#include "search/time_manager.h"

namespace kesta {

namespace {

// Openings tried for the first three stones, and Black fifth stones tried for a balanced five.
constexpr int OpeningCandidates = 8;
constexpr int FifthStoneCandidates = 6;
// Cells tried for a balancing stone: for one stone, and for each of two.
constexpr int BalanceOneCandidates = 10;
constexpr int BalanceTwoCandidates = 6;

// The searches of one answer share its limits: each gets an equal part of the time (or nodes).
class Swap2Searches {
 public:
  Swap2Searches(Engine& e, int searches) : e_(e), saved_(e.Settings) {
    const int32_t total = std::max(1, hardTimeLimit(e) + e.TimeReserve);
    e.Settings.TimeoutTurn = std::max(1, total / searches);
    e.Settings.TimeoutMatch = e.Settings.TimeLeft = NoMatchClock;
    if (saved_.NodeLimit > 0) e.Settings.NodeLimit = std::max(1, saved_.NodeLimit / searches);
  }
  ~Swap2Searches() { e_.Settings = saved_; }
  Swap2Searches(const Swap2Searches&) = delete;
  Swap2Searches& operator=(const Swap2Searches&) = delete;

  // The search's best move and its score from the side to move's view.
  ThinkResult search() {
    e_.ply = 0;
    return searchPosition(e_);
  }

 private:
  Engine& e_;
  const MatchSettings saved_;
};

bool emptyCell(const Board& b, int x, int y) {
  return insideBoard(b, x, y) && b.cells[cellOf(x, y)] == Empty;
}

// A cell within reach of the centre that is empty, drawn at random.
CellIndex drawNear(Engine& e, CellIndex around, int reach) {
  const Board& b = *e.board;
  for (int tries = 0; tries < 100; ++tries) {
    const int dx = int(uniformDraw(e.NeighbourRandom, uint64_t(2 * reach + 1))) - reach;
    const int dy = int(uniformDraw(e.NeighbourRandom, uint64_t(2 * reach + 1))) - reach;
    const int x = cellX(around) + dx, y = cellY(around) + dy;
    if (emptyCell(b, x, y)) return cellOf(x, y);
  }
  return 0;
}

// Three stones near the centre that leave the position most nearly even for White to move.
Swap2Answer openingStones(Engine& e) {
  const Board& b = *e.board;
  const CellIndex centre = cellOf(b.centre, b.centre);
  Swap2Searches searches(e, OpeningCandidates);
  Swap2Answer best;
  int32_t bestImbalance = 0;
  for (int i = 0; i < OpeningCandidates; ++i) {
    CellIndex stones[3] = {centre, 0, 0};
    makeMove(e, stones[0]);
    stones[1] = drawNear(e, centre, 2);
    if (stones[1] == 0) {
      unmakeMove(e);
      continue;
    }
    makeMove(e, stones[1]);
    stones[2] = drawNear(e, centre, 2);
    if (stones[2] != 0) {
      makeMove(e, stones[2]);
      const int32_t imbalance = std::abs(searches.search().score);
      unmakeMove(e);
      if (best.stones.empty() || imbalance < bestImbalance) {
        best.stones.assign(stones, stones + 3);
        bestImbalance = imbalance;
      }
    }
    unmakeMove(e);
    unmakeMove(e);
  }
  return best;
}

// After three stones, White to move.
Swap2Answer afterThree(Engine& e) {
  Swap2Searches searches(e, 1 + FifthStoneCandidates);
  const ThinkResult white = searches.search();
  Swap2Answer answer;
  if (white.score < -Swap2Balance) {
    answer.swap = true;
    return answer;
  }
  const Board& b = *e.board;
  if (white.move == 0 || white.move >= BoardCells || b.cells[white.move] != Empty) {
    answer.swap = white.score < 0;
    return answer;
  }
  answer.stones = {white.move};
  if (white.score > Swap2Balance) return answer;
  // Close: the fourth stone, and the fifth among Black's best-ordered cells that leaves White's
  // position nearest even.
  makeMove(e, white.move);
  std::vector<MoveEntry> candidates;
  generateAllMoves(e, candidates);
  stableSortByScore(candidates);
  if (candidates.size() > size_t(FifthStoneCandidates)) candidates.resize(FifthStoneCandidates);
  CellIndex fifth = 0;
  int32_t bestImbalance = 0;
  for (const MoveEntry& m : candidates) {
    makeMove(e, m.cell);
    const int32_t imbalance = std::abs(searches.search().score);
    unmakeMove(e);
    if (fifth == 0 || imbalance < bestImbalance) {
      fifth = m.cell;
      bestImbalance = imbalance;
    }
  }
  unmakeMove(e);
  if (fifth != 0) answer.stones.push_back(fifth);
  return answer;
}

// After five stones, White to move: swap to Black when Black is better, else play as White.
Swap2Answer afterFive(Engine& e) {
  Swap2Searches searches(e, 1);
  const ThinkResult white = searches.search();
  Swap2Answer answer;
  const Board& b = *e.board;
  if (white.score < 0 || white.move == 0 || white.move >= BoardCells || b.cells[white.move] != Empty)
    answer.swap = true;
  else
    answer.stones = {white.move};
  return answer;
}

// The side to move's best-ordered cells, at most count, that it may play without ending the game;
// the centre on an empty board.
std::vector<CellIndex> balanceCandidates(Engine& e, int count) {
  const Board& b = *e.board;
  if (b.moveCount == 0) return {cellOf(b.centre, b.centre)};
  std::vector<MoveEntry> moves;
  generateAllMoves(e, moves);
  stableSortByScore(moves);
  const int s = e.board->sideToMove;
  std::vector<CellIndex> cells;
  for (const MoveEntry& m : moves) {
    if (int(cells.size()) == count) break;
    if (e.cellInfo[m.cell].cellClass[s] == ClassFive || isForbiddenFor(e, s, m.cell)) continue;
    cells.push_back(m.cell);
  }
  return cells;
}

}  // namespace

std::vector<CellIndex> balanceStones(Engine& e, int stones, int32_t target) {
  const int first = stones == 1 ? BalanceOneCandidates : BalanceTwoCandidates;
  Swap2Searches searches(e, stones == 1 ? first : first * BalanceTwoCandidates);
  std::vector<CellIndex> best;
  int64_t bestDistance = 0;
  const auto consider = [&](std::vector<CellIndex> cells) {
    const int64_t distance = std::abs(int64_t(searches.search().score) - target);
    if (best.empty() || distance < bestDistance) {
      best = std::move(cells);
      bestDistance = distance;
    }
  };
  for (const CellIndex a : balanceCandidates(e, first)) {
    makeMove(e, a);
    if (stones == 1) {
      consider({a});
    } else {
      for (const CellIndex b : balanceCandidates(e, BalanceTwoCandidates)) {
        makeMove(e, b);
        consider({a, b});
        unmakeMove(e);
      }
    }
    unmakeMove(e);
  }
  return best;
}

Swap2Answer answerSwap2(Engine& e) {
  switch (e.board->moveCount) {
    case 0:
      return openingStones(e);
    case 3:
      return afterThree(e);
    default:
      return afterFive(e);
  }
}

}  // namespace kesta
