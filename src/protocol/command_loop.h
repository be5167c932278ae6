// Layer 6 of 7 (tools/check-layers.sh): protocol/ includes from every folder but main/.
// The Gomocup/Piskvork brain protocol: reads command tokens, drives the Engine and prints every
// reply line. Entry point: CommandLoop::run, which returns the process exit status.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>

#include "board/board.h"
#include "search/engine.h"
#include "search/match_settings.h"

namespace kesta {

// Protocol texts, exactly as the manager expects them.
inline constexpr const char* ReplyOk = "OK";
inline constexpr const char* ReplyError = "ERROR";
inline constexpr const char* ReplyNotEmpty = "ERROR Coord is not empty.";
inline constexpr const char* NoMoveReply = "255,255";
inline constexpr const char* ReplyBadNumber = "ERROR Expected a number.";
inline constexpr const char* ReplyBadBoardLine = "ERROR Expected a line x,y,who.";
inline constexpr const char* AboutLine =
    "name = \"Kesta\", version =\"1.0.0\", author = \"Tor Emdi\", country = \"Veland\"";

class CommandLoop {
 public:
  // tableBuckets lets tests and the fuzzer run with a small transposition table.
  CommandLoop(std::istream& in, std::ostream& out, uint32_t tableBuckets = 1u << 23);
  ~CommandLoop();
  CommandLoop(const CommandLoop&) = delete;
  CommandLoop& operator=(const CommandLoop&) = delete;

  // Reads and carries out commands until END or the end of input; returns the exit status.
  int run();

  // Carries out one command; false when the loop must end (END, end of input).
  bool step();

  Engine& engine() { return *engine_; }
  Board& board() { return *board_; }
  const MatchSettings& rememberedSettings() const { return settings_; }

 private:
  enum class Read { Ok, Failed, EndOfInput };

  bool readToken(std::string& token);
  Read readNumber(int32_t& value);
  Read readSeparator();
  void dropToken();
  void reply(const std::string& line);
  void replyMove(CellIndex cell);

  bool onStart();
  bool onTakeback();
  bool onBegin();
  bool onTurn();
  bool onBoard();
  bool onInfo();
  void thinkAndReply();

  std::istream& in_;
  std::ostream& out_;
  uint32_t tableBuckets_;
  MatchSettings settings_;
  std::unique_ptr<Board> board_;
  std::unique_ptr<Engine> engine_;
  int32_t lastWho_ = 2;  // the who of the last BOARD line read, kept across commands
};

// Converts a token to capitals (only the bytes a..z change).
void capitalise(std::string& token);

}  // namespace kesta
