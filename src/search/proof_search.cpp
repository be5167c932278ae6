#include "search/proof_search.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "board/line_state.h"
#include "core/clock.h"
#include "rules/rules.h"
#include "search/move_gen.h"
#include "search/search_clock.h"

namespace kesta {

namespace {

enum Verdict : uint8_t { Unknown = 0, Win = 1, NoWin = 2 };

// Distinguishes in the cache the kind of proof and the (attacker, side to move) combinations of one
// position: a position without a win by fours may have one by threats.
constexpr uint64_t CacheSalt[2][2][2] = {
    {{0x0000000000000000ull, 0x9E3779B97F4A7C15ull}, {0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull}},
    {{0x27D4EB2F165667C5ull, 0x85EBCA77C2B2AE63ull}, {0xFF51AFD7ED558CCDull, 0xC4CEB9FE1A85EC53ull}}};

// Threes an attacker's node tries at most.
constexpr int MaxThrees = 12;

// Chebyshev distance of two cells.
int distance(CellIndex a, CellIndex b) {
  return std::max(std::abs(cellX(a) - cellX(b)), std::abs(cellY(a) - cellY(b)));
}

// A forbidden cell for Black under renju; never true for White or other rules.
bool foul(Worker& e, CellIndex cell, int side) {
  return isForbiddenFor(e, side, cell);
}

class Prover {
 public:
  Prover(Worker& engine, int attacker, ProofKind kind, int64_t budget, int32_t deadlineMs)
      : e_(engine),
        attacker_(attacker),
        defender_(attacker ^ 1),
        threes_(kind == ProofKind::Threats),
        budget_(budget),
        deadlineMs_(deadlineMs),
        rootPly_(engine.ply),
        tableKeysSideToMove_(engine.board->sideToMove == (engine.board->moveCount & 1)) {}

  // The attacker is to move. Win when it wins within `limit` plies (its five included).
  Verdict attack(int limit, int& plies, CellIndex& move) {
    const int A = attacker_, D = defender_;
    move = 0;
    if (e_.classCount[A][ClassFive] > 0) {
      plies = 1;
      move = findClassCell(e_, A, ClassFive);
      return Win;
    }
    const int defenderFives = e_.classCount[D][ClassFive];
    if (defenderFives >= 2) return NoWin;
    if (defenderFives == 0 && e_.classCount[A][ClassOpenFour] > 0) {
      plies = 3;
      move = findClassCell(e_, A, ClassOpenFour);
      return Win;
    }
    if (limit < 3) return NoWin;
    if (const int cached = cachedVerdict(limit, plies, move)) return Verdict(cached);
    if (!spend()) return Unknown;

    Verdict verdict = NoWin;
    if (defenderFives == 1) {
      // The attacker must block; its attack goes on only if the block keeps a threat standing.
      const CellIndex block = findClassCell(e_, D, ClassFive);
      if (foul(e_, block, A)) return remember(NoWin, limit, 0);
      makeScratch(e_, block);
      int rest = 0;
      verdict = defend(limit - 1, rest);
      unmakeScratch(e_);
      if (verdict == Win) {
        plies = rest + 1;
        move = block;
      }
      return remember(verdict, verdict == Win ? plies : limit, move);
    }

    // Fours first, then threes, each group best first. The attacker need not try every threat (a
    // proof only needs one winning line): below the first move, threes must build on its previous
    // stone, and only the best few are tried.
    MovePicker& list = e_.PlyLists[e_.ply + 1];
    list.reset(0);
    const Board& b = *e_.board;
    const CellIndex anchor = e_.ply > rootPly_ && b.moveCount >= 2 ? b.moves[b.moveCount - 2] : 0;
    int threes = 0;
    forEachBoxCell(b, [&](CellIndex t) {
      const CellInfo& c = e_.cellInfo[t];
      if (b.cells[t] != Empty || c.nearCount == 0) return;
      const int cls = c.cellClass[A];
      const bool four = cls >= ClassFour && cls <= ClassFourThree;
      bool three = threes_ && (cls == ClassOpenThree || cls == ClassOpenThreePlus ||
                               cls == ClassDoubleThree || (cls == ClassBlackDoubleThree && A == Black));
      if (three && anchor != 0 && distance(t, anchor) > 3) three = false;
      if (!four && !three) return;
      if (three && foul(e_, t, A)) return;
      threes += three;
      list.moves.push_back({t, int32_t(c.moveScore[A]) + (four ? 100000 : 0)});
    });
    sortByScore(list.moves);
    // Fours sort first; the threes beyond the best MaxThrees are dropped.
    while (threes > MaxThrees) {
      list.moves.pop_back();
      --threes;
    }
    for (size_t i = 0; i < list.moves.size(); ++i) {
      const CellIndex m = list.moves[i].cell;
      makeScratch(e_, m);
      int rest = 0;
      const Verdict v = defend(limit - 1, rest);
      unmakeScratch(e_);
      if (v == Win) {
        plies = rest + 1;
        move = m;
        return remember(Win, plies, m);
      }
      if (v == Unknown) verdict = Unknown;
      if (stopped()) return Unknown;
    }
    return remember(verdict, limit, 0);
  }

 private:
  // The defender is to move. Win when every defence loses within `limit` plies.
  Verdict defend(int limit, int& plies) {
    const int A = attacker_, D = defender_;
    if (e_.classCount[D][ClassFive] > 0) return NoWin;
    const int attackerFives = e_.classCount[A][ClassFive];
    const bool caro = isCaro(ruleOf(e_));
    CellIndex blocks[MaxFiveBlocks];
    const int blockCount = caro && attackerFives > 0 ? fiveBlocks(e_, A, blocks) : 0;
    if (attackerFives >= 2 && (!caro || blockCount == 0)) {
      plies = 2;
      return Win;
    }
    if (caro && attackerFives > 0 && blockCount == 0) {
      plies = 2;
      return Win;
    }
    if (limit < 2) return NoWin;
    CellIndex unused = 0;
    if (const int cached = cachedVerdict(limit, plies, unused)) return Verdict(cached);
    if (!spend()) return Unknown;

    // Caro: every stone that stops the fives is a defence; the attack must beat them all.
    if (caro && attackerFives > 0)
      return everyDefenceLoses(
          size_t(blockCount), [&](size_t i) { return blocks[i]; }, limit, 0, plies);
    if (attackerFives == 1) {
      const CellIndex block = findClassCell(e_, A, ClassFive);
      if (foul(e_, block, D)) {
        plies = 2;
        return remember(Win, 2, 0);
      }
      makeScratch(e_, block);
      int rest = 0;
      CellIndex next = 0;
      const Verdict v = attack(limit - 1, rest, next);
      unmakeScratch(e_);
      if (v == Win) plies = rest + 1;
      return remember(v, v == Win ? plies : limit, 0);
    }
    // Without the threat of an open four the defender moves freely: no proof.
    if (!threatensOpenFour() || limit < 4) return remember(NoWin, limit, 0);

    MovePicker& list = e_.PlyLists[e_.ply + 1];
    list.reset(0);
    collectDefences(list);
    // Without any defence the attacker's open four comes next: the defender's move, the open four,
    // any move, the five.
    return everyDefenceLoses(
        list.moves.size(), [&](size_t i) { return list.moves[i].cell; }, limit, 3, plies);
  }

  // The defender to move has count defences, the cell of each from defenceAt: Win when the attack
  // beats each of them, in one ply more than the longest (at least `longest`), and remembered so.
  template <typename DefenceAt>
  Verdict everyDefenceLoses(size_t count, DefenceAt defenceAt, int limit, int longest, int& plies) {
    Verdict verdict = Win;
    for (size_t i = 0; i < count; ++i) {
      makeScratch(e_, defenceAt(i));
      int rest = 0;
      CellIndex next = 0;
      const Verdict v = attack(limit - 1, rest, next);
      unmakeScratch(e_);
      if (v == NoWin) return remember(NoWin, limit, 0);
      if (v == Unknown) verdict = Unknown;
      longest = std::max(longest, rest);
      if (stopped()) return Unknown;
    }
    if (verdict == Win) plies = longest + 1;
    return remember(verdict, verdict == Win ? plies : limit, 0);
  }

  // The attacker has a move that makes an open four (or two fours): a legal one for Black.
  bool threatensOpenFour() {
    const int A = attacker_;
    if (e_.classCount[A][ClassOpenFour] > 0) return true;
    if (!hasForbiddenMoves(ruleOf(e_), A) || e_.classCount[Black][ClassBlackDoubleThree] == 0) return false;
    // A Black cell that also makes two threes is legal when at most one of them is real.
    bool found = false;
    forEachBoxCell(*e_.board, [&](CellIndex t) {
      if (found || e_.board->cells[t] != Empty || e_.cellInfo[t].cellClass[Black] != ClassBlackDoubleThree)
        return;
      const uint8_t* code = e_.cellInfo[t].lineCode[Black];
      if (std::max({code[0], code[1], code[2], code[3]}) == CodeOpenFour && !isForbidden(e_, t)) found = true;
    });
    return found;
  }

  // Every move of the defender that answers the attacker's threat of an open four: each of its
  // own fours, and each cell after which the attacker has no open four left. The cells that can
  // stop an open four are the four-making cells themselves and the cells of their windows along
  // the lines where they make a four.
  void collectDefences(MovePicker& list) {
    const int A = attacker_, D = defender_;
    const Board& b = *e_.board;
    candidateCount_ = 0;
    std::memset(seen_, 0, sizeof seen_);
    forEachBoxCell(b, [&](CellIndex t) {
      const CellInfo& c = e_.cellInfo[t];
      if (b.cells[t] != Empty) return;
      if (c.cellClass[D] >= ClassFour && c.cellClass[D] <= ClassOpenFour) {
        list.moves.push_back({t, int32_t(c.moveScore[D]) + 100000});
        return;
      }
      const int cls = c.cellClass[A];
      if (cls != ClassOpenFour && !(cls == ClassBlackDoubleThree && A == Black)) return;
      for (int k = 0; k < 4; ++k) {
        if (c.lineCode[A][k] < CodeFour) continue;
        mark(t);
        for (int m = 1; m <= 5; ++m) {
          mark(CellIndex(t + m * DirectionStep[k]));
          mark(CellIndex(t - m * DirectionStep[k]));
        }
      }
    });
    for (int i = 0; i < candidateCount_; ++i) {
      const CellIndex t = candidates_[i];
      const CellInfo& c = e_.cellInfo[t];
      if (c.cellClass[D] >= ClassFour && c.cellClass[D] <= ClassOpenFour)
        continue;  // listed as a four already
      if (foul(e_, t, D)) continue;
      makeScratch(e_, t);
      const bool stops = !threatensOpenFour();
      unmakeScratch(e_);
      if (stops) list.moves.push_back({t, c.moveScore[D]});
    }
    sortByScore(list.moves);
  }

  void mark(CellIndex t) {
    if (e_.board->cells[t] != Empty || seen_[t]) return;
    seen_[t] = 1;
    candidates_[candidateCount_++] = t;
  }

  bool spend() {
    e_.SearchCounter += 1;
    if (++nodes_ > budget_) exhausted_ = true;
    if (clockCheck(e_, e_.countdowns.proof, ThreatClockInterval)) e_.shared.Stopped = 1;
    if (deadlineMs_ >= 0 && (nodes_ & 7) == 0 && elapsedMs(e_.shared.ThinkStartMs) > deadlineMs_)
      exhausted_ = true;
    return !stopped();
  }
  bool stopped() const { return exhausted_ || e_.shared.Stopped; }

  // The node's key in the cache: the position with the kind of proof, the attacker and the side to
  // move.
  uint64_t cacheKey() const {
    return e_.board->hash ^ CacheSalt[threes_][attacker_][e_.board->sideToMove];
  }

  // The cache is two-way: each key may sit in either entry of its pair.
  ProofEntry* cachePair(uint64_t key) const {
    return &e_.shared.ProofCache[(key & (ProofCacheEntries - 1)) & ~uint64_t(1)];
  }

  // Win or NoWin when the cache settles the node for this limit, else 0.
  int cachedVerdict(int limit, int& plies, CellIndex& move) const {
    const uint64_t key = cacheKey();
    const ProofEntry* pair = cachePair(key);
    for (int i = 0; i < 2; ++i) {
      const ProofEntry& slot = pair[i];
      if (slot.key != uint32_t(key >> 32) || slot.result == Unknown) continue;
      if (slot.result == Win && slot.plies <= limit) {
        plies = slot.plies;
        move = slot.move;
        return Win;
      }
      if (slot.result == NoWin && slot.plies >= limit) return NoWin;
    }
    return 0;
  }

  // Caches a settled verdict (a win with its length, or no win within the limit) and returns it;
  // after a stop only a win counts. A win displaces a failure rather than another win, so that
  // the lines of a proof survive the searching around them until the proof is played.
  Verdict remember(Verdict v, int plies, CellIndex move) {
    if (v == Unknown || stopped()) return v == Win ? Win : Unknown;
    const uint64_t key = cacheKey();
    ProofEntry* pair = cachePair(key);
    auto worth = [](const ProofEntry& s) { return s.result == Win ? 2 : s.result == NoWin ? 1 : 0; };
    ProofEntry* target = worth(pair[0]) < worth(pair[1]) ? &pair[0] : &pair[1];
    for (int i = 0; i < 2; ++i)
      if (pair[i].key == uint32_t(key >> 32)) target = &pair[i];
    *target = ProofEntry{uint32_t(key >> 32), move, uint8_t(v), uint8_t(std::min(plies, 255))};
    if (v == Win) storeDecided(plies, move);
    return v;
  }

  // A proven node goes to the transposition table as well, as a decided score relative to the node
  // (a win for the attacker to move, a loss for the defender to move), so that the search and the
  // next thinks follow the proof even when a later proof search runs short of time. The table keys
  // positions by their stones alone, so this is done only when the side to move is the one a game
  // would have there (not after the root handed the opponent the move).
  void storeDecided(int plies, CellIndex move) {
    if (!tableKeysSideToMove_) return;
    const Board& b = *e_.board;
    const int32_t win = winIn(plies - 1);
    const ProbeResult pr = probe(*e_.shared.TransTable, b.hash);
    store(*e_.shared.TransTable, pr.slot, b.hash, b.sideToMove == attacker_ ? win : -win, 127, BoundExact,
          b.sideToMove == attacker_ ? move : CellIndex(0));
  }

 public:
  int64_t nodes() const { return nodes_; }
  bool exhausted() const { return exhausted_; }

 private:
  Worker& e_;
  int attacker_, defender_;
  bool threes_;
  int64_t budget_;
  int32_t deadlineMs_;
  int32_t rootPly_;
  bool tableKeysSideToMove_;
  int64_t nodes_ = 0;
  bool exhausted_ = false;
  // The cells collectDefences tries, each once.
  CellIndex candidates_[BoardCells];
  int candidateCount_ = 0;
  uint8_t seen_[BoardCells];
};

}  // namespace

void clearProofCache(Worker& e) {
  std::memset(static_cast<void*>(e.shared.ProofCache.get()), 0, sizeof(ProofEntry) * ProofCacheEntries);
}

ProofResult proveWin(Worker& e, ProofKind kind, int32_t maxPlies, int64_t nodeBudget, int32_t deadlineMs) {
  ProofResult r;
  Prover prover(e, e.board->sideToMove, kind, nodeBudget, deadlineMs);
  for (int32_t limit = 1; limit <= maxPlies; limit += 2) {
    int plies = 0;
    CellIndex move = 0;
    const Verdict v = prover.attack(limit, plies, move);
    if (v == Win) {
      r.proven = true;
      r.plies = plies;
      r.move = move;
      break;
    }
    if (prover.exhausted() || e.shared.Stopped) {
      r.complete = false;
      break;
    }
  }
  r.nodes = prover.nodes();
  return r;
}

}  // namespace kesta
