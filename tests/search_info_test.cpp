// The search reports a GUI shows: the MESSAGE line's fields and principal variation, the rate
// limit, and the guarantee that reporting leaves the position and the table as they were.
#include "protocol/search_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "search/search.h"
#include "search/think.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::coord;
using testpos::Game;

// A think of the engine with every report it hands out kept.
std::vector<SearchReport> thinkWithReports(Game& g, int32_t turnMs) {
  std::vector<SearchReport> reports;
  g.e().Settings.TimeoutTurn = turnMs;
  g.e().InfoHook = [&reports](Worker&, const SearchReport& r) { reports.push_back(r); };
  think(g.e());
  g.e().Stopped = 1;
  g.e().InfoHook = nullptr;
  return reports;
}

TEST(SearchInfo, ReportsEveryIterationFromDepthFourAndTheEnd) {
  Game g(15, Freestyle);
  g.play("7,7 8,7 7,8 8,8");
  g.e().MaxDepth = 7;
  const std::vector<SearchReport> reports = thinkWithReports(g, 100000);
  ASSERT_EQ(reports.size(), 5u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(reports[size_t(i)].depth, 4 + i);
    EXPECT_FALSE(reports[size_t(i)].final);
  }
  EXPECT_TRUE(reports.back().final);
  EXPECT_EQ(reports.back().depth, 7);
  EXPECT_EQ(reports.back().nodes, g.e().SearchCounter);
  EXPECT_GE(reports.back().nodes, reports[3].nodes);
}

TEST(SearchInfo, LineFieldsAndAVariationOfLegalMovesThatChangesNothing) {
  Game g(15, Freestyle);
  g.play("7,7 8,7 7,8 8,8");
  g.e().MaxDepth = 8;
  const std::vector<SearchReport> reports = thinkWithReports(g, 100000);
  ASSERT_FALSE(reports.empty());
  const SearchReport& last = reports.back();

  const uint64_t hash = g.b().hash;
  const std::vector<char> table(
      reinterpret_cast<const char*>(g.e().TransTable->buckets),
      reinterpret_cast<const char*>(g.e().TransTable->buckets) + g.e().TransTable->bytes);
  const std::string line = formatSearchInfo(g.e(), last);
  EXPECT_EQ(g.b().hash, hash);
  EXPECT_EQ(g.b().moveCount, 4);
  EXPECT_EQ(std::memcmp(table.data(), g.e().TransTable->buckets, table.size()), 0) << "the table changed";

  // depth D score S nodes N nps X time T pv x,y ...
  std::istringstream fields(line);
  std::string word[6], depth, score, nodes;
  fields >> word[0] >> depth >> word[1] >> score >> word[2] >> nodes >> word[3] >> word[4] >> word[5];
  EXPECT_EQ(word[0] + word[1] + word[2] + word[3] + word[5], "depthscorenodesnpstime") << line;
  EXPECT_EQ(depth, "8");
  EXPECT_NE(score.find_first_of("0123456789"), std::string::npos) << line;
  EXPECT_EQ(nodes, std::to_string(last.nodes));
  std::string pvWord;
  fields >> word[0] >> pvWord;
  EXPECT_EQ(pvWord, "pv") << line;
  std::vector<std::string> moves;
  for (std::string move; fields >> move;) moves.push_back(move);
  ASSERT_GE(moves.size(), 2u) << line;
  EXPECT_LE(moves.size(), size_t(MaxShownVariation));
  EXPECT_EQ(moves[0], coord(last.move));
  // Each move is a free cell when its turn comes.
  Game replay(15, Freestyle);
  replay.play("7,7 8,7 7,8 8,8");
  for (const std::string& move : moves) replay.play(move);
}

TEST(SearchInfo, ProvenResultsCountPliesToTheFive) {
  Game g(15, Freestyle);
  g.play("7,7 8,8 7,8 9,9 7,9 10,10 7,10");
  const SearchReport win{3, WinScore, 10, 1, cellOf(7, 11), true};
  EXPECT_NE(formatSearchInfo(g.e(), win).find("score win in 1 "), std::string::npos);
  const SearchReport loss{3, -(WinScore - 1), 10, 1, cellOf(11, 11), true};
  EXPECT_NE(formatSearchInfo(g.e(), loss).find("score loss in 2 "), std::string::npos);
  const SearchReport plain{3, -35, 10, 0, cellOf(7, 11), true};
  EXPECT_NE(formatSearchInfo(g.e(), plain).find("score -35 nodes 10 nps 10000 time 0 pv 7,11"),
            std::string::npos);
  // A win proven at the root, before any iteration, is still reported.
  Game proof(15, Freestyle);
  proof.play("7,7 8,7 7,8 8,8 6,9 9,6");
  proof.e().ProofEveryMove = 1;
  const std::vector<SearchReport> reports = thinkWithReports(proof, 100000);
  ASSERT_EQ(reports.size(), 1u);
  std::ostringstream out;
  SearchInfoPrinter(out).report(proof.e(), reports[0]);
  EXPECT_EQ(out.str().rfind("MESSAGE depth 0 score win in ", 0), 0u) << out.str();
}

TEST(SearchInfo, AtMostTenLinesASecondAndTheLastOneFits) {
  Game g(15, Freestyle);
  g.play("7,7 8,8");
  std::ostringstream out;
  SearchInfoPrinter printer(out);
  SearchReport r{4, 10, 100, 5, cellOf(6, 6), false};
  for (int i = 0; i < 30; ++i) printer.report(g.e(), r);
  r.final = true;
  printer.report(g.e(), r);
  printer.report(g.e(), r);
  r.depth = 0;  // nothing completed: no line
  printer.report(g.e(), r);
  std::istringstream lines(out.str());
  int count = 0;
  for (std::string line; std::getline(lines, line); ++count) EXPECT_EQ(line.rfind("MESSAGE depth 4 ", 0), 0u);
  EXPECT_EQ(count, 10);
}

}  // namespace
}  // namespace kesta
