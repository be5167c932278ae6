// Threat-space search: wins by continuous fours at their exact distance, refuted attacks, the
// forced-block rule, Black's forbidden blocks under renju, the table store and probe of proven
// wins, a table claim too short for any proof, the attacking-move generators, the five-cell lookup
// and the stop flag. Every search must leave the position exactly as it found it.
#include "search/threat_search.h"

#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "core/clock.h"
#include "diag/dump.h"
#include "search/move_gen.h"
#include "search/search.h"
#include "search/think.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::ArtOptions;
using testpos::coord;
using testpos::fromArt;
using testpos::WhiteFourBlockedOnBlackDoubleFour;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

constexpr int32_t NoLimit = std::numeric_limits<int32_t>::max();

struct ThreatRun {
  int32_t score;
  CellIndex best;
  int32_t nodes;
};

// Prepares the Engine as a leaf of the principal search would (the side to move attacks, no
// time limit) and runs the entry node at the given ply.
void prepare(Position& p, int32_t ply) {
  Engine& e = p.e();
  e.ply = ply;
  e.threatAttacker = p.b().sideToMove;
  e.threatPlyLimit = e.ply + e.ThreatSearchPlies;
  e.Settings.TimeoutTurn = NoLimit;
  e.Settings.TimeLeft = NoLimit;
  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.SearchCounter = 0;
  resetSearchCountdowns(e);
}

ThreatRun runThreat(Position& p, int32_t ply = 0) {
  prepare(p, ply);
  const StateSnapshot before(p.e());
  ThreatRun r{0, 0, 0};
  r.score = threatSearch(p.e(), r.best);
  r.nodes = p.e().SearchCounter;
  EXPECT_TRUE(sameState(before, StateSnapshot(p.e())));
  return r;
}

ProbeResult probeHere(Position& p) {
  return probe(*p.e().TransTable, p.b().hash);
}

// Black to move has two ways to a double four in two plies: (7,6) makes a four on row 6 (White
// must take (6,6)) and a third stone on column 7, so that a then makes fours on row 7 and
// column 7 at once; or a first (White takes (8,7)), then (7,6) with fours on row 6 and column 7.
// Either way Black's double four stands at ply 2: 19998 - 2.
const char* const DoubleFourInTwoArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . O . . . . .
    . . . . . . . X O . . . .
    . . . . . . . X . . . . .
    . . . . . . . . X X X O .
    . . . O X X X a . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
  )";

// Three fours in a row: (8,6) on row 6 (White takes (7,6)) turns the anti-diagonal into a four
// at (5,9) (White takes (9,5)), which turns column 5 into a four at (5,12), where row 12 makes
// the second four. The double four stands at ply 4: 19998 - 4. Starting at (5,12) and going
// backwards gives the same length; every other first four gets blocked for good.
const char* const DoubleFourInFourArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . O . .
    . . . . . . . . . . . . .
    . . . . . . . . . X X X O
    . . . . . . . X . . . . .
    . . . . . O X . . . . . .
    . . . . . . . . . . . . .
    . . . . O X . . . . . . .
    . . . . . X . . . . . . .
    . O X X X . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . O . . . . . . .
  )";

// ---------------------------------------------------------------------------------------------
// Wins by continuous fours

std::string swapColours(std::string art) {
  for (char& c : art) c = c == 'X' ? 'O' : c == 'O' ? 'X' : c;
  return art;
}

TEST(ThreatSearchWin, DoubleFourAfterOneForcingFour) {
  for (uint8_t rule : {Freestyle, ExactFiveRule}) {
    auto p = fromArt(rule, DoubleFourInTwoArt);
    const ThreatRun r = runThreat(*p);
    EXPECT_EQ(r.score, 19996) << int(rule);
    EXPECT_TRUE(r.best == cellOf(7, 6) || r.best == p->at('a')) << coord(r.best);
  }
  // Under renju the double four is Black's foul, so Black finds no win; White with the same
  // stones wins as in freestyle.
  auto black = fromArt(RenjuRule, DoubleFourInTwoArt);
  EXPECT_EQ(runThreat(*black).score, 0);
  auto white = fromArt(RenjuRule, swapColours(DoubleFourInTwoArt), {.sideToMove = White});
  EXPECT_EQ(runThreat(*white).score, 19996);
}

TEST(ThreatSearchWin, DistanceCountsFromTheSearchRoot) {
  // The same win found at ply 3 of the principal search: five at ply 3 + 4.
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  EXPECT_EQ(runThreat(*p, 3).score, 19998 - 5);
}

TEST(ThreatSearchWin, ChainOfThreeFours) {
  auto p = fromArt(Freestyle, DoubleFourInFourArt);
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 19994);
  EXPECT_TRUE(r.best == cellOf(8, 6) || r.best == cellOf(5, 12)) << coord(r.best);
  EXPECT_GE(r.nodes, 2);  // the continuation node below the first four expanded too
}

TEST(ThreatSearchWin, DecidedPositionsNeedNoMove) {
  // A five cell of the side to move: 20000 - ply. Two five cells of the opponent: ply - 19999.
  auto five = fromArt(Freestyle, R"(
    . . . . . . . . .
    . . X X X X . . .
    . . . . . . . . .
    . . O O O . . . .
  )");
  ThreatRun r = runThreat(*five, 2);
  EXPECT_EQ(r.score, 19998);
  EXPECT_EQ(r.nodes, 0);
  auto lost = fromArt(Freestyle, R"(
    . . . . . . . . .
    . . O O O O . . .
    . . . . . . . . .
    . . X X . X . . .
  )");
  r = runThreat(*lost, 2);
  EXPECT_EQ(r.score, 2 - 19999);
  EXPECT_EQ(r.nodes, 0);
  // An open four to make: 19998 - ply.
  auto open = fromArt(Freestyle, R"(
    . . . . . . . . .
    . . . X X X . . .
    . . . . . . . . .
    . . . O O . . . .
  )");
  EXPECT_EQ(runThreat(*open, 1).score, 19997);
}

TEST(ThreatSearchWin, NoNodeDeeperThanThePlyLimitExpands) {
  // The three-four chain needs the node at ply 2 to expand; a decided node needs no expansion.
  auto p = fromArt(Freestyle, DoubleFourInFourArt);
  prepare(*p, 0);
  p->e().threatPlyLimit = 1;
  const StateSnapshot before(p->e());
  EXPECT_EQ(threatSearch(p->e()), 0);
  prepare(*p, 0);
  p->e().threatPlyLimit = 2;
  EXPECT_EQ(threatSearch(p->e()), 19994);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
  // The two-four win is decided at ply 2 before the limit is looked at.
  auto q = fromArt(Freestyle, DoubleFourInTwoArt);
  prepare(*q, 0);
  q->e().threatPlyLimit = 1;
  EXPECT_EQ(threatSearch(q->e()), 19996);
  // Beyond the limit the entry node itself gives up (once the table has forgotten the win).
  clearTable(*q->e().TransTable);
  prepare(*q, 0);
  q->e().threatPlyLimit = -1;
  EXPECT_EQ(threatSearch(q->e()), 0);
  EXPECT_EQ(q->e().SearchCounter, 0);
}

// A think whose table claims a five at once, though the win takes seven plies, plays the proof
// and reports its distance: a claim too short to be proven does not stand.
TEST(ThreatSearchWin, ATooShortClaimOfTheTableGivesWayToTheProof) {
  auto p = fromArt(Freestyle, DoubleFourInFourArt);
  Engine& e = p->e();
  e.Settings.TimeoutTurn = 2000;
  const ProbeResult pr = probe(*e.TransTable, p->b().hash);
  store(*e.TransTable, pr.slot, p->b().hash, WinScore, 0, BoundExact, cellOf(8, 6));
  const CellIndex move = think(e).move;
  e.Stopped = 1;
  EXPECT_TRUE(move == cellOf(8, 6) || move == cellOf(5, 12)) << coord(move);
  ASSERT_NE(e.report.proof, nullptr);
  EXPECT_EQ(e.report.score, 19994);
}

// ---------------------------------------------------------------------------------------------
// Failed attacks

TEST(ThreatSearchFail, RefutedAttackIsNoLoss) {
  // Black's two fours on row 7 are both answered by a block that gives White an open four
  // (column 7, anti-diagonal through (8,7)): each line scores 2 - 19999 for Black, which the
  // entry node reports as 0.
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . O . . . O .
    . . . . . . . O . . O . .
    . . . . . . . O . O . . .
    . . . O X X X . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
  )");
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.nodes, 1);
  EXPECT_FALSE(probeHere(*p).found);
}

TEST(ThreatSearchFail, NothingToAttackWith) {
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . .
    . . . X X . . . .
    . . . . . . . . .
    . . . O O O . . .
  )");
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.nodes, 0);
}

TEST(ThreatSearchFail, SingleFourBlockedForGood) {
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . .
    . . O X X X . . .
    . . . . . . . . .
    . . . . O . . . .
  )");
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.nodes, 1);
}

// ---------------------------------------------------------------------------------------------
// Forced blocks

TEST(ThreatSearchBlock, AttackerThatMustBlockWithoutAFourGivesUp) {
  // The double-four position, but White's last stone made a four on row 12 (Black closes the
  // left end): Black must block at (5,12), which gives Black nothing, so the search gives up.
  std::string art = DoubleFourInTwoArt;
  art += ". . . . . . . . . . . . .\n. . . . . . . . . . . . .\nX O O O O . . . . . . . .\n";
  auto p = fromArt(Freestyle, art, {.lastMove = cellOf(4, 12)});
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.nodes, 0);
}

TEST(ThreatSearchBlock, BlockThatMakesAFourGoesOn) {
  // Freestyle: Black blocks at b (ply 1) with two fours, and White faces two five cells there:
  // 1 - 19999 for White, so 19998 for Black.
  auto p = fromArt(Freestyle, WhiteFourBlockedOnBlackDoubleFour, {.lastMove = cellOf(7, 5)});
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 19998);
  EXPECT_EQ(r.nodes, 1);
  EXPECT_FALSE(probeHere(*p).found);  // the forced block returns before the store
}

TEST(ThreatSearchBlock, BlackWhoseBlockIsForbiddenLoses) {
  // Under renju the same block is Black's double four: Black loses, White's five coming on the
  // next ply, ply - 19999.
  auto p = fromArt(RenjuRule, WhiteFourBlockedOnBlackDoubleFour, {.lastMove = cellOf(7, 5)});
  EXPECT_EQ(runThreat(*p).score, -19999);
  EXPECT_EQ(runThreat(*p, 3).score, 3 - 19999);
}

// White to move has a closed three on row 7; its four at (7,7) can only be blocked at (8,7),
// where Black would make six on column 8.
const char* const ForbiddenDefenceArt = R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . X O O O . . . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . . . . . . . . . .
  )";

TEST(ThreatSearchBlock, BlackDefenderWithAForbiddenBlockLoses) {
  auto p = fromArt(RenjuRule, ForbiddenDefenceArt, {.sideToMove = White});
  ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 19998);
  EXPECT_FALSE(probeHere(*p).found);  // returned from inside the loop, before the store
  r = runThreat(*p, 4);
  EXPECT_EQ(r.score, 19998 - 4);
  // Under exact five the block is legal (six does not win either) and White's attack runs dry.
  auto q = fromArt(ExactFiveRule, ForbiddenDefenceArt, {.sideToMove = White});
  EXPECT_EQ(runThreat(*q).score, 0);
}

// ---------------------------------------------------------------------------------------------
// Transposition table

TEST(ThreatSearchTable, ProvenWinIsStoredRelativeToTheNode) {
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  const ThreatRun r = runThreat(*p, 3);
  ASSERT_EQ(r.score, 19993);
  const ProbeResult pr = probeHere(*p);
  ASSERT_TRUE(pr.found);
  EXPECT_EQ(pr.entry.score, 19996);  // + ply
  EXPECT_EQ(pr.entry.depth, 0);
  EXPECT_EQ(pr.entry.genBound & 3, BoundExact);
  EXPECT_EQ(pr.entry.move, r.best);

  // Probed from ply 1 the entry answers at once: 19996 - 1.
  const ThreatRun again = runThreat(*p, 1);
  EXPECT_EQ(again.score, 19995);
  EXPECT_EQ(again.nodes, 0);
  // threatSearch without the best-move output answers alike.
  prepare(*p, 5);
  EXPECT_EQ(threatSearch(p->e()), 19991);
}

TEST(ThreatSearchTable, ProvenLossInTheTableIsCorrectedToo) {
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  const ProbeResult pr = probeHere(*p);
  store(*p->e().TransTable, pr.slot, p->b().hash, -19500, 7, BoundUpper, 0);
  const ThreatRun r = runThreat(*p, 2);
  EXPECT_EQ(r.score, -19498);
  EXPECT_EQ(r.nodes, 0);
}

TEST(ThreatSearchTable, UndecidedEntryIsIgnoredAndDeeperEntryKept) {
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  const ProbeResult pr = probeHere(*p);
  store(*p->e().TransTable, pr.slot, p->b().hash, 123, 20, BoundExact, cellOf(1, 1));
  const ThreatRun r = runThreat(*p);
  EXPECT_EQ(r.score, 19996);
  EXPECT_GE(r.nodes, 1);
  // The store does not replace an entry of the same position searched deeper.
  const ProbeResult after = probeHere(*p);
  ASSERT_TRUE(after.found);
  EXPECT_EQ(after.entry.score, 123);
  EXPECT_EQ(after.entry.depth, 20);
}

// ---------------------------------------------------------------------------------------------
// The stop flag

TEST(ThreatSearchStop, StoppedSearchExpandsNothingAndStoresNothing) {
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  prepare(*p, 0);
  p->e().Stopped = 1;
  const StateSnapshot before(p->e());
  EXPECT_EQ(threatSearch(p->e()), 0);
  EXPECT_EQ(p->e().SearchCounter, 0);
  EXPECT_FALSE(probeHere(*p).found);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(ThreatSearchStop, ClockPastTheLimitSetsStopped) {
  auto p = fromArt(Freestyle, DoubleFourInTwoArt);
  prepare(*p, 0);
  // The think started long before the turn time ran out; the first clock check notices.
  p->e().Settings.TimeoutTurn = 1000;
  p->e().ThinkStartMs = int32_t(uint32_t(nowMs()) - 100000u);
  const StateSnapshot before(p->e());
  EXPECT_EQ(threatSearch(p->e()), 0);
  EXPECT_EQ(p->e().Stopped, 1);
  EXPECT_EQ(p->e().SearchCounter, 0);
  EXPECT_FALSE(probeHere(*p).found);
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

// ---------------------------------------------------------------------------------------------
// Attacking moves and the five cell

std::string listText(Position& p, const std::vector<MoveEntry>& list) {
  std::string s;
  for (const MoveEntry& m : list) {
    if (!s.empty()) s += ' ';
    s += coord(m.cell);
    EXPECT_EQ(m.score, p.e().cellInfo[m.cell].moveScore[p.b().sideToMove]) << coord(m.cell);
  }
  return s;
}

TEST(ThreatSearchMoves, AttackMovesAreTheBoxFourCellsInScanOrder) {
  auto p = fromArt(Freestyle, DoubleFourInFourArt);
  std::vector<MoveEntry> list;
  generateAttackMoves(p->e(), list);
  EXPECT_EQ(listText(*p, list), "7,6 8,6 5,12 6,12");
}

TEST(ThreatSearchMoves, FollowUpsLieOnTheLinesThroughTheOwnPreviousStone) {
  auto p = fromArt(Freestyle, DoubleFourInFourArt);
  const StateSnapshot before(p->e());
  makeScratch(p->e(), cellOf(8, 6));  // Black's four
  makeScratch(p->e(), cellOf(7, 6));  // White's block
  std::vector<MoveEntry> list;
  generateFollowUpMoves(p->e(), list);
  // (9,5) and (5,9) complete the anti-diagonal four; the offsets put (1,-1) before (-3,3).
  EXPECT_EQ(listText(*p, list), "9,5 5,9");
  unmakeScratch(p->e());
  unmakeScratch(p->e());
  EXPECT_TRUE(sameState(before, StateSnapshot(p->e())));
}

TEST(ThreatSearchMoves, FollowUpsNeedTwoMovesOnTheBoard) {
  auto p = fromArt(Freestyle, R"(
    . . . . . .
    . . . . . .
    . . . X . .
  )");
  std::vector<MoveEntry> list{{1, 5}};
  generateFollowUpMoves(p->e(), list);
  EXPECT_EQ(list.size(), 1u);
  unmakeMove(p->e());
  generateFollowUpMoves(p->e(), list);
  EXPECT_EQ(list.size(), 1u);
}

TEST(ThreatSearchMoves, FiveCellAlongTheFourJustMade) {
  // Each stone of X X X _ X made last: the walk passes own stones and finds the gap.
  const char* art = R"(
    . . . . . . . . . . .
    . . X X X a X . . . .
    . . . . . . . . . . .
    . . . . O . O . . . .
  )";
  for (int x : {2, 3, 4, 6}) {
    auto p = fromArt(Freestyle, art, {.lastMove = cellOf(x, 1)});
    EXPECT_EQ(fiveCellOf(p->e(), cellOf(x, 1), Black), p->at('a')) << x;
  }
}

TEST(ThreatSearchMoves, MissingFiveCellDumpsAndFallsBack) {
  auto p = fromArt(Freestyle, R"(
    . . . . . . . . .
    . O X X X X a . .
    . . . . . . . . .
    . . O . . . . . .
  )",
                   {.lastMove = cellOf(2, 3)});
  std::ostringstream out;
  setDiagnosticStream(&out);
  setMissingFiveCellHook(printMessageDump);
  // White's stone made no four: the dump goes to the diagnostic stream and the first five
  // cell of the side asked for is returned (none for White, Black's a for Black).
  EXPECT_EQ(fiveCellOf(p->e(), cellOf(2, 3), White), 0);
  EXPECT_EQ(fiveCellOf(p->e(), cellOf(2, 3), Black), p->at('a'));
  setMissingFiveCellHook(nullptr);
  setDiagnosticStream(nullptr);
  const std::string text = out.str();
  EXPECT_EQ(text.rfind("MESSAGE LastPos:C12 \n", 0), 0u) << text.substr(0, 80);
  EXPECT_NE(text.find("===============================\n"), std::string::npos);
}

}  // namespace
}  // namespace kesta
