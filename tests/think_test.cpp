// The think entry before any search: the centre, the random neighbour of a lone central stone, the
// widened candidate area around a lone edge stone, the opening book and the full board; the time
// budget; applyAndJudge; and the millisecond clock the budget is measured with.
#include "search/think.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "core/clock.h"
#include "rules/forbidden.h"
#include "search/opening_book.h"
#include "search/search.h"
#include "search/search_clock.h"
#include "search/time_manager.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::coord;
using testpos::Game;

// Plays count stones, Black and White alternately, on cells coloured by ((x / 2) + y) mod 2: no
// line anywhere holds more than two stones of a colour in a row, so nobody ever has a five.
void fillWithoutFives(Game& g, int count) {
  std::vector<CellIndex> cells[2];
  const int n = g.b().size;
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) cells[((x >> 1) + y) & 1].push_back(cellOf(x, y));
  for (int i = 0; i < count; ++i) {
    const std::vector<CellIndex>& own = cells[i & 1];
    ASSERT_LT(size_t(i / 2), own.size());
    ASSERT_EQ(g.b().cells[own[size_t(i / 2)]], Empty);
    makeMove(g.e(), own[size_t(i / 2)]);
  }
  g.e().ply = 0;
}

// ---------------------------------------------------------------------------------------------
// Opening rules

TEST(ThinkOpening, FirstStoneGoesToTheCentre) {
  const std::map<int, std::string> centre = {
      {6, "3,3"}, {7, "3,3"}, {15, "7,7"}, {20, "10,10"}, {22, "11,11"}};
  for (const auto& [size, cell] : centre) {
    Game g(size, Freestyle);
    g.e().Stopped = 1;
    const uint8_t generation = g.e().TransTable->generation;
    EXPECT_EQ(coord(think(g.e()).move), cell) << "size " << size;
    EXPECT_TRUE(g.e().Stopped) << "think leaves the engine stopped";
    EXPECT_EQ(g.e().TransTable->generation, generation) << "no search";
  }
}

TEST(ThinkOpening, ReplyToACentralStoneIsAnyOfItsEightNeighbours) {
  for (const char* stone : {"7,7", "5,9"}) {
    SCOPED_TRACE(stone);
    Game g(15, Freestyle);
    g.play(stone);
    Engine& e = g.e();
    const CellIndex s = g.b().moves[0];
    const uint8_t generation = e.TransTable->generation;
    std::map<CellIndex, int> seen;
    for (int i = 0; i < 400; ++i) {
      const CellIndex reply = think(e).move;
      ASSERT_TRUE(g.emptyCell(reply)) << reply;
      const int dx = std::abs(cellX(reply) - cellX(s)), dy = std::abs(cellY(reply) - cellY(s));
      ASSERT_EQ(std::max(dx, dy), 1) << coord(reply) << " is no neighbour";
      seen[reply] += 1;
    }
    EXPECT_EQ(seen.size(), 8u) << "every neighbour occurs over 400 replies";
    for (const auto& [cell, count] : seen) EXPECT_GE(count, 10) << coord(cell);
    EXPECT_EQ(e.TransTable->generation, generation);
  }
}

struct CandidateState {
  Box box;
  std::array<uint8_t, BoardCells> nearCount;
};

CandidateState candidateState(Game& g) {
  CandidateState s{g.b().box, {}};
  for (int t = 0; t < BoardCells; ++t) s.nearCount[size_t(t)] = g.e().cellInfo[t].nearCount;
  return s;
}

std::string boxText(const Box& b) {
  return std::to_string(b.xMin) + "," + std::to_string(b.yMin) + " to " + std::to_string(b.xMax) + "," +
         std::to_string(b.yMax);
}

// The marks a lone stone at (x, y) gets with reach R on top of its own: every empty cell within
// three cells that has no mark gets one, and the cells 4 to R away along the four lines (walls
// included) get one more.
std::array<uint8_t, BoardCells> widenedMarks(const CandidateState& before, const Board& b, int x, int y,
                                             int reach) {
  std::array<uint8_t, BoardCells> marks = before.nearCount;
  for (int j = -3; j <= 3; ++j)
    for (int i = -3; i <= 3; ++i) {
      if (!insideBoard(b, x + i, y + j) || (i == 0 && j == 0)) continue;
      const CellIndex t = cellOf(x + i, y + j);
      if (b.cells[t] == Empty && marks[t] == 0) marks[t] = 1;
    }
  const int rays[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}};
  for (int r = 4; r <= reach; ++r)
    for (const auto& d : rays) marks[size_t((y + 5 + r * d[1]) * BoardSpan + x + 5 + r * d[0])] += 1;
  return marks;
}

TEST(ThinkOpening, LoneEdgeStoneWidensTheCandidateArea) {
  struct Case {
    int x, y, reach;
    const char* box;  // after the think
  };
  const Case cases[] = {
      {0, 7, 5, "0,2 to 5,12"}, {1, 7, 4, "0,3 to 5,11"},    {2, 7, 0, "0,4 to 5,10"},
      {7, 0, 5, "2,0 to 12,5"}, {14, 14, 5, "9,9 to 14,14"}, {13, 2, 4, "9,0 to 14,6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    Game g(15, Freestyle);
    g.play(std::to_string(c.x) + "," + std::to_string(c.y));
    Engine& e = g.e();
    e.Settings.TimeoutTurn = 100;
    const CandidateState before = candidateState(g);
    const uint8_t generation = e.TransTable->generation;
    const CellIndex reply = think(e).move;
    EXPECT_TRUE(g.emptyCell(reply));
    EXPECT_EQ(e.TransTable->generation, uint8_t(generation + 4)) << "the reply was searched";
    const CandidateState after = candidateState(g);
    EXPECT_EQ(boxText(after.box), c.box);
    const std::array<uint8_t, BoardCells> expected =
        c.reach == 0 ? before.nearCount : widenedMarks(before, g.b(), c.x, c.y, c.reach);
    for (int t = 0; t < BoardCells; ++t)
      EXPECT_EQ(int(after.nearCount[size_t(t)]), int(expected[size_t(t)]))
          << "nearCount at " << cellX(CellIndex(t)) << "," << cellY(CellIndex(t));
  }
}

TEST(ThinkOpening, StoneFourCellsFromTheEdgeGetsNeitherNeighbourNorWidening) {
  Game g(15, Freestyle);
  g.play("4,7");
  Engine& e = g.e();
  e.Settings.TimeoutTurn = 100;
  const CandidateState before = candidateState(g);
  const uint8_t generation = e.TransTable->generation;
  const CellIndex reply = think(e).move;
  EXPECT_TRUE(g.emptyCell(reply));
  EXPECT_EQ(e.TransTable->generation, uint8_t(generation + 4)) << "the reply was searched";
  EXPECT_EQ(boxText(g.b().box), boxText(before.box));
  EXPECT_EQ(candidateState(g).nearCount, before.nearCount);
}

TEST(ThinkOpening, FullBoardHasNoMoveAndTheLastEmptyCellIsPlayed) {
  Game full(6, Freestyle);
  fillWithoutFives(full, 36);
  ASSERT_EQ(full.b().moveCount, full.b().cellCount);
  EXPECT_EQ(think(full.e()).move, 0);

  Game last(6, Freestyle);
  fillWithoutFives(last, 35);
  last.e().Settings.TimeoutTurn = 300;
  CellIndex empty = 0;
  for (int t = 0; t < BoardCells; ++t)
    if (last.b().cells[t] == Empty) empty = CellIndex(t);
  EXPECT_EQ(think(last.e()).move, empty);
}

// The book generator's draws for the row-39 position: Black 7,7, White 8,8, Black 9,9.
TEST(ThinkOpening, BookAnswersAKnownPosition) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 9,9");
  Engine& e = g.e();
  const uint8_t generation = e.TransTable->generation;
  const std::set<std::string> replies = {"8,6", "7,8", "8,9", "7,9"};
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string reply = coord(think(e).move);
    ASSERT_TRUE(replies.count(reply)) << reply;
    seen.insert(reply);
  }
  EXPECT_EQ(seen, replies);
  EXPECT_EQ(e.TransTable->generation, generation) << "book replies need no search";

  // Row 52 for two stones: Black 7,7, White 8,8.
  Game two(15, Freestyle);
  two.play("7,7 8,8");
  const std::set<std::string> rowReplies = {"7,9", "9,7", "8,9", "8,7", "8,6", "7,8", "6,8", "7,5", "9,6"};
  for (int i = 0; i < 100; ++i) {
    const std::string reply = coord(think(two.e()).move);
    ASSERT_TRUE(rowReplies.count(reply)) << reply;
  }

  // The same shape mirrored: Black 9,5, White 8,6, Black 7,7.
  Game turned(15, Freestyle);
  turned.play("9,5 8,6 7,7");
  for (int i = 0; i < 50; ++i) {
    const CellIndex reply = bookLookup(turned.e(), turned.e().BookRandom);
    ASSERT_NE(reply, 0);
    EXPECT_TRUE(turned.emptyCell(reply)) << coord(reply);
  }
}

TEST(ThinkOpening, BookIsNotConsultedNearTheEdgeOrWhenSwitchedOff) {
  // Within five cells of an edge the book is silent and the search answers.
  Game edge(15, Freestyle);
  edge.play("4,4 5,5 6,6");
  EXPECT_EQ(bookLookup(edge.e(), edge.e().BookRandom), 0);

  Game g(15, Freestyle);
  g.play("7,7 8,8 9,9");
  Engine& e = g.e();
  ASSERT_NE(bookLookup(e, e.BookRandom), 0);
  e.UseOpeningBook = 0;
  e.Settings.TimeoutTurn = 100;
  const uint8_t generation = e.TransTable->generation;
  const CellIndex reply = think(e).move;
  EXPECT_TRUE(g.emptyCell(reply));
  EXPECT_EQ(e.TransTable->generation, uint8_t(generation + 4)) << "the position went to the search";
}

TEST(ThinkOpening, UniformDraw) {
  std::mt19937_64 generator(7);
  const std::mt19937_64 untouched = generator;
  for (int i = 0; i < 10; ++i) EXPECT_EQ(uniformDraw(generator, 1), 0u);
  EXPECT_TRUE(generator == untouched) << "k = 1 draws nothing";

  std::map<uint64_t, int> counts;
  for (int i = 0; i < 3000; ++i) counts[uniformDraw(generator, 3)] += 1;
  ASSERT_EQ(counts.size(), 3u);
  for (const auto& [value, count] : counts) {
    EXPECT_LT(value, 3u);
    EXPECT_GT(count, 800) << value;
  }
  // The draw for k is r mod k of the first accepted 64-bit value; for small k practically every
  // value is accepted.
  std::mt19937_64 a(11), b(11);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(uniformDraw(a, 10), b() % 10);
}

// ---------------------------------------------------------------------------------------------
// Time budget

TEST(ThinkTimeBudget, SmallerOfTheTurnLimitAndTheClocksShareOfTheMovesToGo) {
  // The built-in reserve, 60 ms, was measured: the smallest that gave no move over its limit in
  // soaks of suspended brains sharing a core with a CPU-bound competitor.
  ASSERT_EQ(DefaultTimeReserve, 60);
  Game empty(15, Freestyle);
  EXPECT_EQ(movesToGo(empty.e()), 15);
  EXPECT_EQ(timeBudget(empty.e()), 4940) << "defaults: TimeoutTurn 5000, no match clock";
  EXPECT_EQ(hardTimeLimit(empty.e()), 4940);
  EXPECT_FALSE(clockBound(empty.e()));

  // Gomocup's 180 s / 30 s scaled down twentyfold, four stones played: 9000 / 13.
  Game opening(20, Freestyle);
  fillWithoutFives(opening, 4);
  Engine& e = opening.e();
  e.Settings.TimeoutTurn = 1500;
  e.Settings.TimeLeft = 9000;
  EXPECT_EQ(movesToGo(opening.e()), 13);
  EXPECT_TRUE(clockBound(e));
  EXPECT_EQ(timeBudget(e), 692 - 60);
  EXPECT_EQ(hardTimeLimit(e), 1500 - 60) << "a fifth of 9000 is more than the turn";
  e.TimeReserve = 250;
  EXPECT_EQ(timeBudget(e), 442);
  EXPECT_EQ(hardTimeLimit(e), 1250);
  e.Settings.TimeLeft = 5000;
  EXPECT_EQ(hardTimeLimit(e), 1000 - 250);
  e.Settings.TimeLeft = 40000;
  EXPECT_FALSE(clockBound(e)) << "40000 / 13 exceeds the turn limit";
  EXPECT_EQ(timeBudget(e), 1250);

  // Late in a game eight own moves stay in the plan; a small board's empty cells bound it too.
  Game late(15, Freestyle);
  fillWithoutFives(late, 200);
  EXPECT_EQ(movesToGo(late.e()), 8);
  late.e().Settings.TimeLeft = 7000;
  EXPECT_EQ(timeBudget(late.e()), 875 - 60);
  EXPECT_EQ(hardTimeLimit(late.e()), 1400 - 60);
  Game small(6, Freestyle);
  fillWithoutFives(small, 31);
  EXPECT_EQ(movesToGo(small.e()), 3) << "five empty cells: Black plays three of them at most";

  // No overflow at the largest limits the protocol can send, nor with the largest reserve.
  empty.e().Settings.TimeoutTurn = std::numeric_limits<int32_t>::max();
  empty.e().Settings.TimeLeft = std::numeric_limits<int32_t>::max();
  EXPECT_EQ(timeBudget(empty.e()), std::numeric_limits<int32_t>::max() / 15 - 60);
  empty.e().Settings.TimeoutTurn = 1;
  empty.e().Settings.TimeLeft = 1;
  empty.e().TimeReserve = MaxTimeReserve;
  EXPECT_EQ(timeBudget(empty.e()), 0 - MaxTimeReserve) << "1 / 15 is 0";
  EXPECT_EQ(hardTimeLimit(empty.e()), 0 - MaxTimeReserve);
}

// After each iteration the deepening asks the think's clock whether to go on.
TEST(ThinkTimeBudget, DeepeningStopsByTheClassicRuleOrTheMatchClocksTarget) {
  Game g(20, Freestyle);
  fillWithoutFives(g, 4);
  Engine& e = g.e();
  const CellIndex a = cellOf(9, 9), b = cellOf(10, 10);
  // A turn limit alone: past 70% of the budget, an iteration of 2/9 of it is the last.
  e.Settings.TimeoutTurn = 5000;
  ThinkClock classic(e);
  EXPECT_FALSE(classic.clockBound());
  EXPECT_TRUE(classic.startNext(e, {6, a, 0, 1000, 3600, true}));
  EXPECT_FALSE(classic.startNext(e, {6, a, 0, 1100, 3600, true}));

  // A match clock: 12000 / 13 - 60 = 863 ms aimed for, 1440 at most.
  e.Settings.TimeoutTurn = 1500;
  e.Settings.TimeLeft = 12000;
  ThinkClock clock(e);
  ASSERT_TRUE(clock.clockBound());
  EXPECT_TRUE(clock.startNext(e, {4, a, 10, 5, 10, true}));
  EXPECT_EQ(clock.targetMs(), 863);
  EXPECT_TRUE(clock.startNext(e, {5, a, 10, 300, 500, true}));
  EXPECT_FALSE(clock.startNext(e, {6, a, 10, 480, 500, true})) << "it could not finish by 1440";
  EXPECT_FALSE(clock.startNext(e, {7, a, 10, 10, 870, true})) << "past the target";
  // A new best move, or a score that falls, stretches the target up to the hard limit.
  ThinkClock unstable(e);
  EXPECT_TRUE(unstable.startNext(e, {4, a, 10, 5, 10, true}));
  EXPECT_TRUE(unstable.startNext(e, {5, b, 10, 100, 200, true}));
  EXPECT_EQ(unstable.targetMs(), 863 * 3 / 2);
  EXPECT_TRUE(unstable.startNext(e, {6, b, 10, 200, 950, true})) << "over 863, under the target still stretched";
  ThinkClock falling(e);
  EXPECT_TRUE(falling.startNext(e, {4, a, 50, 5, 10, true}));
  EXPECT_TRUE(falling.startNext(e, {5, a, -50, 100, 200, true}));
  EXPECT_EQ(falling.targetMs(), 863 * 3 / 2);
  // A best move that stands for six iterations cuts it.
  ThinkClock stable(e);
  for (int depth = 4; depth < 9; ++depth) EXPECT_TRUE(stable.startNext(e, {depth, a, 10, 5, 10, true}));
  EXPECT_EQ(stable.targetMs(), 863);
  EXPECT_TRUE(stable.startNext(e, {9, a, 10, 5, 10, true}));
  EXPECT_EQ(stable.targetMs(), 863 * 8 / 10);
  EXPECT_FALSE(stable.startNext(e, {10, a, 10, 100, 700, true}));

  // A match clock with time to spare (6000 / 13 is over the 250 ms turn): the move may use its
  // whole turn, 190 ms: no early stop at the root, and iterations start until the hard limit.
  e.Settings.TimeoutTurn = 250;
  e.Settings.TimeLeft = 6000;
  e.Settings.TimeoutMatch = 6000;
  ThinkClock whole(e);
  EXPECT_FALSE(whole.clockBound());
  EXPECT_EQ(rootStopMs(e), 190);
  EXPECT_TRUE(whole.startNext(e, {5, a, 10, 50, 150, true})) << "past 70% of the budget, and cut at 190";
  EXPECT_EQ(whole.targetMs(), 190);
  EXPECT_FALSE(whole.startNext(e, {6, a, 10, 40, 190, true}));
  // Without a match clock the same turn keeps the classic rule.
  e.Settings.TimeoutMatch = e.Settings.TimeLeft = NoMatchClock;
  ThinkClock turnOnly(e);
  EXPECT_FALSE(turnOnly.startNext(e, {5, a, 10, 50, 150, true}));
  EXPECT_EQ(rootStopMs(e), 190 - 190 / 4);
}

TEST(ThinkTimeBudget, LargestLimitsThinkWithoutOverflow) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 7,8 7,6 8,7 9,9 6,7 5,7 9,7");
  Engine& e = g.e();
  e.Settings.TimeoutTurn = std::numeric_limits<int32_t>::max();
  e.Settings.TimeLeft = std::numeric_limits<int32_t>::max();
  // Black has a four on row 7: White's block is forced and played without a search.
  EXPECT_EQ(coord(think(e).move), "10,7");
}

// A fresh table is put to use in proportion to the think's budget, so that short games do not
// fault in pages they cannot fill; it keeps that size until it is emptied.
TEST(ThinkTimeBudget, FreshTableIsSizedToTheBudget) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 7,8 9,6");
  Engine& e = g.e();
  const TranspositionTable& t = *e.TransTable;
  const auto search = [&] {
    e.ThinkStartMs = nowMs();
    e.Stopped = 0;
    searchPosition(e);
  };
  e.Settings.TimeoutTurn = 100;  // a 40 ms budget: 163,840 buckets wanted
  search();
  EXPECT_EQ(t.mask + 1, 1u << 17);
  EXPECT_FALSE(t.largePages) << "a first touch of 2 MiB could cost a timed think its clock";
  e.Settings.NodeLimit = 2000;  // would take the whole table, but this one holds entries
  search();
  EXPECT_EQ(t.mask + 1, 1u << 17);
  EXPECT_FALSE(t.largePages);
  clearTable(*e.TransTable);
  search();
  EXPECT_EQ(t.mask + 1, t.count);
  EXPECT_EQ(t.largePages, t.bytes != 0) << "the system's memory, not a heap table, takes the advice";
  e.Settings.NodeLimit = 0;
  clearTable(*e.TransTable);
  search();
  EXPECT_FALSE(t.largePages) << "the next timed game goes back to the usual pages";
}

TEST(ThinkClock, ElapsedTimeIsExactAcrossTheWrap) {
  constexpr int32_t Max = std::numeric_limits<int32_t>::max(), Min = std::numeric_limits<int32_t>::min();
  EXPECT_EQ(elapsedMs(Max - 5, Min + 4), 10);
  EXPECT_EQ(elapsedMs(-10, 5), 15);
  EXPECT_EQ(elapsedMs(Min, Max), -1) << "a reading just before the start";
  EXPECT_EQ(elapsedMs(1234, 1234), 0);
  // Readings never go backwards.
  int32_t previous = nowMs();
  for (int i = 0; i < 10000; ++i) {
    const int32_t now = nowMs();
    ASSERT_GE(elapsedMs(previous, now), 0);
    previous = now;
  }
}

// ---------------------------------------------------------------------------------------------
// applyAndJudge

TEST(ThinkApplyAndJudge, FiveIsOneAndTheMoveIsMade) {
  Game g(15, Freestyle);
  g.play("7,7 7,8 8,7 8,8 9,7 9,8 10,7 10,8");
  Engine& e = g.e();
  ASSERT_EQ(e.cellInfo[cellOf(11, 7)].cellClass[Black], 13);
  // Stopped clear: nothing happens.
  e.Stopped = 0;
  EXPECT_EQ(applyAndJudge(e, 11, 7), 0);
  EXPECT_EQ(g.b().moveCount, 8);
  EXPECT_EQ(g.b().cells[cellOf(11, 7)], Empty);
  // Stopped set: the five is made and judged.
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, 11, 7), 1);
  EXPECT_EQ(g.b().moveCount, 9);
  EXPECT_EQ(g.b().cells[cellOf(11, 7)], Black);
  EXPECT_EQ(g.b().sideToMove, White);
  // A quiet move is made and judged 0.
  EXPECT_EQ(applyAndJudge(e, 3, 3), 0);
  EXPECT_EQ(g.b().cells[cellOf(3, 3)], White);
}

// Black's 7,7 would make two open threes; White's stones are in the corners.
const char* const BlackDoubleThree = R"(
  O . . . . . . . . . . . . . O
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . X . . . . . . .
  . . . . . . . X . . . . . . .
  . . . . . X X . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  . . . . . . . . . . . . . . .
  O . . . . . . . . . . . . . O
)";

TEST(ThinkApplyAndJudge, RenjuFoulIsMinusOneAndStillMade) {
  Game g(15, RenjuRule);
  g.draw(BlackDoubleThree, Black);
  Engine& e = g.e();
  ASSERT_TRUE(isForbidden(e, cellOf(7, 7)));
  e.Stopped = 0;
  EXPECT_EQ(applyAndJudge(e, 7, 7), 0);
  EXPECT_EQ(g.b().cells[cellOf(7, 7)], Empty);
  e.Stopped = 1;
  EXPECT_EQ(applyAndJudge(e, 7, 7), -1);
  EXPECT_EQ(g.b().cells[cellOf(7, 7)], Black);
  EXPECT_EQ(g.b().sideToMove, White);

  // The same cell is no foul in freestyle, nor for White under renju.
  Game free(15, Freestyle);
  free.draw(BlackDoubleThree, Black);
  free.e().Stopped = 1;
  EXPECT_EQ(applyAndJudge(free.e(), 7, 7), 0);
  Game white(15, RenjuRule);
  white.draw(std::string(BlackDoubleThree), White);
  white.e().Stopped = 1;
  EXPECT_EQ(applyAndJudge(white.e(), 7, 7), 0);
  EXPECT_EQ(white.b().cells[cellOf(7, 7)], White);
}

// Black to move: 7,7 joins 3..6 and 8,7 into six.
TEST(ThinkApplyAndJudge, SixIsFiveOnlyInFreestyle) {
  const char* moves = "3,7 3,9 4,7 4,9 5,7 5,9 6,7 6,9 8,7 12,12";
  const struct {
    uint8_t rule;
    int judged;
  } cases[] = {{Freestyle, 1}, {ExactFiveRule, 0}, {RenjuRule, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(int(c.rule));
    Game g(15, c.rule);
    g.play(moves);
    g.e().Stopped = 1;
    EXPECT_EQ(applyAndJudge(g.e(), 7, 7), c.judged);
    EXPECT_EQ(g.b().cells[cellOf(7, 7)], Black);
  }
}

}  // namespace
}  // namespace kesta
