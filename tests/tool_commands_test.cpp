// kesta-tool's command table: the usage text lists every command with a usage line, and an option
// that a command does not read is refused before the command runs, while the ones it reads work.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/processes.h"

namespace kesta {
namespace {

using kesta_test::runTool;

int exitCode(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ToolCommands, AnUnknownOptionIsRefusedAndTheKnownOnesWork) {
  // Black, to move, wins with its open three 7,7 8,7 9,7.
  const std::string position = "threat --rule freestyle --moves \"7,7 0,0 8,7 0,1 9,7 0,2\"";
  int status = 0;
  const std::string known = runTool(position + " --kind vct --plies 9 --nodes 100000 2>&1", &status);
  EXPECT_EQ(exitCode(status), 0) << known;
  EXPECT_EQ(known.rfind("score ", 0), 0u) << known;

  // A misspelt option stops the command before it searches: no result line, exit status 2.
  const std::string refused = runTool(position + " --kind vct --plys 9 2>&1", &status);
  EXPECT_EQ(exitCode(status), 2);
  EXPECT_EQ(refused.rfind("kesta-tool threat: unknown option --plys\nusage: kesta-tool threat --rule R", 0),
            0u)
      << refused;
  EXPECT_EQ(refused.find("score "), std::string::npos) << refused;

  // An option of another command is no option of this one.
  runTool("forbidden --rule renju --black \"5,3 5,4 3,5 4,5\" 2>/dev/null", &status);
  EXPECT_EQ(exitCode(status), 2);
  EXPECT_EQ(runTool("forbidden --size 15 --black \"5,3 5,4 3,5 4,5\" --white \"10,10\""), "5,5\n");
}

// nbest prints one line per best line, the moves all different, then the depth reached.
TEST(ToolCommands, NBestListsTheBestLines) {
  const std::string out = runTool(
      "nbest --rule freestyle --size 15 --moves \"7,7 8,7 7,8 8,9 6,9 9,6\" --lines 3 --turn-time 300");
  std::istringstream lines(out);
  std::set<std::string> moves;
  std::string line;
  for (int i = 1; i <= 3 && std::getline(lines, line); ++i) {
    const std::string head = "line " + std::to_string(i) + " move ";
    ASSERT_EQ(line.rfind(head, 0), 0u) << out;
    EXPECT_NE(line.find(" eval "), std::string::npos) << line;
    moves.insert(line.substr(head.size(), line.find(' ', head.size()) - head.size()));
  }
  EXPECT_EQ(moves.size(), 3u) << out;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line.rfind("depth ", 0), 0u) << out;
}

TEST(ToolCommands, EveryCommandHasAUsageLineAndRefusesUnknownOptions) {
  int status = 0;
  const std::string help = runTool("help", &status);
  EXPECT_EQ(exitCode(status), 0);
  // Without a command the same text goes to standard error, with exit status 2.
  EXPECT_EQ(runTool("2>&1 >/dev/null", &status), help);
  EXPECT_EQ(exitCode(status), 2);

  // "  NAME: summary", then the command's usage lines indented by four.
  std::vector<std::string> names, usages;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  ", 0) == 0 && line[2] != ' ') {
      names.push_back(line.substr(2, line.find(':') - 2));
      usages.emplace_back();
    } else if (line.rfind("    ", 0) == 0 && !usages.empty()) {
      usages.back() += line.substr(4) + "\n";
    }
  }
  ASSERT_GE(names.size(), 2u) << help;
  EXPECT_NE(std::find(names.begin(), names.end(), "bench"), names.end()) << help;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    EXPECT_TRUE(usages[i].rfind(name + " ", 0) == 0 || usages[i].rfind(name + "\n", 0) == 0)
        << name << " has no usage line:\n"
        << help;
    const std::string refused = runTool(name + " --no-such-option 2>&1", &status);
    EXPECT_EQ(exitCode(status), 2) << name;
    EXPECT_EQ(refused.rfind(
                  "kesta-tool " + name + ": unknown option --no-such-option\nusage: kesta-tool " + name, 0),
              0u)
        << refused;
  }
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
