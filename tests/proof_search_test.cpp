// Proofs of wins by threats: a double three that only threes can prove, one with a split three, a
// three that does not force because the defender can make an open four, Black's forbidden threes
// under renju, White's win through Black's forbidden block, the root stepping aside from the
// opponent's proven win, the root proofs waiting for a claimed win or a long think, and every
// claimed win of short self-play games played out under the referee, and so is every move the root
// ruled out as lost.
#include "search/proof_search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "core/clock.h"
#include "search/search.h"
#include "search/think.h"
#include "support/position.h"
#include "support/processes.h"

namespace kesta {
namespace {

using testpos::fromArt;
using testpos::sameState;
using testpos::StateSnapshot;

constexpr int32_t NoLimit = std::numeric_limits<int32_t>::max();

ProofResult prove(testpos::Position& p, ProofKind kind) {
  Engine& e = p.e();
  e.Settings.TimeoutTurn = NoLimit;
  e.Settings.TimeLeft = NoLimit;
  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.ply = 0;
  const StateSnapshot before(e);
  const ProofResult r = proveWin(e, kind, 31, 2000000);
  EXPECT_TRUE(sameState(before, StateSnapshot(e)));
  return r;
}

// Black at a makes two open threes; no four is in sight.
const char* const DoubleThreeArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . X . . . . .
    . . . . . . . X . . . . .
    . . . . . X X a . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
  )";

TEST(ProofSearch, DoubleThreeIsProvenByThreesOnly) {
  auto p = fromArt(Freestyle, DoubleThreeArt);
  EXPECT_FALSE(prove(*p, ProofKind::Fours).proven);
  const ProofResult r = prove(*p, ProofKind::Threats);
  ASSERT_TRUE(r.proven);
  // The double three, a block, the open four, a block, five.
  EXPECT_EQ(r.plies, 5);
  EXPECT_EQ(r.move, p->at('a'));
  EXPECT_EQ(proofScore(r, 0), 19996);
}

// Black at a makes an open three and a split three (the column, with its gap at g).
const char* const SplitThreeArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . X . . . . .
    . . . . . . . X . . . . .
    . . . . . . . g . . . . .
    . . . . . X X a . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
  )";

TEST(ProofSearch, SplitThreeCountsAsAThree) {
  auto p = fromArt(Freestyle, SplitThreeArt);
  EXPECT_FALSE(prove(*p, ProofKind::Fours).proven);
  const ProofResult r = prove(*p, ProofKind::Threats);
  ASSERT_TRUE(r.proven);
  EXPECT_EQ(r.plies, 5);
  EXPECT_EQ(r.move, p->at('a'));
}

// The same, with White's open three in the top row: it answers any Black three with an open four.
const char* const CounteredDoubleThreeArt = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . O O O . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . X . . . . .
    . . . . . . . X . . . . .
    . . . . . X X a . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
  )";

TEST(ProofSearch, ThreeDoesNotForceWhenTheDefenderCanMakeAnOpenFour) {
  auto p = fromArt(Freestyle, CounteredDoubleThreeArt);
  EXPECT_FALSE(prove(*p, ProofKind::Threats).proven);
}

TEST(ProofSearch, BlackNeverAttacksThroughAForbiddenDoubleThree) {
  auto p = fromArt(RenjuRule, DoubleThreeArt);
  const ProofResult r = prove(*p, ProofKind::Threats);
  EXPECT_NE(r.move, p->at('a'));
  if (r.proven) {
    EXPECT_GT(r.plies, 5);
  }
}

// White's four at a can only be blocked at b, where Black would make six in a column.
const char* const ForbiddenBlockArt = R"(
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . . . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . X O O O a b . . .
    . . . . . . . . X . . .
    . . . . . . . . X . . .
    . . . . . . . . . . . .
  )";

TEST(ProofSearch, WhiteWinsThroughBlacksForbiddenBlock) {
  auto p = fromArt(RenjuRule, ForbiddenBlockArt, {.sideToMove = White});
  const ProofResult r = prove(*p, ProofKind::Threats);
  ASSERT_TRUE(r.proven);
  EXPECT_EQ(r.move, p->at('a'));
  EXPECT_EQ(r.plies, 3);
  // Under exact five the block is legal, and White has nothing more.
  auto q = fromArt(ExactFiveRule, ForbiddenBlockArt, {.sideToMove = White});
  EXPECT_FALSE(prove(*q, ProofKind::Threats).proven);
}

// White's open three threatens an open four; Black, to move, has stones far away.
const char* const OpponentsThreeArt = R"(
    X . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . O O O . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . .
    . . . . . . . . . . . . X
  )";

// Black's move must take White's proven win away.
TEST(ProofSearch, RootStepsAsideFromTheOpponentsProvenWin) {
  auto p = fromArt(Freestyle, OpponentsThreeArt);
  Engine& e = p->e();
  e.ProofEveryMove = 1;
  e.Settings.TimeoutTurn = 2000;
  const CellIndex move = think(e).move;
  e.Stopped = 1;
  ASSERT_NE(move, 0);
  makeMove(e, move);
  e.ply = 0;
  const ProofResult r = prove(*p, ProofKind::Threats);
  EXPECT_FALSE(r.proven) << "Black played " << testpos::coord(move) << ", White wins in " << r.plies << " from " << testpos::coord(r.move);
}

// By default the root proofs wait for a proven result: none runs while nothing is claimed, and a
// win that the search claims, or that the table holds, is played by its proof.
TEST(ProofSearch, RootProofsRunOnceAWinIsClaimed) {
  auto quiet = fromArt(Freestyle, OpponentsThreeArt);
  quiet->e().Settings.TimeoutTurn = 2000;
  quiet->e().MaxDepth = 2;
  think(quiet->e());
  quiet->e().Stopped = 1;
  EXPECT_EQ(quiet->e().report.proof, nullptr);

  auto p = fromArt(Freestyle, DoubleThreeArt);
  Engine& e = p->e();
  e.Settings.TimeoutTurn = 2000;
  e.MaxDepth = 2;
  EXPECT_EQ(think(e).move, p->at('a'));
  e.Stopped = 1;
  ASSERT_NE(e.report.proof, nullptr);
  EXPECT_EQ(e.report.score, 19996);
  const ProbeResult pr = probe(*e.TransTable, p->b().hash);
  store(*e.TransTable, pr.slot, p->b().hash, WinScore + 1 - 7, 0, BoundLower, 0);
  EXPECT_EQ(think(e).move, p->at('a'));
  e.Stopped = 1;
  ASSERT_NE(e.report.proof, nullptr);
  EXPECT_EQ(e.report.score, 19996);
}

// Before the search, the root proofs run on long timed thinks only: not on short ones, nor on thinks
// limited by nodes or depth or without a practical time limit, which must repeat.
TEST(ProofSearch, RootProofsRunBeforeLongTimedThinks) {
  auto p = fromArt(Freestyle, OpponentsThreeArt);
  Engine& e = p->e();
  e.Settings.TimeLeft = 1000000000;
  e.Settings.TimeoutTurn = 1000;  // a budget of 940 ms
  EXPECT_TRUE(proofsBeforeSearch(e));
  e.Settings.TimeoutTurn = 900;
  EXPECT_FALSE(proofsBeforeSearch(e));
  e.ProofMinTime = 800;
  EXPECT_TRUE(proofsBeforeSearch(e));
  e.Settings.TimeoutTurn = 5000;
  e.Settings.TimeLeft = 3000;  // the match time's share decides
  EXPECT_FALSE(proofsBeforeSearch(e));
  e.Settings.TimeLeft = 1000000000;
  e.Settings.NodeLimit = 1000000;
  EXPECT_FALSE(proofsBeforeSearch(e));
  e.Settings.NodeLimit = 0;
  e.MaxDepth = 10;
  EXPECT_FALSE(proofsBeforeSearch(e));
  e.MaxDepth = DeepestIteration;
  e.Settings.TimeoutTurn = NoLimit;
  e.Settings.TimeLeft = NoLimit;
  EXPECT_FALSE(proofsBeforeSearch(e));
  e.ProofEveryMove = 1;
  EXPECT_TRUE(proofsBeforeSearch(e));
}

#ifndef _WIN32
// Every win claimed in short self-play games, by a proof or by the search, holds when the engine
// defends it at a generous time.
TEST(ProofSearch, ClaimedWinsHoldWhenPlayedOut) {
  for (const char* rule : {"freestyle", "exact5", "renju", "caro", "caro8"}) {
    int status = 0;
    const std::string out = kesta_test::runTool(
        std::string("prove-check --rule ") + rule + " --games 4 --turn-time 30 --check-time 100 2>/dev/null",
        &status);
    EXPECT_EQ(status, 0) << rule << ": " << out;
    EXPECT_NE(out.find(" failed 0\n"), std::string::npos) << rule << ": " << out;
  }
}

// The moves that the root's defensive proofs rule out are lost: after each, the opponent wins when
// the engine defends at a generous time.
TEST(ProofSearch, MovesRuledOutAsLostAreLost) {
  for (const char* rule : {"freestyle", "renju"}) {
    const std::string out =
        kesta_test::runTool(std::string("prove-check --rule ") + rule +
                            " --games 5 --turn-time 30 --check-time 100 --lost-moves 2 2>/dev/null");
    int lost = -1, held = -1, failed = -1;
    const size_t at = out.find("lost moves ");
    ASSERT_NE(at, std::string::npos) << rule << ": " << out;
    ASSERT_EQ(std::sscanf(out.c_str() + at, "lost moves %d held %d failed %d", &lost, &held, &failed), 3)
        << out;
    EXPECT_GT(lost, 0) << rule << ": " << out;
    EXPECT_EQ(failed, 0) << rule << ": " << out;
  }
}
#endif

}  // namespace
}  // namespace kesta
