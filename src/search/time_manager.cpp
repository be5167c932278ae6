#include "search/time_manager.h"

namespace kesta {

int32_t movesToGo(const Worker& e) {
  const Board& b = *e.board;
  const int32_t byLength = std::max(e.shared.MinMovesToGo, (e.shared.MovesToGoPlies - b.moveCount) / 2);
  const int32_t byCells = (b.cellCount - b.moveCount + 1) / 2;
  return std::max(1, std::min(byLength, byCells));
}

namespace {

// A part of the time left for each move to go, and the increment the move earns back, though never
// more than half the time left.
int32_t shareOfClock(const Worker& e) {
  const MatchSettings& s = e.shared.Settings;
  const int64_t share = s.TimeLeft / movesToGo(e) + int64_t(s.TimeIncrement);
  return int32_t(std::min<int64_t>(share, std::max(s.TimeLeft / movesToGo(e), s.TimeLeft / 2)));
}

// The root stops once a move has a result and the think has used its limit less a reserve of
// 200 ms; short limits keep a quarter instead, so a fast game still compares its root moves.
int32_t rootStopTime(int32_t limit) { return limit - std::min(200, limit / 4); }

}  // namespace

namespace {

bool timeLimitsThink(const Worker& e) {
  return e.shared.Settings.NodeLimit <= 0 && e.shared.MaxDepth >= DeepestIteration;
}

bool hasMatchClock(const Worker& e) {
  return e.shared.Settings.TimeoutMatch < NoMatchClock && e.shared.Settings.TimeLeft < NoMatchClock;
}

}  // namespace

ClockRule clockRule(const Worker& e) {
  if (!timeLimitsThink(e)) return ClockRule::TurnOnly;
  if (shareOfClock(e) < e.shared.Settings.TimeoutTurn) return ClockRule::ClockBound;
  return hasMatchClock(e) ? ClockRule::WholeTurn : ClockRule::TurnOnly;
}

int32_t timeBudget(const Worker& e) {
  return std::min(e.shared.Settings.TimeoutTurn, shareOfClock(e)) - e.shared.TimeReserve;
}

int32_t rootStopMs(const Worker& e) {
  switch (clockRule(e)) {
    case ClockRule::WholeTurn: return hardTimeLimit(e);
    case ClockRule::ClockBound: return rootStopTime(hardTimeLimit(e));
    case ClockRule::TurnOnly: break;
  }
  return rootStopTime(timeBudget(e));
}

ThinkClock::ThinkClock(const Worker& e)
    : rule_(clockRule(e)),
      budget_(timeBudget(e)),
      hard_(hardTimeLimit(e)),
      target_(budget_),
      turnBinds_(e.shared.Settings.TimeLeft / 40 < e.shared.Settings.TimeoutTurn),
      haveReference_(e.shared.LastThinkStones >= 0 && e.shared.LastThinkStones + 2 == e.board->moveCount),
      reference_(e.shared.LastThinkScore) {}

bool ThinkClock::startNext(const Worker&, const IterationReport& r) {
  if (rule_ == ClockRule::WholeTurn) {
    target_ = hard_;
    return r.elapsedMs < hard_;
  }
  if (rule_ == ClockRule::TurnOnly) {
    if (r.searched && r.depth >= 7) budget_ = std::min<int64_t>(budget_ * 105 / 100, hard_);
    target_ = budget_;
    return !((turnBinds_ || r.elapsedMs > budget_ * 70 / 100) && int64_t(r.iterationMs) * 45 >= budget_ * 10);
  }
  // Instability: best-move changes, the older ones counting less.
  const bool changed = lastMove_ != 0 && r.move != lastMove_;
  changes_ = changes_ / 2 + (changed ? 1 : 0);
  stableIterations_ = changed || lastMove_ == 0 ? 1 : stableIterations_ + 1;
  lastMove_ = r.move;
  if (!haveReference_ && r.depth >= 4) {
    haveReference_ = true;
    reference_ = r.score;
  }
  const double falling =
      haveReference_ ? std::clamp(1.0 + double(reference_ - r.score) / FallingScoreScale, 0.8, 1.5) : 1.0;
  const double stable = stableIterations_ >= StableIterations ? StableMoveShare : 1.0;
  const double factor = (1 + changes_ / 2) * falling * stable;
  target_ = std::min<int64_t>(int64_t(double(budget_) * factor), hard_);
  if (r.elapsedMs >= target_) return false;
  // Only an iteration that can finish before the hard limit starts.
  return int64_t(r.elapsedMs) + int64_t(r.iterationMs) * IterationGrowth <= hard_;
}

}  // namespace kesta
