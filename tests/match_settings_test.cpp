// Match settings and rules through protocol sessions: which INFO keys reach which copy of the
// settings, what survives START, RESTART and RULE, and how RULE selects the rule mode.
#include "search/match_settings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/command_loop.h"
#include "search/trans_table.h"
#include "support/temp_dir.h"

namespace kesta {
namespace {

constexpr int32_t Unlimited = 2147483647;
constexpr int32_t MatchDefault = 1000000000;

class MatchSettingsSession : public ::testing::Test {
 protected:
  void SetUp() override { loop_ = std::make_unique<CommandLoop>(in_, out_, 1u << 16); }
  void TearDown() override {
    loop_.reset();
  }

  // Feeds text to the loop, runs every command in it and returns what the loop printed.
  std::string send(const std::string& text) {
    in_.clear();
    in_ << text;
    out_.str("");
    while (loop_->step()) {
    }
    return out_.str();
  }

  const MatchSettings& engineSettings() { return loop_->engine().Settings; }
  Rule rule() { return ruleOf(loop_->engine()); }
  const MatchSettings& remembered() { return loop_->rememberedSettings(); }
  int stones() { return loop_->board().moveCount; }

  // Black stones at (2,7) (3,7) (4,7) (6,7) (7,7), so that Black at (5,7) makes six in a row;
  // White's stones stand far away. No reply is due (the last who is not 2).
  void setUpSixGap() {
    ASSERT_EQ("",
              send("BOARD\n2,7,1\n0,0,1\n3,7,1\n0,2,1\n4,7,1\n0,4,1\n6,7,1\n0,6,1\n7,7,1\n0,8,1\nDONE\n"));
    ASSERT_EQ(10, stones());
  }
  int blackCodeAtGap() { return loop_->engine().cellInfo[cellOf(5, 7)].lineCode[0][0]; }

  kesta_test::TempExeDir dir_;  // without AIEval.txt; the tests write AIConfig.txt
  std::stringstream in_;
  std::ostringstream out_;
  std::unique_ptr<CommandLoop> loop_;
};

// The output with the clock's part of each search report (" nps X time T") cut out.
std::string withoutTimes(std::string text) {
  for (size_t at = text.find(" nps "); at != std::string::npos; at = text.find(" nps ", at)) {
    const size_t end = text.find(" pv", at);
    if (end == std::string::npos) break;
    text.erase(at, end - at);
  }
  return text;
}

std::string aboutReply() {
  return aboutLine() + "\n";
}

TEST_F(MatchSettingsSession, TurnAndMatchTimeoutsReachBothCopiesAndSurviveRestarts) {
  EXPECT_EQ("", send("INFO timeout_turn 2000\n"));
  EXPECT_EQ(2000, engineSettings().TimeoutTurn);
  EXPECT_EQ(2000, remembered().TimeoutTurn);
  EXPECT_EQ("", send("INFO Timeout_Match 90000\n"));
  EXPECT_EQ(90000, engineSettings().TimeoutMatch);
  EXPECT_EQ(90000, remembered().TimeoutMatch);

  EXPECT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(2000, engineSettings().TimeoutTurn);
  EXPECT_EQ(90000, engineSettings().TimeoutMatch);
  EXPECT_EQ("OK\n", send("START 20\n"));  // a new Engine
  EXPECT_EQ(20, loop_->board().size);
  EXPECT_EQ(2000, engineSettings().TimeoutTurn);
  EXPECT_EQ(90000, engineSettings().TimeoutMatch);

  // Negative values are dropped; a turn time of 0 is as fast as possible, a match time of 0 no
  // match clock.
  EXPECT_EQ("", send("INFO TIMEOUT_TURN -300\nINFO TIMEOUT_MATCH -1\n"));
  EXPECT_EQ(2000, engineSettings().TimeoutTurn);
  EXPECT_EQ(2000, remembered().TimeoutTurn);
  EXPECT_EQ("", send("INFO TIMEOUT_TURN 0\n"));
  EXPECT_EQ(0, engineSettings().TimeoutTurn);
  EXPECT_EQ(0, remembered().TimeoutTurn);
  EXPECT_EQ("", send("INFO TIMEOUT_TURN 2000\n"));
  EXPECT_EQ(90000, engineSettings().TimeoutMatch);
  EXPECT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(2000, engineSettings().TimeoutTurn);
  EXPECT_EQ(90000, remembered().TimeoutMatch);
  EXPECT_EQ("", send("INFO TIMEOUT_MATCH 0\n"));
  EXPECT_EQ(NoMatchClock, remembered().TimeoutMatch);
  EXPECT_EQ(NoMatchClock, engineSettings().TimeLeft);
}

// Without time_left the brain counts its match clock down itself, from timeout_match (sent before
// or after START) less what its thinks took; a time_left replaces the count, and a new game starts
// with the clock full.
TEST_F(MatchSettingsSession, MatchClockCountsDownWithoutTimeLeft) {
  ASSERT_EQ("OK\n", send("START 15\nINFO timeout_turn 300\n"));
  EXPECT_EQ("", send("INFO timeout_match 9000\n"));
  EXPECT_EQ(9000, engineSettings().TimeLeft);
  const std::string move = send("BOARD\n7,7,2\n8,8,1\n6,8,2\n9,6,1\n7,9,2\nDONE\n");
  ASSERT_NE("", move);
  const int32_t left = engineSettings().TimeLeft;
  EXPECT_LT(left, 9000);
  EXPECT_GT(left, 9000 - 300);
  EXPECT_EQ("", send("INFO timeout_match 9000\n"));  // the count stands
  EXPECT_EQ(left, engineSettings().TimeLeft);
  EXPECT_EQ("", send("INFO time_left 4000\n"));
  EXPECT_EQ(4000, engineSettings().TimeLeft);
  EXPECT_EQ("", send("INFO timeout_match 9000\n"));
  EXPECT_EQ(4000, engineSettings().TimeLeft);
  EXPECT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(9000, engineSettings().TimeLeft);
}

TEST_F(MatchSettingsSession, TimeLeftLastsUntilTheNextRestart) {
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ("", send("INFO TIME_LEFT 5000\n"));
  EXPECT_EQ(5000, engineSettings().TimeLeft);
  EXPECT_EQ(MatchDefault, remembered().TimeLeft);
  EXPECT_EQ("", send("INFO TIME_LEFT 0\nINFO time_left -20\n"));
  EXPECT_EQ(5000, engineSettings().TimeLeft);

  EXPECT_EQ("", send("INFO TIME_LEFT 60000\n"));
  EXPECT_EQ(60000, engineSettings().TimeLeft);
  EXPECT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(MatchDefault, engineSettings().TimeLeft);

  EXPECT_EQ("", send("INFO TIME_LEFT 60000\n"));
  EXPECT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(MatchDefault, engineSettings().TimeLeft);

  EXPECT_EQ("", send("INFO TIME_LEFT 60000\nINFO RULE 1\n"));
  EXPECT_EQ(MatchDefault, engineSettings().TimeLeft);
}

// The memory limit sizes the table, so it holds for the whole session, restarts included.
TEST_F(MatchSettingsSession, MaxMemory) {
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ("", send("INFO MAX_MEMORY 83886080\n"));
  EXPECT_EQ(83886080, engineSettings().MaxMemory);
  EXPECT_EQ(83886080, remembered().MaxMemory);
  EXPECT_EQ("", send("INFO MAX_MEMORY 0\n"));
  EXPECT_EQ(Unlimited, engineSettings().MaxMemory);
  EXPECT_EQ("", send("INFO MAX_MEMORY 1000\nINFO MAX_MEMORY -1\n"));
  EXPECT_EQ(1000, engineSettings().MaxMemory);
  EXPECT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(1000, engineSettings().MaxMemory);
  EXPECT_EQ("OK\n", send("START 20\n"));
  EXPECT_EQ(1000, engineSettings().MaxMemory);
}

// The table takes the size the limit allows before the next think, fresh and empty; never during
// one, and never above the cap the loop was given.
TEST_F(MatchSettingsSession, MemoryLimitSizesTheTableBeforeTheNextThink) {
  std::stringstream in;
  std::ostringstream out;
  CommandLoop loop(in, out, 1u << 19);
  auto run = [&](const std::string& text) {
    in.clear();
    in.str(text);
    while (loop.step()) {
    }
  };
  auto buckets = [&] { return loop.engine().TransTable->count; };
  run("INFO timeout_turn 50\nINFO max_memory 67108864\nSTART 15\n");
  EXPECT_EQ(buckets(), MinTableBuckets);  // nothing stored yet: the table waits for a think
  run("BEGIN\nTURN 8,8\n");
  EXPECT_EQ(buckets(), 1u << 19);
  // A deep entry of a position that cannot come up marks the table.
  constexpr uint64_t Marker = 0x0123456789ABCDEFull;
  auto marked = [&] { return hasEntry(*loop.engine().TransTable, Marker); };
  TranspositionTable& table = *loop.engine().TransTable;
  store(table, probe(table, Marker).slot, Marker, 0, 127, BoundExact, 0);
  run("INFO max_memory 67000000\nTURN 9,9\n");  // the same size: the same table, kept
  EXPECT_TRUE(marked());
  run("INFO max_memory 57671680\n");  // 55 MiB: too little for a 32 MiB table and the rest
  EXPECT_EQ(buckets(), 1u << 19);
  EXPECT_TRUE(marked());
  run("TAKEBACK\nTAKEBACK\nTURN 9,9\n");
  EXPECT_EQ(buckets(), 1u << 18);
  EXPECT_FALSE(marked());
  run("INFO max_memory 0\nRESTART\nBEGIN\n");
  EXPECT_EQ(buckets(), 1u << 19);  // no limit: the cap
  run("INFO max_memory 1\nSTART 20\nBEGIN\n");
  EXPECT_EQ(buckets(), MinTableBuckets);
  EXPECT_EQ(out.str().find("ERROR"), std::string::npos) << out.str();
}

// The line code of Black's six-making cell shows which rule the tables were built for: six wins
// in freestyle (code 17), not under exact five or renju (code 0).
TEST_F(MatchSettingsSession, RuleSelectsTheRuleAndRestartsTheGame) {
  EXPECT_EQ(RenjuRule, rule());  // an Engine built before the first START keeps renju
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(Freestyle, rule());
  setUpSixGap();
  EXPECT_EQ(17, blackCodeAtGap());

  // Renju when bit 4 is set or the value is 2 alone, else caro with bit 8 (standard with bit 1),
  // else exact five with bit 1, else freestyle; every value restarts the game, and renju is left as
  // readily as any rule.
  const struct {
    const char* value;
    Rule rule;
  } cases[] = {{"1", ExactFiveRule}, {"0", Freestyle},     {"4", RenjuRule},        {"0", Freestyle},
               {"2", RenjuRule},     {"1", ExactFiveRule}, {"5", RenjuRule},        {"3", ExactFiveRule},
               {"6", RenjuRule},     {"16", Freestyle},    {"9", CaroRule},         {"8", CaroOverlineRule},
               {"12", RenjuRule},    {"11", CaroRule},     {"10", CaroOverlineRule}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    setUpSixGap();
    EXPECT_EQ("", send(std::string("INFO RULE ") + c.value + "\n"));
    EXPECT_EQ(c.rule, rule());
    EXPECT_EQ(c.rule, remembered().GameRule);
    EXPECT_EQ(c.rule, engineSettings().GameRule);
    EXPECT_EQ(0, stones());
    setUpSixGap();
    EXPECT_EQ(c.rule == Freestyle || c.rule == CaroOverlineRule ? 17 : 0, blackCodeAtGap());
  }
}

TEST_F(MatchSettingsSession, RuleHoldsAcrossRestartAndStart) {
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ("", send("INFO RULE 4\n"));
  EXPECT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(RenjuRule, rule());
  EXPECT_EQ("OK\n", send("START 20\n"));
  EXPECT_EQ(RenjuRule, rule());
  EXPECT_EQ("", send("INFO RULE 0\n"));
  EXPECT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(Freestyle, rule());
}

TEST_F(MatchSettingsSession, NegativeRuleChangesNothing) {
  ASSERT_EQ("OK\n", send("START 15\nINFO RULE 1\n"));
  setUpSixGap();
  const uint64_t hash = loop_->board().hash;
  EXPECT_EQ("", send("INFO RULE -8\n"));
  EXPECT_EQ(ExactFiveRule, rule());
  EXPECT_EQ(10, stones());
  EXPECT_EQ(hash, loop_->board().hash);
}

TEST_F(MatchSettingsSession, FolderTakesTheRestOfItsLine) {
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ("", send("INFO FOLDER /home/manager/brains/kesta\n"));
  EXPECT_EQ("", send("INFO FOLDER ABOUT\n"));  // the path, not a command
  EXPECT_EQ("", send("INFO FOLDER /tmp/My ABOUT\n"));
  EXPECT_EQ(aboutReply(), send("ABOUT\n"));
}

TEST_F(MatchSettingsSession, UnknownKeysAndGameTypeAreDropped) {
  ASSERT_EQ("OK\n", send("START 15\n"));
  const MatchSettings before = engineSettings();
  EXPECT_EQ("", send("INFO EVALUATE 5\n"));
  EXPECT_EQ("", send("INFO GAME_TYPE 1\n"));
  EXPECT_EQ("", send("INFO TIMEOUT 42\n"));  // not TIMEOUT_TURN
  EXPECT_EQ(before.TimeoutTurn, engineSettings().TimeoutTurn);
  EXPECT_EQ(before.TimeoutMatch, engineSettings().TimeoutMatch);
  EXPECT_EQ(before.TimeLeft, engineSettings().TimeLeft);
  EXPECT_EQ(before.MaxMemory, engineSettings().MaxMemory);
  EXPECT_EQ(Freestyle, rule());
  // An INFO line is INFO's, whatever its key: nothing on it is read as a command.
  EXPECT_EQ("", send("INFO SOMETHING ABOUT\n"));
  EXPECT_EQ("", send("INFO THREAD_NUM 4\n"));
  EXPECT_EQ(before.TimeoutTurn, engineSettings().TimeoutTurn);
  EXPECT_EQ(aboutReply(), send("ABOUT\n"));
}

// thread_num holds across games within 1..64 (nothing, 0 or less: one thread), and each thread
// beyond the first leaves 10 MiB of max_memory to the process instead of the table.
TEST_F(MatchSettingsSession, ThreadCountHoldsAndTakesItsMemoryFromTheTable) {
  ASSERT_EQ("", send("INFO thread_num 3\n"));
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(3, engineSettings().ThreadCount);
  ASSERT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(3, engineSettings().ThreadCount);
  for (const auto& [value, threads] : std::vector<std::pair<std::string, int>>{
           {"0", 1}, {"65", 64}, {"-2", 1}, {"2", 2}, {"", 1}, {"x", 1}, {"9999999999999", 64}}) {
    ASSERT_EQ("", send("INFO THREAD_NUM " + value + "\n"));
    EXPECT_EQ(threads, engineSettings().ThreadCount) << value;
    EXPECT_EQ(threads, remembered().ThreadCount) << value;
  }
  constexpr int64_t MiB = int64_t(1) << 20;
  EXPECT_EQ(tableBucketsFor(64 * MiB, 1), 1u << 19);  // 32 MiB of 64 - 24
  EXPECT_EQ(tableBucketsFor(64 * MiB, 2), 1u << 18);  // 16 MiB of 64 - 24 - 10
  EXPECT_EQ(tableBucketsFor(64 * MiB, 5), MinTableBuckets);
}

// Managers' extension keys for engine matches: node and depth limits hold until changed, survive
// restarts, and 0 or less lifts them.
TEST_F(MatchSettingsSession, NodeAndDepthLimitsHoldUntilChanged) {
  ASSERT_EQ("", send("INFO MAX_NODE 3000\nINFO max_depth 5\n"));
  ASSERT_EQ("OK\n", send("START 15\n"));
  EXPECT_EQ(3000, engineSettings().NodeLimit);
  EXPECT_EQ(5, loop_->engine().MaxDepth);
  ASSERT_EQ("OK\n", send("RESTART\n"));
  EXPECT_EQ(3000, remembered().NodeLimit);
  EXPECT_EQ(5, loop_->engine().MaxDepth);
  EXPECT_EQ("", send("INFO max_depth 1\n"));
  EXPECT_EQ(2, loop_->engine().MaxDepth);  // the deepening starts at depth 2
  EXPECT_EQ("", send("INFO max_node 0\nINFO max_depth -3\n"));
  ASSERT_EQ("OK\n", send("START 20\n"));
  EXPECT_EQ(0, engineSettings().NodeLimit);
  EXPECT_EQ(64, loop_->engine().MaxDepth);
}

// A think under a node limit stops at the limit, and under one seed every choice repeats: two
// brains fed the same commands give the same moves after the same node counts.
TEST_F(MatchSettingsSession, NodeLimitedThinksRepeatUnderOneSeed) {
  const std::string script =
      "START 15\nINFO timeout_turn 600000\nINFO max_node 4000\nINFO seed 11\nBOARD\n7,7,1\n8,7,2\n7,8,1\n"
      "8,8,2\n6,9,1\n9,6,2\nDONE\n";
  std::stringstream otherIn(script);
  std::ostringstream otherOut;
  CommandLoop other(otherIn, otherOut, 1u << 16);
  const std::string first = send(script);
  while (other.step()) {
  }
  EXPECT_EQ(withoutTimes(otherOut.str()), withoutTimes(first));
  EXPECT_LE(loop_->engine().SearchCounter, 4000 + 200);
  EXPECT_GE(loop_->engine().SearchCounter, 4000);
  EXPECT_EQ(other.engine().SearchCounter, loop_->engine().SearchCounter);
  for (const char* turn : {"TURN 0,0\n", "TURN 14,14\n"}) {
    otherIn.clear();
    otherIn.str(turn);
    otherOut.str("");
    other.step();
    EXPECT_EQ(withoutTimes(send(turn)), withoutTimes(otherOut.str()));
    EXPECT_EQ(other.engine().SearchCounter, loop_->engine().SearchCounter);
  }
}

}  // namespace
}  // namespace kesta
