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

namespace kesta {
namespace {

using testpos::Position;

std::string at(CellIndex c) {
  std::ostringstream out;
  out << '(' << cellX(c) << ',' << cellY(c) << ')';
  return out.str();
}

// ---------------------------------------------------------------------------------------------
// From-scratch recomputation, straight from the stones on the board.

// Bit of window position p (-5..-1, +1..+5): bit 9 is t - 5d, bit 0 is t + 5d.
int windowBit(int p) {
  return p > 0 ? 5 - p : 4 - p;
}

// The cells whose nearCount a stone raises: the 5x5 square without its centre, and the cells at
// distance 3 on the four lines.
bool inNeighbourhood(int dx, int dy) {
  if (dx == 0 && dy == 0) return false;
  const bool square = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
  const bool ray = (dx == 0 || dx == 3 || dx == -3) && (dy == 0 || dy == 3 || dy == -3);
  return square || ray;
}

struct Expected {
  std::array<CellInfo, BoardCells> info{};  // line state for Empty cells, nearCount everywhere
  int32_t evalSum[2] = {0, 0};
  int32_t classCount[2][14] = {};
};

Expected recompute(const Board& b, const PatternTables& tables) {
  Expected x;
  for (int c = 0; c < BoardCells; ++c) {
    if (b.cells[c] != Black && b.cells[c] != White) continue;
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx)
        if (inNeighbourhood(dx, dy)) x.info[size_t(c + dy * BoardSpan + dx)].nearCount += 1;
  }
  for (int t = 0; t < BoardCells; ++t) {
    if (b.cells[t] != Empty) continue;
    CellInfo& r = x.info[size_t(t)];
    for (int k = 0; k < 4; ++k) {
      uint16_t bits[2] = {0, 0};
      for (int p = -5; p <= 5; ++p) {
        if (p == 0) continue;
        const uint8_t code = b.cells[t + p * DirectionStep[k]];
        const uint16_t bit = uint16_t(1u << windowBit(p));
        if (code == Wall) {
          bits[0] |= bit;
          bits[1] |= bit;
        } else if (code == Black || code == White) {
          bits[code] |= bit;
        }
      }
      for (int s = 0; s < 2; ++s) {
        const unsigned own = bits[s], other = bits[s ^ 1];
        r.lineWindow[k][s] = uint16_t(TernaryOfMask[own & ~other] + 2 * TernaryOfMask[other]);
        r.lineCode[s][k] = tables.lineCodeOf(s, own, other);
      }
    }
    for (int s = 0; s < 2; ++s) {
      const int key =
          ((r.lineCode[s][0] * 18 + r.lineCode[s][1]) * 18 + r.lineCode[s][2]) * 18 + r.lineCode[s][3];
      r.moveScore[s] = tables.moveScore[s][key];
      r.evalScore[s] = tables.evalScore[s][key];
      r.cellClass[s] = tables.cellClass[s][key];
      x.evalSum[s] += r.evalScore[s];
      x.classCount[s][r.cellClass[s]] += 1;
    }
  }
  return x;
}

// ---------------------------------------------------------------------------------------------
// Byte-exact snapshots of everything make and unmake may touch.

struct Snapshot {
  std::array<CellInfo, BoardCells> info;
  int32_t evalSum[2];
  int32_t classCount[2][14];
  int32_t ply;
  std::array<uint8_t, BoardCells> cells;
  int32_t moveCount;
  uint8_t sideToMove, opponent;
  uint64_t hash;
  uint32_t box;
};

std::unique_ptr<Snapshot> takeSnapshot(const Engine& e) {
  auto s = std::make_unique<Snapshot>();
  const Board& b = *e.board;
  std::memcpy(s->info.data(), e.cellInfo, sizeof e.cellInfo);
  std::memcpy(s->evalSum, e.evalSum, sizeof e.evalSum);
  std::memcpy(s->classCount, e.classCount, sizeof e.classCount);
  s->ply = e.ply;
  std::memcpy(s->cells.data(), b.cells, sizeof b.cells);
  s->moveCount = b.moveCount;
  s->sideToMove = b.sideToMove;
  s->opponent = b.opponent;
  s->hash = b.hash;
  s->box = boxWord(b.box);
  return s;
}

// "" when identical, else the first difference.
std::string snapshotDifference(const Snapshot& want, const Snapshot& got) {
  for (int c = 0; c < BoardCells; ++c)
    if (std::memcmp(&want.info[size_t(c)], &got.info[size_t(c)], sizeof(CellInfo)) != 0)
      return "cellInfo of " + at(CellIndex(c)) + " differs";
  if (std::memcmp(want.evalSum, got.evalSum, sizeof want.evalSum) != 0) return "evalSum differs";
  if (std::memcmp(want.classCount, got.classCount, sizeof want.classCount) != 0) return "classCount differs";
  if (want.ply != got.ply) return "ply differs";
  if (want.cells != got.cells) return "cells differ";
  if (want.moveCount != got.moveCount) return "moveCount differs";
  if (want.sideToMove != got.sideToMove || want.opponent != got.opponent) return "turn differs";
  if (want.hash != got.hash) return "hash differs";
  if (want.box != got.box) return "box differs";
  return "";
}

// ---------------------------------------------------------------------------------------------
// Compares the Engine's state with the recomputation. Empty cells must match the scan (evalScore
// and evalSum against `light` instead while scratch or same-side stones stand), occupied cells
// must keep the record they had when they were filled, Wall cells stay zero; nearCount is exact
// everywhere.
std::string stateDifference(const Engine& e, const std::array<CellInfo, BoardCells>& frozen,
                            const Snapshot* light) {
  const Board& b = *e.board;
  const Expected x = recompute(b, *e.tables);
  std::ostringstream out;
  for (int t = 0; t < BoardCells; ++t) {
    const CellInfo& got = e.cellInfo[t];
    const CellInfo& want = x.info[size_t(t)];
    const std::string where = at(CellIndex(t));
    if (got.nearCount != want.nearCount) {
      out << "nearCount of " << where << " is " << int(got.nearCount) << ", want " << int(want.nearCount);
      return out.str();
    }
    if (b.cells[t] == Wall) {
      CellInfo zero{};
      zero.nearCount = got.nearCount;
      if (std::memcmp(&zero, &got, sizeof zero) != 0) return "Wall cell " + where + " has a non-zero record";
      continue;
    }
    if (b.cells[t] != Empty) {
      CellInfo was = frozen[size_t(t)];
      was.nearCount = got.nearCount;
      if (std::memcmp(&was, &got, sizeof was) != 0)
        return "occupied cell " + where + " lost its frozen record";
      continue;
    }
    for (int k = 0; k < 4; ++k)
      for (int s = 0; s < 2; ++s) {
        if (got.lineWindow[k][s] != want.lineWindow[k][s]) {
          out << "lineWindow[" << k << "][" << s << "] of " << where << " holds bits 0x" << std::hex
              << lineBitsOf(got, k, s) << ", want 0x" << lineBitsOf(want, k, s);
          return out.str();
        }
        if (got.lineCode[s][k] != want.lineCode[s][k]) {
          out << "lineCode[" << s << "][" << k << "] of " << where << " is " << int(got.lineCode[s][k])
              << ", want " << int(want.lineCode[s][k]);
          return out.str();
        }
      }
    for (int s = 0; s < 2; ++s) {
      const int16_t wantEval = light ? light->info[size_t(t)].evalScore[s] : want.evalScore[s];
      if (got.moveScore[s] != want.moveScore[s] || got.evalScore[s] != wantEval ||
          got.cellClass[s] != want.cellClass[s]) {
        out << "scores or class of " << where << " side " << s << ": move " << got.moveScore[s] << "/"
            << want.moveScore[s] << " eval " << got.evalScore[s] << "/" << wantEval << " class "
            << int(got.cellClass[s]) << "/" << int(want.cellClass[s]);
        return out.str();
      }
    }
    if (got.rootLoss != 0) return "rootLoss of " + where + " changed";
  }
  for (int s = 0; s < 2; ++s) {
    const int32_t wantSum = light ? light->evalSum[s] : x.evalSum[s];
    if (e.evalSum[s] != wantSum) {
      out << "evalSum[" << s << "] is " << e.evalSum[s] << ", want " << wantSum;
      return out.str();
    }
    for (int c = 0; c < 14; ++c)
      if (e.classCount[s][c] != x.classCount[s][c]) {
        out << "classCount[" << s << "][" << c << "] is " << e.classCount[s][c] << ", want "
            << x.classCount[s][c];
        return out.str();
      }
  }
  // The hash is the XOR of the keys of the stones.
  uint64_t hash = 0;
  for (int t = 0; t < BoardCells; ++t)
    if (b.cells[t] == Black || b.cells[t] == White) hash ^= Zobrist.stone[b.cells[t]][t];
  if (hash != b.hash) return "hash is not the XOR of the stones' keys";
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
    steps_.push_back(Step{kind, takeSnapshot(e_)});
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

  // Undoes the top stone with its own partner; "" when everything is back byte for byte.
  std::string unmake() {
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
    return snapshotDifference(*top.before, *takeSnapshot(e_));
  }

  std::string check() const {
    const Snapshot* light = nullptr;
    for (const Step& s : steps_)
      if (s.kind != Kind::Full) {
        light = s.before.get();
        break;
      }
    return stateDifference(e_, frozen_, light);
  }

 private:
  struct Step {
    Kind kind;
    std::unique_ptr<Snapshot> before;
  };
  Engine& e_;
  Board& b_;
  std::mt19937 rng_;
  std::vector<Step> steps_;
  std::array<CellInfo, BoardCells> frozen_{};
};

const char* ruleName(int rule) {
  return rule == 0 ? "freestyle" : rule == 1 ? "exact5" : "renju";
}

// ---------------------------------------------------------------------------------------------

class LineStateRandom : public ::testing::TestWithParam<std::tuple<int, int>> {};

std::string paramName(const ::testing::TestParamInfo<std::tuple<int, int>>& info) {
  return std::string(ruleName(std::get<0>(info.param))) + "_" + std::to_string(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(RulesAndSizes, LineStateRandom,
                         ::testing::Combine(::testing::Values(0, 1, 2), ::testing::Values(6, 9, 15, 22)),
                         paramName);

TEST_P(LineStateRandom, FullMakeAndUnmakeKeepTheStateExact) {
  const auto [rule, size] = GetParam();
  Position g(uint8_t(rule), size);
  Engine& e = *g.engine;
  Walker w(e, uint32_t(1000 * rule + size));
  const auto initial = takeSnapshot(e);
  ASSERT_EQ("", w.check()) << "empty board";

  // A random game with take-backs, stones on the edges too.
  bool sawFour = false;
  for (int op = 0; op < 300; ++op) {
    const bool make = w.depth() == 0 || (!w.boardFull() && w.rng()() % 100 < 65);
    if (make) {
      w.make(Kind::Full, w.pickEmpty());
    } else {
      ASSERT_EQ("", w.unmake()) << "unmake at op " << op;
    }
    ASSERT_EQ("", w.check()) << "op " << op;
    for (int s = 0; s < 2; ++s)
      for (int c = 9; c < 14; ++c) sawFour = sawFour || e.classCount[s][c] > 0;
  }
  if (size >= 9) {
    EXPECT_TRUE(sawFour) << "the random games should build fours";
  }
  while (w.depth() > 0) {
    ASSERT_EQ("", w.unmake());
  }
  EXPECT_EQ("", snapshotDifference(*initial, *takeSnapshot(e)));

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
      ASSERT_EQ("", w.unmake());
      ASSERT_EQ("", w.check()) << "emptying, stone " << e.board->moveCount;
    }
    EXPECT_EQ("", snapshotDifference(*initial, *takeSnapshot(e)));
  }
}

TEST_P(LineStateRandom, MixedScratchAndSameSideStacksRestoreEverything) {
  const auto [rule, size] = GetParam();
  Position g(uint8_t(rule), size);
  Engine& e = *g.engine;
  Walker w(e, uint32_t(7919 * rule + size));
  const auto initial = takeSnapshot(e);

  for (int round = 0; round < 12; ++round) {
    // Some full moves (or take-backs) first; they may only happen with no light stone standing.
    for (int i = 0; i < 4; ++i) {
      if (w.depth() > 0 && w.rng()() % 4 == 0) {
        ASSERT_EQ("", w.unmake());
      } else if (!w.boardFull()) {
        w.make(Kind::Full, w.pickEmpty());
      }
      ASSERT_EQ("", w.check()) << "round " << round << " full move " << i;
    }
    const size_t base = w.depth();
    const auto beforeStack = takeSnapshot(e);
    // A random stack of light stones of both kinds, with partial unwinding in between.
    for (int op = 0; op < 24; ++op) {
      if (w.depth() > base && w.rng()() % 3 == 0) {
        ASSERT_EQ("", w.unmake()) << "round " << round << " op " << op;
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
      ASSERT_EQ("", w.unmake());
    }
    ASSERT_EQ("", snapshotDifference(*beforeStack, *takeSnapshot(e))) << "round " << round;
  }
  while (w.depth() > 0) {
    ASSERT_EQ("", w.unmake());
  }
  EXPECT_EQ("", snapshotDifference(*initial, *takeSnapshot(e)));
}

// ---------------------------------------------------------------------------------------------

class LineStateByRule : public ::testing::TestWithParam<int> {};

INSTANTIATE_TEST_SUITE_P(Rules, LineStateByRule, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& p) {
                           return std::string(ruleName(p.param));
                         });

// What an Empty cell holds depends only on the stones, not on the order they came in.
TEST_P(LineStateByRule, EmptyCellsDependOnlyOnTheStones) {
  Position g{uint8_t(GetParam())};
  Engine& e = *g.engine;
  Board& b = *g.board;
  std::mt19937 rng(uint32_t(31 + GetParam()));
  const auto initial = takeSnapshot(e);

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
    ASSERT_EQ("", snapshotDifference(*initial, *takeSnapshot(e))) << "round " << round;
    for (int t = 0; t < BoardCells; ++t)
      ASSERT_EQ(0, std::memcmp(&first->info[size_t(t)], &second->info[size_t(t)], sizeof(CellInfo)))
          << "round " << round << " cell " << at(CellIndex(t));
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

  const auto before = takeSnapshot(e);
  int tried = 0;
  for (int t = b.firstCell; t <= b.lastCell; ++t) {
    if (b.cells[t] != Empty) continue;
    const CellIndex c = CellIndex(t);
    makeMove(e, c);
    const auto full = takeSnapshot(e);
    unmakeMove(e);
    ASSERT_EQ("", snapshotDifference(*before, *takeSnapshot(e)));

    makeScratch(e, c);
    const auto scratch = takeSnapshot(e);
    for (int u = 0; u < BoardCells; ++u) {
      const CellInfo& s = scratch->info[size_t(u)];
      const CellInfo& f = full->info[size_t(u)];
      ASSERT_EQ(0, std::memcmp(s.lineWindow, f.lineWindow, sizeof s.lineWindow))
          << at(c) << " / " << at(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.lineCode, f.lineCode, sizeof s.lineCode))
          << at(c) << " / " << at(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.moveScore, f.moveScore, sizeof s.moveScore))
          << at(c) << " / " << at(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.cellClass, f.cellClass, sizeof s.cellClass))
          << at(c) << " / " << at(CellIndex(u));
      ASSERT_EQ(s.nearCount, f.nearCount) << at(c) << " / " << at(CellIndex(u));
      ASSERT_EQ(0, std::memcmp(s.evalScore, before->info[size_t(u)].evalScore, sizeof s.evalScore))
          << at(c) << " / " << at(CellIndex(u));
    }
    ASSERT_EQ(0, std::memcmp(scratch->classCount, full->classCount, sizeof full->classCount)) << at(c);
    ASSERT_EQ(0, std::memcmp(scratch->evalSum, before->evalSum, sizeof before->evalSum)) << at(c);
    EXPECT_EQ(scratch->ply, full->ply);
    EXPECT_EQ(scratch->cells, full->cells);
    EXPECT_EQ(scratch->moveCount, full->moveCount);
    EXPECT_EQ(scratch->sideToMove, full->sideToMove);
    EXPECT_EQ(scratch->hash, full->hash);
    EXPECT_EQ(scratch->box, full->box);
    unmakeScratch(e);
    ASSERT_EQ("", snapshotDifference(*before, *takeSnapshot(e))) << at(c);
    ++tried;
  }
  EXPECT_EQ(225 - 24, tried);
}

TEST_P(LineStateByRule, ScratchStonesOfEitherColourAndSameSideStones) {
  Position g{uint8_t(GetParam())};
  Engine& e = *g.engine;
  Board& b = *g.board;
  Walker w(e, 5);
  const auto empty = takeSnapshot(e);

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
  ASSERT_EQ("", w.unmake());
  ASSERT_EQ("", w.unmake());
  ASSERT_EQ("", snapshotDifference(*empty, *takeSnapshot(e)));

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
    ASSERT_EQ("", w.unmake());
  }
  EXPECT_EQ("", snapshotDifference(*empty, *takeSnapshot(e)));
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

// A full move, a scratch move on top and both undone: exactly the state before the full move.
TEST_F(LineStateCases, ScratchOnTopOfFullMove) {
  Position g(RenjuRule);
  Engine& e = *g.engine;
  makeMove(e, cellOf(7, 7));
  makeMove(e, cellOf(8, 8));
  const auto before = takeSnapshot(e);
  makeMove(e, cellOf(7, 8));
  makeScratch(e, cellOf(7, 9));
  placeSameSide(e, cellOf(7, 10));
  removeSameSide(e);
  unmakeScratch(e);
  unmakeMove(e);
  EXPECT_EQ("", snapshotDifference(*before, *takeSnapshot(e)));
}

}  // namespace
}  // namespace kesta
