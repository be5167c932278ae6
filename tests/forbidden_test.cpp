// Renju forbidden moves for Black: overlines, double fours (on two lines and within one line),
// double threes with the recursive test of whether a three is real, and five beating every foul.
// Most positions are drawn as art in which F marks every cell expected to be forbidden; every
// other empty cell of the board must be allowed. No test may leave the state changed.
#include "rules/forbidden.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/position.h"
#include "support/processes.h"

namespace kesta {
namespace {

using testpos::ArtOptions;
using testpos::coord;
using testpos::fromArt;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

// The art's region with X and O for stones, F for cells forbidden for Black, '.' otherwise.
std::string forbiddenMap(Position& p) {
  std::string map;
  for (int y = p.artY; y < p.artY + p.artHeight; ++y) {
    for (int x = p.artX; x < p.artX + p.artWidth; ++x) {
      const CellIndex t = cellOf(x, y);
      const uint8_t code = p.b().cells[t];
      map += code == Black ? 'X' : code == White ? 'O' : isForbidden(p.e(), t) ? 'F' : '.';
      map += x + 1 < p.artX + p.artWidth ? " " : "\n";
    }
  }
  return map;
}

// The map the art asks for: its stones and F marks; labels and other marks are plain cells.
std::string expectedMap(const std::string& art) {
  std::string map;
  for (const std::string& row : testpos::artRows(art)) {
    for (size_t i = 0; i < row.size(); ++i) {
      const char c = row[i];
      map += c == 'X' || c == 'O' || c == 'F' ? c : '.';
      map += i + 1 < row.size() ? " " : "\n";
    }
  }
  return map;
}

// Forbidden cells of the board that the art does not show.
std::vector<std::string> forbiddenOutsideArt(Position& p) {
  std::vector<std::string> found;
  for (int y = 0; y < p.b().size; ++y)
    for (int x = 0; x < p.b().size; ++x) {
      const bool inside = x >= p.artX && x < p.artX + p.artWidth && y >= p.artY && y < p.artY + p.artHeight;
      if (!inside && isForbidden(p.e(), cellOf(x, y))) found.push_back(coord(cellOf(x, y)));
    }
  return found;
}

// Sets up the art under renju and checks that exactly its F cells are forbidden, with either
// side to move (the test does not look at the turn), and that nothing changed.
std::unique_ptr<Position> expectForbiddenExactly(const std::string& art, ArtOptions opt = {}) {
  auto p = fromArt(RenjuRule, art, opt);
  const StateSnapshot before(p->e());
  const std::string expected = expectedMap(art);
  EXPECT_EQ(forbiddenMap(*p), expected);
  EXPECT_EQ(forbiddenOutsideArt(*p), std::vector<std::string>{});
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
  p->setSideToMove(White);
  EXPECT_EQ(forbiddenMap(*p), expected) << "with White to move";
  p->setSideToMove(opt.sideToMove);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
  return p;
}

// ---------------------------------------------------------------------------------------------
// Overline

TEST(ForbiddenOverline, SixOrSevenInARowIsForbiddenAndExactlyFiveIsNot) {
  // Row 2: the gap makes six. Row 7: F makes six, while a makes exactly five. Row 12: seven.
  // The rows are five apart, so no other line holds three stones within reach.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . X X X F X X . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . X F X X X X a . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . X X X F X X X . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].cellClass[Black]), 13);
}

TEST(ForbiddenOverline, WhiteStonesEndTheRun) {
  // White's stone right after the five stops the run: the Black stones beyond it do not make
  // a an overline.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . X X X a X O X X . .
    . . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].cellClass[Black]), 13);
}

TEST(ForbiddenOverline, OverlineAlongEachDirection) {
  expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . X . .
    . . . . . . . X . . .
    . . . . . . F . . . .
    . . . . . X . . . . .
    . . . . X . . . . . .
    . . . X . . . . . . .
    . . . . . . . . . . .
  )");
  expectForbiddenExactly(R"(
    . . . . . . . .
    . . . X . . . .
    . . . X . . . .
    . . . X . . . .
    . . . F . . . .
    . . . X . . . .
    . . . X . . . .
    . . . . . . . .
  )");
  expectForbiddenExactly(R"(
    . . . . . . . . . .
    . . X . . . . . . .
    . . . X . . . . . .
    . . . . F . . . . .
    . . . . . X . . . .
    . . . . . . X . . .
    . . . . . . . X . .
    . . . . . . . . . .
  )");
}

// ---------------------------------------------------------------------------------------------
// Double four

TEST(ForbiddenDoubleFour, FoursOnTwoLines) {
  // Two open threes meeting at F: playing it makes two fours (both straight, still forbidden).
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . X . . . . .
    . . . . . . X . . . . .
    . . . . . . X . . . . .
    . . . X X X F . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleFour, ClosedFoursCountAsWell) {
  // Both lines are blocked at one end by White, so each four has one completion only. The
  // second F makes a split three on the anti-diagonal and a three on the diagonal.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . O . . . . .
    . . . . . . X . . . . .
    . . . . . . X . . . . .
    . . . . F . . . . . . .
    . . O X X X F . . . . .
    . . . . . . X . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleFour, TwoFoursOnOneLine) {
  // X_XXX_X, XX_XX_XX and XXX_X_XXX: the move makes two fours on the same line. The other
  // cells of each shape make one four at most.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . X . X F X . X . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . X X . F X . X X . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . X X X . F . X X X . . .
    . . . . . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleFour, TwoFoursOnOneLineInEveryPlacement) {
  // X_XXX_X with the new stone on each of the three inner stones, along a diagonal.
  for (const char* art : {R"(
    . . . . . . . . . . . .
    . X . . . . . . . . . .
    . . . . . . . . . . . .
    . . . F . . . . . . . .
    . . . . X . . . . . . .
    . . . . . X . . . . . .
    . . . . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . . . . . .
  )",
                          R"(
    . . . . . . . . . . . .
    . X . . . . . . . . . .
    . . . . . . . . . . . .
    . . . X . . . . . . . .
    . . . . F . . . . . . .
    . . . . . X . . . . . .
    . . . . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . . . . . .
  )",
                          R"(
    . . . . . . . . . . . .
    . X . . . . . . . . . .
    . . . . . . . . . . . .
    . . . X . . . . . . . .
    . . . . X . . . . . . .
    . . . . . F . . . . . .
    . . . . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . . . . . .
  )"}) {
    SCOPED_TRACE(art);
    expectForbiddenExactly(art);
  }
}

TEST(ForbiddenDoubleFour, AnOwnStoneBeyondTheShapeLeavesOneFour) {
  // XX_XXX_X: one completion of the left four would make six, so the move at a makes a single
  // four (to the right) and is allowed.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . . . .
    . . . . . . . . . . . . . .
    . . X X . X a X . X . . . .
    . . . . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].lineCode[Black][0]), 15);
}

// ---------------------------------------------------------------------------------------------
// Double three

TEST(ForbiddenDoubleThree, TwoOpenThrees) {
  // Straight threes crossing at F, on the horizontal and the vertical.
  expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . X . . . . .
    . . . . . X . . . . .
    . . . X X F . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleThree, SplitThreesOnTheDiagonals) {
  // FX_X on the diagonal (its straight-four cell lies past a stone) and XF_X on the
  // anti-diagonal: the test finds both.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . X . . . . . .
    . . . . F . . . . . . .
    . . . . . X . . . . . .
    . . X . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleThree, FourWithTwoThreesIsStillForbidden) {
  // The lower F makes a closed four on the horizontal and real threes on the vertical (XX_F)
  // and the anti-diagonal. The upper F makes two split threes (FX_X on its row, XF_X on the
  // anti-diagonal down to the bottom row).
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . X . . . . . .
    . . . . F X . X . . . .
    . . . . . . X . . . . .
    . O X X X F . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

TEST(ForbiddenDoubleThree, ThreeAndClosedThreeIsAllowed) {
  // The horizontal three at a is closed by White on the left, so a makes one three only.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . X . . . . .
    . . . . . X . . . . .
    . . O X X a . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].cellClass[Black]), 7);
}

// ---------------------------------------------------------------------------------------------
// Threes that are not real

TEST(ForbiddenFakeThree, StraightFourPointBlocked) {
  // O_XXa_O: after a, either extension gives a four with one completion only.
  expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . X . . . . .
    . . . . . X . . . . .
    . O . X X a . O . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
  )");
  // Without the White stone on the right, a makes two real threes.
  expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . X . . . . .
    . . . . . X . . . . .
    . O . X X F . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
  )");
}

TEST(ForbiddenFakeThree, StraightFourPointBeyondTheEdge) {
  // XXa at the left edge: the only fours it can become have the edge on one side.
  expectForbiddenExactly(R"(
    . . . . . . . .
    . . . . . . . .
    . . X . . . . .
    . . X . . . . .
    X X a . . . . .
    . . . . . . . .
    . . . . . . . .
  )");
  // One column further in, the three is real.
  expectForbiddenExactly(R"(
    . . . . . . . . .
    . . . . . . . . .
    . . . X . . . . .
    . . . X . . . . .
    . X X F . . . . .
    . . . . . . . . .
    . . . . . . . . .
  )");
}

TEST(ForbiddenFakeThree, StraightFourWouldMakeSix) {
  // X..XXa.O: the four made on the left would be completed only by a six on one side.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . X . . . . .
    . . . . . . X . . . . .
    . X . . X X a . O . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
  // Without the far Black stone the same three is real.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . X . . . . .
    . . . . . . X . . . . .
    . . . . X X F . O . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

// ---------------------------------------------------------------------------------------------
// Threes whose straight-four cell is itself forbidden: the test recurses with a trial stone.

// Black's four real-three answers at cell, in direction order.
std::string realThrees(Position& p, CellIndex cell) {
  std::string r;
  for (int k = 0; k < 4; ++k) r += isRealThree(p.e(), cell, k) ? '1' : '0';
  return r;
}

TEST(ForbiddenRecursive, StraightFourPointIsADoubleFour) {
  // a makes threes on the horizontal and the vertical. The horizontal one can only become a
  // straight four at b (White closes the right side), and with a played, b makes fours on the
  // horizontal and the diagonal: a double four. So a makes one real three and is allowed.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . X . . . . . . . . . .
    . . X . . . . X . . . .
    . . . X . . . X . . . .
    . . . . b X X a . O . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].cellClass[Black]), 0);
  const StateSnapshot before(p->e());
  EXPECT_EQ(realThrees(*p, p->at('a')), "0010");
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));

  // Without the White stone the horizontal three also has the free straight-four cell right of
  // a, so a is a double three.
  p = expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . X . . . . . . . . . .
    . . X . . . . X . . . .
    . . . X . . . X . . . .
    . . . . . X X F . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
  )");
}

TEST(ForbiddenRecursive, StraightFourPointIsAnOverline) {
  // The horizontal three of a can only become a straight four at the F on its right (White
  // closes the left side), which is an overline on the vertical. The other F makes the split vertical three
  // XX_F and the split anti-diagonal three X_XF.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . X . .
    . . . . . . . X . . X . .
    . . . . . . . X . . X . .
    . . . . . O . a X X F . .
    . . . . . . . F . . X . .
    . . . . . . . . . . X . .
    . . . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[cellOf(10, 7)].cellClass[Black]), 2);
  EXPECT_EQ(realThrees(*p, p->at('a')), "0010");
}

TEST(ForbiddenRecursive, StraightFourPointIsADoubleThree) {
  // With a played, the straight-four cell F of a's horizontal three makes a straight four and
  // two real threes (vertical and anti-diagonal): forbidden, so a's horizontal three is not
  // real. F is forbidden anyway (three threes without a).
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . X . . . .
    . . . . F X X a . O . .
    . . . X X . . . . . . .
    . . X . X . . . . . . .
    . . . . . . . . . . . .
  )");
  EXPECT_EQ(realThrees(*p, p->at('a')), "0010");

  // Take away the anti-diagonal: with a played, F makes a four and one three, which is
  // allowed, so a's horizontal three is real and a is a double three.
  expectForbiddenExactly(R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . X . . . .
    . . . . . . . X . . . .
    . . . . F X X F . O . .
    . . . . X . . . . . . .
    . . . . X . . . . . . .
    . . . . . . . . . . . .
  )");
}

// A three is real only through a straight four that contains the new stone. Here a's own three
// on row 7 (a with the two stones to its right) can only become a straight four at the cell
// left of a, which is then a double four (with the closed column above it): not a real three.
// The straight-four cell of Black's other three, further left on the same row, does not make
// a's three real.
const char* const ForeignStraightFourArt = R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . O . . . . . .
    . . . . . . . . X . . . . . .
    . . . . . . . . X . . . . . .
    . . . . . . . . X . . . . . .
    . . X X X . . . . a X X . O .
    . . . . . . . . . X . . . . .
    . . . . . . . . . X . . . . .
    . . . . . . . . . . . . . . .
  )";

// The same with the other three beyond a White stone: a's only straight-four cell is the one
// right of its three, a double four with the closed column above it.
const char* const ForeignStraightFourPastWhiteArt = R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . O . .
    . . . . . . . . . . . . X . .
    . . . . . . . . . . . . X . .
    . . . . . . . . . . . . X . .
    . . X X X . . O . a X X . . .
    . . . . . . . . . X . . . . .
    . . . . . . . . . X . . . . .
    . . . . . . . . . . . . . . .
  )";

void expectOnlyOwnStraightFourCounts(const char* art, const char* where) {
  auto p = fromArt(RenjuRule, art);
  const CellIndex a = p->at('a');
  ASSERT_EQ(int(p->e().cellInfo[a].cellClass[Black]), 0);
  const StateSnapshot before(p->e());
  const bool forbidden = isForbidden(p->e(), a);
  const std::string threes = realThrees(*p, a);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
  EXPECT_EQ(threes, "0010") << where;
  EXPECT_FALSE(forbidden) << where;
}

TEST(ForbiddenRecursive, StraightFourOfAnotherThreeDoesNotCount) {
  expectOnlyOwnStraightFourCounts(ForeignStraightFourArt, "5,7, four cells left of a");
}

TEST(ForbiddenRecursive, StraightFourBeyondAWhiteStoneDoesNotCount) {
  expectOnlyOwnStraightFourCounts(ForeignStraightFourPastWhiteArt, "5,7, past White's 7,7");
}

// ---------------------------------------------------------------------------------------------
// Five beats every foul; occupied cells are never forbidden.

TEST(ForbiddenFive, FiveWithAnOverlineIsAllowed) {
  // a completes the horizontal five and a vertical six at once. (F makes two split threes:
  // X_FX on the anti-diagonal and F on the diagonal through the two stones below-right.)
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . X . . . .
    . . . . . . X . . . .
    . . . . F . X . . . .
    . . X X X X a . . . .
    . . . . . . X . . . .
    . . . . . . X . . . .
    . . . . . . . . . . .
  )");
  EXPECT_EQ(int(p->e().cellInfo[p->at('a')].cellClass[Black]), 13);
}

// The crowded shapes below leave double threes all around a; only a is the subject here.
void expectFiveAllowed(const std::string& art, int code2, int code3) {
  auto p = fromArt(RenjuRule, art);
  const CellInfo& a = p->e().cellInfo[p->at('a')];
  EXPECT_EQ(int(a.lineCode[Black][0]), 17);
  EXPECT_EQ(int(a.lineCode[Black][2]), code2);
  EXPECT_EQ(int(a.lineCode[Black][3]), code3);
  EXPECT_EQ(int(a.cellClass[Black]), 13);
  const StateSnapshot before(p->e());
  EXPECT_FALSE(isForbidden(p->e(), p->at('a')));
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(ForbiddenFive, FiveWithADoubleFourIsAllowed) {
  // a completes the horizontal five and makes straight fours on the vertical and the diagonal.
  expectFiveAllowed(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . X . . X . . . .
    . . . . X . X . . . .
    . . . . . X X . . . .
    . . X X X X a . . . .
    . . . . . . . . . . .
  )",
                    16, 16);
}

TEST(ForbiddenFive, FiveWithADoubleThreeIsAllowed) {
  // a completes the horizontal five and makes threes on the vertical and the diagonal.
  expectFiveAllowed(R"(
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . . . . . . . .
    . . . . X . X . . . .
    . . . . . X X . . . .
    . . X X X X a . . . .
    . . . . . . . . . . .
  )",
                    13, 13);
}

TEST(ForbiddenFive, OccupiedAndOffBoardCellsAreNeverForbidden) {
  // F is a double four; the stones that make it, White's stones and Wall cells are never
  // forbidden, whatever their frozen records say.
  auto p = expectForbiddenExactly(R"(
    . . . . . . . . . .
    . . . . . X . . . .
    . . . . . X . . . .
    . . . . . X . . . .
    . O X X X F . . . .
    . . . . . . . . . .
    . . . . . . . . . .
  )");
  const StateSnapshot before(p->e());
  for (CellIndex t = 0; t < BoardCells; ++t) {
    if (p->b().cells[t] != Empty) {
      EXPECT_FALSE(isForbidden(p->e(), t)) << int(t);
    }
  }
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

// ---------------------------------------------------------------------------------------------
// The developer tool lists the forbidden cells in scan order, rows first.

#ifndef _WIN32
TEST(ForbiddenTool, ListsForbiddenCellsRowByRow) {
  // Two overline gaps, (9,3) on row 3 and (3,8) on row 8: the row decides the order.
  EXPECT_EQ(kesta_test::runTool("forbidden --black \"6,3 7,3 8,3 10,3 11,3 0,8 1,8 2,8 4,8 5,8\""),
            "9,3 3,8\n");
  // The double three of TwoOpenThrees, with a White stone elsewhere.
  EXPECT_EQ(kesta_test::runTool("forbidden --black \"5,3 5,4 3,5 4,5\" --white \"10,10\""), "5,5\n");
  EXPECT_EQ(kesta_test::runTool("forbidden --black \"7,7 8,8\" --white \"7,8\""), "none\n");
  EXPECT_EQ(kesta_test::runTool("forbidden"), "none\n");
}
#endif

}  // namespace
}  // namespace kesta
