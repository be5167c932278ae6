#include "search/search.h"

#include <algorithm>
#include <cmath>

#include "board/line_state.h"
#include "eval/evaluation.h"
#include "rules/rules.h"
#include "search/decided.h"
#include "search/move_gen.h"
#include "search/proof_search.h"
#include "search/search_clock.h"
#include "search/think.h"
#include "search/threads.h"
#include "search/threat_search.h"

namespace kesta {

namespace {

// Depth rounded to the nearest integer, halves away from zero.
int32_t roundedDepth(float depth) { return int32_t(std::lround(depth)); }

int coordByte(CellIndex c, bool column) { return column ? uint8_t((c & 31) - 5) : uint8_t((c >> 5) - 5); }

int chebyshev(CellIndex a, CellIndex b) {
  return std::max(std::abs(coordByte(a, true) - coordByte(b, true)),
                  std::abs(coordByte(a, false) - coordByte(b, false)));
}

int32_t threatProbe(Worker& e, int attacker) {
  e.threatAttacker = uint8_t(attacker);
  e.threatPlyLimit = e.shared.ThreatSearchPlies + e.ply;
  return threatSearch(e);
}

template <bool PV>
int32_t searchNode(Worker& e, float depth, int32_t alpha, int32_t beta) {
  Board& b = *e.board;
  const int S = b.sideToMove, O = b.opponent;
  const int32_t ply = e.ply;
  // The table probe comes after the decided-position test; its bucket loads meanwhile.
  prefetchBucket(*e.shared.TransTable, b.hash);
  // 1. Mate-distance window.
  alpha = std::max(alpha, lossIn(ply));
  beta = std::min(beta, winIn(ply + 1));
  if (alpha >= beta) return alpha;
  // 2. Decided positions.
  if (const int32_t d = decidedScore(e); d != 0) return d;
  // 3. At most one empty cell: a draw.
  if (b.cellCount - b.moveCount <= 1) return 0;
  // 4. Static value and the opponent's five threats.
  int32_t v = staticValue(e);
  const int32_t f = e.classCount[O][ClassFive];
  // 5. Leaf: the static value, confirmed or overridden by a threat-space search.
  if ((depth <= 0 && ply >= e.iterationDepth) || ply >= leafPlyLimit(e)) {
    if (v < beta && f == 0) {
      const int32_t r = threatProbe(e, S);
      return isWin(r) ? r : v;
    }
    if (v < beta && v < alpha) return v;
    if (v >= beta && f <= 0) return v;
    const int32_t r = threatProbe(e, O);
    return isLoss(r) ? r : v;
  }
  // 6. Table probe and cutoff.
  const int32_t R = roundedDepth(depth);
  claimBucket(*e.shared.TransTable, b.hash);
  ProbeResult pr = probe(*e.shared.TransTable, b.hash);
  TTSlot* const slot = pr.slot;
  CellIndex ttMove = 0;
  if (pr.found) {
    const int32_t s = fromTable(pr.entry.score, ply);
    if (cutoffTest(pr.entry, PV ? R + 1 : R, alpha, beta, ply)) return s;
    ttMove = pr.entry.move;
    const int bound = pr.entry.genBound & 3;
    if ((bound == BoundLower && s > v) || (bound == BoundUpper && s <= v)) v = s;
  }
  // 7-8. Count the node; read the clock every 256 nodes.
  e.SearchCounter += 1;
  if (clockCheck(e, PV ? e.countdowns.pv : e.countdowns.zeroWindow, NodeClockInterval)) e.shared.Stopped = 1;
  // 9. The evaluation as this node sees it, for the children's static value.
  e.diffHistory[ply + 1] = evalView(e.evalSum, S);
  // 10. Razoring (zero window only) and futility on v.
  if (!PV && depth < e.shared.RazoringMarginCount) {
    const int k = std::max(0, int(std::floor(depth)));
    if (int64_t(v) + e.shared.RazoringMargin[k] < alpha) return v;
  }
  if (depth < e.shared.FutilityPurningMarginCount) {
    const int k = std::max(0, int(std::floor(depth)));
    if (int64_t(v) - e.shared.FutilityPurningMargin[k] >= beta) return v;
  }
  // 11. Internal iterative deepening when there is no usable table move.
  if (PV && b.cells[ttMove] != Empty && depth >= e.shared.IIDMinDepth &&
      e.classCount[O][ClassOpenFour] + e.classCount[O][ClassFive] == 0) {
    searchNode<true>(e, depth * 0.6666667f, alpha, beta);
    const ProbeResult again = probe(*e.shared.TransTable, b.hash);
    if (again.found) ttMove = again.entry.move;
  }
  // 12. Loop set-up.
  MovePicker& picker = e.PlyLists[ply];
  picker.reset(ttMove);
  const int32_t lateLimit = std::max(25, 2 * (32 - ply));
  float step = depthStep(e);
  if (depth < 0) step = std::min(step, 1.0f);
  const float childDepth = depth - step;
  const CellIndex prev1 = b.moveCount >= 1 ? b.moves[b.moveCount - 1] : 0;
  const CellIndex prev2 = b.moveCount >= 2 ? b.moves[b.moveCount - 2] : 0;
  const CellIndex prev3 = b.moveCount >= 3 ? b.moves[b.moveCount - 3] : 0;
  int32_t best = NoScore;
  CellIndex bestMove = 0;
  uint8_t bound = BoundUpper;
  int32_t i = 0;
  // 13. The moves.
  CellIndex m = 0;
  while (nextMove(e, picker, m)) {
    i += 1;
    const CellInfo& c = e.cellInfo[m];
    e.currentMoveClass[0] = c.cellClass[S];
    e.currentMoveClass[1] = c.cellClass[O];
    // Late-move rules for quiet moves.
    if (c.cellClass[S] == ClassNone && c.cellClass[O] == ClassNone) {
      if (!isLoss(best)) {
        if (i > lateLimit) continue;
      } else if (i > std::max(50, lateLimit)) {
        if (!(isNear(m, prev1) && chebyshev(m, prev3) <= 4)) continue;
      }
      if (!PV && !isLoss(best) && ply >= e.iterationDepth - 2 && childDepth <= 1) {
        const int32_t limit = !isNear(m, prev1) ? 10 : !isNear(m, prev2) ? 18 : 24;
        if (i >= limit) continue;
      }
    }
    // The child's bucket loads while the stone is made.
    prefetchBucket(*e.shared.TransTable, b.hash ^ Zobrist.stone[S][m]);
    makeMove(e, m);
    int32_t score;
    if (!PV) {
      score = -searchNode<false>(e, childDepth, -alpha - 1, -alpha);
    } else if (i == 1) {
      score = -searchNode<true>(e, childDepth, -beta, -alpha);
    } else {
      score = -searchNode<false>(e, childDepth, -alpha - 1, -alpha);
      if (alpha < score && score < beta) score = -searchNode<true>(e, childDepth, -beta, -alpha);
    }
    unmakeMove(e);
    if (e.shared.Stopped) return best;
    if (score > best) {
      best = score;
      bestMove = m;
      if (score >= beta) {
        bound = BoundLower;
        break;
      }
      if (score > alpha) {
        bound = BoundExact;
        alpha = score;
      }
    }
  }
  // A node without any move keeps its static value and stores nothing.
  if (i == 0) return v;
  // 14. Store.
  store(*e.shared.TransTable, slot, b.hash, toTable(best, ply), R, bound, bestMove);
  return best;
}

}  // namespace

int32_t staticValue(const Worker& e) {
  return staticValueOf(e.evalSum, e.board->sideToMove, e.diffHistory[e.ply]);
}

float depthStep(const Worker& e) {
  const Board& b = *e.board;
  const int O = b.opponent;
  int n;
  if (e.classCount[O][ClassFive] == 1) {
    n = 1;
  } else if (e.classCount[O][ClassOpenFour] > 0) {
    n = e.classCount[O][ClassOpenFour] == 1 ? 3 : 2 * e.classCount[O][ClassOpenFour];
  } else {
    n = 0;
    forEachBoxCell(b, [&](CellIndex t) { n += b.cells[t] == Empty && e.cellInfo[t].nearCount != 0; });
    // A node without candidate cells has no moves; keep its step finite.
    if (n == 0) n = 1;
  }
  return std::log(float(n)) * e.shared.ExtensionCoefficient;
}

bool isNear(CellIndex a, CellIndex b) {
  const int dx = std::abs(coordByte(a, true) - coordByte(b, true));
  const int dy = std::abs(coordByte(a, false) - coordByte(b, false));
  const int d = std::max(dx, dy);
  return d <= 2 || (d <= 4 && (dx == 0 || dy == 0 || dx == dy));
}

int32_t searchPV(Worker& e, float depth, int32_t alpha, int32_t beta) {
  return searchNode<true>(e, depth, alpha, beta);
}
int32_t searchZeroWindow(Worker& e, float depth, int32_t alpha, int32_t beta) {
  return searchNode<false>(e, depth, alpha, beta);
}

namespace {

// The iteration cannot change the choice: the main thread ends the think, a helper its deepening.
void settleRoot(Worker& e) {
  e.rootSettled = true;
  if (e.mainThread) e.shared.Stopped = 1;
}

}  // namespace

RootResult rootSearch(Worker& e, int32_t depth) {
  Board& b = *e.board;
  const int S = b.sideToMove, O = b.opponent;
  // 1.
  int32_t alpha = UnknownScore;
  int32_t best = NoScore;
  CellIndex bestMove = 0;
  RootResult result{0, NoScore};
  // A search for a further best line (see searchFurtherLines) leaves the better lines' moves out,
  // and does not settle or store the root, whose table entry is the best line's.
  const bool further = e.excludedCount > 0;
  // 2. An exact table result ends the iteration at once.
  const ProbeResult pr = probe(*e.shared.TransTable, b.hash);
  CellIndex ttMove = 0;
  if (pr.found && !further) {
    const int32_t s = fromTable(pr.entry.score, 0);
    const bool decided = isDecided(s);
    if ((decided || pr.entry.depth >= depth) && (pr.entry.genBound & 3) == BoundExact)
      return {pr.entry.move, s};
    ttMove = pr.entry.move;
  }
  // 3-4. The root list; decided roots answer at once.
  MovePicker& root = e.PlyLists[0];
  root.ttMove = ttMove;
  const int32_t outcome = prepareRootMoves(e, root);
  if (further && (outcome == RootWin || outcome == RootLoss)) return {0, NoScore};
  if (outcome == RootWin || outcome == RootLoss) {
    e.rootSettled = true;
    return {root.moves.back().cell, root.moves.back().score};
  }
  // 5. A single move (a forced block or the only candidate) needs no search.
  if (root.moves.size() == 1 && !further) {
    settleRoot(e);
    const ProbeResult again = probe(*e.shared.TransTable, b.hash);
    return {root.moves[0].cell, again.found ? fromTable(again.entry.score, 0) : staticValue(e)};
  }
  if (root.moves.empty()) return {0, NoScore};
  // 6. Search every root move.
  e.SearchCounter += 1;
  const float childDepth = float(depth) - depthStep(e);
  uint8_t bound = BoundUpper;
  e.diffHistory[1] = evalView(e.evalSum, S);
  e.iterationDepth = depth;
  int32_t finished = 0;  // root moves searched to a result better than a loss
  // Helpers start further down the list (helper i at move i, wrapping round): while the main
  // thread searches its best moves, they refute the later ones, which the main thread then finds
  // in the table.
  const size_t rootCount = root.moves.size();
  const size_t firstMove = e.mainThread ? 0 : size_t(e.threadIndex) % rootCount;
  const auto tell = [&e](RootEvent event, CellIndex cell) {
    if (e.mainThread && e.shared.RootHook) e.shared.RootHook(event, cell);
  };
  for (size_t k = 0; k < rootCount; ++k) {
    MoveEntry& entry = root.moves[(firstMove + k) % rootCount];
    CellInfo& c = e.cellInfo[entry.cell];
    if (c.rootLoss) continue;
    if (further && std::find(e.excludedRoots, e.excludedRoots + e.excludedCount, entry.cell) !=
                       e.excludedRoots + e.excludedCount)
      continue;
    e.currentMoveClass[0] = c.cellClass[S];
    e.currentMoveClass[1] = c.cellClass[O];
    tell(RootEvent::Searching, entry.cell);
    makeMove(e, entry.cell);
    int32_t score;
    if (bound == BoundExact) {
      score = -searchZeroWindow(e, childDepth, -alpha - 1, -alpha);
      if (alpha < score && score < InfiniteScore) score = -searchPV(e, childDepth, UnknownScore, -alpha);
    } else {
      score = -searchPV(e, childDepth, UnknownScore, -alpha);
    }
    unmakeMove(e);
    if (e.shared.Stopped) {
      if (finished == 0) return best < -WinScore ? RootResult{0, best} : RootResult{entry.cell, UnknownScore};
      return {bestMove, best};
    }
    tell(RootEvent::Searched, entry.cell);
    if (isLoss(score)) {
      c.rootLoss = 1;
      entry.score = -score;
      tell(RootEvent::Lost, entry.cell);
    } else {
      finished += 1;
      entry.score -= 100;
    }
    if (score > best) {
      if (!further) tell(RootEvent::Best, entry.cell);
      bestMove = entry.cell;
      entry.score = score + 1000;
      best = score;
      result = {entry.cell, score};
      if (score > alpha) {
        bound = BoundExact;
        alpha = score;
      }
    }
    if (e.mainThread && finished > 0 && elapsedMs(e.shared.ThinkStartMs) > rootStopMs(e))
      e.shared.Stopped = 1;
  }
  if (further) return result;
  // At most one root move avoids a loss: deeper iterations cannot change the choice.
  if (finished < 2) {
    settleRoot(e);
    return {bestMove, best};
  }
  if (!e.shared.Stopped)
    store(*e.shared.TransTable, pr.slot, b.hash, toTable(best, 0), depth, bound, bestMove);
  return result;
}

namespace {

// The share of the think one proof search may use: a part of the node limit when there is one
// (so that fixed-node play repeats), else a part of the time budget.
struct ProofShare {
  int64_t nodes;
  int32_t deadlineMs;
};
// A time budget above this is practically no limit: analysis, or the bench.
constexpr int32_t UnlimitedBudgetMs = 600000;

// The nodes whose shares the proofs of a think without a practical time limit get: about what the
// search visits in a second.
constexpr int64_t UnlimitedProofNodes = 300000;

// Without a node limit the share is time. A think with practically no time limit gets a share of
// UnlimitedProofNodes instead.
ProofShare proofShare(const Worker& e, int32_t perMille) {
  if (e.shared.Settings.NodeLimit > 0)
    return {std::max<int64_t>(1, int64_t(e.shared.Settings.NodeLimit) * perMille / 1000), -1};
  const int32_t budget = std::max(0, timeBudget(e));
  if (budget > UnlimitedBudgetMs) return {UnlimitedProofNodes * perMille / 1000, -1};
  return {int64_t(1) << 40, elapsedMs(e.shared.ThinkStartMs) + int32_t(int64_t(budget) * perMille / 1000)};
}

// What the table holds for the root from earlier thinks: a proven win for the side to move in P
// plies (its five included) gives P, a proven loss in P plies -P, anything else 0.
int32_t tableVerdict(Worker& e) {
  const ProbeResult pr = probe(*e.shared.TransTable, e.board->hash);
  if (!pr.found) return 0;
  const int bound = pr.entry.genBound & 3;
  const int32_t score = pr.entry.score;
  if (isWin(score) && (bound == BoundLower || bound == BoundExact)) return WinScore + 1 - score;
  if (isLoss(score) && (bound == BoundUpper || bound == BoundExact)) return -(WinScore + 1 + score);
  return 0;
}

ProofResult proveFor(Worker& e, ProofKind kind, int32_t maxPlies, int32_t perMille) {
  if (perMille <= 0) return {};
  const ProofShare share = proofShare(e, perMille);
  return proveWin(e, kind, maxPlies, share.nodes, share.deadlineMs);
}

}  // namespace

bool limitedByTimeAlone(const Worker& e) {
  return e.shared.Settings.NodeLimit <= 0 && e.shared.MaxDepth >= DeepestIteration &&
         timeBudget(e) <= UnlimitedBudgetMs;
}

// The proofs' shares cost more than they gain on short thinks, at fixed nodes too, but a long timed
// think can spare them, and they find wins by threats long before the search reaches their depth.
// Thinks limited by nodes or depth, and thinks without a practical time limit, keep to the table's
// verdict, so that they repeat.
bool proofsBeforeSearch(const Worker& e) {
  if (e.shared.ProofEveryMove) return true;
  return limitedByTimeAlone(e) && timeBudget(e) >= e.shared.ProofMinTime;
}

// The first write to each page of the table costs a page fault. A brain started for each game at a
// short clock would spend much of its thinking on the faults of a whole table that the game never
// fills. A table of 4096 buckets per millisecond of the budget holds several moves of search, and
// its faults take a small part of any game's thinking (docs/experiments.md). Thinks limited by nodes or
// depth, and those without a practical time limit, keep the whole table, so that they repeat as before.
constexpr int64_t TableBucketsPerBudgetMs = 4096;

uint32_t tableBucketsForThink(const Worker& e) {
  if (!limitedByTimeAlone(e)) return MaxTableBuckets;
  const int64_t budget = std::max<int64_t>(timeBudget(e), 1);
  return uint32_t(std::min<int64_t>(budget * TableBucketsPerBudgetMs, MaxTableBuckets));
}

CellIndex proveAtRoot(Worker& e, bool* ran) {
  if (ran != nullptr) *ran = false;
  Board& b = *e.board;
  // A five to make or to block, or an open four to make: the root settles those without a proof.
  const int S = b.sideToMove, O = b.opponent;
  if (e.classCount[S][ClassFive] + e.classCount[O][ClassFive] + e.classCount[S][ClassOpenFour] > 0) return 0;
  // Short of a long think, they run once the search has proven a result: a win is then played by
  // its shortest proof, so a claimed win never grows, and a loss is met by moves not proven lost.
  const int32_t verdict = e.shared.ProofEveryMove ? 0 : tableVerdict(e);
  if (verdict == 0 && !proofsBeforeSearch(e)) return 0;
  if (ran != nullptr) *ran = true;
  // 1. A win of our own: by fours first, they are cheap, then by threats, which may find a shorter
  // win than the fours did. The shortest proof found is played, so that a claimed win never grows;
  // a win the table holds bounds the proofs too.
  const char* kind = "vcf";
  const auto proveOwn = [&](int32_t maxPlies) {
    ProofResult found = proveFor(e, ProofKind::Fours, maxPlies, e.shared.ProofShares[0]);
    kind = "vcf";
    if (e.shared.Stopped) return found;
    const ProofResult threats =
        proveFor(e, ProofKind::Threats, found.proven ? found.plies - 2 : maxPlies, e.shared.ProofShares[1]);
    if (threats.proven) {
      found = threats;
      kind = "vct";
    }
    return found;
  };
  ProofResult own;
  if (verdict >= 0) own = proveOwn(verdict > 0 ? std::min(verdict, RootProofPlies) : RootProofPlies);
  // A claim of the table that no proof within its distance bears out may be too short: a proof of
  // any length then gives the win a distance it keeps.
  if (verdict > 0 && verdict < RootProofPlies && !own.proven && !e.shared.Stopped)
    own = proveOwn(RootProofPlies);
  if (own.proven) {
    const int32_t score = proofScore(own, 0);
    const ProbeResult pr = probe(*e.shared.TransTable, b.hash);
    store(*e.shared.TransTable, pr.slot, b.hash, toTable(score, 0), 0, BoundExact, own.move);
    e.report = {score, 0, kind};
    return own.move;
  }
  if (e.shared.Stopped || verdict > 0) return 0;
  // Before a long think, only a win of our own is looked for: the opponent's proofs and the
  // candidates tried against them lost more than they saved in renju matches at one second.
  if (verdict == 0 && !e.shared.ProofEveryMove) return 0;
  // 2. Would the opponent win by threats if it had the move?
  b.sideToMove ^= 1;
  b.opponent ^= 1;
  const ProofResult theirs = proveFor(e, ProofKind::Threats, RootProofPlies, e.shared.ProofShares[2]);
  b.sideToMove ^= 1;
  b.opponent ^= 1;
  if (!theirs.proven || e.shared.Stopped) return 0;
  // 3. Then each candidate, best ordered first, is tried against it while the share lasts.
  MovePicker& candidates = e.PlyLists[0];
  candidates.reset(0);
  generateAllMoves(e, candidates.moves);
  sortByScore(candidates.moves);
  const ProofShare share = proofShare(e, e.shared.ProofShares[3]);
  const int32_t nodesBefore = e.SearchCounter;
  int32_t lost = 0;
  size_t tried = 0;
  for (; tried < candidates.moves.size(); ++tried) {
    if (share.deadlineMs >= 0 && elapsedMs(e.shared.ThinkStartMs) > share.deadlineMs) break;
    const CellIndex m = candidates.moves[tried].cell;
    makeScratch(e, m);
    const int64_t left = share.nodes - (e.SearchCounter - nodesBefore);
    const ProofResult r = left > 0 ? proveWin(e, ProofKind::Threats, RootProofPlies, left, share.deadlineMs)
                                   : ProofResult{false, 0, 0, 0, false};
    unmakeScratch(e);
    if (r.proven) {
      e.cellInfo[m].rootLoss = 1;
      ++lost;
    }
    if (!r.proven && !r.complete) break;
    if (e.shared.Stopped) break;
  }
  // When every candidate loses, none is excluded: the search chooses the longest defence.
  if (tried == candidates.moves.size() && lost == int32_t(tried))
    for (const MoveEntry& m : candidates.moves) e.cellInfo[m.cell].rootLoss = 0;
  candidates.reset(0);
  return 0;
}

namespace {

// The further best lines of an iteration whose best line is first: the root searched again at
// depth without the moves of the lines found, until BestLines are found or no move is left. The
// root list and its order for the next iteration stay the best line's. Hands the lines to
// LinesHook unless the think stopped first.
void searchFurtherLines(Worker& e, int32_t depth, const RootResult& first) {
  BestLine lines[MaxBestLines];
  int count = 0;
  lines[count++] = {first.move, first.score};
  MovePicker& root = e.PlyLists[0];
  // Copies within the reserved storage: nothing is allocated.
  e.savedRoot = root;
  const bool settled = e.rootSettled;
  const int32_t wanted = std::min(e.shared.BestLines, MaxBestLines);
  while (count < wanted && !e.shared.Stopped) {
    e.excludedRoots[e.excludedCount++] = lines[count - 1].move;
    const RootResult r = rootSearch(e, depth);
    if (e.shared.Stopped || r.move == 0 || r.move >= BoardCells || r.score == NoScore) break;
    lines[count++] = {r.move, r.score};
  }
  e.excludedCount = 0;
  root = e.savedRoot;
  e.rootSettled = settled;
  if (!e.shared.Stopped && e.shared.LinesHook) e.shared.LinesHook(e, depth, lines, count);
}

}  // namespace

CellIndex iterativeDeepening(Worker& e) {
  Board& b = *e.board;
  MovePicker& root = e.PlyLists[0];
  e.report = DeepeningReport{};
  // Whether the root proofs ran before this search, or wait until it has claimed a result.
  bool provenBefore = false;
  if (const CellIndex won = proveAtRoot(e, &provenBefore); won != 0) return won;
  root.moves.clear();
  root.stage = 1;
  root.index = 0;
  RootResult result{0, 0};
  int32_t prevScore = NoScore;
  ThinkClock clock(e);
  startHelpers(e);
  for (int32_t depth = 2; e.shared.MaxDepth >= 2;) {
    const int32_t iterStart = nowMs();
    const int32_t before = e.SearchCounter;
    RootResult r = rootSearch(e, depth);
    if (r.move >= BoardCells || b.cells[r.move] != Empty) break;
    if (r.score == UnknownScore) r.score = prevScore;
    if (e.shared.BestLines > 1 && !e.shared.Stopped) searchFurtherLines(e, depth, r);
    result = r;
    e.report = {r.score, e.shared.Stopped ? e.report.depth : depth};
    if (!e.shared.Stopped) e.shared.CompletedDepth.store(depth, std::memory_order_relaxed);
    if (e.shared.InfoHook && !e.shared.Stopped && depth >= 4)
      e.shared.InfoHook(
          e, SearchReport{depth, r.score, thinkNodes(e), elapsedMs(e.shared.ThinkStartMs), r.move, false});
    if (e.shared.Stopped || isDecided(r.score)) break;
    const int32_t now = nowMs();
    const IterationReport done{depth,
                               r.move,
                               r.score,
                               elapsedMs(iterStart, now),
                               elapsedMs(e.shared.ThinkStartMs, now),
                               e.SearchCounter != before};
    if (!clock.startNext(e, done)) break;
    if (++depth > e.shared.MaxDepth) break;
    prevScore = result.score;
  }
  finishHelpers(e);
  if (e.report.depth > 0) {
    e.shared.LastThinkScore = result.score;
    e.shared.LastThinkStones = b.moveCount;
  }
  // A win that the search claims for the first time is checked by the proofs at once, as the next
  // think would do: the decided rules the search stands on estimate some distances, and a proof
  // that needs more plies than claimed gives the move and the distance instead.
  if (!provenBefore && !e.shared.Stopped && isWin(result.score))
    if (const CellIndex proven = proveAtRoot(e); proven != 0) return proven;
  CellIndex m = result.move;
  if (m >= BoardCells || b.cells[m] != Empty) {
    // No iteration produced a move: the best-scored candidate by move scores alone.
    m = 0;
    int32_t bestScore = 0;
    forEachBoxCell(b, [&](CellIndex t) {
      const CellInfo& c = e.cellInfo[t];
      if (b.cells[t] != Empty || c.nearCount == 0) return;
      const int32_t s = int32_t(c.moveScore[Black]) + c.moveScore[White];
      if (m == 0 || s > bestScore) {
        m = t;
        bestScore = s;
      }
    });
  }
  return m;
}

void helperDeepening(Worker& e) {
  MovePicker& root = e.PlyLists[0];
  root.moves.clear();
  root.stage = 1;
  root.index = 0;
  e.report = DeepeningReport{};
  e.rootSettled = false;
  // Each helper searches the main thread's iteration from another root move (see rootSearch); a
  // depth the main thread has completed meanwhile is skipped.
  for (int32_t depth = 2; !e.shared.Stopped; ++depth) {
    depth = std::max(depth, e.shared.CompletedDepth.load(std::memory_order_relaxed) + 1);
    if (depth > e.shared.MaxDepth) break;
    const RootResult r = rootSearch(e, depth);
    if (e.shared.Stopped) break;
    e.report = {r.score, depth};
    if (e.rootSettled || isDecided(r.score)) break;
  }
}

int principalVariation(Worker& e, CellIndex first, CellIndex* line, int maxMoves) {
  Board& b = *e.board;
  int n = 0;
  for (CellIndex m = first; n < maxMoves;) {
    if (m == 0 || m >= BoardCells || b.cells[m] != Empty) break;
    if (isForbiddenFor(e, b.sideToMove, m)) break;
    const bool five = e.cellInfo[m].cellClass[b.sideToMove] == ClassFive;
    line[n++] = m;
    makeMove(e, m);
    if (five || b.moveCount == b.cellCount) break;
    TTEntry entry;
    m = findEntry(*e.shared.TransTable, b.hash, entry) ? entry.move : 0;
  }
  for (int i = 0; i < n; ++i) unmakeMove(e);
  return n;
}

}  // namespace kesta
