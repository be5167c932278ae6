// The real brain driven over pipes as the analysis GUI drives it: its yx commands, the blocks of
// several best lines, the live REALTIME lines; and a plain manager's session that sees none of them.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/processes.h"

namespace kesta {
namespace {

using kesta_test::expectCleanExit;
using kesta_test::isMessage;
using kesta_test::parseMove;

// The renju position with Black's overline at 3,0, double four at 13,0 and double three at 8,10,
// as yxboard lines with Black to move.
std::string forbiddenPosition() {
  const char* black[] = {"0,0",  "1,0",  "2,0",  "4,0",  "5,0",  "10,0", "11,0", "12,0",
                         "13,1", "13,2", "13,3", "6,10", "7,10", "8,11", "8,12"};
  const char* white[] = {"0,14", "2,14", "4,14",  "6,14", "8,14", "10,14", "12,14", "14,14",
                         "14,6", "14,8", "14,10", "0,6",  "0,8",  "0,10",  "3,12"};
  std::string lines = "yxboard\n";
  for (int i = 0; i < 15; ++i) lines += std::string(black[i]) + ",1\n" + white[i] + ",2\n";
  return lines + "done";
}

constexpr const char* MiddleGame = "yxboard\n7,7,1\n8,7,2\n7,8,1\n8,9,2\n6,9,1\n9,6,2\ndone";

// Every line up to and with the move reply.
std::vector<std::string> linesToMove(BrainProcess& brain, int timeoutMs = 20000) {
  std::vector<std::string> lines;
  while (auto line = brain.readLine(timeoutMs)) {
    lines.push_back(*line);
    if (parseMove(*line)) break;
  }
  return lines;
}

// The blocks of best lines among lines, checked for form: per depth, blocks PV 0..n-1 of seven
// lines each. Returns the first moves of the deepest depth's lines.
std::vector<std::string> checkBlocks(const std::vector<std::string>& lines, int wanted) {
  std::vector<std::string> info;
  for (const std::string& line : lines)
    if (line.rfind("INFO ", 0) == 0) info.push_back(line);
  EXPECT_FALSE(info.empty());
  EXPECT_EQ(info.size() % 7, 0u);
  std::vector<std::string> firstMoves;
  for (size_t b = 0; b + 7 <= info.size(); b += 7) {
    const int i = std::stoi(info[b].substr(8));
    const int n = std::stoi(info[b + 1].substr(11));
    EXPECT_EQ(info[b], "INFO PV " + std::to_string(i));
    EXPECT_EQ(info[b + 1].rfind("INFO NUMPV ", 0), 0u);
    EXPECT_TRUE(n >= 1 && n <= wanted && i < n) << info[b + 1];
    EXPECT_EQ(info[b + 2].rfind("INFO DEPTH ", 0), 0u);
    EXPECT_EQ(info[b + 3].rfind("INFO EVAL ", 0), 0u);
    const double rate = std::stod(info[b + 4].substr(13));
    EXPECT_TRUE(info[b + 4].rfind("INFO WINRATE ", 0) == 0 && rate >= 0 && rate <= 1) << info[b + 4];
    EXPECT_EQ(info[b + 5].rfind("INFO BESTLINE ", 0), 0u);
    std::istringstream line(info[b + 5].substr(14));
    std::string first;
    line >> first;
    EXPECT_TRUE(parseMove(first)) << info[b + 5];
    EXPECT_EQ(info[b + 6], "INFO PV DONE");
    if (i == 0) firstMoves.clear();
    firstMoves.push_back(first);
  }
  return firstMoves;
}

TEST(GuiSession, TheAnalysisGuisCommands) {
  BrainProcess brain;
  ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
  ASSERT_TRUE(brain.writeLine("yxshowinfo"));
  EXPECT_EQ(brain.readLine(), "MESSAGE INFO MAX_THREAD_NUM 64");
  EXPECT_EQ(brain.readLine(), "MESSAGE INFO MAX_HASH_SIZE 18");
  ASSERT_TRUE(
      brain.writeLine("INFO rule 4\nstart 15\nINFO thread_num 2\nINFO hash_size 8192\nINFO pondering 0\n"
                      "INFO caution_factor 1\nINFO show_detail 1\nINFO max_node -1\nINFO timeout_turn 1000"));
  EXPECT_EQ(brain.readLine(), "OK");
  ASSERT_TRUE(brain.writeLine(forbiddenPosition() + "\nyxshowforbid"));
  EXPECT_EQ(brain.readLine(), "FORBID 030013000810.");

  // Three best lines with three different first moves, and the live lines of the think.
  ASSERT_TRUE(brain.writeLine(std::string("INFO rule 0\n") + MiddleGame + "\nyxnbest 3"));
  const std::vector<std::string> lines = linesToMove(brain);
  const std::vector<std::string> firsts = checkBlocks(lines, 3);
  EXPECT_EQ(std::set<std::string>(firsts.begin(), firsts.end()).size(), 3u);
  bool best = false;
  for (const std::string& line : lines) best = best || line.rfind("MESSAGE REALTIME BEST ", 0) == 0;
  EXPECT_TRUE(best);

  // yxstop ends a long yxnbest with a move; yxhashclear answers nothing; a balancing stone is a
  // free cell.
  ASSERT_TRUE(brain.writeLine(std::string("INFO timeout_turn 30000\n") + MiddleGame + "\nyxnbest 2"));
  ASSERT_TRUE(brain.readLine(5000));
  ASSERT_TRUE(brain.writeLine("yxstop"));
  const std::vector<std::string> stopped = linesToMove(brain, 5000);
  ASSERT_FALSE(stopped.empty());
  EXPECT_TRUE(parseMove(stopped.back())) << stopped.back();
  ASSERT_TRUE(
      brain.writeLine(std::string("yxhashclear\nINFO timeout_turn 500\n") + MiddleGame + "\nyxbalanceone 0"));
  const auto stone = kesta_test::replyLine(brain);
  ASSERT_TRUE(stone && parseMove(*stone)) << stone.value_or("<none>");
  const std::set<std::string> taken = {"7,7", "8,7", "7,8", "8,9", "6,9", "9,6"};
  EXPECT_FALSE(taken.count(*stone)) << *stone;
  ASSERT_TRUE(brain.writeLine("END"));
  expectCleanExit(brain);
}

// A manager that sends no yx command sees no INFO and no REALTIME line.
TEST(GuiSession, APlainSessionPrintsNoneOfTheGuisLines) {
  BrainProcess brain;
  ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
  ASSERT_TRUE(brain.writeLine(
      "START 15\nINFO timeout_turn 500\nBOARD\n7,7,1\n8,7,2\n7,8,1\n8,9,2\n6,9,1\n9,6,2\nDONE"));
  EXPECT_EQ(brain.readLine(), "OK");
  const std::vector<std::string> lines = linesToMove(brain);
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(parseMove(lines.back()));
  for (const std::string& line : lines)
    EXPECT_TRUE(line.rfind("INFO", 0) != 0 && line.rfind("MESSAGE REALTIME", 0) != 0) << line;
  ASSERT_TRUE(brain.writeLine("END"));
  expectCleanExit(brain);
}

}  // namespace
}  // namespace kesta

#endif
