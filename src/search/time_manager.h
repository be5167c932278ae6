// How long a think may take. Every think has a time budget, the time it aims for, and a hard limit,
// the time it never passes (the node searches stop there). Under a turn limit alone the budget is
// the turn limit less the reserve. Under a match clock that binds, the budget is the clock's share
// for this move, from the own moves the game may still last, and the deepening (ThinkClock)
// stretches or shrinks it with the search's stability. Entry points: movesToGo, timeBudget,
// hardTimeLimit, clockRule, ThinkClock.
#pragma once

#include <algorithm>
#include <cstdint>

#include "search/engine.h"

namespace kesta {

// The own moves the match clock is shared over from this position: (MovesToGoPlies - stones) / 2,
// at least MinMovesToGo, and at most half the empty cells, rounded up (a small board fills first).
// The plan is shorter than an average game: a game is mostly decided in its first own moves after
// the opening, and later moves are often answered by proofs at once. The floor holds because a
// long game's end is about as near after 30 plies as after 60.
int32_t movesToGo(const Worker& e);

// How a think spends its time (see ThinkClock).
enum class ClockRule : uint8_t {
  // A turn limit alone, or a think limited by nodes or depth (so that what it searches does not
  // follow the clock's plan): the classic rule.
  TurnOnly,
  // A match clock whose share for this move is at least the turn limit: the clock has time to
  // spare, so the move may use its whole turn.
  WholeTurn,
  // A match clock whose share for this move (the time left over movesToGo), not the turn limit,
  // sets the move's budget.
  ClockBound,
};

ClockRule clockRule(const Worker& e);
inline bool clockBound(const Worker& e) {
  return clockRule(e) == ClockRule::ClockBound;
}

// Milliseconds the current move aims for: the smaller of the turn limit and the clock's share,
// less the TimeReserve. Negative when the clock is nearly out (the think then stops at once).
int32_t timeBudget(const Worker& e);

// A move may take at most this part of the match time left, so that however long the game lasts
// each move leaves most of the clock to the next.
constexpr int32_t HardClockDivisor = 5;

// Milliseconds after the think's start at which the node searches stop: the smaller of the turn
// limit and a fifth of the match time left, less the reserve (both limits are positive and the
// reserve at most MaxTimeReserve, so nothing overflows).
inline int32_t hardTimeLimit(const Worker& e) {
  return std::min(e.shared.Settings.TimeoutTurn, e.shared.Settings.TimeLeft / HardClockDivisor) -
         e.shared.TimeReserve;
}

// What one completed iteration of the deepening found, for ThinkClock.
struct IterationReport {
  int32_t depth;
  CellIndex move;
  int32_t score;        // from the side to move's view
  int32_t iterationMs;  // the iteration's own time
  int32_t elapsedMs;    // since the think began
  bool searched;        // the iteration searched nodes (an exact table hit does not)
};

// Decides after each completed iteration whether the deepening goes on. One per think.
//
// Under a turn limit alone the rule is the classic one: stop once the think has used 70% of its
// budget and the last iteration took 2/9 of it; from depth 7 on, each iteration that searched
// raises the budget by 5%, up to the hard limit.
//
// Under a match clock with time to spare (ClockRule::WholeTurn) the move may use its whole turn:
// iterations start until the hard limit, and the one cut there counts the root moves it searched.
//
// Under a match clock that binds, the think aims for its budget times three factors:
//  - instability: 1 plus half the best-move changes between iterations, each change counted 1 and
//    halved at every later iteration (so at most 2);
//  - a falling score: 1 + (reference - score) / FallingScoreScale, within 0.8 and 1.5, where the
//    reference is the score of the engine's own last think in this game, else this think's first
//    score of depth 4 or more;
//  - stability: StableMoveShare once the best move has stood for StableIterations iterations.
// The next iteration starts only while the think is below that target and when it can finish
// before the hard limit, taking IterationGrowth times the last one. One that takes longer is cut
// at the hard limit; the root moves it has searched by then still count.
class ThinkClock {
 public:
  explicit ThinkClock(const Worker& e);

  // After an iteration that produced a move: true when the next iteration starts.
  bool startNext(const Worker& e, const IterationReport& r);

  bool clockBound() const { return rule_ == ClockRule::ClockBound; }
  // The time the think aims for, as of the last report.
  int64_t targetMs() const { return target_; }

 private:
  ClockRule rule_;
  int64_t budget_;  // timeBudget at the think's start; the classic rule raises it
  int64_t hard_;    // hardTimeLimit
  int64_t target_;
  bool turnBinds_;  // the classic rule's own test: the turn limit is under a 40th of the clock
  CellIndex lastMove_ = 0;
  double changes_ = 0;
  int32_t stableIterations_ = 0;
  bool haveReference_;
  int32_t reference_;
};

constexpr int32_t FallingScoreScale = 200;
constexpr int32_t StableIterations = 6;
constexpr double StableMoveShare = 0.8;
constexpr int32_t IterationGrowth = 2;

// The time after the think's start at which the root stops between its moves once one has a
// result: the budget under a turn limit alone, the hard limit under a match clock that binds (an
// iteration that started was expected to finish), less a small reserve; the hard limit itself
// when the clock has time to spare, where the move uses its whole turn.
int32_t rootStopMs(const Worker& e);

}  // namespace kesta
