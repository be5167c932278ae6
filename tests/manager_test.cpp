// What tournament managers really send, played to the real brain over pipes: command words in
// any case, CR LF line ends, settings before and after START, new games without RESTART, a full
// board, moves after the game is decided, huge lines, tokens split across writes, END in the middle
// of a game and a manager that just closes the pipe. Also the memory a tournament allows.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/command_loop.h"
#include "support/processes.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTA_UNDER_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KESTA_UNDER_SANITIZER 1
#endif
#endif

namespace kesta {
namespace {

using kesta_test::Brain;
using kesta_test::parseMove;

const std::string About = aboutLine();
const std::string NoMove = "255,255";

// Positions that tell the rules apart by the brain's forced reply (15x15). Row 7 reads OXXXX.X
// from 1,7 to 7,7 with Black to move, so 6,7 makes six; White holds a four on row 10 whose only
// completion is 4,10. In freestyle Black wins at 6,7; in exact five six is no win and under renju
// it is forbidden, so Black must block at 4,10.
const char* const BlackProbe =
    "BOARD\n2,7,1\n1,7,2\n3,7,1\n0,10,2\n4,7,1\n1,10,2\n5,7,1\n2,10,2\n7,7,1\n3,10,2\nDONE";
// The same with the colours swapped (and one more Black stone far away): White's six wins in
// freestyle and under renju, not in exact five.
const char* const WhiteProbe =
    "BOARD\n1,7,2\n2,7,1\n0,10,2\n3,7,1\n1,10,2\n4,7,1\n2,10,2\n5,7,1\n3,10,2\n7,7,1\n12,2,2\nDONE";

// Nothing was printed since the last reply: ABOUT's answer is the very next line.
void expectQuiet(Brain& brain) {
  EXPECT_EQ(brain.ask("ABOUT"), About) << "an unexpected line came first";
}

// The rule the brain plays, told by its replies to the two probe positions.
std::string ruleInForce(Brain& brain) {
  const std::string black = brain.ask(BlackProbe), white = brain.ask(WhiteProbe);
  if (black == "6,7" && white == "6,7") return "freestyle";
  if (black == "4,10" && white == "4,10") return "exact5";
  if (black == "4,10" && white == "6,7") return "renju";
  return "unclear (" + black + " / " + white + ")";
}

// Keeps the stones of one game, to check that each reply is a free cell of the board.
class Referee {
 public:
  explicit Referee(int size) : size_(size) {}
  void place(int x, int y) { taken_.insert({x, y}); }
  // A legal reply: a move on a free cell of the board, which is then taken.
  ::testing::AssertionResult accept(const std::string& reply) {
    const auto move = parseMove(reply);
    if (!move) return ::testing::AssertionFailure() << "'" << reply << "' is not a move";
    const auto [x, y] = *move;
    if (x >= size_ || y >= size_) return ::testing::AssertionFailure() << reply << " is off the board";
    if (!taken_.insert(*move).second) return ::testing::AssertionFailure() << reply << " is occupied";
    return ::testing::AssertionSuccess();
  }

 private:
  int size_;
  std::set<std::pair<int, int>> taken_;
};

// ---------------------------------------------------------------------------------------------
// How the bytes arrive.

TEST(ManagerCommands, WordsInLowerAndMixedCase) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("info timeout_turn 200");
  EXPECT_EQ(brain.ask("start 15"), "OK");
  EXPECT_EQ(brain.ask("begin"), "7,7");
  Referee referee(15);
  referee.place(7, 7);
  referee.place(8, 8);
  EXPECT_TRUE(referee.accept(brain.ask("turn 8,8")));
  EXPECT_EQ(brain.ask("takeback"), "OK");
  EXPECT_EQ(brain.ask("About"), About);
  EXPECT_EQ(brain.ask("ReStArT"), "OK");
  Referee afterBoard(15);
  afterBoard.place(7, 7);
  EXPECT_TRUE(afterBoard.accept(brain.ask("board\n7,7,2\ndone")));
  brain.send("Info Rule 1");
  EXPECT_EQ(ruleInForce(brain), "exact5");
  brain.send("eNd");
  std::string rest;
  EXPECT_TRUE(brain.process().readToEnd(rest));
  EXPECT_EQ(rest, "");
  brain.expectCleanExit();
}

TEST(ManagerCommands, CrLfAndLfLineEndsAlike) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  // Replies end in a bare LF whatever the input used.
  brain.write("INFO timeout_turn 200\r\nSTART 15\r\n");
  EXPECT_EQ(brain.reply(), "OK");
  brain.write("BEGIN\r\n");
  EXPECT_EQ(brain.reply(), "7,7");
  Referee referee(15);
  referee.place(7, 7);
  referee.place(6, 6);
  brain.write("TURN 6,6\r\n");
  EXPECT_TRUE(referee.accept(brain.reply()));
  // One session mixing both, with blank lines and a lone CR between commands.
  brain.write("RESTART\n\r\n\rBOARD\r\n7,7,1\n8,7,2\r\nDONE\r\nABOUT\n");
  EXPECT_EQ(brain.reply(), "OK");
  const std::string move = brain.reply();
  EXPECT_TRUE(Referee(15).accept(move));
  EXPECT_NE(move, "7,7");
  EXPECT_NE(move, "8,7");
  EXPECT_EQ(brain.reply(), About);
  brain.write("INFO rule 4\r\n");
  EXPECT_EQ(ruleInForce(brain), "renju");
  brain.write("END\r\n");
  brain.expectCleanExit();
}

TEST(ManagerCommands, TokensSplitAcrossWrites) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  // Each piece is given time to be read alone, so the brain really sees half a token.
  const std::vector<std::vector<std::string>> commands = {{"INFO time", "out_turn 2", "00\n"},
                                                          {"STA", "RT 1", "5\r", "\n"},
                                                          {"BEG", "IN\n"},
                                                          {"TURN 8", ",", "8\n"},
                                                          {"TAKE", "BACK\n"},
                                                          {"A", "B", "OUT", "\n"},
                                                          {"BOARD\n7,", "7,1\n8,8", ",2\nDO", "NE\n"}};
  std::vector<std::string> replies;
  for (const auto& pieces : commands) {
    for (const std::string& piece : pieces) {
      brain.write(piece);
      ::usleep(20000);
    }
    if (pieces.front() != "INFO time") replies.push_back(brain.reply());
  }
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_EQ(replies[0], "OK");
  EXPECT_EQ(replies[1], "7,7");
  Referee afterTurn(15);
  afterTurn.place(7, 7);
  afterTurn.place(8, 8);
  EXPECT_TRUE(afterTurn.accept(replies[2]));
  EXPECT_EQ(replies[3], "OK");
  EXPECT_EQ(replies[4], About);
  Referee afterBoard(15);
  afterBoard.place(7, 7);
  afterBoard.place(8, 8);
  EXPECT_TRUE(afterBoard.accept(replies[5]));
  brain.send("END");
  brain.expectCleanExit();
}

TEST(ManagerCommands, VeryLongLines) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  // A folder path of a megabyte: the value is consumed whole.
  brain.send("INFO folder /" + std::string(1 << 20, 'f'));
  expectQuiet(brain);
  // A megabyte of one unknown word is answered with its start; then a megabyte of blanks before a
  // command.
  EXPECT_EQ(brain.ask(std::string(1 << 20, 'X')), "UNKNOWN " + std::string(64, 'X'));
  expectQuiet(brain);
  EXPECT_EQ(brain.ask(std::string(1 << 20, ' ') + "START 15"), "OK");
  // Numbers with a hundred thousand leading zeros are still the numbers.
  const std::string zeros(100000, '0');
  EXPECT_EQ(brain.ask("START " + zeros + "20"), "OK");
  Referee referee(20);
  referee.place(19, 18);
  EXPECT_TRUE(referee.accept(brain.ask("TURN " + zeros + "19," + zeros + "18")));
  // A number too big for any integer is a coordinate off the board.
  EXPECT_EQ(brain.ask("TURN " + std::string(5000, '9') + ",1"), "ERROR Coord is not empty.");
  // A BOARD with ten thousand rejected lines answers each and still plays.
  std::string board = "BOARD\n10,10,1\n";
  for (int i = 0; i < 10000; ++i) board += "10,10,1\n";
  board += "11,11,2\nDONE";
  brain.send(board);
  for (int i = 0; i < 10000; ++i) {
    const std::string line = brain.reply();
    if (line != "ERROR Coord is not empty.") {
      ADD_FAILURE() << "line " << i << ": '" << line << "'";
      break;
    }
  }
  Referee afterBoard(20);
  afterBoard.place(10, 10);
  afterBoard.place(11, 11);
  EXPECT_TRUE(afterBoard.accept(brain.reply()));
  expectQuiet(brain);
  brain.send("END");
  brain.expectCleanExit();
}

// ---------------------------------------------------------------------------------------------
// Match settings and games.

TEST(ManagerMatch, InfoBeforeAndAfterStart) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  // The settings a manager sends before the first START, the rule among them.
  for (const char* info :
       {"INFO timeout_turn 200", "INFO timeout_match 60000", "INFO max_memory 367001600", "INFO game_type 1",
        "INFO rule 1", "INFO folder /tmp/kesta", "INFO time_left 60000"})
    brain.send(info);
  expectQuiet(brain);
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  // And the ones it sends during the game.
  brain.send("INFO time_left 59000");
  brain.send("INFO timeout_turn 200");
  Referee referee(15);
  referee.place(7, 7);
  referee.place(7, 8);
  EXPECT_TRUE(referee.accept(brain.ask("TURN 7,8")));
  brain.send("INFO time_left 1");  // almost no time left: the brain still answers at once
  referee.place(9, 9);
  EXPECT_TRUE(referee.accept(brain.ask("TURN 9,9")));
  // The rule sent before START holds for the game.
  EXPECT_EQ(ruleInForce(brain), "exact5");
  brain.send("END");
  brain.expectCleanExit();
}

TEST(ManagerMatch, InfoRuleAfterStartRestartsTheGame) {
  for (const auto& [value, rule] : std::vector<std::pair<std::string, std::string>>{
           {"0", "freestyle"}, {"1", "exact5"}, {"4", "renju"}}) {
    SCOPED_TRACE("INFO rule " + value);
    Brain brain;
    ASSERT_TRUE(brain.started());
    brain.send("INFO timeout_turn 200");
    EXPECT_EQ(brain.ask("START 15"), "OK");
    EXPECT_EQ(brain.ask("BEGIN"), "7,7");
    EXPECT_TRUE(parseMove(brain.ask("TURN 8,8")));
    brain.send("INFO rule " + value);
    // Every rule value starts the game again on an empty board.
    EXPECT_EQ(brain.ask("BEGIN"), "7,7");
    EXPECT_EQ(ruleInForce(brain), rule);
    brain.send("END");
    brain.expectCleanExit();
  }
}

// A GUI that switches rules between games gets the rule it asked for, and keeps it across RESTART
// and START until it asks again; renju is left as readily as any rule.
TEST(ManagerMatch, RuleChangesHoldAcrossGames) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  brain.send("INFO rule 4");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(ruleInForce(brain), "renju");
  brain.send("INFO rule 0");
  EXPECT_EQ(brain.ask("RESTART"), "OK");
  EXPECT_EQ(ruleInForce(brain), "freestyle");
  brain.send("INFO rule 2");  // the analysis GUI's renju
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(ruleInForce(brain), "renju");
  brain.send("INFO rule 1");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(ruleInForce(brain), "exact5");
  brain.send("END");
  brain.expectCleanExit();
}

// Replies managers wait for: an unknown command line, RECTSTART, and moves at timeout_turn 0.
TEST(ManagerCommands, UnknownRectStartAndFastestMoves) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  EXPECT_EQ(brain.ask("SUGGEST 1 2"), "UNKNOWN SUGGEST");
  EXPECT_EQ(brain.ask("RECTSTART 20,20"), "OK");
  EXPECT_EQ(brain.ask("RECTSTART 20,15"), "ERROR rectangular boards are not supported");
  EXPECT_EQ(brain.ask("RECTSTART twenty"), "ERROR Expected a number.");
  EXPECT_EQ(brain.ask("RECTSTART 15,15"), "OK");
  brain.send("INFO timeout_turn 0");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  const auto move = parseMove(brain.ask("TURN 8,8"));
  ASSERT_TRUE(move);
  EXPECT_NE(*move, std::make_pair(8, 8));
  expectQuiet(brain);
  brain.send("END");
  brain.expectCleanExit();
}

// The stones of an answer "x,y x,y ...": distinct, on the board and not among taken.
std::vector<std::pair<int, int>> swap2Stones(const std::string& answer, std::set<std::pair<int, int>> taken) {
  std::vector<std::pair<int, int>> stones;
  std::istringstream in(answer);
  for (std::string cell; in >> cell;) {
    const auto move = parseMove(cell);
    if (!move || move->first >= 15 || move->second >= 15 || !taken.insert(*move).second) return {};
    stones.push_back(*move);
  }
  return stones;
}

TEST(ManagerSwap2, TheThreeCases) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 500");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  // 1. The first three stones.
  EXPECT_EQ(swap2Stones(brain.ask("SWAP2BOARD\nDONE"), {}).size(), 3u);
  // 2. After three: White's stone in the corner leaves Black far ahead, so the brain takes Black;
  // Black's in the corners leave White ahead, so it stays White.
  EXPECT_EQ(brain.ask("SWAP2BOARD\n7,7\n0,0\n7,8\nDONE"), "SWAP");
  const std::string white = brain.ask("SWAP2BOARD\n0,0\n7,7\n14,14\nDONE");
  EXPECT_NE(white, "SWAP");
  const size_t stones = swap2Stones(white, {{0, 0}, {7, 7}, {14, 14}}).size();
  EXPECT_TRUE(stones == 1 || stones == 2) << white;
  // 3. After five: SWAP or the sixth stone.
  const std::string fifth = brain.ask("SWAP2BOARD\n7,7\n8,8\n7,8\n6,6\n7,9\nDONE");
  EXPECT_TRUE(fifth == "SWAP" || swap2Stones(fifth, {{7, 7}, {8, 8}, {7, 8}, {6, 6}, {7, 9}}).size() == 1)
      << fifth;
  // Wrong openings are errors and leave the game as it was; a missing DONE leaves the next command
  // to be carried out.
  EXPECT_EQ(brain.ask("SWAP2BOARD\n7,7\n8,8\nDONE").rfind("ERROR ", 0), 0u);
  EXPECT_EQ(brain.ask("SWAP2BOARD\n7,7\n8,8\n7,7\nDONE").rfind("ERROR ", 0), 0u);
  EXPECT_EQ(brain.ask("SWAP2BOARD\n7,7\n8,8\n7,15\nDONE").rfind("ERROR ", 0), 0u);
  EXPECT_EQ(brain.ask("SWAP2BOARD\n7,7\nBEGIN").rfind("ERROR ", 0), 0u);
  EXPECT_EQ(brain.reply(), "7,7");
  brain.send("END");
  brain.expectCleanExit();
}

TEST(ManagerMatch, StartAgainWithoutRestart) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  brain.send("INFO rule 1");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  EXPECT_TRUE(parseMove(brain.ask("TURN 8,8")));
  // The next game of the match, same size: an empty board.
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  // Another size: 19,19 is on the board now, and the centre moved.
  EXPECT_EQ(brain.ask("START 20"), "OK");
  EXPECT_EQ(brain.ask("BEGIN"), "10,10");
  Referee referee(20);
  referee.place(10, 10);
  referee.place(19, 19);
  EXPECT_TRUE(referee.accept(brain.ask("TURN 19,19")));
  // Back to 15 with a game in progress: 19,19 is off the board again.
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(brain.ask("TURN 19,19"), "ERROR Coord is not empty.");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  // The rule chosen for the first game holds through all of it.
  EXPECT_EQ(ruleInForce(brain), "exact5");
  brain.send("END");
  brain.expectCleanExit();
}

// Every cell of a 6x6 board row by row; the who fields alternate, so the last one is 2.
std::string fullBoard(int stones) {
  std::string text = "BOARD";
  for (int i = 0; i < stones; ++i) {
    text += '\n';
    text += std::to_string(i % 6) + "," + std::to_string(i / 6) + (i % 2 ? ",2" : ",1");
  }
  return text + "\nDONE";
}

TEST(ManagerMatch, FullBoard) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  EXPECT_EQ(brain.ask("START 6"), "OK");
  // The manager asks for a move on a full board: one line, the no-move reply.
  EXPECT_EQ(brain.ask(fullBoard(36)), NoMove);
  expectQuiet(brain);
  // The opponent fills the last cell with TURN.
  // The opponent fills the last cell with TURN (35 stones end with who 1: no reply to the BOARD).
  brain.send(fullBoard(35));
  expectQuiet(brain);
  EXPECT_EQ(brain.ask("TURN 5,5"), NoMove);
  // Then the match goes on.
  EXPECT_EQ(brain.ask("RESTART"), "OK");
  EXPECT_EQ(brain.ask("BEGIN"), "3,3");
  brain.send("END");
  brain.expectCleanExit();
}

TEST(ManagerMatch, MovesAfterTheGameIsWon) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  // The engine (Black) already has five on row 3; the manager missed it and asks for a move.
  Referee referee(15);
  const int stones[][2] = {{3, 3},   {10, 10}, {4, 3},   {10, 11}, {5, 3},
                           {10, 12}, {6, 3},   {10, 13}, {7, 3},   {1, 1}};
  std::string board = "BOARD";
  for (int i = 0; i < 10; ++i) {
    board += '\n';
    board += std::to_string(stones[i][0]) + "," + std::to_string(stones[i][1]) + (i % 2 ? ",2" : ",1");
    referee.place(stones[i][0], stones[i][1]);
  }
  EXPECT_TRUE(referee.accept(brain.ask(board + "\nDONE")));
  // The opponent then completes five of its own, and the game goes on regardless.
  referee.place(10, 14);
  EXPECT_TRUE(referee.accept(brain.ask("TURN 10,14")));
  referee.place(10, 9);
  EXPECT_TRUE(referee.accept(brain.ask("TURN 10,9")));
  expectQuiet(brain);
  brain.send("END");
  brain.expectCleanExit();
}

// ---------------------------------------------------------------------------------------------
// How a session ends.

TEST(ManagerSession, EndInTheMiddleOfAGame) {
  Brain brain;
  ASSERT_TRUE(brain.started());
  brain.send("INFO timeout_turn 200");
  EXPECT_EQ(brain.ask("START 15"), "OK");
  EXPECT_EQ(brain.ask("BEGIN"), "7,7");
  EXPECT_TRUE(parseMove(brain.ask("TURN 6,6")));
  // END with the input still open: the brain leaves at once, saying nothing.
  brain.send("END");
  std::string rest;
  EXPECT_TRUE(brain.process().readToEnd(rest));
  EXPECT_EQ(rest, "");
  brain.expectCleanExit();
}

TEST(ManagerSession, PipeClosedWithoutEnd) {
  {
    SCOPED_TRACE("between moves");
    Brain brain;
    ASSERT_TRUE(brain.started());
    brain.send("INFO timeout_turn 200");
    EXPECT_EQ(brain.ask("START 15"), "OK");
    EXPECT_EQ(brain.ask("BEGIN"), "7,7");
    brain.process().closeInput();
    brain.expectCleanExit();
  }
  {
    SCOPED_TRACE("right after a TURN");
    Brain brain;
    ASSERT_TRUE(brain.started());
    brain.send("INFO timeout_turn 200");
    EXPECT_EQ(brain.ask("START 15"), "OK");
    EXPECT_EQ(brain.ask("BEGIN"), "7,7");
    // The manager sends a move and closes at once: the brain still finishes and prints its move.
    brain.send("TURN 8,7");
    brain.process().closeInput();
    Referee referee(15);
    referee.place(7, 7);
    referee.place(8, 7);
    EXPECT_TRUE(referee.accept(brain.reply()));
    brain.expectCleanExit();
  }
  {
    SCOPED_TRACE("inside a BOARD list");
    Brain brain;
    ASSERT_TRUE(brain.started());
    EXPECT_EQ(brain.ask("START 15"), "OK");
    brain.write("BOARD\n7,7,1\n8,8,2\n");
    brain.process().closeInput();
    brain.expectCleanExit();
    std::string rest;
    EXPECT_TRUE(brain.process().readToEnd(rest));
    EXPECT_EQ(rest, "");
  }
}

// ---------------------------------------------------------------------------------------------
// Memory.

// The children of this process, from the kernel's list of the main thread's children.
std::set<int> childPids() {
  std::set<int> pids;
  std::ifstream in("/proc/self/task/" + std::to_string(::getpid()) + "/children");
  int pid = 0;
  while (in >> pid) pids.insert(pid);
  return pids;
}

// A "Vm..." figure of /proc/<pid>/status in KiB, or -1.
int64_t statusKiB(int pid, const std::string& key) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind(key + ":", 0) == 0) {
      std::istringstream fields(line.substr(key.size() + 1));
      int64_t kib = -1;
      fields >> kib;
      return kib;
    }
  return -1;
}

TEST(ManagerMemory, WithinTheTournamentLimitOnEverySize) {
#ifdef KESTA_UNDER_SANITIZER
  GTEST_SKIP() << "sanitizer shadow memory says nothing about the brain's own footprint";
#endif
  // Tournaments allow 350 MiB. The brain allocates everything when a game is set up, so its peak
  // address space bounds any resident size it can ever reach, however full the table gets.
  constexpr int64_t LimitKiB = 350 * 1024;
  const std::set<int> before = childPids();
  Brain brain;
  ASSERT_TRUE(brain.started());
  int pid = -1;
  for (int p : childPids())
    if (!before.count(p)) pid = p;
  if (pid < 0 || statusKiB(pid, "VmPeak") < 0) GTEST_SKIP() << "no /proc figures for the brain";
  brain.send("INFO timeout_turn 50");
  brain.send("INFO max_memory " + std::to_string(LimitKiB * 1024));
  for (int n = 6; n <= 22; ++n) {
    SCOPED_TRACE("size " + std::to_string(n));
    EXPECT_EQ(brain.ask("START " + std::to_string(n)), "OK");
    Referee referee(n);
    EXPECT_TRUE(referee.accept(brain.ask("BEGIN")));
    for (const auto& [x, y] :
         {std::make_pair(0, 0), std::make_pair(n - 1, n - 1), std::make_pair(0, n - 1)}) {
      if (!referee.accept(std::to_string(x) + "," + std::to_string(y))) continue;  // the brain took it
      EXPECT_TRUE(referee.accept(brain.ask("TURN " + std::to_string(x) + "," + std::to_string(y))));
    }
    EXPECT_LE(statusKiB(pid, "VmPeak"), LimitKiB);
    EXPECT_LE(statusKiB(pid, "VmHWM"), LimitKiB);
  }
  brain.send("END");
  brain.expectCleanExit();
}

// INFO max_memory sizes the table so that the whole brain stays under the limit: its peak resident
// size through a whole game played over pipes (the soak's referee measures it and fails above the
// limit it sent), and its address space when the system enforces the limit (ulimit -v).
TEST(ManagerMemory, A64MiBLimitHoldsThroughAGame) {
#ifdef KESTA_UNDER_SANITIZER
  GTEST_SKIP() << "sanitizer shadow memory says nothing about the brain's own footprint";
#endif
  BrainProcess soak;
  ASSERT_TRUE(soak.spawn(std::vector<std::string>{
      KESTA_TOOL_PATH, "soak", "--games", "1", "--rule", "freestyle", "--size", "15", "--turn-time", "200",
      "--match-time", "100000", "--memory-limit", "64", "--seed", "1", "--brain", KESTA_BRAIN_PATH}));
  std::string output;
  EXPECT_TRUE(soak.readToEnd(output, 120000));
  const auto status = soak.waitExit();
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(status->cleanExit()) << output;
  EXPECT_NE(output.find("(limit 64.0 MiB)"), std::string::npos) << output;
}

void playUnderAddressSpaceLimit(int threads);

// With thread_num 64 the system grants only some of the threads' stacks under the limit: the
// think goes on with the helpers it could make.
TEST(ManagerMemory, StartsAndPlaysUnderAnAddressSpaceLimit) {
#ifdef KESTA_UNDER_SANITIZER
  GTEST_SKIP() << "sanitizers need far more address space than the brain";
#endif
  for (const int threads : {1, 64}) {
    SCOPED_TRACE(threads);
    playUnderAddressSpaceLimit(threads);
  }
}

void playUnderAddressSpaceLimit(int threads) {
  constexpr int64_t LimitKiB = 64 * 1024;
  Brain brain({"/bin/sh", "-c",
               "ulimit -v " + std::to_string(LimitKiB) + " && exec " + std::string(KESTA_BRAIN_PATH)});
  ASSERT_TRUE(brain.started());
  EXPECT_EQ(brain.ask("START 15"), "OK");
  brain.send("INFO max_memory " + std::to_string(LimitKiB * 1024));
  brain.send("INFO timeout_turn 100");
  brain.send("INFO thread_num " + std::to_string(threads));
  Referee referee(15);
  std::string command = "BEGIN";
  for (int move = 0; move < 8; ++move) {
    ASSERT_TRUE(referee.accept(brain.ask(command))) << "move " << move;
    // The opponent takes the first free cell of the top rows.
    for (int cell = 0;; ++cell) {
      const std::string turn = std::to_string(cell % 15) + "," + std::to_string(cell / 15);
      if (referee.accept(turn)) {
        command = "TURN " + turn;
        break;
      }
    }
  }
  brain.send(command);  // the last turn's reply stays unread; END follows
  EXPECT_LE(statusKiB(brain.process().pid(), "VmPeak"), LimitKiB);
  brain.send("END");
  brain.expectCleanExit();
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
