// Layer 7 of 8 (tools/check-layers.sh): protocol/ includes from every folder but main/.
// The Gomocup/Piskvork brain protocol: reads command tokens, drives the Engine and prints every
// reply line. Entry point: CommandLoop::run, which returns the process exit status.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "board/board.h"
#include "protocol/command_input.h"
#include "protocol/search_info.h"
#include "search/engine.h"
#include "search/match_settings.h"
#include "search/trans_table.h"

namespace kesta {

// Protocol texts, exactly as the manager expects them.
inline constexpr const char* ReplyOk = "OK";
inline constexpr const char* ReplyError = "ERROR";
inline constexpr const char* ReplyNotEmpty = "ERROR Coord is not empty.";
inline constexpr const char* NoMoveReply = "255,255";
inline constexpr const char* ReplyBadNumber = "ERROR Expected a number.";
inline constexpr const char* ReplyBadBoardLine = "ERROR Expected a line x,y,who.";
inline constexpr const char* ReplyUnknown = "UNKNOWN";  // followed by the command word
inline constexpr const char* ReplySwap = "SWAP";
inline constexpr const char* ReplyRectangular = "ERROR rectangular boards are not supported";

// The identification line: name="Kesta", version="<Version>", author="The Kesta authors",
// country="-" (the project has no web site to name).
std::string aboutLine();

class CommandLoop {
 public:
  // Commands come from in (see CommandInput), replies go to out. The transposition table is sized
  // by INFO max_memory (tableBucketsFor) before each think that finds it of another size, and
  // capped at tableBuckets, so that tests and the fuzzer can run with a small one.
  CommandLoop(std::istream& in, std::ostream& out, uint32_t tableBuckets = MaxTableBuckets);
  ~CommandLoop();
  CommandLoop(const CommandLoop&) = delete;
  CommandLoop& operator=(const CommandLoop&) = delete;

  // Starts the input's reader thread, then reads and carries out commands until END or the end
  // of input; returns the exit status.
  int run();

  // Carries out one command; false when the loop must end (END, end of input).
  bool step();

  // The reader thread of run, for callers that step the loop themselves (see CommandInput).
  void startReader() { input_.startReader(); }
  void awaitReader() { input_.awaitReader(); }
  // Bytes of the input taken by the commands so far.
  uint64_t inputOffset() const { return input_.offset(); }

  Engine& engine() { return *engine_; }
  Board& board() { return *board_; }
  const MatchSettings& rememberedSettings() const { return settings_; }
  // A command word read ahead (by SWAP2BOARD, which met it before DONE) that the next step carries
  // out; empty when none.
  const std::string& pendingWord() const { return pushedBack_; }

 private:
  enum class Read { Ok, Failed, EndOfInput };

  bool readToken(std::string& token);
  Read readNumber(int32_t& value);
  Read readSeparator();
  // A command's number: one that is not a number is answered ReplyBadNumber, its word dropped.
  Read readArgument(int32_t& value);
  // "a,b": a number, any one character, a number. A pair that is not numbers is answered
  // ReplyBadNumber, its word dropped.
  Read readPair(int32_t& a, int32_t& b);
  void dropToken();
  void reply(const std::string& line);
  void replyMove(CellIndex cell);
  void buildEngine(int size);
  // The bucket count for the memory limit in force, within the cap.
  uint32_t tableBuckets() const;

  bool onStart();
  bool onRectStart();
  // SWAP2BOARD: the opening's stones so far (0, 3 or 5) up to DONE, answered by answerSwap2.
  bool onSwap2Board();
  // Takes the time since startMs off the match clock, as the brain counts it.
  void chargeClock(int32_t startMs);
  bool onUnknown(const std::string& word);
  // Reads and drops the rest of the current line.
  void skipLine();
  // START n: the board of side n and a new game, answered OK or ERROR.
  void startBoard(int32_t n);
  bool onTakeback();
  bool onTurn();
  // The stone lines of BOARD or YXBOARD up to DONE, on a new game; false at the end of input.
  bool readBoardStones();
  bool onBoard();
  // The analysis GUI's commands (gui_commands.cpp).
  bool onYxBoard();
  void onHashClear();
  void onShowForbid();
  void onShowInfo();
  // YXNBEST n: a think that finds the n best lines and prints their blocks at every completed depth.
  bool onNBest();
  // YXBALANCEONE s / YXBALANCETWO s: the one or two cells that bring the position nearest s.
  bool onBalance(int stones);
  // Sizes the table for the next think when the limits in force ask for another size.
  void fitTableToLimits();
  bool onInfo();
  void applyInfo(const std::string& line);
  bool thinkAndReply();
  // restart, and the match clock full again.
  void newGame();

  CommandInput input_;
  std::istream& in_;
  std::ostream& out_;
  uint32_t tableCap_;
  uint32_t tableMadeFor_ = 0;  // the bucket count the Engine's table was asked for
  MatchSettings settings_;
  std::unique_ptr<Board> board_;
  std::unique_ptr<Engine> engine_;
  SearchInfoPrinter info_;
  RealtimePrinter realtime_;
  // A command of the analysis GUI (YX..., other than YXSTOP) has come: the thinks print its
  // REALTIME lines, which other managers never see.
  bool analysisGui_ = false;
  bool linesShown_ = false;  // the think under way has printed blocks of best lines
  std::string notices_;  // MESSAGE lines due before the next reply
  // The table size that INFO hash_size asks for, in buckets; 0: as large as the memory allows.
  uint32_t hashBuckets_ = 0;
  int32_t lastWho_ = 2;  // the who of the last BOARD line read, kept across commands
  std::vector<uint16_t> previousMoves_;
  std::string pushedBack_;  // a word read ahead that is the next command  // the game a BOARD replaces, to
                            // tell whether it continues
  // The match clock is the manager's last time_left, less what the thinks took since; until the
  // first time_left of a game, timeout_match less what the game's thinks took.
  bool timeLeftTold_ = false;
  int64_t spentMs_ = 0;
};

// Converts a token to capitals (only the bytes a..z change).
void capitalise(std::string& token);

}  // namespace kesta
