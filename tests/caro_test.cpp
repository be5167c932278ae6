// Caro, standard (exactly five) and with overlines: a five wins unless the opponent's stones close
// both of its ends, the board's edge closes nothing, both sides are judged alike; and the engine's
// threats, decided positions and referee follow.
#include <gtest/gtest.h>

#include <string>

#include "rules/rule_tables.h"
#include "search/decided.h"
#include "search/think.h"
#include "support/position.h"
#include "tools/lib/referee.h"

namespace kesta {
namespace {

using testpos::ArtOptions;
using testpos::Position;

// The class of cell a for side in the art, drawn on row 7 from column originX.
int classAt(Rule rule, const std::string& art, int side, int originX = 3) {
  Position p(rule);
  ArtOptions opt;
  opt.originX = originX;
  opt.originY = 7;
  p.draw(art, opt);
  return p.e().cellInfo[p.at('a')].cellClass[side];
}

TEST(Caro, FivesClosedAtBothEndsOverlinesAndTheEdge) {
  for (Rule rule : {CaroRule, CaroOverlineRule}) {
    SCOPED_TRACE(int(rule));
    // OXXXXXO is no win, OXXXXX. and .XXXXX. are.
    EXPECT_NE(classAt(rule, "OXXXXaO", Black), ClassFive);
    EXPECT_EQ(classAt(rule, "OXXXXa.", Black), ClassFive);
    EXPECT_EQ(classAt(rule, ".XXXXa.", Black), ClassFive);
    // White alike.
    EXPECT_NE(classAt(rule, "XOOOOaX", White), ClassFive);
    EXPECT_EQ(classAt(rule, "XOOOOa.", White), ClassFive);
    // The edge closes nothing: a five from column 0 with a White stone beyond it wins.
    EXPECT_EQ(classAt(rule, "XXXXaO", Black, 0), ClassFive);
    EXPECT_EQ(classAt(rule, "OaXXXX", Black, 9), ClassFive);
  }
  // Six in a row: no win in standard caro, a win with overlines even between White stones.
  EXPECT_NE(classAt(CaroRule, ".XXXaXX.", Black), ClassFive);
  EXPECT_EQ(classAt(CaroOverlineRule, "OXXXaXXO", Black), ClassFive);
  // In freestyle the closed five wins.
  EXPECT_EQ(classAt(Freestyle, "OXXXXaO", Black), ClassFive);
}

TEST(Caro, FoursThatOneStoneStopsAreNoOpenFours) {
  // O.XXXX. has two fives to make, but White at the right end closes both: a four, not an open
  // four, under caro; an open four in freestyle.
  EXPECT_EQ(classAt(Freestyle, "O.XXXa..", Black), ClassOpenFour);
  for (Rule rule : {CaroRule, CaroOverlineRule}) EXPECT_LT(classAt(rule, "O.XXXa..", Black), ClassOpenFour);
  // .XXXX. stays an open four; OXXXX. (its five closed at both ends) is no four at all.
  EXPECT_EQ(classAt(CaroRule, "..XXXa..", Black), ClassOpenFour);
  EXPECT_LT(classAt(CaroRule, "OXXXa.O", Black), ClassFour);
}

// Black to move facing White's O.OOOO. pattern: one stone at the right end stops both fives, so
// Black is not lost, and the engine plays that stone.
TEST(Caro, OneStoneAgainstTwoFives) {
  Position p(CaroRule);
  ArtOptions opt;
  opt.originX = 3;
  opt.originY = 7;
  opt.sideToMove = Black;
  p.draw(R"(
    X.OOOOa
    .......
    X.X....
  )",
         opt);
  EXPECT_EQ(decidedScore(p.e()), 0);
  p.e().Settings.TimeoutTurn = 500;
  EXPECT_EQ(think(p.e()).move, p.at('a'));
}

// The check of a tournament manager's tester (rule 8): Black to move after h8 f8 g8 f9 i8 f7 j8 l8.
// k8 would close OXXXXXO, so Black must stop White's open three at f5, f6, f10 or f11.
TEST(Caro, TheManagersCheck) {
  for (Rule rule : {CaroOverlineRule, CaroRule}) {
    Position p(rule);
    p.play("7,7 5,7 6,7 5,8 8,7 5,6 9,7 11,7");
    p.e().Settings.TimeoutTurn = 300;
    const CellIndex move = think(p.e()).move;
    EXPECT_TRUE(move == cellOf(5, 4) || move == cellOf(5, 5) || move == cellOf(5, 9) || move == cellOf(5, 10))
        << testpos::coord(move);
  }
}

TEST(Caro, TheRefereeJudgesAlike) {
  tool::RefBoard b(15);
  for (int x = 1; x <= 4; ++x) b.set(x, 7, 0);
  b.set(0, 7, 1);
  b.set(6, 7, 1);
  EXPECT_FALSE(tool::isWinningMove(b, 5, 7, 0, tool::RuleCaro));  // OXXXXXO
  EXPECT_FALSE(tool::isWinningMove(b, 5, 7, 0, tool::RuleCaroOverline));
  EXPECT_TRUE(tool::isWinningMove(b, 5, 7, 0, tool::RuleFreestyle));
  b.set(6, 7, tool::NoStone);
  EXPECT_TRUE(tool::isWinningMove(b, 5, 7, 0, tool::RuleCaro));  // OXXXXX.
  b.set(6, 7, 0);
  EXPECT_FALSE(tool::isWinningMove(b, 5, 7, 0, tool::RuleCaro));  // six
  EXPECT_TRUE(tool::isWinningMove(b, 5, 7, 0, tool::RuleCaroOverline));
  tool::RefBoard edge(15);
  for (int x = 0; x <= 3; ++x) edge.set(x, 2, 1);
  edge.set(5, 2, 0);
  EXPECT_TRUE(tool::isWinningMove(edge, 4, 2, 1, tool::RuleCaro));  // the edge closes nothing
}

}  // namespace
}  // namespace kesta
