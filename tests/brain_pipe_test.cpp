// The real brain driven over pipes: replies arrive line by line while it waits for more input,
// END and the end of input both end it with status 0, and no input makes it crash or hang.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "protocol/command_loop.h"
#include "protocol/version.h"
#include "support/processes.h"
#include "support/temp_dir.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESTA_PIPE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KESTA_PIPE_SANITIZED 1
#endif
#endif

namespace kesta {
namespace {

using kesta_test::expectCleanExit;
using kesta_test::isMessage;
using kesta_test::parseMove;
using kesta_test::replyLine;

// How soon a move must follow YXSTOP: 50 ms; a brain built with a sanitizer runs many times
// slower, and there the check is about races and memory, not speed.
#ifdef KESTA_PIPE_SANITIZED
constexpr int StopLimitMs = 500;
#else
constexpr int StopLimitMs = 50;
#endif

const std::string About = aboutLine();

// Every line the brain may print: a reply word, an error, a move, the identification or a
// diagnostic message.
bool isProtocolLine(const std::string& line) {
  if (line == "OK" || line == About || line.rfind("ERROR", 0) == 0 || isMessage(line) ||
      line.rfind("UNKNOWN ", 0) == 0)
    return true;
  const auto move = parseMove(line);
  return move && ((move->first < 22 && move->second < 22) || *move == std::make_pair(255, 255));
}

TEST(BrainPipe, ShortSessionThenEnd) {
  BrainProcess brain;
  ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
  // Each reply must arrive while the input stays open: the brain flushes every line.
  ASSERT_TRUE(brain.writeLine("START 15"));
  EXPECT_EQ(brain.readLine(), "OK");
  ASSERT_TRUE(brain.writeLine("BEGIN"));
  EXPECT_EQ(brain.readLine(), "7,7");
  ASSERT_TRUE(brain.writeLine("INFO TIMEOUT_TURN 200"));
  ASSERT_TRUE(brain.writeLine("TURN 7,8"));
  const auto move = replyLine(brain);
  ASSERT_TRUE(move.has_value());
  EXPECT_TRUE(isProtocolLine(*move) && move->find(',') != std::string::npos) << *move;
  EXPECT_NE(*move, "7,7");
  EXPECT_NE(*move, "7,8");
  ASSERT_TRUE(brain.writeLine("ABOUT"));
  EXPECT_EQ(brain.readLine(), About);
  ASSERT_TRUE(brain.writeLine("END"));
  // END ends the brain by itself, with the input still open, and prints nothing.
  std::string rest;
  EXPECT_TRUE(brain.readToEnd(rest));
  EXPECT_EQ(rest, "");
  expectCleanExit(brain);
}

TEST(BrainPipe, EndOfInputEndsTheBrain) {
  const char* sessions[] = {"", "START 15\n", "START 15\nBEGIN\nTURN", "START", "BOARD\n7,7,1\n"};
  for (const char* input : sessions) {
    SCOPED_TRACE(input);
    BrainProcess brain;
    ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
    ASSERT_TRUE(brain.write(input));
    brain.closeInput();
    expectCleanExit(brain);
    std::string rest;
    EXPECT_TRUE(brain.readToEnd(rest));
    if (rest == "OK\n" || rest == "OK\n7,7\n") rest.clear();
    EXPECT_EQ(rest, "");
  }
}

// ---------------------------------------------------------------------------------------------
// Stopping a think: the brain reads its input while it thinks.

// A brain set up for a long think: a 30 s turn on an early position that no opening rule
// answers.
void startLongThink(BrainProcess& brain) {
  ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
  ASSERT_TRUE(brain.writeLine("INFO timeout_turn 30000"));
  ASSERT_TRUE(brain.writeLine("INFO timeout_match 1000000"));
  ASSERT_TRUE(brain.writeLine("START 15"));
  ASSERT_EQ(replyLine(brain), "OK");
  ASSERT_TRUE(brain.writeLine("BOARD\n7,7,1\n8,7,2\n7,8,1\n8,8,2\nDONE"));
}

// Collects the think's MESSAGE lines for ms, failing on anything else.
void thinkFor(BrainProcess& brain, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    const auto line = brain.readLine(int(left.count()));
    if (line) {
      ASSERT_TRUE(isMessage(*line)) << "the think ended early: " << *line;
    }
  }
}

// The move after the stop line arrives within 50 ms (StopLimitMs), from the best the think had
// found.
TEST(BrainStop, YxstopAnswersAtOnce) {
  BrainProcess brain;
  startLongThink(brain);
  thinkFor(brain, 400);
  const auto sent = std::chrono::steady_clock::now();
  ASSERT_TRUE(brain.writeLine("YXSTOP"));
  const auto move = replyLine(brain, 5000);
  const auto tookMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
  ASSERT_TRUE(move.has_value()) << "no answer to YXSTOP";
  EXPECT_LE(tookMs, StopLimitMs) << "the answer came " << tookMs << " ms after YXSTOP";
  ::testing::Test::RecordProperty("stop_latency_ms", int(tookMs));
  const std::set<std::string> taken = {"7,7", "8,7", "7,8", "8,8"};
  EXPECT_TRUE(isProtocolLine(*move) && move->find(',') != std::string::npos && !taken.count(*move)) << *move;
  // A stop between thinks is ignored; the brain answers as before.
  ASSERT_TRUE(brain.writeLine("stop\nABOUT"));
  EXPECT_EQ(replyLine(brain), About);
  ASSERT_TRUE(brain.writeLine("END"));
  expectCleanExit(brain);
}

// Commands sent during a think wait, in order, and are carried out after the answer.
TEST(BrainStop, CommandsQueuedBehindAThinkKeepTheirOrder) {
  BrainProcess brain;
  startLongThink(brain);
  thinkFor(brain, 200);
  ASSERT_TRUE(brain.writeLine("ABOUT\nINFO time_left 50000\nTAKEBACK\nabout\nYXSTOP"));
  const auto move = replyLine(brain, 5000);
  ASSERT_TRUE(move.has_value());
  EXPECT_NE(move->find(','), std::string::npos) << *move;
  EXPECT_EQ(replyLine(brain), About);
  EXPECT_EQ(replyLine(brain), "OK");
  EXPECT_EQ(replyLine(brain), About);
  brain.closeInput();
  expectCleanExit(brain);
  std::string rest;
  EXPECT_TRUE(brain.readToEnd(rest));
  EXPECT_EQ(rest, "");
}

// END during a think ends the brain at once, with status 0 and without a move.
TEST(BrainStop, EndDuringAThinkExitsAtOnce) {
  BrainProcess brain;
  startLongThink(brain);
  thinkFor(brain, 200);
  ASSERT_TRUE(brain.writeLine("END"));
  const auto status = brain.waitExit(2000);
  ASSERT_TRUE(status.has_value()) << "the brain still runs after END";
  EXPECT_TRUE(status->cleanExit()) << status->describe();
  std::string rest;
  EXPECT_TRUE(brain.readToEnd(rest));
  for (size_t start = 0, end; (end = rest.find('\n', start)) != std::string::npos; start = end + 1)
    EXPECT_EQ(rest.compare(start, 8, "MESSAGE "), 0) << rest.substr(start, end - start);
}

// ---------------------------------------------------------------------------------------------
// The text files next to the brain, read by a fresh process.

// A copy of the brain in a folder of its own, with the given AIEval.txt and AIConfig.txt.
std::string brainWithFiles(const kesta_test::TempDir& dir, const std::string& eval,
                           const std::string& config) {
  const std::filesystem::path brain = dir.path() / "pbrain-kesta";
  std::filesystem::copy_file(KESTA_BRAIN_PATH, brain);
  dir.writeEvalFile(eval);
  dir.writeConfigFile(config);
  return brain.string();
}

// Every line up to the first that is not a search report; the reports are counted.
std::vector<std::string> linesUpToAReply(BrainProcess& brain, int& reports) {
  std::vector<std::string> lines;
  for (;;) {
    const auto line = brain.readLine();
    if (!line) return lines;
    lines.push_back(*line);
    if (line->rfind("MESSAGE depth ", 0) == 0)
      ++reports;
    else if (!isMessage(*line))
      return lines;
  }
}

// A manager that asks ABOUT first reads the identification first: the notice of a file that
// failed to read waits for the next reply.
TEST(BrainFiles, AboutComesBeforeANotice) {
  kesta_test::TempDir dir;
  BrainProcess brain;
  ASSERT_TRUE(brain.spawn(brainWithFiles(dir, "12 34 oops", "Override:1\n")));
  ASSERT_TRUE(brain.writeLine("ABOUT"));
  EXPECT_EQ(brain.readLine(), About);
  ASSERT_TRUE(brain.writeLine("START 15"));
  EXPECT_EQ(brain.readLine().value_or("").rfind("MESSAGE AIEval.txt could not be read", 0), 0u);
  EXPECT_EQ(brain.readLine(), "OK");
  ASSERT_TRUE(brain.writeLine("END"));
  expectCleanExit(brain);
}

// An AIEval.txt that fails to read keeps the built-in weights and says so once, before the first
// reply; SearchInfo:0 in AIConfig.txt (here after a byte-order mark) silences the search reports.
TEST(BrainFiles, AFailedEvaluationFileKeepsTheDefaultsAndSaysSoOnce) {
  kesta_test::TempDir dir;
  const std::string brokenEval = "\xEF\xBB\xBF 12 34 oops";
  const std::string script[] = {"INFO max_node 3000", "INFO seed 5", "START 15",
                                "BOARD\n7,7,1\n8,7,2\n7,8,1\n8,8,2\nDONE", "TURN 5,5"};
  std::vector<std::string> replies[2];
  int reports[2] = {0, 0};
  for (int run = 0; run < 2; ++run) {
    BrainProcess brain;
    ASSERT_TRUE(run == 0
                    ? brain.spawn(KESTA_BRAIN_PATH)
                    : brain.spawn(brainWithFiles(dir, brokenEval, "\xEF\xBB\xBFOverride:1\nSearchInfo:0\n")));
    for (const std::string& command : script) {
      ASSERT_TRUE(brain.writeLine(command));
      if (command.rfind("INFO", 0) == 0) continue;
      for (const std::string& line : linesUpToAReply(brain, reports[run]))
        if (line.rfind("MESSAGE depth ", 0) != 0) replies[run].push_back(line);
    }
    ASSERT_TRUE(brain.writeLine("END"));
    expectCleanExit(brain);
  }
  EXPECT_GT(reports[0], 0);
  EXPECT_EQ(reports[1], 0);
  ASSERT_EQ(replies[1].size(), replies[0].size() + 1);
  EXPECT_EQ(replies[1][0],
            "MESSAGE AIEval.txt could not be read (it must hold 305 whole numbers): the built-in evaluation "
            "weights apply.");
  // The same moves as the brain without files: the built-in weights are in force.
  EXPECT_EQ(std::vector<std::string>(replies[1].begin() + 1, replies[1].end()), replies[0]);
}

// The developer tool tells the same version as ABOUT, and solve --verbose shows the reports.
TEST(ToolOutput, VersionAndVerboseSolve) {
  BrainProcess version;
  ASSERT_TRUE(version.spawn(std::vector<std::string>{KESTA_TOOL_PATH, "--version"}));
  EXPECT_EQ(version.readLine(), std::string("kesta-tool ") + Version);
  expectCleanExit(version);

  BrainProcess solve;
  ASSERT_TRUE(solve.spawn(std::vector<std::string>{KESTA_TOOL_PATH, "solve", "--rule", "freestyle", "--size",
                                                   "15", "--moves", "7,7 8,7 7,8 8,8 6,9 9,6", "--turn-time",
                                                   "300", "--verbose"}));
  std::string output;
  EXPECT_TRUE(solve.readToEnd(output, 30000));
  expectCleanExit(solve);
  EXPECT_EQ(output.rfind("MESSAGE depth 4 score ", 0), 0u) << output;
  const size_t last = output.rfind('\n', output.size() - 2);
  ASSERT_NE(last, std::string::npos) << output;
  EXPECT_EQ(output.compare(last + 1, 5, "move "), 0) << output;
}

// Fragments of input: stray bytes, command words in any case with and without arguments,
// coordinates in and out of range, separators and line ends. END and the turn time are left out
// so that the brain keeps reading and its thinks stay short.
std::string garbageChunk(std::mt19937& rng) {
  static const char* const words[] = {"START",  "RESTART",   "TAKEBACK", "BEGIN", "TURN",      "BOARD",
                                      "DONE",   "INFO",      "ABOUT",    "RULE",  "TIME_LEFT", "MAX_MEMORY",
                                      "FOLDER", "GAME_TYPE", "STARTX",   "ENDX"};
  static const char* const spaces[] = {" ", "\n", "\r\n", "\t", ",", ";", ""};
  auto pick = [&rng](unsigned n) { return unsigned(rng() % n); };
  auto number = [&]() -> std::string {
    switch (pick(6)) {
      case 0:
        return std::to_string(int(pick(30)) - 5);
      case 1:
        return std::to_string(pick(23));
      case 2:
        return std::to_string(int64_t(rng()) * 4096 - 1);
      case 3:
        return std::to_string(-int64_t(rng()) - 1);
      case 4:
        return "99999999999999999999999";
      default:
        return std::to_string(pick(16));
    }
  };
  std::string chunk;
  auto coordinate = [&]() { return std::to_string(pick(8) ? int(pick(15)) : int(pick(26)) - 2); };
  switch (pick(7)) {
    case 0: {  // raw bytes, NUL included
      const unsigned n = 1 + pick(40);
      for (unsigned i = 0; i < n; ++i) chunk.push_back(char(pick(256)));
      break;
    }
    case 1:
    case 2: {  // a command word in random case with up to three arguments
      std::string word = words[pick(sizeof words / sizeof *words)];
      for (char& c : word)
        if (pick(2) && c >= 'A' && c <= 'Z') c = char(c + 32);
      chunk = word;
      const unsigned args = pick(4);
      for (unsigned i = 0; i < args; ++i) chunk += spaces[pick(4)] + number();
      break;
    }
    case 3:  // a board line or a coordinate pair
      chunk = number() + spaces[pick(7)] + number();
      if (pick(2)) chunk += std::string(spaces[pick(7)]) + std::to_string(pick(4));
      break;
    case 4:  // a well-formed move, mostly on the board
      chunk = "TURN " + coordinate() + "," + coordinate();
      break;
    case 5: {  // a well-formed position, or a game command
      switch (pick(6)) {
        case 0: {
          chunk = "BOARD\n";
          for (unsigned i = 0, n = pick(12); i < n; ++i)
            chunk += coordinate() + "," + coordinate() + "," + std::to_string(1 + pick(3)) + "\n";
          chunk += "DONE";
          break;
        }
        case 1:
          chunk = "START " + std::to_string(4 + pick(21));
          break;
        case 2:
          chunk = "INFO RULE " + std::to_string(pick(9));
          break;
        case 3:
          chunk = "TAKEBACK";
          break;
        case 4:
          chunk = "BEGIN";
          break;
        default:
          chunk = "RESTART";
          break;
      }
      break;
    }
    default:  // separators alone, or the end of a position list
      for (unsigned i = 0, n = 1 + pick(4); i < n; ++i) chunk += spaces[pick(7)];
      if (pick(2)) chunk += "DONE";
      break;
  }
  return chunk + spaces[pick(7)];
}

TEST(BrainPipe, GarbageNeverCrashesOrHangs) {
  for (uint32_t seed : {1u, 2u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    BrainProcess brain;
    ASSERT_TRUE(brain.spawn(KESTA_BRAIN_PATH));
    ASSERT_TRUE(brain.writeLine("INFO TIMEOUT_TURN 50"));
    std::string output;
    for (int i = 0; i < 300; ++i) {
      const std::string chunk = garbageChunk(rng);
      ASSERT_TRUE(brain.write(chunk))
          << "chunk " << i << " not accepted; "
          << (brain.waitExit(0) ? brain.waitExit(0)->describe() : "still running");
      output += brain.takeOutput();
    }
    // Whatever command the garbage left open, DONE or the error path closes it; then the brain
    // must still answer.
    ASSERT_TRUE(brain.write("\nDONE\nABOUT\n"));
    bool answered = false;
    while (!answered) {
      const auto line = brain.readLine();
      ASSERT_TRUE(line.has_value()) << "no answer to ABOUT after the garbage";
      output += *line + "\n";
      answered = *line == About;
    }
    brain.closeInput();
    expectCleanExit(brain);
    std::string rest;
    EXPECT_TRUE(brain.readToEnd(rest));
    output += rest;

    size_t start = 0;
    for (size_t end; (end = output.find('\n', start)) != std::string::npos; start = end + 1) {
      const std::string line = output.substr(start, end - start);
      EXPECT_TRUE(isProtocolLine(line)) << "'" << line << "'";
    }
    EXPECT_EQ(start, output.size()) << "unterminated output";
  }
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
