// The real brain driven over pipes: replies arrive line by line while it waits for more input,
// END and the end of input both end it with status 0, and no input makes it crash or hang.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "protocol/command_loop.h"
#include "tools/brain_process.h"

namespace kesta {
namespace {

const std::string About = aboutLine();

// Every line the brain may print: a reply word, an error, a move, the identification or a
// diagnostic message.
bool isProtocolLine(const std::string& line) {
  if (line == "OK" || line == About || line.rfind("ERROR", 0) == 0 || line.rfind("MESSAGE ", 0) == 0)
    return true;
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size()) return false;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return false;
  const int x = std::stoi(line.substr(0, comma)), y = std::stoi(line.substr(comma + 1));
  return (x < 22 && y < 22) || (x == 255 && y == 255);
}

// The next line that is not a MESSAGE line (search reports come before a move).
std::optional<std::string> replyLine(BrainProcess& brain, int timeoutMs = BrainProcess::DefaultTimeoutMs) {
  for (;;) {
    auto line = brain.readLine(timeoutMs);
    if (!line || line->rfind("MESSAGE ", 0) != 0) return line;
  }
}

void expectCleanExit(BrainProcess& brain) {
  const auto status = brain.waitExit();
  ASSERT_TRUE(status.has_value()) << "the brain did not end";
  EXPECT_TRUE(status->cleanExit()) << status->describe();
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
