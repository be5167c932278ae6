// Move generation and ordering: which cells are candidates (box, neighbourhood, renju fouls),
// the ordering score, the root list with its decided cases and table-move bonus, and the staged
// picker of interior nodes with its table move and forced block.
#include "search/move_gen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "rules/forbidden.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::coord;
using testpos::emptyPosition;
using testpos::fromArt;
using testpos::WhiteFourBlockedOnBlackDoubleFour;
using testpos::fromMoves;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

std::vector<MoveEntry> allMoves(Position& p) {
  std::vector<MoveEntry> list;
  generateAllMoves(p.e(), list);
  return list;
}

std::vector<CellIndex> cellsOf(const std::vector<MoveEntry>& list) {
  std::vector<CellIndex> cells;
  for (const MoveEntry& m : list) cells.push_back(m.cell);
  return cells;
}

std::string names(const std::vector<CellIndex>& cells) {
  std::string s;
  for (CellIndex c : cells) {
    if (!s.empty()) s += ' ';
    s += coord(c);
  }
  return s;
}

// The box region with X and O for stones, * for cells in the list and '.' otherwise.
std::string listMap(Position& p, const std::vector<MoveEntry>& list) {
  const std::vector<CellIndex> cells = cellsOf(list);
  const std::set<CellIndex> in(cells.begin(), cells.end());
  const Box box = p.b().box;
  std::string map;
  for (int y = box.yMin; y <= box.yMax; ++y)
    for (int x = box.xMin; x <= box.xMax; ++x) {
      const CellIndex t = cellOf(x, y);
      const uint8_t code = p.b().cells[t];
      map += code == Black ? 'X' : code == White ? 'O' : in.count(t) ? '*' : '.';
      map += x < box.xMax ? " " : "\n";
    }
  return map;
}

std::string normalised(const std::string& art) {
  std::string map;
  for (const std::string& row : testpos::artRows(art)) {
    for (size_t i = 0; i < row.size(); ++i) {
      map += row[i];
      map += i + 1 < row.size() ? ' ' : '\n';
    }
  }
  return map;
}

// Every move nextMove hands out from a fresh picker with the given table move.
std::vector<CellIndex> pickAll(Position& p, CellIndex ttMove) {
  MovePicker& picker = p.e().PlyLists[p.e().ply];
  picker.reset(ttMove);
  std::vector<CellIndex> out;
  CellIndex c = 0;
  while (nextMove(p.e(), picker, c) && out.size() < 1000) out.push_back(c);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Candidate cells and the ordering score

TEST(MoveGenCandidates, NeighbourhoodOfOneStoneInScanOrder) {
  auto p = fromMoves(Freestyle, {{7, 7}});
  const StateSnapshot before(p->e());
  const std::vector<MoveEntry> list = allMoves(*p);
  // The box is the 7x7 square around the stone; only the 32 neighbourhood cells are near it.
  EXPECT_EQ(listMap(*p, list), normalised(R"(
    * . . * . . *
    . * * * * * .
    . * * * * * .
    * * * X * * *
    . * * * * * .
    . * * * * * .
    * . . * . . *
  )"));
  std::vector<CellIndex> scanOrder;
  for (int y = 4; y <= 10; ++y)
    for (int x = 4; x <= 10; ++x)
      if (p->e().cellInfo[cellOf(x, y)].nearCount > 0 && p->b().cells[cellOf(x, y)] == Empty)
        scanOrder.push_back(cellOf(x, y));
  EXPECT_EQ(names(cellsOf(list)), names(scanOrder));
  ASSERT_EQ(list.size(), 32u);
  // White to move: twice White's own weight plus Black's.
  for (const MoveEntry& m : list) {
    const CellInfo& c = p->e().cellInfo[m.cell];
    EXPECT_EQ(m.score, 2 * c.moveScore[White] + c.moveScore[Black]) << coord(m.cell);
  }
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(MoveGenCandidates, GeneratorsAppendWithoutClearing) {
  auto p = fromMoves(Freestyle, {{7, 7}, {8, 8}});
  std::vector<MoveEntry> list{{1, 77}};
  generateAllMoves(p->e(), list);
  ASSERT_GT(list.size(), 1u);
  EXPECT_EQ(list[0].cell, 1);
  EXPECT_EQ(list[0].score, 77);
}

TEST(MoveGenCandidates, OnlyCellsInsideTheBox) {
  auto p = fromMoves(Freestyle, {{7, 7}});
  p->b().box.xMax = 7;  // as if the box ended at the stone's column and began a row above it
  p->b().box.yMin = 6;
  EXPECT_EQ(listMap(*p, allMoves(*p)), normalised(R"(
    . * * *
    * * * X
    . * * *
    . * * *
    * . . *
  )"));
  // findClassCell scans the same box.
  for (int side = 0; side < 2; ++side)
    for (int cls = 0; cls < 14; ++cls) {
      const CellIndex c = findClassCell(p->e(), side, cls);
      if (c != 0) {
        EXPECT_TRUE(cellX(c) >= 4 && cellX(c) <= 7 && cellY(c) >= 6 && cellY(c) <= 10) << coord(c);
      }
    }
}

TEST(MoveGenCandidates, EmptyBoxGivesNothing) {
  auto p = emptyPosition(RenjuRule);
  std::vector<MoveEntry> list;
  generateAllMoves(p->e(), list);
  EXPECT_EQ(generateThreatMoves(p->e(), list), 0);
  EXPECT_TRUE(list.empty());
  for (int side = 0; side < 2; ++side)
    for (int cls = 0; cls < 14; ++cls) EXPECT_EQ(findClassCell(p->e(), side, cls), 0) << side << " " << cls;

  MovePicker& root = p->e().PlyLists[0];
  root.reset(0);
  root.stage = 1;
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  EXPECT_TRUE(root.moves.empty());
  EXPECT_TRUE(pickAll(*p, 0).empty());
  // The table move is handed out before anything is generated, candidate or not.
  EXPECT_EQ(names(pickAll(*p, cellOf(7, 7))), "7,7");
}

// A Black double three at F; White's stone elsewhere.
const char* const DoubleThreeArt = R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . X . . . . . .
    . . . . . X . . . . . .
    . . . X X F . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . O . .
    . . . . . . . . . . . .
  )";

TEST(MoveGenCandidates, RenjuFoulsLeftOutForBlackOnly) {
  auto p = fromArt(RenjuRule, DoubleThreeArt);
  const CellIndex foul = p->marks.at(0).second;
  ASSERT_TRUE(isForbidden(p->e(), foul));
  const StateSnapshot before(p->e());
  std::vector<CellIndex> black = cellsOf(allMoves(*p));
  EXPECT_EQ(std::count(black.begin(), black.end(), foul), 0);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));

  p->setSideToMove(White);
  std::vector<CellIndex> white = cellsOf(allMoves(*p));
  EXPECT_EQ(std::count(white.begin(), white.end(), foul), 1);
  // Apart from the foul, both sides get the same cells in the same order.
  white.erase(std::find(white.begin(), white.end(), foul));
  EXPECT_EQ(names(white), names(black));

  // Under freestyle the same cell is an ordinary move for Black.
  auto q = fromArt(Freestyle, DoubleThreeArt);
  std::vector<CellIndex> free = cellsOf(allMoves(*q));
  EXPECT_EQ(std::count(free.begin(), free.end(), foul), 1);
}

TEST(MoveGenCandidates, OrderScoreIsSummedInThirtyTwoBits) {
  // Under exact five Black's long-line cell keeps its forbidden-point weight -29000 and is still
  // generated (no renju test), so twice it plus White's weight lies below the 16-bit range.
  auto p = fromArt(ExactFiveRule, R"(
    . . . . . . . . . .
    . . . . . . . . . .
    . . X X X a X X . .
    . . . . . . . O . .
  )");
  const CellIndex a = p->at('a');
  ASSERT_EQ(int(p->e().cellInfo[a].cellClass[Black]), 2);
  ASSERT_EQ(p->e().cellInfo[a].moveScore[Black], -29000);
  const std::vector<MoveEntry> list = allMoves(*p);
  const auto it = std::find_if(list.begin(), list.end(), [&](const MoveEntry& m) { return m.cell == a; });
  ASSERT_NE(it, list.end());
  EXPECT_EQ(it->score, -58000 + p->e().cellInfo[a].moveScore[White]);
}

// ---------------------------------------------------------------------------------------------
// The root list

TEST(MoveGenRoot, GeneratedListSortedWithTableMoveBonusOnce) {
  auto p = fromMoves(Freestyle, {{7, 7}, {8, 8}, {6, 8}, {8, 6}});
  const std::vector<MoveEntry> generated = allMoves(*p);
  // The table move: the generated cell with the lowest score.
  const MoveEntry low =
      *std::min_element(generated.begin(), generated.end(),
                        [](const MoveEntry& a, const MoveEntry& b) { return a.score < b.score; });
  MovePicker& root = p->e().PlyLists[0];
  root.reset(low.cell);
  root.stage = 1;
  const StateSnapshot before(p->e());
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  EXPECT_EQ(root.stage, 2);
  ASSERT_EQ(root.moves.size(), generated.size());
  EXPECT_EQ(root.moves[0].cell, low.cell);
  EXPECT_EQ(root.moves[0].score, low.score + 3000);
  for (size_t i = 1; i < root.moves.size(); ++i) {
    EXPECT_GE(root.moves[i - 1].score, root.moves[i].score);
    EXPECT_EQ(root.moves[i].score, orderScore(p->e(), root.moves[i].cell));
  }
  std::vector<CellIndex> a = cellsOf(generated), b = cellsOf(root.moves);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);

  // The next iteration only re-sorts: the bonus is not added again.
  const std::vector<MoveEntry> first = root.moves;
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  ASSERT_EQ(root.moves.size(), first.size());
  EXPECT_EQ(root.moves[0].score, low.score + 3000);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(MoveGenRoot, NoBonusForAnOccupiedOrMissingTableMove) {
  auto p = fromMoves(Freestyle, {{7, 7}, {8, 8}, {6, 8}, {8, 6}});
  for (CellIndex tt : {cellOf(7, 7), CellIndex(0), cellOf(0, 14)}) {
    MovePicker& root = p->e().PlyLists[0];
    root.reset(tt);
    root.stage = 1;
    EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
    for (const MoveEntry& m : root.moves) EXPECT_EQ(m.score, orderScore(p->e(), m.cell)) << coord(tt);
  }
}

TEST(MoveGenRoot, ReSortKeepsEqualScoresInOrder) {
  auto p = fromMoves(Freestyle, {{7, 7}});
  MovePicker& root = p->e().PlyLists[0];
  root.reset(0);
  root.stage = 2;
  // Scores as a root search leaves them: many equal values, in a known order.
  for (int i = 0; i < 60; ++i) root.moves.push_back({CellIndex(200 + i), (i * 7) % 3 * 100 - 100});
  std::vector<MoveEntry> expected = root.moves;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const MoveEntry& a, const MoveEntry& b) { return a.score > b.score; });
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  EXPECT_EQ(root.stage, 2);
  EXPECT_EQ(cellsOf(root.moves), cellsOf(expected));
}

TEST(MoveGenRoot, EmptyListInStageTwoIsGeneratedAfresh) {
  auto p = fromMoves(Freestyle, {{7, 7}});
  MovePicker& root = p->e().PlyLists[0];
  root.reset(0);
  root.stage = 2;
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  EXPECT_EQ(root.moves.size(), 32u);
  EXPECT_EQ(root.stage, 2);
  // Any other stage does nothing.
  root.reset(0);
  root.stage = 0;
  EXPECT_EQ(prepareRootMoves(p->e(), root), RootSearch);
  EXPECT_TRUE(root.moves.empty());
}

struct RootCase {
  int32_t outcome;
  std::vector<MoveEntry> moves;
  int stage;
};

RootCase rootOf(Position& p) {
  MovePicker& root = p.e().PlyLists[0];
  root.reset(0);
  root.stage = 1;
  const StateSnapshot before(p.e());
  RootCase r{prepareRootMoves(p.e(), root), root.moves, root.stage};
  EXPECT_TRUE(sameState(before, StateSnapshot(p.e())));
  return r;
}

// White's two fours have the five cells (10,2) and (3,9): (10,2) comes first in scan order
// (rows first), (3,9) would come first column by column. Black's four on the right has the
// five cell (14,10).
const char* const TwoWhiteFoursArt = R"(
    . . . . . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . X O O O O . . . . .
    . . . . . . . . . . . . . . .
    . . . X . . . . . . . . . . .
    . . . O . . . . . . . . . . .
    . . . O . . . . . . . . . . .
    . . . O . . . . . . . . . . .
    . . . O . . . . . . . . . . .
    . . . . . . . . . . . . . . .
    . . . . . . . . . O X X X X .
  )";

TEST(MoveGenRoot, OwnFiveWinsEvenAgainstOpponentFives) {
  auto p = fromArt(Freestyle, TwoWhiteFoursArt);
  const RootCase r = rootOf(*p);
  EXPECT_EQ(r.outcome, RootWin);
  ASSERT_EQ(r.moves.size(), 1u);
  EXPECT_EQ(coord(r.moves[0].cell), "14,10");
  EXPECT_EQ(r.moves[0].score, 20000);
  EXPECT_EQ(r.stage, 1);
}

TEST(MoveGenRoot, TwoOpponentFivesLoseOnTheFirstInScanOrder) {
  std::string art = TwoWhiteFoursArt;
  art = art.substr(0, art.rfind("O X X X X")) + "O X X X .\n";  // Black's four reduced to a three
  for (uint8_t rule : {Freestyle, ExactFiveRule, RenjuRule}) {
    auto p = fromArt(rule, art);
    const RootCase r = rootOf(*p);
    EXPECT_EQ(r.outcome, RootLoss) << int(rule);
    ASSERT_EQ(r.moves.size(), 1u);
    EXPECT_EQ(coord(r.moves[0].cell), "10,2") << int(rule);
    EXPECT_EQ(r.moves[0].score, -19999);
    EXPECT_EQ(r.stage, 1);
  }
}

TEST(MoveGenRoot, ForbiddenBlockLosesUnderRenju) {
  auto p = fromArt(RenjuRule, WhiteFourBlockedOnBlackDoubleFour);
  ASSERT_TRUE(isForbidden(p->e(), p->at('b')));
  EXPECT_EQ(findClassCell(p->e(), Black, 1), p->at('b'));  // no renju test in the lookup
  const RootCase r = rootOf(*p);
  EXPECT_EQ(r.outcome, RootLoss);
  ASSERT_EQ(r.moves.size(), 1u);
  EXPECT_EQ(r.moves[0].cell, p->at('b'));
  EXPECT_EQ(r.moves[0].score, -20000);
  EXPECT_EQ(r.stage, 1);
}

TEST(MoveGenRoot, SingleOpponentFiveIsTheOnlyMove) {
  // The same block is legal for Black under freestyle and exact five (where Black's straight
  // fours would otherwise win: the block comes first).
  for (uint8_t rule : {Freestyle, ExactFiveRule}) {
    auto p = fromArt(rule, WhiteFourBlockedOnBlackDoubleFour);
    const RootCase r = rootOf(*p);
    EXPECT_EQ(r.outcome, RootSearch) << int(rule);
    ASSERT_EQ(r.moves.size(), 1u);
    EXPECT_EQ(r.moves[0].cell, p->at('b'));
    EXPECT_EQ(r.moves[0].score, 0);
    EXPECT_EQ(r.stage, 1);
  }
  // Under renju with White to move, Black's four must be blocked; White has no forbidden cells.
  auto p = fromArt(RenjuRule, R"(
    . . . . . . . . . .
    . . . . . . . . . .
    . . O X X X X a . .
    . . . . . . . . . .
    . . . . . . O . . .
  )",
                   {.sideToMove = White});
  const RootCase r = rootOf(*p);
  EXPECT_EQ(r.outcome, RootSearch);
  ASSERT_EQ(r.moves.size(), 1u);
  EXPECT_EQ(r.moves[0].cell, p->at('a'));
  EXPECT_EQ(r.moves[0].score, 0);
}

TEST(MoveGenRoot, OwnOpenFourCellWinsEvenAgainstOpponentOpenFourCells) {
  // Both sides have an open three; Black to move plays the first of its open-four cells.
  for (uint8_t rule : {Freestyle, ExactFiveRule, RenjuRule}) {
    auto p = fromArt(rule, R"(
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . a X X X . . . .
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . . . . . . . . .
      . . . . O O O . . . . .
      . . . . . . . . . . . .
    )");
    const RootCase r = rootOf(*p);
    EXPECT_EQ(r.outcome, RootWin) << int(rule);
    ASSERT_EQ(r.moves.size(), 1u);
    EXPECT_EQ(r.moves[0].cell, p->at('a'));
    EXPECT_EQ(r.moves[0].score, 19998);
    EXPECT_EQ(r.stage, 1);
  }
}

// ---------------------------------------------------------------------------------------------
// Interior nodes

TEST(MoveGenNext, TableMoveFirstAndAgainAtItsPlace) {
  auto p = fromMoves(Freestyle, {{7, 7}, {8, 8}, {6, 8}, {8, 6}});
  const std::vector<MoveEntry> generated = allMoves(*p);
  const CellIndex tt = generated[5].cell;
  const StateSnapshot before(p->e());
  const std::vector<CellIndex> got = pickAll(*p, tt);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
  ASSERT_EQ(got.size(), generated.size() + 1);
  EXPECT_EQ(got[0], tt);
  EXPECT_EQ(std::count(got.begin(), got.end(), tt), 2);
  // After the table move: every candidate once, best ordering score first and equal scores in
  // scan order, though the picker picks the first few one by one and sorts the rest later.
  std::vector<MoveEntry> expected = generated;
  std::stable_sort(expected.begin(), expected.end(),
                   [](const MoveEntry& a, const MoveEntry& b) { return a.score > b.score; });
  EXPECT_EQ(names({got.begin() + 1, got.end()}), names(cellsOf(expected)));
}

TEST(MoveGenNext, OccupiedTableMoveIsSkipped) {
  auto p = fromMoves(Freestyle, {{7, 7}, {8, 8}, {6, 8}, {8, 6}});
  const size_t n = allMoves(*p).size();
  const std::vector<CellIndex> got = pickAll(*p, cellOf(8, 8));
  EXPECT_EQ(got.size(), n);
  EXPECT_EQ(std::count(got.begin(), got.end(), cellOf(8, 8)), 0);
  EXPECT_EQ(pickAll(*p, 0).size(), n);
  // Once finished, the picker stays finished.
  MovePicker& picker = p->e().PlyLists[0];
  CellIndex c = 0;
  EXPECT_FALSE(nextMove(p->e(), picker, c));
  picker.stage = 7;
  EXPECT_FALSE(nextMove(p->e(), picker, c));
}

TEST(MoveGenNext, ForcedBlockAfterTheTableMoveOnly) {
  // The block is handed out without a renju test, even when it is Black's foul.
  for (uint8_t rule : {Freestyle, RenjuRule}) {
    auto p = fromArt(rule, WhiteFourBlockedOnBlackDoubleFour);
    const CellIndex block = p->at('b');
    EXPECT_EQ(names(pickAll(*p, 0)), coord(block)) << int(rule);
    EXPECT_EQ(names(pickAll(*p, cellOf(2, 2))), names({cellOf(2, 2), block})) << int(rule);
    EXPECT_EQ(names(pickAll(*p, block)), names({block, block})) << int(rule);
    EXPECT_TRUE(p->e().PlyLists[0].moves.empty());
  }
  // A block outside the box is not found: the node has no move after the table move.
  auto p = fromArt(Freestyle, WhiteFourBlockedOnBlackDoubleFour);
  p->b().box.yMax = 5;
  EXPECT_EQ(findClassCell(p->e(), White, 13), 0);
  EXPECT_TRUE(pickAll(*p, 0).empty());
  EXPECT_EQ(names(pickAll(*p, cellOf(2, 2))), "2,2");
}

// White's open three on row 7 threatens an open four; Black has nothing of its own.
const char* const OpenThreeArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . X . . . . . .
    . . . . . . . . . . . . .
    . . . . . O O O . . . . .
    . . . . . . . . X . . . .
    . . . . . . . . . . . . .
  )";

TEST(MoveGenNext, OpponentOpenFourThreatGivesOnlyFourCells) {
  auto p = fromArt(Freestyle, OpenThreeArt);
  ASSERT_GT(p->e().classCount[White][12], 0);
  std::vector<CellIndex> got = pickAll(*p, 0);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(names(got), "3,7 4,7 8,7 9,7");
  std::vector<MoveEntry> list;
  EXPECT_EQ(generateThreatMoves(p->e(), list), 4);
  // The root does the same.
  const RootCase r = rootOf(*p);
  EXPECT_EQ(r.outcome, RootSearch);
  EXPECT_EQ(r.moves.size(), 4u);
}

TEST(MoveGenNext, NoThreatCellInTheBoxFallsBackToAllMoves) {
  auto p = fromArt(Freestyle, OpenThreeArt);
  p->b().box.yMax = 6;  // White's four cells on row 7 lie outside
  std::vector<MoveEntry> list;
  EXPECT_EQ(generateThreatMoves(p->e(), list), 0);
  std::vector<CellIndex> got = pickAll(*p, 0), all = cellsOf(allMoves(*p));
  ASSERT_FALSE(all.empty());
  std::sort(got.begin(), got.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(got, all);
}

TEST(MoveGenNext, RenjuFoulNeverInBlackList) {
  // White threatens an open four; Black's double three F is not among Black's moves, while the
  // table move is handed out untested.
  auto p = fromArt(RenjuRule, R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . X . . . . . .
    . . . . . X . . . . . .
    . . . X X F . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . O O O . . . . . . .
  )");
  const CellIndex foul = p->marks.at(0).second;
  std::vector<CellIndex> got = pickAll(*p, 0);
  EXPECT_EQ(std::count(got.begin(), got.end(), foul), 0);
  got = pickAll(*p, foul);
  EXPECT_EQ(got.at(0), foul);
  EXPECT_EQ(std::count(got.begin(), got.end(), foul), 1);
}

}  // namespace
}  // namespace kesta
