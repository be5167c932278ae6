// Incremental line state: every make and unmake (full, scratch, same-side) must leave the per-cell
// records, evalSum, classCount and the Board exactly as a from-scratch scan of the stones gives them,
// and every unmake must restore the previous state byte for byte.
#include "board/line_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "board/board.h"
#include "core/types.h"
#include "eval/eval_tables.h"
#include "search/engine.h"
#include "support/position.h"
#include "support/state_check.h"

namespace kesta {
namespace {

using testpos::coord;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

// ---------------------------------------------------------------------------------------------
// What the shared state check leaves to this test: occupied cells keep the record they had when
// they were filled, Wall cells hold nothing but nearCount, and no make or unmake touches rootLoss.
std::string keptRecords(const Engine& e, const std::array<CellInfo, BoardCells>& frozen) {
  const Board& b = *e.board;
  for (int t = 0; t < BoardCells; ++t) {
    const CellInfo& got = e.cellInfo[t];
    const std::string where = coord(CellIndex(t));
    if (b.cells[t] == Empty) {
      if (got.rootLoss != 0) return "rootLoss of " + where + " changed";
      continue;
    }
    CellInfo want = b.cells[t] == Wall ? CellInfo{} : frozen[size_t(t)];
    want.nearCount = got.nearCount;
    if (std::memcmp(&want, &got, sizeof want) != 0)
      return b.cells[t] == Wall ? "Wall cell " + where + " has a non-zero record"
                                : "occupied cell " + where + " lost its frozen record";
  }
  return "";
}

// ---------------------------------------------------------------------------------------------
// Plays random stones of every kind on an Engine, remembering what each unmake must restore.

enum class Kind { Full, Scratch, SameSide };

class Walker {
 public:
  Walker(Engine& e, uint32_t seed) : e_(e), b_(*e.board), rng_(seed) {}

  // A random Empty cell: often on the edge or next to a stone, so that lines form and walls count.
  CellIndex pickEmpty() {
    const int n = b_.size;
    for (int tries = 0; tries < 200; ++tries) {
      int x = 0, y = 0;
      const uint32_t mode = rng_() % 4;
      if (mode == 0) {
        const int along = int(rng_() % uint32_t(n));
        const uint32_t side = rng_() % 4;
        x = side == 0 ? 0 : side == 1 ? n - 1 : along;
        y = side < 2 ? along : side == 2 ? 0 : n - 1;
      } else if (mode < 3 && b_.moveCount > 0) {
        const CellIndex s = b_.moves[rng_() % uint32_t(b_.moveCount)];
        x = cellX(s) + int(rng_() % 5) - 2;
        y = cellY(s) + int(rng_() % 5) - 2;
      } else {
        x = int(rng_() % uint32_t(n));
        y = int(rng_() % uint32_t(n));
      }
      if (insideBoard(b_, x, y) && b_.cells[cellOf(x, y)] == Empty) return cellOf(x, y);
    }
    for (int t = b_.firstCell; t <= b_.lastCell; ++t)
      if (b_.cells[t] == Empty) return CellIndex(t);
    return 0;
  }

  bool boardFull() const { return b_.moveCount == b_.cellCount; }
  bool lightStanding() const { return !steps_.empty() && steps_.back().kind != Kind::Full; }
  size_t depth() const { return steps_.size(); }
  Kind topKind() const { return steps_.back().kind; }
  std::mt19937& rng() { return rng_; }

  // colour < 0: makeScratch; otherwise makeScratchAs with that colour.
  void make(Kind kind, CellIndex cell, int colour = -1) {
    steps_.push_back(Step{kind, StateSnapshot(e_)});
    frozen_[cell] = e_.cellInfo[cell];
    switch (kind) {
      case Kind::Full:
        makeMove(e_, cell);
        break;
      case Kind::Scratch:
        if (colour < 0)
          makeScratch(e_, cell);
        else
          makeScratchAs(e_, cell, uint8_t(colour));
        break;
      case Kind::SameSide:
        placeSameSide(e_, cell);
        break;
    }
  }

  // Undoes the top stone with its own partner; success when everything is back byte for byte.
  ::testing::AssertionResult unmake() {
    Step top = std::move(steps_.back());
    steps_.pop_back();
    switch (top.kind) {
      case Kind::Full:
        unmakeMove(e_);
        break;
      case Kind::Scratch:
        unmakeScratch(e_);
        break;
      case Kind::SameSide:
        removeSameSide(e_);
        break;
    }
    return sameState(top.before, StateSnapshot(e_));
  }

  // "" when the state is what the stones give (the evaluation as before the first light stone
  // while light stones stand), nearCount exact everywhere, and the records kept.
  std::string check() const {
    check::StateCheck how;
    how.exactNearCount = true;
    for (const Step& s : steps_)
      if (s.kind != Kind::Full) {
        how.anyColours = true;
        how.evalCells = s.before.cellInfo.data();
        how.evalSums = s.before.evalSum;
        break;
      }
    const std::string difference = check::stateDifference(e_, how);
    return difference.empty() ? keptRecords(e_, frozen_) : difference;
  }

 private:
  struct Step {
    Kind kind;
    StateSnapshot before;
  };
  Engine& e_;
  Board& b_;
  std::mt19937 rng_;
  std::vector<Step> steps_;
  std::array<CellInfo, BoardCells> frozen_{};
};

const char* ruleName(int rule) {
  static const char* const Names[RuleCount] = {"freestyle", "exact5", "renju", "caro", "caro8"};
  return Names[rule];
}

// ---------------------------------------------------------------------------------------------

class LineStateRandom : public ::testing::TestWithParam<std::tuple<int, int>> {};

std::string paramName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  return std::string(ruleName(std::get<0>(info.param))) + "_" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(RulesAndSizes, LineStateRandom,
                         ::testing::Combine(::testing::Values(0, 1, 2, 3, 4),
                                            ::testing::Values(6, 9, 15, 22)),
                         paramName);

TEST_P(LineStateRandom, FullMakeAndUnmakeKeepTheStateExact) {
  const auto [rule, size] = GetParam();
  Position g(uint8_t(rule), size);
  Engine& e = *g.engine;
  Walker w(e, uint32_t(1000 * rule + size));
  const StateSnapshot initial(e);
  ASSERT_EQ("", w.check()) << "empty board";

  // A random game with take-backs, stones on the edges too.
  bool sawFour = false;
  for (int op = 0; op < 300; ++op) {
    const bool make = w.depth() == 0 || (!w.boardFull() && w.rng()() % 100 < 65);
    if (make) {
      w.make(Kind::Full, w.pickEmpty());
    } else {
      ASSERT_TRUE(w.unmake()) << "unmake at op " << op;
    }
    ASSERT_EQ("", w.check()) << "op " << op;
    for (int s = 0; s < 2; ++s)
      for (int c = 9; c < 14; ++c) sawFour = sawFour || e.classCount[s][c] > 0;
  }
  if (size >= 9) {
    EXPECT_TRUE(sawFour) << "the random games should build fours";
  }
  while (w.depth() > 0) {
    ASSERT_TRUE(w.unmake());
  }
  EXPECT_TRUE(sameState(initial, StateSnapshot(e)));

  // Small boards: fill every cell, then take everything back.
  if (size <= 9) {
    while (!w.boardFull()) {
      w.make(Kind::Full, w.pickEmpty());
      ASSERT_EQ("", w.check()) << "filling, stone " << e.board->moveCount;
    }
    for (int s = 0; s < 2; ++s)
      for (int c = 0; c < 14; ++c) EXPECT_EQ(0, e.classCount[s][c]);
    EXPECT_EQ(0, e.evalSum[0]);
    EXPECT_EQ(0, e.evalSum[1]);
    while (w.depth() > 0) {
      ASSERT_TRUE(w.unmake());
      ASSERT_EQ("", w.check()) << "emptying, stone " << e.board->moveCount;
    }
    EXPECT_TRUE(sameState(initial, StateSnapshot(e)));
  }
}

TEST_P(LineStateRandom, MixedScratchAndSameSideStacksRestoreEverything) {
  const auto [rule, size] = GetParam();
  Position g(uint8_t(rule), size);
  Engine& e = *g.engine;
  Walker w(e, uint32_t(7919 * rule + size));
  const StateSnapshot initial(e);

  for (int round = 0; round < 12; ++round) {
    // Some full moves (or take-backs) first; they may only happen with no light stone standing.
    for (int i = 0; i < 4; ++i) {
      if (w.depth() > 0 && w.rng()() % 4 == 0) {
        ASSERT_TRUE(w.unmake());
      } else if (!w.boardFull()) {
        w.make(Kind::Full, w.pickEmpty());
      }
      ASSERT_EQ("", w.check()) << "round " << round << " full move " << i;
    }
    const size_t base = w.depth();
    const StateSnapshot beforeStack(e);
    // A random stack of light stones of both kinds, with partial unwinding in between.
    for (int op = 0; op < 24; ++op) {
      if (w.depth() > base && w.rng()() % 3 == 0) {
        ASSERT_TRUE(w.unmake()) << "round " << round << " op " << op;
      } else if (!w.boardFull()) {
        const uint32_t kind = w.rng()() % 3;
        const CellIndex cell = w.pickEmpty();
        if (kind == 0)
          w.make(Kind::Scratch, cell);
        else if (kind == 1)
          w.make(Kind::Scratch, cell, int(w.rng()() % 2));
        else
          w.make(Kind::SameSide, cell);
      }
      ASSERT_EQ("", w.check()) << "round " << round << " op " << op;
    }
    while (w.depth() > base) {
      ASSERT_TRUE(w.unmake());
    }
    ASSERT_TRUE(sameState(beforeStack, StateSnapshot(e))) << "round " << round;
  }
  while (w.depth() > 0) {
    ASSERT_TRUE(w.unmake());
  }
  EXPECT_TRUE(sameState(initial, StateSnapshot(e)));
}

// ---------------------------------------------------------------------------------------------

class LineStateByRule : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(Rules, LineStateByRule, ::testing::Values(0, 1, 2, 3, 4),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return std::string(ruleName(p.param));
                         });

// What an Empty cell holds depends only on the stones, not on the order they came in.
TEST_P(LineStateByRule, EmptyCellsDependOnlyOnTheStones) {
  Position g{uint8_t(GetParam())};
  Engine& e = *g.engine;
  Board& b = *g.board;
  std::mt19937 rng(uint32_t(31 + GetParam()));
  const StateSnapshot initial(e);

  struct Seen {
    std::array<CellInfo, BoardCells> info;
    int32_t evalSum[2];
    int32_t classCount[2][14];
    uint64_t hash;
    uint32_t box;
  };
  auto play = [&](const std::vector<CellIndex>& black, const std::vector<CellIndex>& white) {
    for (size_t i = 0; i < black.size(); ++i) {
      makeMove(e, black[i]);
      makeMove(e, white[i]);
    }
    auto seen = std::make_unique<Seen>();
    seen->info.fill(CellInfo{});
    for (int t = 0; t < BoardCells; ++t) {
      if (b.cells[t] == Empty) seen->info[size_t(t)] = e.cellInfo[t];
      seen->info[size_t(t)].nearCount = e.cellInfo[t].nearCount;
    }
    std::memcpy(seen->evalSum, e.evalSum, sizeof e.evalSum);
    std::memcpy(seen->classCount, e.classCount, sizeof e.classCount);
    seen->hash = b.hash;
    seen->box = boxWord(b.box);
    while (b.moveCount > 0) unmakeMove(e);
    return seen;
  };

  for (int round = 0; round < 30; ++round) {
    // Five stones per side in a 7x7 square around the centre, so that they interact.
    std::vector<CellIndex> cells;
    while (cells.size() < 10) {
      const CellIndex c = cellOf(4 + int(rng() % 7), 4 + int(rng() % 7));
      if (std::find(cells.begin(), cells.end(), c) == cells.end()) cells.push_back(c);
    }
    std::vector<CellIndex> black(cells.begin(), cells.begin() + 5), white(cells.begin() + 5, cells.end());
    const auto first = play(black, white);
    std::shuffle(black.begin(), black.end(), rng);
    std::shuffle(white.begin(), white.end(), rng);
    const auto second = play(black, white);
    ASSERT_TRUE(sameState(initial, StateSnapshot(e))) << "round " << round;
    for (int t = 0; t < BoardCells; ++t)
      ASSERT_EQ(0, std::memcmp(&first->info[size_t(t)], &second->info[size_t(t)], sizeof(CellInfo)))
          << "round " << round << " cell " << coord(CellIndex(t));
    EXPECT_EQ(0, std::memcmp(first->evalSum, second->evalSum, sizeof first->evalSum));
    EXPECT_EQ(0, std::memcmp(first->classCount, second->classCount, sizeof first->classCount));
    EXPECT_EQ(first->hash, second->hash);
    EXPECT_EQ(first->box, second->box);
  }
}

// makeScratch updates the same codes, move scores and classes as makeMove, leaves evalScore and
// evalSum alone, and unmakeScratch takes everything back.
TEST_P(LineStateByRule, ScratchMoveMatchesFullMoveExceptEvaluation) {
  Position g{uint8_t(GetParam())};
  Engine& e = *g.engine;
  Board& b = *g.board;
  Walker w(e, uint32_t(101 + GetParam()));
  for (int i = 0; i < 24; ++i) w.make(Kind::Full, w.pickEmpty());
  ASSERT_EQ("", w.check());

  const StateSnapshot before(e);
  int tried = 0;
  for (int t = b.firstCell; t <= b.lastCell; ++t) {
    if (b.cells[t] != Empty) continue;
    const CellIndex c = CellIndex(t);
    makeMove(e, c);
    const StateSnapshot full(e);
    unmakeMove(e);
    ASSERT_TRUE(sameState(before, StateSnapshot(e)));

    makeScratch(e, c);
    const StateSnapshot scratch(e);
    for (int u = 0; u < BoardCells; ++u) {
      const CellInfo& s = scratch.cellInfo[size_t(u)];
      const CellInfo& f = full.cellInfo[size_t(u)];
      ASSERT_EQ(0, std::memcmp(s.lineWindow, f.lineWindow, sizeof s.lineWindow))
          << coord(c) << " / " << coord(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.lineCode, f.lineCode, sizeof s.lineCode))
          << coord(c) << " / " << coord(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.moveScore, f.moveScore, sizeof s.moveScore))
          << coord(c) << " / " << coord(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.cellClass, f.cellClass, sizeof s.cellClass))
          << coord(c) << " / " << coord(CellIndex(u));
      ASSERT_EQ(s.nearCount, f.nearCount) << coord(c) << " / " << coord(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.evalScore, before.cellInfo[size_t(u)].evalScore, sizeof s.evalScore))
          << coord(c) << " / " << coord(CellIndex(u));
    }
    ASSERT_EQ(0, std::memcmp(scratch.classCount, full.classCount, sizeof full.classCount)) << coord(c);
    ASSERT_EQ(0, std::memcmp(scratch.evalSum, before.evalSum, sizeof before.evalSum)) << coord(c);
    EXPECT_EQ(scratch.ply, full.ply);
    EXPECT_EQ(scratch.cells, full.cells);
    EXPECT_EQ(scratch.moveCount, full.moveCount);
    EXPECT_EQ(scratch.sideToMove, full.sideToMove);
    EXPECT_EQ(scratch.hash, full.hash);
    EXPECT_EQ(scratch.box, full.box);
    unmakeScratch(e);
    ASSERT_TRUE(sameState(before, StateSnapshot(e))) << coord(c);
    ++tried;
  }
  EXPECT_EQ(225 - 24, tried);
}

TEST_P(LineStateByRule, ScratchStonesOfEitherColourAndSameSideStones) {
  Position g{uint8_t(GetParam())};
  Engine& e = *g.engine;
  Board& b = *g.board;
  Walker w(e, 5);
  const StateSnapshot empty(e);

  // Two same-side stones for Black: the turn and ply stay.
  const CellIndex a = cellOf(7, 7), c = cellOf(8, 8);
  w.make(Kind::SameSide, a);
  w.make(Kind::SameSide, c);
  EXPECT_EQ(Black, b.cells[a]);
  EXPECT_EQ(Black, b.cells[c]);
  EXPECT_EQ(0, b.sideToMove);
  EXPECT_EQ(1, b.opponent);
  EXPECT_EQ(0, e.ply);
  EXPECT_EQ(2, b.moveCount);
  EXPECT_EQ(Zobrist.stone[0][a] ^ Zobrist.stone[0][c], b.hash);
  ASSERT_EQ("", w.check());
  ASSERT_TRUE(w.unmake());
  ASSERT_TRUE(w.unmake());
  ASSERT_TRUE(sameState(empty, StateSnapshot(e)));

  // With White to move, same-side stones are White.
  w.make(Kind::Full, a);
  w.make(Kind::SameSide, cellOf(6, 7));
  w.make(Kind::SameSide, cellOf(6, 8));
  EXPECT_EQ(White, b.cells[cellOf(6, 7)]);
  EXPECT_EQ(White, b.cells[cellOf(6, 8)]);
  EXPECT_EQ(1, b.sideToMove);
  EXPECT_EQ(1, e.ply);
  ASSERT_EQ("", w.check());

  // A trial Black stone while White is to move: the turn passes and ply rises as in makeScratch.
  const uint64_t hashBefore = b.hash;
  w.make(Kind::Scratch, cellOf(9, 9), Black);
  EXPECT_EQ(Black, b.cells[cellOf(9, 9)]);
  EXPECT_EQ(0, b.sideToMove);
  EXPECT_EQ(1, b.opponent);
  EXPECT_EQ(2, e.ply);
  EXPECT_EQ(hashBefore ^ Zobrist.stone[0][cellOf(9, 9)], b.hash);
  ASSERT_EQ("", w.check());
  // And a White one with Black to move.
  w.make(Kind::Scratch, cellOf(10, 10), White);
  EXPECT_EQ(White, b.cells[cellOf(10, 10)]);
  EXPECT_EQ(1, b.sideToMove);
  ASSERT_EQ("", w.check());
  w.make(Kind::Scratch, cellOf(5, 5));
  EXPECT_EQ(White, b.cells[cellOf(5, 5)]);
  ASSERT_EQ("", w.check());
  while (w.depth() > 0) {
    ASSERT_TRUE(w.unmake());
  }
  EXPECT_TRUE(sameState(empty, StateSnapshot(e)));
}

// ---------------------------------------------------------------------------------------------
// Hand-checked cases on a 15x15 board.

class LineStateCases : public ::testing::Test {};

TEST_F(LineStateCases, EmptyBoardAndClassCountTotals) {
  Position g(Freestyle);
  Engine& e = *g.engine;
  Board& b = *g.board;
  EXPECT_EQ(0, b.moveCount);
  EXPECT_EQ(0u, b.hash);
  EXPECT_EQ(EmptyBoxWord, boxWord(b.box));
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x)
      for (int k = 0; k < 4; ++k)
        ASSERT_EQ(e.cellInfo[cellOf(x, y)].lineWindow[k][0], e.cellInfo[cellOf(x, y)].lineWindow[k][1])
            << x << "," << y;
  // (0,0) sees the wall on the whole low side of every line and on both sides of the anti-diagonal.
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(0, 0)], 0, 0));
  EXPECT_EQ(0x3FF, lineBitsOf(e.cellInfo[cellOf(0, 0)], 1, 0));
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(0, 0)], 2, 0));
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(0, 0)], 3, 0));
  EXPECT_EQ(0x000, lineBitsOf(e.cellInfo[cellOf(7, 7)], 3, 1));
  EXPECT_EQ(0x001, lineBitsOf(e.cellInfo[cellOf(10, 10)], 3, 1));  // (15,15) is off the board

  const int moves[][2] = {{7, 7},  {8, 8}, {0, 0},  {14, 14}, {7, 8},
                          {0, 14}, {7, 9}, {14, 0}, {7, 10},  {3, 4}};
  for (int k = 0; k <= 10; ++k) {
    if (k > 0) makeMove(e, cellOf(moves[k - 1][0], moves[k - 1][1]));
    for (int s = 0; s < 2; ++s) {
      int total = 0;
      for (int c = 0; c < 14; ++c) total += e.classCount[s][c];
      EXPECT_EQ(225 - k, total) << "side " << s << " after " << k << " stones";
    }
  }
}

TEST_F(LineStateCases, BlackStoneSetsTheDocumentedBits) {
  Position g(Freestyle);
  Engine& e = *g.engine;
  struct Probe {
    int x, y, k, bit;
  };
  const Probe probes[] = {{5, 7, 0, 3}, {10, 7, 0, 7}, {7, 9, 2, 6}, {6, 6, 3, 4}};
  uint16_t black[4], white[4][4];
  for (int i = 0; i < 4; ++i) {
    const CellInfo& c = e.cellInfo[cellOf(probes[i].x, probes[i].y)];
    black[i] = lineBitsOf(c, probes[i].k, 0);
    for (int k = 0; k < 4; ++k) white[i][k] = lineBitsOf(c, k, 1);
  }
  makeMove(e, cellOf(7, 7));
  for (int i = 0; i < 4; ++i) {
    const Probe& p = probes[i];
    const CellInfo& c = e.cellInfo[cellOf(p.x, p.y)];
    EXPECT_EQ(black[i] | (1u << p.bit), lineBitsOf(c, p.k, 0)) << p.x << "," << p.y;
    EXPECT_NE(black[i], lineBitsOf(c, p.k, 0)) << p.x << "," << p.y;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(white[i][k], lineBitsOf(c, k, 1)) << p.x << "," << p.y << " dir " << k;
  }
}

TEST_F(LineStateCases, NeighbourhoodCounts) {
  Position g(Freestyle);
  Engine& e = *g.engine;
  makeMove(e, cellOf(7, 7));
  for (int sx : {-1, 1})
    for (int sy : {-1, 1}) {
      EXPECT_EQ(1, e.cellInfo[cellOf(7 + sx * 1, 7 + sy * 2)].nearCount) << sx << "," << sy;
      EXPECT_EQ(1, e.cellInfo[cellOf(7 + sx * 2, 7 + sy * 1)].nearCount) << sx << "," << sy;
      EXPECT_EQ(0, e.cellInfo[cellOf(7 + sx * 3, 7 + sy * 1)].nearCount) << sx << "," << sy;
      EXPECT_EQ(0, e.cellInfo[cellOf(7 + sx * 1, 7 + sy * 3)].nearCount) << sx << "," << sy;
      EXPECT_EQ(1, e.cellInfo[cellOf(7 + sx * 3, 7 + sy * 3)].nearCount) << sx << "," << sy;
      EXPECT_EQ(0, e.cellInfo[cellOf(7 + sx * 4, 7)].nearCount) << sx;
    }
  EXPECT_EQ(0, e.cellInfo[cellOf(7, 7)].nearCount);
  makeMove(e, cellOf(8, 7));
  EXPECT_EQ(2, e.cellInfo[cellOf(9, 8)].nearCount);
  EXPECT_EQ(1, e.cellInfo[cellOf(7, 7)].nearCount);
  EXPECT_EQ(1, e.cellInfo[cellOf(8, 7)].nearCount);

  // A corner stone raises the counters of the wall cells as well; unmake lowers them again.
  makeMove(e, cellOf(0, 0));
  EXPECT_EQ(1, e.cellInfo[cellOf(-3, -3)].nearCount);
  EXPECT_EQ(1, e.cellInfo[cellOf(-2, 1)].nearCount);
  unmakeMove(e);
  EXPECT_EQ(0, e.cellInfo[cellOf(-3, -3)].nearCount);
  EXPECT_EQ(0, e.cellInfo[cellOf(-2, 1)].nearCount);
}

// Window cells beyond the edge are wall for both sides; a stone adds to one side only.
TEST_F(LineStateCases, EdgeStonesAndOccupiedWindowCells) {
  Position g(Freestyle);
  Engine& e = *g.engine;
  makeMove(e, cellOf(0, 0));
  // (1,0): (0,0) is p = -1 (bit 5), p = -2..-5 are wall (bits 6..9).
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(1, 0)], 0, 0));
  EXPECT_EQ(0x3C0, lineBitsOf(e.cellInfo[cellOf(1, 0)], 0, 1));
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(0, 1)], 2, 0));
  EXPECT_EQ(0x3C0, lineBitsOf(e.cellInfo[cellOf(0, 1)], 2, 1));
  EXPECT_EQ(0x3E0, lineBitsOf(e.cellInfo[cellOf(0, 1)], 0, 1));  // horizontal: only the wall

  // Black (7,7), White (8,7), Black (9,7): the occupied (8,7) keeps the record it had when filled.
  Position h(Freestyle);
  Engine& f = *h.engine;
  makeMove(f, cellOf(7, 7));
  makeMove(f, cellOf(8, 7));
  const CellInfo filled = f.cellInfo[cellOf(8, 7)];
  EXPECT_EQ(1u << 5, lineBitsOf(filled, 0, 0));
  makeMove(f, cellOf(9, 7));
  CellInfo now = f.cellInfo[cellOf(8, 7)];
  now.nearCount = filled.nearCount;
  EXPECT_EQ(0, std::memcmp(&filled, &now, sizeof now));
  // (10,7) sees Black at p = -1 and p = -3, White at p = -2 and the wall at p = +5.
  EXPECT_EQ((1u << 5) | (1u << 7) | 1u, lineBitsOf(f.cellInfo[cellOf(10, 7)], 0, 0));
  EXPECT_EQ((1u << 6) | 1u, lineBitsOf(f.cellInfo[cellOf(10, 7)], 0, 1));
  unmakeMove(f);
  unmakeMove(f);
  // Emptied again, (8,7) is exact: it sees the Black stone to its left.
  EXPECT_EQ(1u << 5, lineBitsOf(f.cellInfo[cellOf(8, 7)], 0, 0));
  EXPECT_EQ(0u, lineBitsOf(f.cellInfo[cellOf(8, 7)], 0, 1));
}

// The check itself notices one changed field, in an Empty cell's record, an occupied cell's
// record, the sums or the Board.
TEST_F(LineStateCases, TheCheckNoticesOneChangedField) {
  Position g(RenjuRule);
  Engine& e = *g.engine;
  Walker w(e, 3);
  for (int i = 0; i < 12; ++i) w.make(Kind::Full, w.pickEmpty());
  ASSERT_EQ("", w.check());
  CellInfo& empty = e.cellInfo[w.pickEmpty()];
  CellInfo& stone = e.cellInfo[e.board->moves[0]];
  // Each change is undone by making it again.
  const auto spoilt = [&](const char* what, auto change) {
    change();
    EXPECT_NE("", w.check()) << what;
    change();
  };
  spoilt("lineWindow", [&] { empty.lineWindow[2][1] ^= 1; });
  spoilt("codeKey", [&] { empty.codeKey[0] ^= 1; });
  spoilt("evalScore", [&] { empty.evalScore[1] ^= 1; });
  spoilt("nearCount", [&] { empty.nearCount ^= 1; });
  spoilt("occupied record", [&] { stone.moveScore[0] ^= 1; });
  spoilt("evalSum", [&] { e.evalSum[1] ^= 1; });
  spoilt("hash", [&] { e.board->hash ^= 1; });
  EXPECT_EQ("", w.check());
}

// A full move, a scratch move on top and both undone: exactly the state before the full move.
TEST_F(LineStateCases, ScratchOnTopOfFullMove) {
  Position g(RenjuRule);
  Engine& e = *g.engine;
  makeMove(e, cellOf(7, 7));
  makeMove(e, cellOf(8, 8));
  const StateSnapshot before(e);
  makeMove(e, cellOf(7, 8));
  makeScratch(e, cellOf(7, 9));
  placeSameSide(e, cellOf(7, 10));
  removeSameSide(e);
  unmakeScratch(e);
  unmakeMove(e);
  EXPECT_TRUE(sameState(before, StateSnapshot(e)));
}

}  // namespace
}  // namespace kesta
