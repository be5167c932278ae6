// Match statistics against values worked out by hand from the formulas: the mean pair score, its
// pentanomial variance, the logistic Elo of the mean and of its 95% bounds, and the normal
// approximation to the SPRT's log-likelihood ratio.
#include "tools/lib/match_stats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kesta::tool {
namespace {

TEST(MatchStats, EloIntervalAndLlrAgreeWithHandComputedValues) {
  struct Case {
    int64_t pairs[5];
    double elo, halfWidth, llr5, llr50;
  };
  const Case cases[] = {
      {{1, 3, 6, 5, 2}, 41.065, 92.933, 0.0918, 0.3479},
      {{2, 10, 30, 40, 18}, 111.369, 36.500, 1.8735, 14.6182},
      // Every pair split: the spread comes from the prior pair alone, and the test leans to H0.
      {{0, 0, 4, 0, 0}, 0.0, 111.329, -0.0052, -0.5107},
      {{0, 0, 100, 0, 0}, 0.0, 4.792, -2.1124, -208.3851},
      // All wins and all losses: pulled in by a quarter game a pair, so the Elo stays finite.
      {{0, 0, 0, 0, 5}, 511.501, 138.877, 0.3210, 2.9401},
      {{5, 0, 0, 0, 0}, -511.501, 138.877, -0.3266, -3.4916},
  };
  for (const Case& c : cases) {
    MatchScore s;
    for (int i = 0; i < 5; ++i) s.pairs[i] = c.pairs[i];
    const EloEstimate e = estimateElo(s);
    EXPECT_NEAR(e.elo, c.elo, 0.01);
    EXPECT_NEAR(e.halfWidth, c.halfWidth, 0.01);
    EXPECT_NEAR(sprtLlr(s, 0, 5), c.llr5, 0.001);
    EXPECT_NEAR(sprtLlr(s, 0, 50), c.llr50, 0.001);
  }
  // One split pair decides nothing.
  MatchScore one;
  one.addPair(1, 0);
  EXPECT_EQ(sprtDecision(sprtLlr(one, 0, 50)), SprtDecision::None);
  EXPECT_EQ(sprtDecision(2.95), SprtDecision::H1);
  EXPECT_EQ(sprtDecision(2.94), SprtDecision::None);
  EXPECT_EQ(sprtDecision(-2.95), SprtDecision::H0);
}

TEST(MatchStats, PairsCountGamesAndPrintTheSummaryLine) {
  MatchScore s;
  EXPECT_EQ(summaryLine(s, 0, 5), "elo 0.0 +- 0.0 games 0 wdl 0-0-0 llr 0.00 decision none");
  s.addPair(1, 0.5);  // 3/2 points
  s.addPair(0, 0);
  s.addPair(0.5, 0.5);
  EXPECT_EQ(s.pairs[3], 1);
  EXPECT_EQ(s.pairs[0], 1);
  EXPECT_EQ(s.pairs[2], 1);
  EXPECT_EQ(s.wins, 1);
  EXPECT_EQ(s.draws, 3);
  EXPECT_EQ(s.losses, 2);

  // One lost pair decides nothing.
  MatchScore lost;
  lost.addPair(0, 0);
  EXPECT_EQ(sprtDecision(sprtLlr(lost, 0, 10)), SprtDecision::None);
  EXPECT_NE(summaryLine(lost, 0, 10).find("decision none"), std::string::npos);

  MatchScore draws;
  for (int i = 0; i < 100; ++i) draws.addPair(0.5, 0.5);
  EXPECT_EQ(summaryLine(draws, 0, 5), "elo 0.0 +- 4.8 games 200 wdl 0-200-0 llr -2.11 decision none");
  MatchScore wins;
  for (int i = 0; i < 100; ++i) wins.addPair(1, 1);
  const std::string line = summaryLine(wins, 0, 5);
  EXPECT_EQ(line.rfind("elo 1040.4 +- 136.4 ", 0), 0u) << line;
  EXPECT_EQ(line.find("inf"), std::string::npos) << line;
  EXPECT_EQ(line.find("nan"), std::string::npos) << line;
  EXPECT_NE(line.find("games 200 wdl 200-0-0"), std::string::npos) << line;
  EXPECT_NE(line.find("decision H1"), std::string::npos) << line;
}

}  // namespace
}  // namespace kesta::tool
