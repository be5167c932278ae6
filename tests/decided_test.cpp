// Decided positions: each rule of decidedScore under each rule mode, scored from the side to
// move S and counted from the search root (ply), including the four-three scan and the freestyle
// refutation of a double-three move with its transposition-table short cut. Every call must leave
// the position exactly as it found it.
#include "search/decided.h"

#include <gtest/gtest.h>

#include <string>

#include "rules/forbidden.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::ArtOptions;
using testpos::fromArt;
using testpos::WhiteFourBlockedOnBlackDoubleFour;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

constexpr uint8_t AllRules[3] = {Freestyle, ExactFiveRule, RenjuRule};

std::string ruleName(uint8_t rule) {
  return rule == Freestyle ? "freestyle" : rule == ExactFiveRule ? "exact five" : "renju";
}

// decidedScore at the given ply; lastMoveClass is the class the move into the node had for its
// maker (8: it made a double open three).
int32_t decided(Position& p, int32_t ply, uint8_t lastMoveClass = 3) {
  p.e().ply = ply;
  p.e().currentMoveClass[0] = lastMoveClass;
  const StateSnapshot before(p.e());
  const int32_t r = decidedScore(p.e());
  EXPECT_TRUE(sameState(before, StateSnapshot(p.e())));
  return r;
}

std::string swapColours(std::string art) {
  for (char& c : art) c = c == 'X' ? 'O' : c == 'O' ? 'X' : c;
  return art;
}

// ---------------------------------------------------------------------------------------------
// Fives

TEST(DecidedFive, OwnFiveWinsEvenAgainstOpponentFives) {
  // Black's closed four (five cell right of it) against White's open four.
  for (uint8_t rule : AllRules) {
    auto p = fromArt(rule, R"(
      . . . . . . . . . . .
      . O X X X X . . . . .
      . . . . . . . . . . .
      . . O O O O . . . . .
      . . . . . . . . . . .
    )");
    EXPECT_EQ(decided(*p, 3), 20000 - 3) << ruleName(rule);
  }
}

TEST(DecidedFive, TwoOpponentFivesLose) {
  for (uint8_t rule : AllRules) {
    auto p = fromArt(rule, R"(
      . . . . . . . . . . .
      . O X X X . . . . . .
      . . . . . . . . . . .
      . . O O O O . . . . .
      . . . . . . . . . . .
    )");
    EXPECT_EQ(decided(*p, 3), 3 - 19999) << ruleName(rule);
  }
}

TEST(DecidedFive, SingleOpponentFiveMustBeBlocked) {
  // Black has open-four cells of its own, but the block comes first: nothing is decided.
  for (uint8_t rule : {Freestyle, ExactFiveRule}) {
    auto p = fromArt(rule, WhiteFourBlockedOnBlackDoubleFour);
    EXPECT_EQ(decided(*p, 2), 0) << ruleName(rule);
  }
  // Under renju the block is Black's foul: lost, with White's five on the next ply.
  auto p = fromArt(RenjuRule, WhiteFourBlockedOnBlackDoubleFour);
  ASSERT_TRUE(isForbidden(p->e(), p->at('b')));
  EXPECT_EQ(decided(*p, 2), 2 - 19999);
  EXPECT_EQ(decided(*p, 2, 8), 2 - 19999);
}

TEST(DecidedFive, RenjuBlockThatIsAllowedOrWhiteToMove) {
  // Without Black's horizontal three the block is an ordinary move for Black.
  auto allowed = fromArt(RenjuRule, R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . X .
    . . . . . . . . . . O . .
    . . . . . . X . . O . . .
    . . . . . . X . O . . . .
    . . . . . . X O . . . . .
    . . . . . . b . . . . . .
    . . . . . . . . . . . . .
  )");
  EXPECT_EQ(decided(*allowed, 1), 0);
  // White must block Black's four; White has no forbidden cells.
  auto white = fromArt(RenjuRule, swapColours(WhiteFourBlockedOnBlackDoubleFour), {.sideToMove = White});
  EXPECT_EQ(decided(*white, 1), 0);
}

// ---------------------------------------------------------------------------------------------
// Open fours and four-threes

TEST(DecidedOpenFour, OwnOpenFourCellWinsAgainstOpponentOpenFourCells) {
  for (uint8_t rule : AllRules) {
    auto p = fromArt(rule, R"(
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . X X X . . . . .
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . O O O . . . . .
      . . . . . . . . . . . .
    )");
    EXPECT_EQ(decided(*p, 4), 19998 - 4) << ruleName(rule);
  }
}

// k makes a four on row 5 (five cell (7,5)) and an open three on column 6: a four-three. White
// has two lone stones.
const char* const FourThreeArt = R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . O X X X k . . . . . . . .
    . . . . . . X . . . . . . . .
    . . . . . . X . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . O . O . . . .
  )";

// The same with a closed White three far away, so White has four cells.
const char* const FourThreeAgainstThreeArt = R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . O X X X k . . . . . . . .
    . . . . . . X . . . . . . . .
    . . . . . . X . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . X O O O . .
  )";

TEST(DecidedFourThree, OpponentWithoutFourCellsLoses) {
  for (uint8_t rule : AllRules) {
    auto p = fromArt(rule, FourThreeArt);
    ASSERT_EQ(int(p->e().cellInfo[p->at('k')].cellClass[Black]), 11) << ruleName(rule);
    EXPECT_EQ(decided(*p, 1), 19996 - 1) << ruleName(rule);
  }
}

TEST(DecidedFourThree, ForcedDefenceWithoutAFourLosesInFreestyle) {
  // White has four cells, but the forced block at (7,5) gives White no four.
  auto p = fromArt(Freestyle, FourThreeAgainstThreeArt);
  EXPECT_EQ(decided(*p, 2), 19996 - 2);
}

TEST(DecidedFourThree, ScanSkippedUnderExactFiveAndForBlackUnderRenju) {
  for (uint8_t rule : {ExactFiveRule, RenjuRule}) {
    auto p = fromArt(rule, FourThreeAgainstThreeArt);
    EXPECT_EQ(decided(*p, 2), 0) << ruleName(rule);
  }
  // White to move under renju is scanned like freestyle.
  auto white = fromArt(RenjuRule, swapColours(FourThreeAgainstThreeArt), {.sideToMove = White});
  EXPECT_EQ(decided(*white, 2), 19996 - 2);
}

TEST(DecidedFourThree, ForcedDefenceThatMakesAFourDoesNotDecide) {
  // White's closed three on column 7 makes the forced block (7,5) a White four.
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . O X X X k . . . . . . . .
    . . . . . . X O . . . . . . .
    . . . . . . X O . . . . . . .
    . . . . . . . O . . . . . . .
    . . . . . . . X . . . . . . .
  )");
  EXPECT_EQ(decided(*p, 2), 0);
  EXPECT_EQ(decided(*p, 2, 8), 0);  // nor do the double-three rules: White has four cells
}

TEST(DecidedFourThree, LaterFourThreeCellStillDecides) {
  // The first four-three in scan order (row 5) is answered by a White four; the second one
  // (row 12) is not.
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . O X X X k . . . . . . . .
    . . . . . . X O . . . . . . .
    . . . . . . X O . . . . . . .
    . . . . . . . O . . . . . . .
    . . . . . . . X . . . . . . .
    . . . . . . . . . . . . X . .
    . . . . . . . . . . . . X . .
    . . . . . . . . O X X X m . .
    . . . . . . . . . . . . . . .
  )");
  ASSERT_EQ(p->e().classCount[Black][11], 2);
  EXPECT_EQ(decided(*p, 2), 19996 - 2);
}

// ---------------------------------------------------------------------------------------------
// After a double-three move (freestyle only)

TEST(DecidedDoubleThree, OwnDoubleThreeWinsWhenOpponentHasNoFour) {
  // Black's double-three cell against White's lone stones.
  const char* art = R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . X . . . . .
    . . . . . X . . . . .
    . . . X X . . . . . .
    . . . . . . . . . . .
    . . . . . . . . O . O
  )";
  auto p = fromArt(Freestyle, art);
  EXPECT_EQ(decided(*p, 2, 8), 19996 - 2);
  EXPECT_EQ(decided(*p, 2, 7), 0);  // the move into the node made no double three
  for (uint8_t rule : {ExactFiveRule, RenjuRule}) {
    auto q = fromArt(rule, art);
    EXPECT_EQ(decided(*q, 2, 8), 0) << ruleName(rule);
  }
}

// White has just made two open threes (four open-four cells); Black has nothing.
const char* const WhiteDoubleThreeArt = R"(
    . . . . . . . . . . . . . . .
    . X . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . . . . . . .
    . . . . O O O . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . X .
  )";

TEST(DecidedDoubleThree, RefutationWithoutFoursLoses) {
  auto p = fromArt(Freestyle, WhiteDoubleThreeArt);
  ASSERT_EQ(p->e().classCount[White][12], 4);
  EXPECT_EQ(decided(*p, 3, 8), 3 - 19997);
  EXPECT_EQ(decided(*p, 3, 3), 0);
  for (uint8_t rule : {ExactFiveRule, RenjuRule}) {
    auto q = fromArt(rule, WhiteDoubleThreeArt);
    EXPECT_EQ(decided(*q, 3, 8), 0) << ruleName(rule);
  }
}

TEST(DecidedDoubleThree, PositionInTheTableIsNotRefutedAgain) {
  auto p = fromArt(Freestyle, WhiteDoubleThreeArt);
  const ProbeResult pr = probe(*p->e().TransTable, p->b().hash);
  ASSERT_FALSE(pr.found);
  store(*p->e().TransTable, pr.slot, p->b().hash, 0, 3, BoundLower, 0);
  EXPECT_EQ(decided(*p, 3, 8), 0);
}

TEST(DecidedDoubleThree, FoursFarAwayDoNotHelp) {
  // Black's two four cells on row 12 are both played (total 2) without touching White's
  // threats: lost, two plies later for each pair of stones (Black's four and White's block).
  std::string art = WhiteDoubleThreeArt;
  art += ". . . . . . . . . . . . . . .\n. . . . . . . . . . . . . . .\n. O X X X . . O . . . . . . .\n";
  auto p = fromArt(Freestyle, art);
  EXPECT_EQ(decided(*p, 3, 8), 2 + 3 - 19997);
  const StateSnapshot before(p->e());
  EXPECT_EQ(doubleThreeRefutation(p->e()), 2 + 3 - 19997);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(DecidedDoubleThree, SweepsGoOnWhileFoursRemain) {
  // Without the White stone at the end of row 12 every pair of stones leaves a new four in
  // freestyle (the five-or-more line grows): the sweeps play (5,12) to (14,12), ten stones.
  std::string art = WhiteDoubleThreeArt;
  art += ". . . . . . . . . . . . . . .\n. . . . . . . . . . . . . . .\n. O X X X . . . . . . . . . .\n";
  auto p = fromArt(Freestyle, art);
  EXPECT_EQ(decided(*p, 3, 8), 10 + 3 - 19997);
}

TEST(DecidedDoubleThree, FourOnAnOpenFourCellRefutes) {
  // Black's four cells on column 7 include (7,7), one of White's open-four cells: playing them
  // changes White's count of open-four cells, so the double three is not decisive.
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . . . . . . . .
    . X . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . O . . . . .
    . . . . . . . . . . . . . . .
    . . . . O O O . . . . . . . .
    . . . . . . . X . . . . . . .
    . . . . . . . X . . . . . . .
    . . . . . . . X . . . . . . .
    . . . . . . . O . . . . . . .
  )");
  EXPECT_EQ(decided(*p, 3, 8), 0);
  const StateSnapshot before(p->e());
  EXPECT_EQ(doubleThreeRefutation(p->e()), 0);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

}  // namespace
}  // namespace kesta
