// Scripted protocol sessions through CommandLoop: each script is fed as a stream and the replies
// are compared line by line; the board and settings behind the loop are checked where the
// replies alone cannot show the effect. Replies chosen by the search are only checked for
// legality, since the opening rule fixes nothing but the first move of a game.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "eval/eval_tables.h"
#include "protocol/command_loop.h"
#include "protocol/version.h"
#include "search/engine.h"
#include "search/match_settings.h"

namespace kesta {
namespace {

const std::string About = aboutLine();
const std::string NotEmpty = "ERROR Coord is not empty.";

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  EXPECT_EQ(start, text.size()) << "unterminated reply: " << text.substr(start);
  return lines;
}

// The reply lines, without the "MESSAGE " lines of the diagnostic dump, which a manager shows
// and otherwise ignores.
std::vector<std::string> replyLines(const std::string& text) {
  std::vector<std::string> lines = splitLines(text);
  lines.erase(std::remove_if(lines.begin(), lines.end(),
                             [](const std::string& line) { return line.rfind("MESSAGE ", 0) == 0; }),
              lines.end());
  return lines;
}

bool startsWithError(const std::string& line) {
  return line.rfind("ERROR", 0) == 0;
}

// "x,y" with two unsigned decimal numbers and nothing else.
std::optional<std::pair<int, int>> parseMove(const std::string& line) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size() || comma > 4 ||
      line.size() - comma - 1 > 4)
    return std::nullopt;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return std::nullopt;
  return std::make_pair(std::stoi(line.substr(0, comma)), std::stoi(line.substr(comma + 1)));
}

// How long the engine may think in a session. Quick keeps searched replies short by sending
// INFO TIMEOUT_TURN first (consumed before the test sees the loop); Default leaves the settings
// exactly as they start, for the tests that inspect them.
enum class Turns { Quick, Default };
constexpr const char* QuickTurnsLine = "INFO TIMEOUT_TURN 100\n";

// KESTA_TEST_THREADS=N runs the Quick sessions with N search threads (make tsan does, with 2).
std::string threadsLine() {
  const char* n = std::getenv("KESTA_TEST_THREADS");
  return n != nullptr && *n != '\0' ? std::string("INFO THREAD_NUM ") + n + "\n" : std::string();
}

// One scripted conversation with a loop over a small table.
class Session {
 public:
  explicit Session(const std::string& script, Turns turns = Turns::Quick)
      : in_(turns == Turns::Quick ? QuickTurnsLine + threadsLine() + script : script),
        loop_(in_, out_, 1u << 16) {
    if (turns == Turns::Quick) loop_.step();
    if (turns == Turns::Quick && !threadsLine().empty()) loop_.step();
  }

  // Runs the loop as the brain does, with its reader thread, which first reads the whole script:
  // so a stop or END line in the script is already there when a think begins, whatever the timing.
  int run() {
    loop_.startReader();
    loop_.awaitReader();
    return loop_.run();
  }
  bool step() { return loop_.step(); }
  void steps(int count) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(step()) << "step " << i;
  }
  std::vector<std::string> lines() const { return replyLines(out_.str()); }
  // The text written since the previous call, MESSAGE lines and all.
  std::string newLinesWithMessages() {
    const std::string fresh = out_.str().substr(seen_);
    seen_ = out_.str().size();
    return fresh;
  }
  // The lines written since the previous call.
  std::vector<std::string> newLines() {
    const std::string all = out_.str();
    const std::string fresh = all.substr(seen_);
    seen_ = all.size();
    return replyLines(fresh);
  }

  CommandLoop& loop() { return loop_; }
  Board& board() { return loop_.board(); }
  Engine& engine() { return loop_.engine(); }
  uint8_t at(int x, int y) { return board().cells[cellOf(x, y)]; }

 private:
  std::istringstream in_;
  std::ostringstream out_;
  CommandLoop loop_;
  size_t seen_ = 0;
};

// Checks a move the engine chose: a move line naming a cell that was an empty board cell in
// `before` (and is not `excluded`), now holding `colour`. Returns the cell, or 0.
CellIndex expectChosenMove(const std::string& line, const Board& before, const Board& after, uint8_t colour,
                           CellIndex excluded = 0) {
  const auto move = parseMove(line);
  EXPECT_TRUE(move.has_value()) << "not a move: '" << line << "'";
  if (!move) return 0;
  const auto [x, y] = *move;
  EXPECT_TRUE(insideBoard(before, x, y)) << line;
  if (!insideBoard(before, x, y)) return 0;
  const CellIndex cell = cellOf(x, y);
  EXPECT_NE(cell, excluded) << line;
  EXPECT_EQ(before.cells[cell], Empty) << line;
  EXPECT_EQ(after.cells[cell], colour) << line;
  EXPECT_EQ(after.moves[after.moveCount - 1], cell) << line;
  return cell;
}

class ProtocolTest : public ::testing::Test {};

using ProtocolCommands = ProtocolTest;
using ProtocolStart = ProtocolTest;
using ProtocolTurn = ProtocolTest;
using ProtocolBoard = ProtocolTest;
using ProtocolTakeback = ProtocolTest;
using ProtocolInfo = ProtocolTest;
using ProtocolInput = ProtocolTest;
using ProtocolStop = ProtocolTest;

TEST_F(ProtocolCommands, WordsAreCaseInsensitive) {
  Session s("start 15\nStArT 15\nabout\nAbOuT\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "OK", About, About}));
}

TEST_F(ProtocolCommands, AboutLineIsExact) {
  Session s("ABOUT\n");
  EXPECT_EQ(s.run(), 0);
  ASSERT_EQ(s.lines().size(), 1u);
  EXPECT_EQ(s.lines()[0], "name=\"Kesta\", version=\"" + std::string(Version) +
                              "\", author=\"The Kesta authors\", country=\"-\"");
  // The version is the project's, with the commit when the build came from a git checkout.
  const std::string version = Version;
  EXPECT_EQ(version.rfind(KESTA_PROJECT_VERSION, 0), 0u) << version;
  const std::string rest = version.substr(std::string(KESTA_PROJECT_VERSION).size());
  EXPECT_TRUE(rest.empty() ||
              (rest.size() >= 8 && rest[0] == '+' && rest.find_first_not_of("0123456789abcdef", 1) >= 8))
      << version;
}

TEST_F(ProtocolCommands, UnknownCommandLineIsAnsweredAndTheNextLineIsACommand) {
  // STARTX is no command: its line is answered UNKNOWN and dropped whole.
  Session s("STARTX 15\nSTART 15\nHELLO world 12 ,, 7,7 DONE begins -3\nABOUT\nyxfoo\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(),
            (std::vector<std::string>{"UNKNOWN STARTX", "OK", "UNKNOWN HELLO", About, "UNKNOWN yxfoo"}));
  EXPECT_EQ(s.board().moveCount, 0);
}

TEST_F(ProtocolCommands, EndStopsAtOnceWithoutReply) {
  Session s("START 15\nEND\nABOUT\nBEGIN\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(s.board().moveCount, 0);
}

TEST_F(ProtocolCommands, EngineIsStoppedFromConstructionAndAfterEveryThink) {
  EXPECT_TRUE(Session("", Turns::Default).engine().Stopped);
  Session s("BEGIN\nTURN 9,9\nBOARD\n7,7,1\n8,8,2\nDONE\n");
  EXPECT_TRUE(s.engine().Stopped);
  s.steps(1);
  EXPECT_TRUE(s.engine().Stopped);
  s.steps(1);
  EXPECT_TRUE(s.engine().Stopped);
  s.steps(1);
  EXPECT_TRUE(s.engine().Stopped);
  EXPECT_EQ(s.lines().size(), 3u);
}

TEST_F(ProtocolStart, SizeLimits) {
  Session s("START 15\nBEGIN\nSTART 5\nSTART 23\nSTART 0\nSTART -15\nSTART 4294967311\nSTART 6\nSTART 22\n");
  s.steps(2);
  EXPECT_EQ(s.newLines(), (std::vector<std::string>{"OK", "7,7"}));
  const Board* board = &s.board();
  const Engine* engine = &s.engine();
  const uint64_t hash = board->hash;
  // Too small, too large for the padded board, or a number beyond 32 bits: nothing changes.
  for (int i = 0; i < 5; ++i) {
    s.steps(1);
    EXPECT_EQ(s.newLines(), (std::vector<std::string>{"ERROR"})) << "refusal " << i;
    EXPECT_EQ(&s.board(), board);
    EXPECT_EQ(&s.engine(), engine);
    EXPECT_EQ(s.board().size, 15);
    EXPECT_EQ(s.board().moveCount, 1);
    EXPECT_EQ(s.board().hash, hash);
    EXPECT_EQ(s.at(7, 7), Black);
  }
  s.steps(1);
  EXPECT_EQ(s.newLines(), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(s.board().size, 6);
  EXPECT_EQ(s.board().moveCount, 0);
  s.steps(1);
  EXPECT_EQ(s.newLines(), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(s.board().size, 22);
  EXPECT_EQ(s.engine().board, &s.board());
}

TEST_F(ProtocolStart, NewSizeBuildsNewBoardSameSizeKeepsIt) {
  Session s("START 15\nBEGIN\nSTART 15\nSTART 20\nBEGIN\n");
  s.steps(2);
  const Board* board = &s.board();
  const Engine* engine = &s.engine();
  s.steps(1);
  EXPECT_EQ(&s.board(), board);
  EXPECT_EQ(&s.engine(), engine);
  EXPECT_EQ(s.board().moveCount, 0);
  EXPECT_EQ(s.at(7, 7), Empty);
  s.steps(2);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "7,7", "OK", "OK", "10,10"}));
  EXPECT_EQ(s.board().size, 20);
  EXPECT_EQ(s.engine().board, &s.board());
  EXPECT_EQ(s.at(10, 10), Black);
  EXPECT_EQ(s.board().moveCount, 1);
}

TEST_F(ProtocolStart, BeginOnEmptyBoardTakesTheCentre) {
  Session s("BEGIN\nSTART 15\nBEGIN\nSTART 6\nBEGIN\n");
  EXPECT_EQ(s.run(), 0);
  // Before any START the loop already has its 15 board.
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"7,7", "OK", "7,7", "OK", "3,3"}));
  EXPECT_EQ(s.at(3, 3), Black);
  EXPECT_EQ(s.board().moveCount, 1);
}

TEST_F(ProtocolTurn, OpponentStoneThenEngineReply) {
  Session s("START 15\nTURN 7,7\nTURN 3;4\nTURN 12 ,6\n");
  s.steps(1);
  s.newLines();
  const std::pair<int, int> opponent[] = {{7, 7}, {3, 4}, {12, 6}};
  for (const auto& [x, y] : opponent) {
    SCOPED_TRACE("TURN " + std::to_string(x) + "," + std::to_string(y));
    const Board before = s.board();
    s.steps(1);
    const auto reply = s.newLines();
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(s.board().moveCount, before.moveCount + 2);
    EXPECT_EQ(s.at(x, y), before.sideToMove);
    expectChosenMove(reply[0], before, s.board(), before.opponent, cellOf(x, y));
  }
}

TEST_F(ProtocolTurn, OccupiedOrOffBoardCellIsRefused) {
  Session s("START 15\nTURN 7,7\nTURN 7,7\nTURN 15,3\nTURN 3,15\nTURN -1,3\nTURN 263,7\nTURN 7,-249\n");
  s.steps(2);
  ASSERT_EQ(s.newLines().size(), 2u);
  const Board before = s.board();
  for (int i = 0; i < 6; ++i) {
    s.steps(1);
    EXPECT_EQ(s.newLines(), (std::vector<std::string>{NotEmpty})) << "refusal " << i;
    EXPECT_EQ(s.board().moveCount, 2);
    EXPECT_EQ(s.board().hash, before.hash);
  }
  EXPECT_FALSE(s.step());
}

// A game against random nearby moves with the shortest turn time: every reply is a legal move.
TEST_F(ProtocolTurn, EveryReplyIsLegalEvenWithNoTime) {
  const int turns = 16;
  // The input is written as the game goes, each TURN after the previous reply.
  std::stringstream feed;
  std::ostringstream out;
  CommandLoop loop(feed, out, 1u << 16);
  feed << "INFO TIMEOUT_TURN 1\nSTART 15\n";
  ASSERT_TRUE(loop.step());
  ASSERT_TRUE(loop.step());
  std::mt19937 rng(7);
  size_t seen = out.str().size();
  for (int i = 0; i < turns; ++i) {
    const Board before = loop.board();
    // The opponent plays an empty cell at most two steps from the last stone, or anywhere first.
    int x, y;
    do {
      if (before.moveCount == 0) {
        x = int(rng() % 15);
        y = int(rng() % 15);
      } else {
        const CellIndex last = before.moves[before.moveCount - 1];
        x = cellX(last) + int(rng() % 5) - 2;
        y = cellY(last) + int(rng() % 5) - 2;
      }
    } while (!insideBoard(before, x, y) || before.cells[cellOf(x, y)] != Empty);
    feed.clear();
    feed << "TURN " << x << "," << y << "\n";
    ASSERT_TRUE(loop.step());
    const auto reply = replyLines(out.str().substr(seen));
    seen = out.str().size();
    ASSERT_EQ(reply.size(), 1u) << "turn " << i;
    Board afterOpponent = before;
    afterOpponent.cells[cellOf(x, y)] = before.sideToMove;
    expectChosenMove(reply[0], afterOpponent, loop.board(), before.opponent);
    ASSERT_EQ(loop.board().moveCount, before.moveCount + 2);
  }
}

TEST_F(ProtocolTurn, UnreadableNumberGivesOneErrorAndTheLoopGoesOn) {
  Session s("START 15\nTURN a,b\nABOUT\nTURN 7,b\nABOUT\nTURN -,5\nABOUT\nSTART x\nABOUT\nTURN 7,7\n");
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(s.step());
  const auto lines = s.newLines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "OK");
  for (int i = 1; i < 9; i += 2) {
    EXPECT_TRUE(startsWithError(lines[size_t(i)])) << lines[size_t(i)];
    EXPECT_EQ(lines[size_t(i) + 1], About);
  }
  EXPECT_EQ(s.board().moveCount, 0);
  EXPECT_EQ(s.board().size, 15);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.board().moveCount, 2);
  EXPECT_EQ(s.at(7, 7), Black);
}

TEST_F(ProtocolBoard, StonesTakeTurnOrderAndOnlyWhoTwoIsAnswered) {
  {
    Session s("START 15\nBOARD\n7,7,1\n8,8,2\nDONE\n");
    s.steps(1);
    s.newLines();
    const Board empty = s.board();
    s.steps(1);
    const auto reply = s.newLines();
    ASSERT_EQ(reply.size(), 1u);
    EXPECT_EQ(s.at(7, 7), Black);
    EXPECT_EQ(s.at(8, 8), White);
    EXPECT_EQ(s.board().moveCount, 3);
    Board before = empty;
    before.cells[cellOf(7, 7)] = Black;
    before.cells[cellOf(8, 8)] = White;
    expectChosenMove(reply[0], before, s.board(), Black);
    EXPECT_TRUE(s.engine().Stopped);
  }
  {
    // The who field does not pick the colour: the first stone listed is Black.
    Session s("START 15\nBOARD\n7,7,2\n8,8,1\nDONE\nABOUT\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", About}));
    EXPECT_EQ(s.at(7, 7), Black);
    EXPECT_EQ(s.at(8, 8), White);
    EXPECT_EQ(s.board().moveCount, 2);
    EXPECT_EQ(s.board().sideToMove, Black);
  }
}

TEST_F(ProtocolBoard, ReplacesThePreviousGame) {
  Session s("START 15\nBEGIN\nTURN 2,2\nBOARD\n10,4,1\ndone\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines().size(), 3u);
  EXPECT_EQ(s.board().moveCount, 1);
  EXPECT_EQ(s.at(10, 4), Black);
  EXPECT_EQ(s.at(7, 7), Empty);
  EXPECT_EQ(s.at(2, 2), Empty);
}

// A BOARD that continues the game keeps the table, as TURN would; any other position empties it.
TEST_F(ProtocolBoard, KeepsTheTableOnlyForTheSameGameContinued) {
  Session s(
      "START 15\nBOARD\n7,7,1\n8,8,2\n7,8,1\nDONE\n"
      "BOARD\n7,7,1\n8,8,2\n7,8,1\n9,9,2\n6,6,1\nDONE\n"
      "BOARD\n7,7,1\n9,9,2\n7,8,1\n8,8,2\n6,6,1\nDONE\n");
  s.steps(2);
  constexpr uint64_t Marker = 0x0123456789ABCDEFull;
  TranspositionTable& table = *s.engine().TransTable;
  store(table, probe(table, Marker).slot, Marker, 0, 9, BoundExact, 0);
  s.step();
  EXPECT_TRUE(hasEntry(table, Marker));
  s.step();  // the same stones, in another order: another game
  EXPECT_FALSE(hasEntry(table, Marker));
  EXPECT_EQ(s.lines(), std::vector<std::string>{"OK"});  // no BOARD was answered
}

TEST_F(ProtocolBoard, EmptyListUsesTheRememberedWho) {
  // Before any BOARD line the remembered who is 2, so the first empty BOARD is answered.
  {
    Session s("BOARD\nDONE\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"7,7"}));
  }
  {
    Session s("START 15\nBOARD\nDONE\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "7,7"}));
  }
  // An earlier BOARD ending in who 2: answered for the first player on the empty board.
  {
    Session s("START 15\nBOARD\n7,7,1\n8,8,2\nDONE\nBOARD\nDONE\n");
    EXPECT_EQ(s.run(), 0);
    const auto lines = s.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "7,7");
    EXPECT_EQ(s.board().moveCount, 1);
    EXPECT_EQ(s.at(7, 7), Black);
  }
  // An earlier BOARD ending in who 1: the empty BOARD is not answered.
  {
    Session s("START 15\nBOARD\n7,7,2\n8,8,1\nDONE\nBOARD\nDONE\nABOUT\n");
    EXPECT_EQ(s.run(), 0);
    EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", About}));
    EXPECT_EQ(s.board().moveCount, 0);
  }
}

TEST_F(ProtocolBoard, BadLinesAreRefusedWithoutAStone) {
  Session s("START 15\nBOARD\nabc\n7,7\n8,8,1\n8,8,2\n15,0,1\n0,-1,1\n,,\n6;9;1\nDONE\nABOUT\n");
  EXPECT_EQ(s.run(), 0);
  const auto lines = s.lines();
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[0], "OK");
  EXPECT_TRUE(startsWithError(lines[1])) << lines[1];  // abc
  EXPECT_TRUE(startsWithError(lines[2])) << lines[2];  // 7,7
  EXPECT_EQ(lines[3], NotEmpty);                       // 8,8 again
  EXPECT_EQ(lines[4], NotEmpty);                       // 15,0
  EXPECT_EQ(lines[5], NotEmpty);                       // 0,-1
  EXPECT_TRUE(startsWithError(lines[6])) << lines[6];  // ,,
  EXPECT_EQ(lines[7], About);
  // Any single character separates the fields; the last read who is 1, so no answer.
  EXPECT_EQ(s.board().moveCount, 2);
  EXPECT_EQ(s.at(8, 8), Black);
  EXPECT_EQ(s.at(6, 9), White);
  EXPECT_EQ(s.at(0, 0), Empty);
  EXPECT_EQ(s.at(7, 7), Empty);
}

TEST_F(ProtocolTakeback, TakesBackTheLastStoneWhateverTheCoordinates) {
  Session s("START 15\nBOARD\n3,3,1\nDONE\nBOARD\n3,3,1\n10,10,1\nDONE\nTAKEBACK 7,7\nTAKEBACK\nTAKEBACK\n");
  s.steps(2);
  const Board oneStone = s.board();
  s.steps(1);
  EXPECT_EQ(s.board().moveCount, 2);
  s.steps(1);  // TAKEBACK with its coordinates
  EXPECT_EQ(s.board().moveCount, 1);
  EXPECT_EQ(s.at(10, 10), Empty);
  EXPECT_EQ(s.at(3, 3), Black);
  EXPECT_EQ(s.board().hash, oneStone.hash);
  EXPECT_EQ(boxWord(s.board().box), boxWord(oneStone.box));
  EXPECT_EQ(s.board().sideToMove, White);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "OK", "OK", "OK"}));
  EXPECT_EQ(s.board().moveCount, 0);
  EXPECT_EQ(s.board().hash, 0u);
}

TEST_F(ProtocolTakeback, UndoneGameReplaysLikeANewOne) {
  Session s("START 15\nTURN 7,7\nTAKEBACK\nTAKEBACK\nBEGIN\n");
  EXPECT_EQ(s.run(), 0);
  const auto lines = s.lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], "OK");
  EXPECT_EQ(lines[3], "OK");
  EXPECT_EQ(lines[4], "7,7");
  EXPECT_EQ(s.board().moveCount, 1);
}

TEST_F(ProtocolTakeback, WorksBeforeAnyStart) {
  Session s("TAKEBACK\nBOARD\n7,7,1\nDONE\nTAKEBACK\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "OK"}));
  EXPECT_EQ(s.board().moveCount, 0);
  EXPECT_EQ(s.at(7, 7), Empty);
}

TEST_F(ProtocolInfo, TimeoutTurnIsSilentAndSurvivesRestarts) {
  Session s("INFO timeout_turn 1000\nSTART 15\nINFO TIMEOUT_TURN 2000\nSTART 20\nRESTART\n", Turns::Default);
  s.steps(1);
  EXPECT_TRUE(s.newLines().empty());
  EXPECT_EQ(s.loop().rememberedSettings().TimeoutTurn, 1000);
  EXPECT_EQ(s.engine().Settings.TimeoutTurn, 1000);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "OK", "OK"}));
  EXPECT_EQ(s.loop().rememberedSettings().TimeoutTurn, 2000);
  EXPECT_EQ(s.engine().Settings.TimeoutTurn, 2000);
}

TEST_F(ProtocolInfo, ValuesInAndOutOfRange) {
  Session s(
      "START 15\n"
      "INFO TIMEOUT_TURN -1\nINFO TIMEOUT_TURN -5\n"
      "INFO TIMEOUT_MATCH 123456\nINFO TIMEOUT_MATCH -5\n"
      "INFO TIME_LEFT 60000\nINFO TIME_LEFT 0\nINFO time_left -1\n"
      "INFO MAX_MEMORY 83886080\n"
      "INFO MAX_MEMORY -1\n"
      "INFO MAX_MEMORY 0\n"
      "INFO GAME_TYPE 1\n"
      "RESTART\n",
      Turns::Default);
  s.steps(1);
  const MatchSettings defaults;
  s.steps(2);
  EXPECT_EQ(s.loop().rememberedSettings().TimeoutTurn, defaults.TimeoutTurn);
  EXPECT_EQ(s.engine().Settings.TimeoutTurn, defaults.TimeoutTurn);
  s.steps(2);
  EXPECT_EQ(s.loop().rememberedSettings().TimeoutMatch, 123456);
  EXPECT_EQ(s.engine().Settings.TimeoutMatch, 123456);
  // TIME_LEFT changes the Engine's copy only; MAX_MEMORY, which sizes the table, both.
  s.steps(3);
  EXPECT_EQ(s.engine().Settings.TimeLeft, 60000);
  EXPECT_EQ(s.loop().rememberedSettings().TimeLeft, defaults.TimeLeft);
  s.steps(1);
  EXPECT_EQ(s.engine().Settings.MaxMemory, 83886080);
  EXPECT_EQ(s.loop().rememberedSettings().MaxMemory, 83886080);
  s.steps(1);
  EXPECT_EQ(s.engine().Settings.MaxMemory, 83886080);
  s.steps(1);
  EXPECT_EQ(s.engine().Settings.MaxMemory, 2147483647);
  s.steps(1);
  EXPECT_EQ(s.board().moveCount, 0);
  s.engine().Settings.MaxMemory = 1;
  s.engine().Settings.TimeLeft = 5;
  // A restart copies the remembered record back over the Engine's, with the match clock full.
  s.steps(1);
  EXPECT_EQ(s.engine().Settings.TimeLeft, 123456);
  EXPECT_EQ(s.engine().Settings.MaxMemory, defaults.MaxMemory);
  EXPECT_EQ(s.engine().Settings.TimeoutMatch, 123456);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "OK"}));
}

TEST_F(ProtocolInfo, RuleBitsSelectTheRuleAndRestart) {
  Session s(
      "START 15\nINFO TIME_LEFT 60000\nBEGIN\n"
      "INFO RULE 1\nBEGIN\nINFO RULE 0\nINFO RULE 2\nINFO RULE 1\n");
  s.steps(3);
  EXPECT_EQ(ruleOf(s.engine()), Freestyle);
  s.steps(1);
  EXPECT_EQ(ruleOf(s.engine()), ExactFiveRule);
  EXPECT_EQ(s.board().moveCount, 0);
  EXPECT_EQ(s.engine().Settings.TimeLeft, 1000000000);
  s.steps(1);
  EXPECT_EQ(s.board().moveCount, 1);
  s.steps(1);
  EXPECT_EQ(ruleOf(s.engine()), Freestyle);
  EXPECT_EQ(s.board().moveCount, 0);
  s.steps(1);
  EXPECT_EQ(ruleOf(s.engine()), RenjuRule);
  s.steps(1);
  EXPECT_EQ(ruleOf(s.engine()), ExactFiveRule);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "7,7", "7,7"}));
}

// The Swap2 searches spend the brain's own count of its match clock, as thinks do; a stone far off
// the board is an error, not a cell.
TEST_F(ProtocolInfo, Swap2ChargesTheMatchClock) {
  Session s(
      "START 15\nINFO timeout_match 10000\nINFO timeout_turn 1000\nSWAP2BOARD\nDONE\n"
      "SWAP2BOARD\n2147483647,0\n7,7\n8,8\nDONE\n");
  s.steps(4);
  EXPECT_LT(s.engine().Settings.TimeLeft, 10000);
  EXPECT_EQ(s.engine().Settings.TimeoutTurn, 1000);
  s.steps(1);
  const std::vector<std::string> lines = s.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[2].rfind("ERROR SWAP2BOARD stone 2147483647,0 is off the board", 0), 0u);
}

TEST_F(ProtocolInfo, RenjuBitWinsOverExactFiveBit) {
  Session s("START 15\nINFO RULE 5\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(ruleOf(s.engine()), RenjuRule);
}

// An INFO line belongs to INFO, whole: FOLDER's path may hold blanks, unknown keys and values
// that are missing or unreadable are ignored, nothing is answered, and the next line's command is
// carried out.
TEST_F(ProtocolInfo, NeverAnswersAndNeverTakesTheNextLine) {
  Session s(
      "INFO FOLDER about\n"
      "INFO FOLDER C:\\My about\n"
      "INFO EVALUATE 7,7\n"
      "INFO NONSENSE about\n"
      "INFO TIMEOUT_TURN abc\n"
      "INFO thread_num 4\n"
      "INFO\n"
      "INFO max_memory\nSTART 15\n"
      "INFO timeout_turn\r\nINFO time_left\nBEGIN\n"
      "INFO rule\nINFO max_depth ABOUT\nABOUT\n",
      Turns::Default);
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "7,7", About}));
  EXPECT_EQ(s.loop().rememberedSettings().TimeoutTurn, MatchSettings{}.TimeoutTurn);
  EXPECT_EQ(s.loop().rememberedSettings().MaxMemory, MatchSettings{}.MaxMemory);
  EXPECT_EQ(s.engine().MaxDepth, 64);
  EXPECT_EQ(s.board().moveCount, 1);
}

TEST_F(ProtocolInput, EndOfInputEndsTheLoop) {
  const char* scripts[] = {"",
                           "START 15",
                           "START",
                           "START 15\nTURN 7,",
                           "START 15\nTURN 7",
                           "TURN",
                           "BOARD\n7,7,1\n",
                           "BOARD",
                           "INFO",
                           "INFO TIMEOUT_TURN",
                           "INFO FOLDER",
                           "ABOUT"};
  for (const char* script : scripts) {
    SCOPED_TRACE(script);
    Session s(script);
    EXPECT_EQ(s.run(), 0);
    for (const std::string& line : s.lines()) EXPECT_TRUE(line == "OK" || line == About) << line;
  }
}

TEST_F(ProtocolInput, CarriageReturnLineFeed) {
  Session s("START 15\r\nBEGIN\r\nTURN 9,9\r\nBOARD\r\n7,7,1\r\n8,8,2\r\nDONE\r\nABOUT\r\nEND\r\n");
  EXPECT_EQ(s.run(), 0);
  const auto lines = s.lines();
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "OK");
  EXPECT_EQ(lines[1], "7,7");
  EXPECT_TRUE(parseMove(lines[2])) << lines[2];
  EXPECT_TRUE(parseMove(lines[3])) << lines[3];
  EXPECT_EQ(lines[4], About);
  EXPECT_EQ(s.at(7, 7), Black);
  EXPECT_EQ(s.at(8, 8), White);
  EXPECT_EQ(s.board().moveCount, 3);
}

// A middle game on 15x15 that no opening rule answers: the think searches.
constexpr const char* SearchedPosition = "BOARD\n7,7,1\n8,7,2\n7,8,1\n8,8,2\n6,9,1\n9,6,2\nDONE\n";

// A stop line sent after a command that starts a think stops that think: with a 30 s turn and a
// node limit far away, the answer still comes at once, and the stop line is no command of its own.
TEST_F(ProtocolStop, StopLineAfterTheThinkCommandStopsIt) {
  for (const char* stop : {"YXSTOP", "yxstop", "Stop  \r"}) {
    SCOPED_TRACE(stop);
    Session s(std::string("INFO timeout_turn 30000\nSTART 15\n") + SearchedPosition +
                  "INFO time_left 60000\n" + stop + "\nABOUT\n",
              Turns::Default);
    EXPECT_EQ(s.run(), 0);
    const auto lines = s.lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "OK");
    EXPECT_TRUE(parseMove(lines[1])) << lines[1];
    EXPECT_EQ(lines[2], About);
    EXPECT_EQ(s.board().moveCount, 7);
    EXPECT_LT(s.engine().SearchCounter, 5000);
  }
}

// Stop lines outside a think are dropped like unknown words; END queued behind a think is
// carried out after the answer, in order.
TEST_F(ProtocolStop, OutsideAThinkStopsAreIgnoredAndEndWaitsItsTurn) {
  Session s("YXSTOP\nSTOP\nSTART 15\nyxstop\nBEGIN\nABOUT\nEND\nABOUT\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "7,7", About}));
}

// A stop line behind a second command that starts a think belongs to that one: the first think
// runs to its node limit, the second stops at once.
TEST_F(ProtocolStop, StopBelongsToTheLastThinkCommandBeforeIt) {
  Session s(std::string("INFO timeout_turn 30000\nINFO max_node 3000\nSTART 15\n") + SearchedPosition +
                "TURN 5,5\nYXSTOP\n",
            Turns::Default);
  s.steps(4);
  ASSERT_EQ(s.lines().size(), 2u);
  EXPECT_GE(s.engine().SearchCounter, 3000);
  s.steps(1);
  ASSERT_EQ(s.lines().size(), 3u);
  EXPECT_LT(s.engine().SearchCounter, 1000);
  EXPECT_FALSE(s.step());
}

// The first `stones` cells of a 6x6 board listed row by row; the who fields alternate 1, 2.
std::string smallBoardScript(int stones) {
  std::string script = "START 6\nBOARD\n";
  for (int i = 0; i < stones; ++i)
    script += std::to_string(i % 6) + "," + std::to_string(i / 6) + "," + (i % 2 ? "2" : "1") + "\n";
  return script + "DONE\n";
}

TEST_F(ProtocolBoard, FullBoardGetsTheNoMoveReply) {
  Session s(smallBoardScript(36));
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "255,255"}));
  EXPECT_EQ(s.board().moveCount, 36);
}

TEST_F(ProtocolTurn, LastEmptyCellGetsTheNoMoveReply) {
  // 35 stones ending in who 1: no answer to the BOARD; the TURN then fills the board.
  Session s(smallBoardScript(35) + "TURN 5,5\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines(), (std::vector<std::string>{"OK", "255,255"}));
  EXPECT_EQ(s.board().moveCount, 36);
}

using ProtocolGui = ProtocolTest;

// A renju position with one forbidden cell of each kind for Black: the overline at 3,0, the double
// four at 13,0 and the double three at 8,10. White's stones lie apart; Black is to move.
std::string forbiddenPositionLines() {
  const char* black[] = {"0,0",  "1,0",  "2,0",  "4,0",  "5,0",  "10,0", "11,0", "12,0",
                         "13,1", "13,2", "13,3", "6,10", "7,10", "8,11", "8,12"};
  const char* white[] = {"0,14", "2,14", "4,14",  "6,14", "8,14", "10,14", "12,14", "14,14",
                         "14,6", "14,8", "14,10", "0,6",  "0,8",  "0,10",  "3,12"};
  std::string lines;
  for (int i = 0; i < 15; ++i) lines += std::string(black[i]) + ",1\n" + white[i] + ",2\n";
  return lines;
}

// yxboard loads a position without a word or a think; yxshowforbid lists Black's forbidden cells
// under renju only; yxhashclear empties the table silently; yxshowinfo names the brain's limits.
TEST_F(ProtocolGui, BoardForbiddenCellsHashClearAndLimits) {
  Session s("INFO rule 4\nSTART 15\nyxboard\n" + forbiddenPositionLines() +
            "done\nyxshowforbid\nBEGIN\nyxhashclear\nyxshowinfo\nINFO rule 1\nyxboard\n7,7,1\ndone\n"
            "yxshowforbid\n");
  s.steps(3);
  EXPECT_EQ(s.newLines(), (std::vector<std::string>{"OK"}));
  EXPECT_EQ(s.board().moveCount, 30);
  s.steps(1);
  EXPECT_EQ(s.newLines(), (std::vector<std::string>{"FORBID 030013000810."}));
  s.steps(1);
  ASSERT_EQ(s.newLines().size(), 1u);
  markDirty(*s.engine().TransTable);
  s.steps(1);
  EXPECT_FALSE(s.engine().TransTable->dirty);
  EXPECT_TRUE(s.newLines().empty());
  s.steps(1);
  const std::string all = s.newLinesWithMessages();
  EXPECT_EQ(all, "MESSAGE INFO MAX_THREAD_NUM 64\nMESSAGE INFO MAX_HASH_SIZE 18\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines().back(), "FORBID .");
}

// hash_size caps the table in KB within max_memory (0: as the memory allows); time_increment
// adds to the brain's count of its clock; the GUI's other keys change nothing.
TEST_F(ProtocolGui, InfoKeysOfTheAnalysisGui) {
  Session s(
      "START 15\nINFO hash_size 4096\nINFO timeout_match 100000\nINFO time_increment 2000\n"
      "INFO pondering 1\nINFO caution_factor 2\nINFO vcthread 1\nINFO show_detail 1\n"
      "INFO start_depth 5\nINFO usedatabase 0\nINFO database_readonly 1\nINFO max_node -1\nBEGIN\n"
      "INFO hash_size 0\nBEGIN\n");
  EXPECT_EQ(s.run(), 0);
  EXPECT_EQ(s.lines().size(), 3u);
  EXPECT_EQ(s.engine().Settings.NodeLimit, 0);
  // Two thinks of 100 ms at most, each of which earned 2 s back.
  EXPECT_GT(s.engine().Settings.TimeLeft, 100000 + 2 * 2000 - 2 * 200);
  EXPECT_EQ(s.engine().TransTable->count, 1u << 16);
  EXPECT_EQ(tableBucketsForKb(4096), 1u << 16);
  EXPECT_EQ(tableBucketsForKb(1), MinTableBuckets);
  EXPECT_EQ(tableBucketsForKb(int64_t(1) << 40), MaxTableBuckets);
}

// yxbalanceone answers one free cell and yxbalancetwo two; neither changes the position, and the
// position is the one they were asked about.
TEST_F(ProtocolGui, BalancingStonesAreFreeCellsAndThePositionStays) {
  Session s("START 15\nyxboard\n7,7,1\n8,7,2\n7,8,1\ndone\nyxbalanceone 0\nyxbalancetwo 0\nyxbalancetwo x\n");
  EXPECT_EQ(s.run(), 0);
  const auto lines = s.lines();
  ASSERT_EQ(lines.size(), 4u);
  const Board& b = s.board();
  EXPECT_EQ(b.moveCount, 3);
  const auto one = parseMove(lines[1]);
  ASSERT_TRUE(one) << lines[1];
  EXPECT_EQ(b.cells[cellOf(one->first, one->second)], Empty);
  const size_t space = lines[2].find(' ');
  ASSERT_NE(space, std::string::npos) << lines[2];
  const auto first = parseMove(lines[2].substr(0, space)), second = parseMove(lines[2].substr(space + 1));
  ASSERT_TRUE(first && second) << lines[2];
  EXPECT_NE(*first, *second);
  EXPECT_EQ(b.cells[cellOf(first->first, first->second)], Empty);
  EXPECT_EQ(b.cells[cellOf(second->first, second->second)], Empty);
  EXPECT_EQ(lines[3], "ERROR Expected a number.");
}

}  // namespace
}  // namespace kesta
