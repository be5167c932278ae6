// The searches as a move choice: decided roots answered at once, forced blocks, lost roots that still
// give a playable cell, root moves proven lost and skipped for the rest of the think; the node
// helpers (static value, depth step, nearness); nodes without moves; the ply limit that keeps the
// per-ply storage in bounds on long forcing lines; and the node-count signature of the bench.
#include "search/search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "rules/forbidden.h"
#include "search/decided.h"
#include "search/move_gen.h"
#include "search/think.h"
#include "support/position.h"
#include "support/processes.h"

namespace kesta {
namespace {

using testpos::coord;
using testpos::Game;

// ---------------------------------------------------------------------------------------------
// Root decisions

// Black to move has a closed four on row 7 (five at 11,7); White has an open four in column 3.
const char* const BlackFiveAndWhiteFour = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . O . . . . . . . . . . .
  . . . O . . . . . . . . . . .
  . . . O . . . . . . . . . . .
  . . . O . . . . . . . . . . .
  . . . . . . O X X X X . . . .
)";

TEST(SearchRoot, FiveIsPlayedAtOnceWithTheWinScore) {
  Game g(15, Freestyle);
  g.draw(BlackFiveAndWhiteFour, Black);
  g.e().Settings.TimeoutTurn = 300;
  const CellIndex move = think(g.e()).move;
  EXPECT_EQ(coord(move), "11,7");
  EXPECT_EQ(g.e().report.score, 20000);
  EXPECT_EQ(g.e().report.depth, 2) << "one iteration only";
  EXPECT_EQ(g.e().SearchCounter, 0) << "no node was searched";

  g.startThink();
  const RootResult r = rootSearch(g.e(), 2);
  EXPECT_EQ(coord(r.move), "11,7");
  EXPECT_EQ(r.score, 20000);
}

// White has a closed four on row 7 whose only five cell is 7,7; Black has nothing.
const char* const WhiteClosedFour = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . X . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . X O O O O . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . X . . . .
)";

TEST(SearchRoot, SingleForcedBlockStopsTheDeepening) {
  Game g(15, Freestyle);
  g.draw(WhiteClosedFour, Black);
  g.e().Settings.TimeoutTurn = 300;
  g.startThink();
  const RootResult r = rootSearch(g.e(), 2);
  EXPECT_EQ(coord(r.move), "7,7");
  EXPECT_TRUE(g.e().Stopped) << "a single root move needs no deeper iteration";
  EXPECT_GT(r.score, -DecidedScore);

  const CellIndex move = think(g.e()).move;
  EXPECT_EQ(coord(move), "7,7");
  EXPECT_TRUE(g.e().Stopped);
  EXPECT_EQ(g.e().SearchCounter, 0) << "the block was played without a search";
}

// Black to move has an open three on row 7; White has no threat.
const char* const BlackOpenThree = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . X X X . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . O . O . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . O . . . .
)";

TEST(SearchRoot, OpenFourIsMadeAndConverted) {
  Game g(15, Freestyle);
  g.draw(BlackOpenThree, Black);
  Engine& e = g.e();
  e.Settings.TimeoutTurn = 300;
  const CellIndex four = think(e).move;
  ASSERT_TRUE(coord(four) == "5,7" || coord(four) == "9,7") << coord(four);
  EXPECT_EQ(e.report.score, 19998);
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, cellX(four), cellY(four)), 0);
  // White blocks one end of the open four; Black completes five at the other.
  const bool left = coord(four) == "5,7";
  makeMove(e, cellOf(left ? 4 : 9, 7));
  e.ply = 0;
  const CellIndex five = think(e).move;
  EXPECT_EQ(coord(five), left ? "9,7" : "4,7");
  EXPECT_EQ(e.report.score, 20000);
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, cellX(five), cellY(five)), 1);
}

// White has two open threes that share no cell; Black, far away in the corners, cannot stop both.
const char* const WhiteDoubleThree = R"(
  . . . . . . . . . . . . . . .
  . X . . . . . . . . . . . X .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . X .
  . . . . . . . . . . . . . . .
  . . . . . O O O . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . O . . . . .
  . . . . . . . . . O . . . . .
  . . . . . . . . . O . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . X . X . . . . . . . . . X .
)";

TEST(SearchRoot, LostRootStillGivesAnEmptyCell) {
  Game g(15, Freestyle);
  g.draw(WhiteDoubleThree, Black);
  Engine& e = g.e();
  e.Settings.TimeoutTurn = 300;
  const CellIndex move = think(e).move;
  ASSERT_TRUE(g.emptyCell(move)) << "move " << move;
  EXPECT_TRUE(insideBoard(g.b(), cellX(move), cellY(move)));
  EXPECT_LE(e.report.score, -DecidedScore) << "at " << coord(move);
  // It answers the threat where it can: on one of the threes' lines.
  EXPECT_TRUE(cellY(move) == 5 || cellX(move) == 9) << coord(move);
}

// Under renju White's closed four can only be blocked at 7,4, where Black would make six.
const char* const BlackMustBlockOnAnOverline = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . X . . . . . . .
  . . . . . . . X . . . . . . .
  . . . . . . . X . . . . . . .
  . . X O O O O . . . . . . . .
  . . . . . . . X . . . . . . .
  . . . . . . . X . . . . . . .
)";

// The root sees the loss (its only block is Black's overline), but a foul would lose at once:
// think plays a legal cell instead and leaves the opponent to find the five.
TEST(SearchRoot, ForbiddenForcedBlockGivesWayToALegalMove) {
  Game g(15, RenjuRule);
  g.draw(BlackMustBlockOnAnOverline, Black);
  Engine& e = g.e();
  ASSERT_EQ(e.classCount[White][13], 1);
  ASSERT_TRUE(isForbidden(e, cellOf(7, 4)));
  e.Settings.TimeoutTurn = 300;
  const CellIndex move = think(e).move;
  EXPECT_EQ(e.report.score, -20000);
  ASSERT_NE(coord(move), "7,4");
  ASSERT_EQ(e.board->cells[move], Empty);
  EXPECT_FALSE(isForbidden(e, move));
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, cellX(move), cellY(move)), 0);
}

// Black to move: White has an open three on row 9, Black a closed three on row 3. The far blocks
// 3,9 and 9,9 lose to an open four; the near blocks 4,9 and 8,9 hold, and so do Black's fours on
// row 3, which only delay the block.
const char* const OpenThreeAgainstClosedThree = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . O X X X . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . O O O . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . X . .
)";

TEST(SearchRoot, LostRootMovesAreMarkedAndNotSearchedAgain) {
  Game g(15, Freestyle);
  g.draw(OpenThreeAgainstClosedThree, Black);
  Engine& e = g.e();
  e.Settings.TimeoutTurn = 2000;
  const std::set<std::string> losing = {"3,9", "9,9"};
  const std::set<std::string> holding = {"4,9", "8,9"};

  g.startThink();
  std::set<std::string> marked;
  int depth = 2;
  for (; depth <= 5 && marked.empty(); ++depth) {
    const RootResult r = rootSearch(e, depth);
    ASSERT_FALSE(e.Stopped) << "depth " << depth;
    EXPECT_FALSE(losing.count(coord(r.move))) << "depth " << depth << " chose " << coord(r.move);
    for (const MoveEntry& m : e.PlyLists[0].moves)
      if (e.cellInfo[m.cell].rootLoss) marked.insert(coord(m.cell));
  }
  ASSERT_FALSE(marked.empty()) << "no root move was found lost by depth 5";
  for (const std::string& cell : marked) EXPECT_TRUE(losing.count(cell)) << cell << " marked lost";
  for (const std::string& cell : holding) EXPECT_FALSE(marked.count(cell)) << cell << " marked lost";

  // A marked move keeps its ordering record untouched from now on: it is never searched again.
  constexpr int32_t Sentinel = 12345;
  for (MoveEntry& m : e.PlyLists[0].moves)
    if (e.cellInfo[m.cell].rootLoss) m.score = Sentinel;
  rootSearch(e, depth);
  for (const MoveEntry& m : e.PlyLists[0].moves) {
    if (!marked.count(coord(m.cell))) continue;
    EXPECT_EQ(m.score, Sentinel) << coord(m.cell) << " was searched again";
    EXPECT_EQ(e.cellInfo[m.cell].rootLoss, 1);
  }
}

// Black to move against an open three with nothing of its own: only the near blocks 4,9 and 8,9
// hold; the far blocks 3,9 and 9,9 lose.
const char* const LoneOpenThree = R"(
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . O O O . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . X . .
)";

TEST(SearchRoot, MovesMarkedLostAreSkippedUntilTheNextThink) {
  Game g(15, Freestyle);
  g.draw(LoneOpenThree, Black);
  Engine& e = g.e();
  const CellIndex left = cellOf(4, 9), right = cellOf(8, 9);

  g.startThink();
  const RootResult free = rootSearch(e, 2);
  ASSERT_TRUE(free.move == left || free.move == right) << coord(free.move);
  EXPECT_FALSE(e.Stopped) << "two root moves hold";
  ASSERT_EQ(e.PlyLists[0].moves.size(), 4u);
  const CellIndex other = free.move == left ? right : left;

  // The chosen block marked lost: the other block is the only move left that holds, so the
  // iteration stops with it.
  clearTable(*e.TransTable);
  g.startThink();
  e.cellInfo[free.move].rootLoss = 1;
  const RootResult second = rootSearch(e, 2);
  EXPECT_EQ(second.move, other) << coord(second.move);
  EXPECT_GT(second.score, -DecidedScore);
  EXPECT_TRUE(e.Stopped);

  // Both blocks marked: every move searched loses, and one of them is still returned.
  clearTable(*e.TransTable);
  g.startThink();
  e.cellInfo[left].rootLoss = e.cellInfo[right].rootLoss = 1;
  const RootResult lost = rootSearch(e, 2);
  EXPECT_TRUE(g.emptyCell(lost.move));
  EXPECT_NE(lost.move, left);
  EXPECT_NE(lost.move, right);
  EXPECT_LE(lost.score, -DecidedScore) << coord(lost.move);
  EXPECT_TRUE(e.Stopped);

  // A new think starts without marks and plays a block again.
  clearTable(*e.TransTable);
  e.cellInfo[left].rootLoss = e.cellInfo[right].rootLoss = 1;
  e.Settings.TimeoutTurn = 300;
  const CellIndex next = think(e).move;
  EXPECT_TRUE(next == left || next == right) << coord(next);
}

// ---------------------------------------------------------------------------------------------
// Node helpers

TEST(SearchNode, StaticValueAveragesTheLastTwoViews) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 8,7 6,7");
  Engine& e = g.e();
  const int S = g.b().sideToMove, O = g.b().opponent;
  const int32_t parentView = e.evalSum[S] - e.evalSum[O];
  // At the root the previous view is 0: half the current difference, truncated toward zero.
  e.diffHistory[0] = 0;
  EXPECT_EQ(staticValue(e), parentView / 2);
  e.diffHistory[0] = parentView - 3;
  EXPECT_EQ(staticValue(e), 1) << "3 / 2";
  e.diffHistory[0] = parentView + 3;
  EXPECT_EQ(staticValue(e), -1) << "-3 / 2 truncates toward zero";

  // One ply down the child sees the mean of its own difference and the parent's, negated.
  e.diffHistory[1] = parentView;
  makeMove(e, cellOf(9, 7));
  ASSERT_EQ(e.ply, 1);
  const int32_t childView = e.evalSum[O] - e.evalSum[S];
  EXPECT_EQ(staticValue(e), (childView - parentView) / 2);
  unmakeMove(e);
}

// Empty cells of the box that a stone's neighbourhood reaches, counted from the stones themselves:
// within two cells in both directions, or three cells along a line.
int candidateCount(const Board& b) {
  int n = 0;
  for (int y = b.box.yMin; y <= b.box.yMax; ++y)
    for (int x = b.box.xMin; x <= b.box.xMax; ++x) {
      if (b.cells[cellOf(x, y)] != Empty) continue;
      bool reached = false;
      for (int i = 0; i < b.moveCount && !reached; ++i) {
        const int dx = std::abs(cellX(b.moves[size_t(i)]) - x), dy = std::abs(cellY(b.moves[size_t(i)]) - y);
        reached = (dx <= 2 && dy <= 2) || (std::max(dx, dy) == 3 && (dx == 0 || dy == 0 || dx == dy));
      }
      n += reached;
    }
  return n;
}

TEST(SearchNode, DepthStepFollowsTheBranching) {
  Game g(15, Freestyle);
  Engine& e = g.e();
  // A lone stone: 32 candidate cells, more than one ply.
  g.play("7,7");
  ASSERT_EQ(candidateCount(g.b()), 32);
  EXPECT_FLOAT_EQ(depthStep(e), std::log(32.0f) / std::log(20.0f));
  // A quiet middle game: ln(candidates) / ln 20.
  g.play("8,8 6,8 9,6");
  EXPECT_NEAR(depthStep(e), std::log(float(candidateCount(g.b()))) / std::log(20.0f), 1e-5);

  // The opponent threatens exactly one five: the reply is forced and costs no depth.
  Game four(15, Freestyle);
  four.draw(WhiteClosedFour, Black);
  ASSERT_EQ(four.e().classCount[White][13], 1);
  EXPECT_EQ(depthStep(four.e()), 0.0f);

  // The opponent's open three: two cells make an open four, and two replies are counted for each.
  Game three(15, Freestyle);
  three.draw(BlackOpenThree, White);
  ASSERT_EQ(three.e().classCount[Black][12], 2);
  EXPECT_FLOAT_EQ(depthStep(three.e()), std::log(4.0f) / std::log(20.0f));
}

bool nearByDefinition(int xa, int ya, int xb, int yb) {
  const int dx = std::abs(xa - xb), dy = std::abs(ya - yb), d = std::max(dx, dy);
  return d <= 2 || (d <= 4 && (dx == 0 || dy == 0 || dx == dy));
}

TEST(SearchNode, NearnessOnTheWholeBoard) {
  int near = 0;
  for (int a = 0; a < 22 * 22; ++a)
    for (int b = 0; b < 22 * 22; ++b) {
      const int xa = a % 22, ya = a / 22, xb = b % 22, yb = b / 22;
      const bool expected = nearByDefinition(xa, ya, xb, yb);
      ASSERT_EQ(isNear(cellOf(xa, ya), cellOf(xb, yb)), expected)
          << xa << "," << ya << " and " << xb << "," << yb;
      near += expected;
    }
  EXPECT_GT(near, 0);
  // A missing move (cell 0) is near no board cell, in either order.
  for (int y = 0; y < 22; ++y)
    for (int x = 0; x < 22; ++x) {
      EXPECT_FALSE(isNear(0, cellOf(x, y))) << x << "," << y;
      EXPECT_FALSE(isNear(cellOf(x, y), 0)) << x << "," << y;
    }
}

// 6 by 6, renju, Black to move with two empty cells, both of them overlines for Black; no five or
// four for either side anywhere.
const char* const OnlyFoulsLeft = R"(
  X X X . X X
  O O X O O O
  O X O O X O
  X O O X O O
  O O X O O X
  X X . X X X
)";

TEST(SearchNode, NodeWithoutMovesReturnsItsStaticValueAndStoresNothing) {
  Game g(6, RenjuRule);
  g.draw(OnlyFoulsLeft, Black);
  Engine& e = g.e();
  Board& b = g.b();
  ASSERT_EQ(b.cellCount - b.moveCount, 2);
  ASSERT_TRUE(isForbidden(e, cellOf(3, 0)));
  ASSERT_TRUE(isForbidden(e, cellOf(2, 5)));
  ASSERT_EQ(decidedScore(e), 0);

  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.iterationDepth = 10;
  e.diffHistory[0] = 0;
  const int32_t v = staticValue(e);
  const uint64_t hash = b.hash;
  EXPECT_EQ(searchPV(e, 5.0f, -30000, 30000), v);
  EXPECT_EQ(searchZeroWindow(e, 5.0f, v - 1, v), v);
  EXPECT_FALSE(probe(*e.TransTable, hash).found) << "a node without moves stored a result";
  EXPECT_EQ(b.hash, hash);
  EXPECT_EQ(e.ply, 0);

  // The root has no candidate either; the deepening falls back to the best-scored near cell, which
  // is still an empty cell of the board (and a foul).
  const CellIndex move = think(e).move;
  EXPECT_TRUE(move == cellOf(3, 0) || move == cellOf(2, 5)) << move;
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, cellX(move), cellY(move)), -1);
}

// ---------------------------------------------------------------------------------------------
// The ply limit

// A quiet position: no three, so no threat search finds anything.
TEST(SearchPlyLimit, NodesAtTheLimitAreLeavesWhateverTheirDepth) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 6,9 10,5");
  Engine& e = g.e();
  const int32_t limit = leafPlyLimit(e);
  EXPECT_EQ(limit, PlyCount - e.ThreatSearchPlies - 2);
  EXPECT_EQ(limit, 138) << "with the default ThreatSearchPlies of 10";

  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.iterationDepth = 200;
  e.Settings.TimeoutTurn = 1000;
  e.ply = limit;
  e.diffHistory[limit] = 0;
  e.SearchCounter = 0;
  const int32_t v = staticValue(e);
  EXPECT_EQ(searchPV(e, 40.0f, -30000, 30000), v);
  EXPECT_EQ(e.SearchCounter, 0) << "the node at the limit searched moves";
  EXPECT_FALSE(probe(*e.TransTable, g.b().hash).found);

  // One ply above the limit the node is searched and stores its result.
  e.ply = limit - 1;
  e.diffHistory[limit - 1] = 0;
  searchPV(e, 1.0f, -30000, 30000);
  EXPECT_GT(e.SearchCounter, 0);
  EXPECT_TRUE(probe(*e.TransTable, g.b().hash).found);
  EXPECT_EQ(e.ply, limit - 1);
}

// Both sides have many closed threes, so long lines of fours and forced blocks run through the
// search; no side can make an open four.
const char* const ManyFours = R"(
  . . . . . . . . . . . . . . .
  O X X . X . . . X O O . O . .
  . . . . . . . . . . . . . . .
  X O O . O . . . O X X . X . .
  . . . . . . . . . . . . . . .
  O X X . X . . . X O O . O . .
  . . . . . . . . . . . . . . .
  X O O . O . . . O X X . X . .
  . . . . . . . . . . . . . . .
  O X X . X . . . X O O . O . .
  . . . . . . . . . . . . . . .
  X O O . O . . . O X X . X . .
  . . . . . . . . . . . . . . .
  O X X . X . . . X O O . O . .
  . . . . . . . . . . . . . . .
)";

constexpr int32_t Untouched = std::numeric_limits<int32_t>::min() + 12345;

// Marks the diffHistory entries from ply + 1 on; entry p is written only by a node at ply p - 1
// that gets as far as its move loop.
void markFrom(Engine& e, int32_t ply) {
  for (int p = ply + 1; p <= PlyCount; ++p) e.diffHistory[p] = Untouched;
}

// The deepest ply at which a node got to its move loop, or -1.
int deepestInteriorPly(const Engine& e) {
  for (int p = PlyCount; p >= 1; --p)
    if (e.diffHistory[p] != Untouched) return p - 1;
  return -1;
}

TEST(SearchPlyLimit, DeepThinkOnLongForcingLinesStaysInBounds) {
  for (uint8_t rule : {Freestyle, RenjuRule}) {
    SCOPED_TRACE(rule == Freestyle ? "freestyle" : "renju");
    Game g(15, rule);
    g.draw(ManyFours, Black);
    Engine& e = g.e();
    Board& b = g.b();
    ASSERT_EQ(e.classCount[Black][12] + e.classCount[White][12], 0);
    ASSERT_GE(e.classCount[Black][9] + e.classCount[Black][10] + e.classCount[Black][11], 8);
    ASSERT_GE(e.classCount[White][9] + e.classCount[White][10] + e.classCount[White][11], 8);
    e.MaxDepth = 200;
    e.Settings.TimeoutTurn = 700;
    markFrom(e, 0);
    const uint64_t hash = b.hash;
    const int32_t moves = b.moveCount;
    const CellIndex move = think(e).move;
    EXPECT_TRUE(g.emptyCell(move));
    EXPECT_LT(deepestInteriorPly(e), leafPlyLimit(e));
    EXPECT_EQ(e.ply, 0);
    EXPECT_EQ(b.moveCount, moves);
    EXPECT_EQ(b.hash, hash);
  }
}

// With no depth spent per ply only the ply limit ends a line: the think's lines run into it, and
// no node at the limit or beyond gets to its move loop.
TEST(SearchPlyLimit, UnspentDepthRunsIntoTheLimit) {
  struct Case {
    uint8_t rule;
    const char* art;
    const char* moves;
  };
  const Case cases[] = {{Freestyle, ManyFours, ""}, {RenjuRule, "", "7,7 8,8 6,9 10,5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule == Freestyle ? "freestyle" : "renju");
    Game g(15, c.rule);
    g.draw(c.art, Black);
    g.play(c.moves);
    Engine& e = g.e();
    Board& b = g.b();
    e.ExtensionCoefficient = 0.0f;
    e.MaxDepth = 200;
    e.Settings.TimeoutTurn = 600;
    markFrom(e, 0);
    const uint64_t hash = b.hash;
    const int32_t moves = b.moveCount;
    EXPECT_TRUE(g.emptyCell(think(e).move));
    EXPECT_EQ(deepestInteriorPly(e), leafPlyLimit(e) - 1) << "the lines did not reach the limit";
    EXPECT_EQ(e.ply, 0);
    EXPECT_EQ(b.moveCount, moves);
    EXPECT_EQ(b.hash, hash);
  }
}

// ---------------------------------------------------------------------------------------------
// The bench signature

#ifndef _WIN32
std::vector<std::string> runBench() {
  int status = -1;
  std::istringstream output(kesta_test::runTool("bench --depth 4", &status));
  EXPECT_EQ(status, 0) << "kesta-tool bench --depth 4";
  std::vector<std::string> lines;
  for (std::string line; std::getline(output, line);) lines.push_back(line);
  return lines;
}

// The node counts of every line: the number after each "nodes".
std::vector<std::string> nodeCounts(const std::vector<std::string>& lines) {
  std::vector<std::string> counts;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string word;
    while (in >> word)
      if (word == "nodes" && in >> word) counts.push_back(word);
  }
  return counts;
}

TEST(SearchBench, NodeCountsRepeatExactly) {
  const std::vector<std::string> first = runBench(), second = runBench();
  ASSERT_GE(first.size(), 3u);
  // The signature: the last two lines are "nodes N" and "nps X".
  const std::string& nodes = first[first.size() - 2];
  const std::string& nps = first.back();
  ASSERT_EQ(nodes.rfind("nodes ", 0), 0u) << nodes;
  ASSERT_EQ(nps.rfind("nps ", 0), 0u) << nps;
  const std::string total = nodes.substr(6), speed = nps.substr(4);
  ASSERT_FALSE(total.empty());
  EXPECT_EQ(total.find_first_not_of("0123456789"), std::string::npos) << nodes;
  EXPECT_EQ(speed.find_first_not_of("0123456789"), std::string::npos) << nps;
  EXPECT_GT(std::stoll(total), 0);

  // Every position's node count and the total repeat from run to run; the total is their sum.
  const std::vector<std::string> a = nodeCounts(first), b = nodeCounts(second);
  EXPECT_EQ(a, b);
  ASSERT_EQ(a.size(), first.size() - 2);  // every line but "time" and "nps"
  long long sum = 0;
  for (size_t i = 0; i + 1 < a.size(); ++i) sum += std::stoll(a[i]);
  EXPECT_EQ(sum, std::stoll(total));
}
#endif

}  // namespace
}  // namespace kesta
