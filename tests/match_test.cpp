// kesta-tool match end to end: two brains over pipes at fixed nodes, an opening file, both
// colours of each opening, the game record and the summary line.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/processes.h"
#include "support/temp_dir.h"

namespace kesta {
namespace {

using kesta_test::runTool;

std::vector<std::string> gameLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("game ", 0) == 0) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

// The summary's last line: "elo E +- C games N wdl W-D-L llr L decision D".
bool isSummaryLine(const std::string& line, int games) {
  std::istringstream in(line);
  std::string elo, pm, gamesWord, wdlWord, wdl, llrWord, decisionWord, decision;
  double e = 0, c = 0, llr = 0;
  int n = 0, w = -1, d = -1, l = -1;
  char dash1 = 0, dash2 = 0;
  if (!(in >> elo >> e >> pm >> c >> gamesWord >> n >> wdlWord >> wdl >> llrWord >> llr >> decisionWord >> decision))
    return false;
  std::istringstream(wdl) >> w >> dash1 >> d >> dash2 >> l;
  return elo == "elo" && pm == "+-" && c >= 0 && gamesWord == "games" && n == games && wdlWord == "wdl" &&
         dash1 == '-' && dash2 == '-' && w + d + l == games && llrWord == "llr" && decisionWord == "decision" &&
         (decision == "H0" || decision == "H1" || decision == "none") && line.back() == '\n';
}

// Two runs with one seed play the same games; each opening is played once with each colour.
TEST(MatchTool, FixedNodeMatchesRepeatFromTheirSeed) {
  kesta_test::TempDir dir;
  const std::string openings = (dir.path() / "openings.txt").string();
  std::ofstream(openings) << "# two openings\n0,0, 1,1, -1,1\n\n-1,0, 0,0, 0,-1, 2,2\n";
  std::string outputs[2];
  for (int run = 0; run < 2; ++run) {
    const std::string pgn = (dir.path() / ("games" + std::to_string(run) + ".txt")).string();
    outputs[run] = runTool("match --engine '" KESTA_BRAIN_PATH "' --engine '" KESTA_BRAIN_PATH
                           "' --nodes 1500 --games 4 --concurrency 2 --seed 77 --openings '" +
                           openings + "' --pgn '" + pgn + "'");
    const std::string last = outputs[run].substr(outputs[run].rfind('\n', outputs[run].size() - 2) + 1);
    EXPECT_TRUE(isSummaryLine(last, 4)) << last;
  }
  const std::vector<std::string> first = gameLines((dir.path() / "games0.txt").string());
  ASSERT_EQ(first.size(), 4u) << outputs[0];
  EXPECT_EQ(first, gameLines((dir.path() / "games1.txt").string()));
  // Games 1 and 2 start from the first opening, the first engine Black in game 1 only.
  EXPECT_NE(first[0].find("game 1 black 1 white 2 "), std::string::npos) << first[0];
  EXPECT_NE(first[0].find(" moves 7,7 8,8 6,8 "), std::string::npos) << first[0];
  EXPECT_NE(first[1].find("game 2 black 2 white 1 "), std::string::npos) << first[1];
  EXPECT_NE(first[1].find(" moves 7,7 8,8 6,8 "), std::string::npos) << first[1];
  EXPECT_NE(first[3].find(" moves 6,7 7,7 7,6 9,9 "), std::string::npos) << first[3];
}

// Brains kept running from game to game (START each game) play the very games of fresh brains:
// nothing of one game leaks into the next. A match clock reports each engine's share of it used.
TEST(MatchTool, KeptBrainsPlayTheGamesOfFreshOnes) {
  kesta_test::TempDir dir;
  const std::string openings = (dir.path() / "openings.txt").string();
  std::ofstream(openings) << "0,0, 1,1, -1,1\n-1,0, 0,0, 0,-1, 2,2\n";
  std::vector<std::string> games[2];
  for (int reuse = 0; reuse < 2; ++reuse) {
    const std::string pgn = (dir.path() / ("games" + std::to_string(reuse) + ".txt")).string();
    const std::string out = runTool("match --engine '" KESTA_BRAIN_PATH "' --engine '" KESTA_BRAIN_PATH
                                    "' --nodes 1500 --games 4 --concurrency 2 --seed 5 --openings '" +
                                    openings + "' --pgn '" + pgn + "'" + (reuse ? " --reuse" : ""));
    EXPECT_NE(out.find(reuse ? "mode brains kept running" : "mode a fresh brain per game"), std::string::npos) << out;
    games[reuse] = gameLines(pgn);
  }
  ASSERT_EQ(games[0].size(), 4u);
  EXPECT_EQ(games[0], games[1]);
  const std::string timed = runTool("match --engine '" KESTA_BRAIN_PATH "' --engine '" KESTA_BRAIN_PATH
                                    "' --turn-time 40 --match-time 800 --games 2 --reuse --openings '" +
                                    openings + "'");
  EXPECT_NE(timed.find("engine 1 match clock used per game: median "), std::string::npos) << timed;
  EXPECT_NE(timed.find("% of 800 ms"), std::string::npos) << timed;
}

TEST(MatchTool, RefusesBadArguments) {
  int status = 0;
  runTool("match --engine '" KESTA_BRAIN_PATH "' 2>/dev/null", &status);
  EXPECT_NE(status, 0);
  runTool("match --engine '" KESTA_BRAIN_PATH "' --engine /no/such/brain 2>/dev/null", &status);
  EXPECT_NE(status, 0);
  runTool("match --engine '" KESTA_BRAIN_PATH "' --engine '" KESTA_BRAIN_PATH "' --sprt 5,0 2>/dev/null", &status);
  EXPECT_NE(status, 0);
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
