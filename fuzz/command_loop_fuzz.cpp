// Fuzz target for the command loop: arbitrary bytes go to the loop as the manager's input, read by
// the loop's own reader thread as in the brain, and the loop carries them out one command at a
// time. The reader has read the whole input before the first command runs, so a stop or END line
// meets the same think on every run. After every command the harness checks that
//  - the reply fits the command: START one OK or ERROR line; RESTART and TAKEBACK "OK"; ABOUT the
//    identification line; BEGIN exactly one move; TURN exactly one move or one ERROR line; BOARD
//    one ERROR line per rejected stone line and, exactly when the last line's who was 2, one move
//    as its last line; INFO, END and unknown words nothing (START and TURN may complain about a
//    number); a think cut short by END answers nothing at all;
//  - every move printed is a cell of the board that was empty and now holds the mover's stone
//    (or the no-move reply, on a full board only);
//  - the Board and the incremental line state equal a rebuild from the stones.
// Any violation aborts with a description, which libFuzzer reports as a crash. Thinks are kept
// short by capping the engine's turn time at 20 ms before every command (INFO may set it lower),
// and one input runs at most 400 commands and 150 thinks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "board/board.h"
#include "core/number_scan.h"
#include "protocol/command_loop.h"
#include "search/engine.h"
#include "search/match_settings.h"
#include "search/think.h"
#include "search/threat_search.h"
#include "tests/support/state_check.h"

namespace {

using namespace kesta;

constexpr size_t MaxInputBytes = 1 << 16;
// Bounds on one input's work, so that a slow sanitized run stays far below the hang timeout.
constexpr int MaxCommands = 400;
constexpr int MaxThinks = 150;
constexpr int32_t ThinkCapMs = 20;
constexpr const char* Prelude = "INFO timeout_turn 20\nINFO time_left 200\n";
constexpr const char* NoMoveReply = "255,255";

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::vector<std::string> splitTokens(const std::string& text) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (isSpace(c)) {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start < text.size()) lines.push_back(text.substr(start) + "<unterminated>");
  return lines;
}

std::string upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

// The who field of a BOARD line "x,y,who" (number, any character, number, any character,
// number), as a manager's line is read; false when the line does not have that form.
bool boardLineWho(const std::string& token, int32_t& who) {
  const char* p = token.c_str();
  long long v = 0;
  for (int i = 0; i < 3; ++i) {
    if (!scanDecimal(p, v)) return false;
    if (i < 2) {
      if (*p == '\0') return false;
      ++p;
    }
  }
  who = clampToInt32(v);
  return true;
}

// The text of a command without the stop lines in front of it that stopped the think before it:
// the loop takes those out of its input (as blanks), so the command's own words come after them.
// A stop line with nothing after it in the text is a command of its own (outside a think).
std::string withoutTakenStopLines(const std::string& text) {
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('\n', start);
    if (end == std::string::npos) return text.substr(start);
    const std::vector<std::string> words = splitTokens(text.substr(start, end - start));
    const std::string first = words.empty() ? "" : upper(words[0]);
    if (!words.empty() && first != "YXSTOP" && first != "STOP") return text.substr(start);
    if (!words.empty() && splitTokens(text.substr(end)).empty()) return text.substr(start);
    start = end + 1;
  }
}

// A move line "x,y" with plain decimal numbers.
bool parseMove(const std::string& line, int& x, int& y) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size() || comma > 3 ||
      line.size() - comma - 1 > 3)
    return false;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return false;
  x = std::atoi(line.substr(0, comma).c_str());
  y = std::atoi(line.substr(comma + 1).c_str());
  return true;
}

bool isError(const std::string& line) {
  return line == ReplyNotEmpty || line == ReplyBadNumber || line == ReplyBadBoardLine || line == ReplyError;
}

[[noreturn]] void failCommand(const std::string& command, const std::string& output, const std::string& why) {
  std::fprintf(stderr, "\n=== command loop fault: %s\n--- command bytes:\n%s\n--- output:\n%s---\n",
               why.c_str(), command.c_str(), output.c_str());
  std::abort();
}

struct Before {
  std::vector<uint8_t> cells;
  int32_t moveCount;
  int size;
};

class Harness {
 public:
  explicit Harness(const std::string& input) : input_(input), in_(input_), loop_(in_, out_, 1u << 16) {
    loop_.startReader();
    loop_.awaitReader();
  }

  void run() {
    for (int i = 0; i < MaxCommands; ++i) {
      // The input may raise the turn time, and every restart resets the match clock: cap the
      // turn time before each command.
      Engine& e = loop_.engine();
      if (e.Settings.TimeoutTurn > ThinkCapMs) e.Settings.TimeoutTurn = ThinkCapMs;
      // The engine's random replies repeat, whichever Engine a START has built.
      seedGenerators(e, 1);
      const Before before = snapshot();
      pending_ = loop_.pendingWord();
      const size_t start = position();
      const bool more = loop_.step();
      const size_t end = position();
      command_ = input_.substr(start, end - start);
      output_ = out_.str();
      out_.str("");
      checkReplies(before, more);
      const std::string difference = check::stateDifference(loop_.engine());
      if (!difference.empty())
        failCommand(command_, output_, "inconsistent state after the command:\n" + difference);
      if (loop_.engine().Stopped != 1) failCommand(command_, output_, "Stopped is clear between commands");
      if (!more || thinks_ >= MaxThinks) return;
    }
  }

 private:
  size_t position() const { return std::min(size_t(loop_.inputOffset()), input_.size()); }

  Before snapshot() {
    const Board& b = loop_.board();
    return Before{std::vector<uint8_t>(b.cells, b.cells + BoardCells), b.moveCount, b.size};
  }

  [[noreturn]] void fail(const std::string& why) { failCommand(command_, output_, why); }

  // A printed move: the no-move reply on a full board, or a board cell that was empty before the
  // command (unless the command reset the board) and now holds the last stone played.
  void checkMove(const std::string& line, const Before& before, bool boardWasReset) {
    const Board& b = loop_.board();
    if (line == NoMoveReply) {
      if (b.moveCount != b.cellCount)
        fail("no-move reply with " + std::to_string(b.cellCount - b.moveCount) + " empty cells");
      return;
    }
    int x = 0, y = 0;
    if (!parseMove(line, x, y)) fail("reply '" + line + "' is not a move");
    if (!insideBoard(b, x, y)) fail("move " + line + " is off the board");
    const CellIndex cell = cellOf(x, y);
    if (!boardWasReset && before.size == b.size && before.cells[cell] != Empty)
      fail("move " + line + " was occupied");
    if (b.moveCount == 0 || b.moves[size_t(b.moveCount - 1)] != cell)
      fail("move " + line + " is not the last stone");
  }

  void checkReplies(const Before& before, bool more) {
    std::vector<std::string> lines;
    for (const std::string& line : splitLines(output_))
      if (line.rfind("MESSAGE ", 0) != 0) lines.push_back(line);
    std::vector<std::string> tokens = splitTokens(withoutTakenStopLines(command_));
    // A word that the step before read ahead is this command's first.
    if (!pending_.empty()) tokens.insert(tokens.begin(), pending_);
    const std::string word = tokens.empty() ? "" : upper(tokens[0]);
    if (word == "BEGIN" || word == "TURN" || word == "BOARD" || word == "SWAP2BOARD" || word == "YXNBEST" ||
        word == "YXBALANCEONE" || word == "YXBALANCETWO")
      ++thinks_;
    const Board& b = loop_.board();
    auto expectLines = [&](size_t n) {
      if (lines.size() != n)
        fail(std::to_string(lines.size()) + " reply lines where " + std::to_string(n) + " belong");
    };

    if (word == "BOARD" || word == "YXBOARD") {
      // Every stone line gets either a stone or one ERROR line; DONE ends the list. YXBOARD never
      // thinks.
      size_t stoneLines = 0, errors = 0;
      bool done = false;
      for (size_t i = 1; i < tokens.size(); ++i) {
        if (upper(tokens[i]) == "DONE") {
          done = true;
          break;
        }
        ++stoneLines;
        int32_t who = 0;
        if (boardLineWho(tokens[i], who)) lastWho_ = who;
      }
      for (const std::string& line : lines) errors += isError(line);
      // END arriving during the think ends the session unanswered.
      const bool answered = word == "BOARD" && done && lastWho_ == 2 && more;
      if (!done && more) fail(word + " ended without DONE");
      if (lines.size() != errors + (answered ? 1 : 0))
        fail(std::string("BOARD answered ") + std::to_string(lines.size() - errors) + " moves, expected " +
             (answered ? "one" : "none"));
      if (answered) {
        if (isError(lines.back())) fail("BOARD's move is not its last line");
        checkMove(lines.back(), before, true);
      }
      const int32_t placed = b.moveCount - (answered && lines.back() != NoMoveReply ? 1 : 0);
      if (size_t(placed) + errors != stoneLines)
        fail(std::to_string(stoneLines) + " stone lines, " + std::to_string(placed) + " stones placed and " +
             std::to_string(errors) + " rejected");
      return;
    }
    if (!more) {
      // END, or the input ran out inside a command: nothing is answered.
      if (!lines.empty()) fail("a reply to a command cut off by the end of input");
      return;
    }
    if (word == "START" || word == "RECTSTART") {
      expectLines(1);
      if (word == "RECTSTART" && lines[0] == ReplyRectangular) return;
      if (lines[0] != ReplyOk && lines[0] != ReplyError && lines[0] != ReplyBadNumber)
        fail(word + " answered '" + lines[0] + "'");
      if (lines[0] == ReplyOk && b.moveCount != 0) fail(word + " left stones on the board");
    } else if (word == "RESTART" || word == "TAKEBACK") {
      expectLines(1);
      if (lines[0] != ReplyOk) fail(word + " answered '" + lines[0] + "'");
      if (word == "RESTART" && b.moveCount != 0) fail("RESTART left stones on the board");
      if (word == "TAKEBACK" && b.moveCount != (before.moveCount > 0 ? before.moveCount - 1 : 0))
        fail("TAKEBACK went from " + std::to_string(before.moveCount) + " to " + std::to_string(b.moveCount) +
             " stones");
    } else if (word == "ABOUT") {
      expectLines(1);
      if (lines[0] != about_) fail("ABOUT answered '" + lines[0] + "'");
    } else if (word == "BEGIN") {
      expectLines(1);
      checkMove(lines[0], before, false);
      if (lines[0] != NoMoveReply && b.moveCount != before.moveCount + 1) fail("BEGIN did not add one stone");
    } else if (word == "TURN") {
      expectLines(1);
      if (isError(lines[0])) {
        if (b.moveCount != before.moveCount) fail("a rejected TURN changed the board");
      } else {
        checkMove(lines[0], before, false);
        const int32_t added = lines[0] == NoMoveReply ? 1 : 2;
        if (b.moveCount != before.moveCount + added)
          fail("TURN did not add the opponent's stone and its own");
        const CellIndex theirs = b.moves[size_t(before.moveCount)];
        if (before.cells[theirs] != Empty) fail("the opponent's stone went on an occupied cell");
      }
    } else if (word == "SWAP2BOARD") {
      // One line: an error, SWAP, or one to three cells; the board is as before the command.
      expectLines(1);
      if (b.moveCount != before.moveCount) fail("SWAP2BOARD changed the board");
      if (lines[0].rfind("ERROR SWAP2BOARD ", 0) == 0 || lines[0] == ReplySwap) return;
      const std::vector<std::string> cells = splitTokens(lines[0]);
      if (cells.empty() || cells.size() > 3) fail("SWAP2BOARD answered '" + lines[0] + "'");
      for (const std::string& cell : cells) {
        int x = 0, y = 0;
        if (!parseMove(cell, x, y) || !insideBoard(b, x, y)) fail("SWAP2BOARD answered '" + lines[0] + "'");
      }
    } else if (word == "YXNBEST") {
      // Blocks of INFO lines, then the move (or the error of a missing number).
      std::vector<std::string> replies;
      for (const std::string& line : lines)
        if (line.rfind("INFO ", 0) != 0) replies.push_back(line);
      lines = replies;
      expectLines(1);
      if (lines[0] == ReplyBadNumber) return;
      checkMove(lines[0], before, false);
      if (lines[0] != NoMoveReply && b.moveCount != before.moveCount + 1)
        fail("YXNBEST did not add one stone");
    } else if (word == "YXBALANCEONE" || word == "YXBALANCETWO") {
      // One line: an error, or one or two empty cells; the board is as before the command.
      expectLines(1);
      if (b.moveCount != before.moveCount) fail(word + " changed the board");
      if (isError(lines[0])) return;
      const std::vector<std::string> cells = splitTokens(lines[0]);
      if (cells.size() != (word == "YXBALANCEONE" ? 1u : 2u)) fail(word + " answered '" + lines[0] + "'");
      for (const std::string& cell : cells) {
        int x = 0, y = 0;
        if (!parseMove(cell, x, y) || !insideBoard(b, x, y) || b.cells[cellOf(x, y)] != Empty)
          fail(word + " answered '" + lines[0] + "'");
      }
    } else if (word == "YXSHOWFORBID") {
      expectLines(1);
      if (lines[0].rfind("FORBID ", 0) != 0 || lines[0].back() != '.')
        fail("YXSHOWFORBID answered '" + lines[0] + "'");
    } else if (word == "INFO" || word == "YXSTOP" || word == "STOP" || word == "YXHASHCLEAR" ||
               word == "YXSHOWINFO" || word.empty()) {
      if (!lines.empty()) fail("'" + word + "' answered '" + lines[0] + "'");
    } else {
      // Any other word is an unknown command: one UNKNOWN line.
      expectLines(1);
      if (lines[0].rfind(std::string(ReplyUnknown) + " ", 0) != 0)
        fail("'" + word + "' answered '" + lines[0] + "'");
    }
  }

  const std::string about_ = aboutLine();
  std::string input_;
  std::istringstream in_;
  std::ostringstream out_;
  CommandLoop loop_;
  int32_t lastWho_ = 2;  // the BOARD who that the loop remembers across commands
  int thinks_ = 0;
  std::string command_;
  std::string pending_;
  std::string output_;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // No AIConfig.txt or AIEval.txt is found there: the built-in defaults are in force.
  kesta::ExeDirectory = "/nonexistent-kesta-fuzz/";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > MaxInputBytes) return -1;
  // Each input starts from the state of a fresh process.
  kesta::drawZobristKeys(1);
  Harness harness(std::string(Prelude) + std::string(reinterpret_cast<const char*>(data), size));
  harness.run();
  return 0;
}
