// One game between two brain processes over pipes, driven the way a tournament manager drives
// them (START, INFO, BEGIN or BOARD, then TURN or BOARD before every move), with the referee
// judging every reply. The soak and the match both play their games through playGame. A game may
// also be played as on a busy tournament machine: each brain suspended between its moves, and
// the brains pinned to one core that a CPU-bound competitor shares (CpuCompetitor). POSIX only;
// pinning needs Linux.
#pragma once

#ifndef _WIN32

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/lib/brain_process.h"
#include "tools/lib/referee.h"

namespace kesta::tool {

constexpr int64_t MiB = 1024 * 1024;

// One brain's part in a game.
struct BrainSettings {
  std::string command;   // an executable's path, or a shell command line when it holds a blank
  int64_t turnMs = 100;  // INFO timeout_turn, and the limit each move is judged against
  int64_t matchMs = 0;   // INFO timeout_match and the clock sent as time_left; 0: no match clock
  int64_t maxNodes = 0;  // INFO max_node, sent when above 0
  int64_t maxDepth = 0;  // INFO max_depth, sent when above 0
  int64_t threads = 1;   // INFO thread_num, sent when above 1
  int64_t seed = -1;     // INFO seed, sent when 0 or more
  // A manager whose own turn limit is shorter than the one it tells the brain: when no move has
  // come this many ms after the command, YXSTOP goes out, and the move is judged against this
  // limit instead of turnMs. 0: never.
  int64_t stopAfterMs = 0;
};

// A brain process that a match keeps running from game to game, as c-gomoku-cli and GUIs do:
// each game after the first starts on it with START. One that crashed or hung is replaced by a new
// process at its next game; endKeptBrain sends the last END.
struct KeptBrain {
  std::unique_ptr<BrainProcess> process;
};

// Ends a kept brain with END; false when it did not end with status 0 within 5 s (it is killed).
bool endKeptBrain(KeptBrain& brain);

struct GameSetup {
  int index = 0;  // the game's number in messages
  int rule = RuleFreestyle;
  int size = 15;
  std::vector<Cell> opening;        // stones on the board before the brains move, Black first
  BrainSettings brains[2];          // brains[0] plays Black
  bool boardEveryMove = false;      // BOARD before every move instead of TURN
  int64_t toleranceMs = 0;          // a move may take this much longer than its limit
  int64_t memoryLimit = 350 * MiB;  // sent as INFO max_memory
  bool checkFouls = false;          // compare the engine's own forbidden test with the referee's
  bool suspendBetweenMoves = false;  // SIGSTOP after each reply, SIGCONT before the next command
  int pinCpu = -1;                   // run both brains on this core only; -1: anywhere
  KeptBrain* kept[2] = {nullptr, nullptr};  // per colour; null: a new process for this game only
};

enum class Outcome { BlackFive, WhiteFive, Foul, Draw, Illegal, Crash, Hang, Time, StartFailure };

// A move's time: wall clock from the command to the reply, and (when the kernel tells) the time the
// brain ran on a CPU and waited for one meanwhile.
struct MoveStat {
  int side = 0;
  int64_t tookMs = 0, limitMs = 0;
  int64_t runMs = -1, waitMs = -1;
  bool stopped = false;  // YXSTOP was sent
};

struct GameRecord {
  Outcome outcome = Outcome::Draw;
  int winner = -1;     // 0 Black, 1 White, -1 a draw
  int loser = -1;      // the side at fault for a crash, hang, illegal move, foul or time loss
  std::string reason;  // five, foul, full board, illegal move, crash, hang, time
  std::string note;    // what went wrong, for faults and unclean exits
  std::vector<Cell> moves;  // the whole game, the opening included
  int openingLength = 0;
  std::vector<MoveStat> stats;
  int64_t setupMs = 0;          // the longer brain's START, INFO lines and ABOUT
  int64_t clockMs[2] = {0, 0};  // what is left of each match clock
  int64_t peakBytes[2] = {-1, -1};
  int messages = 0;             // MESSAGE lines read while waiting for moves
  int badExits = 0;             // brains that did not end with status 0 after END
  int foulChecks = 0, foulDisagreements = 0;
  std::vector<std::string> foulReports;
  std::string transcripts[2];   // everything sent to each brain
};

// Plays the game to its end: a five, a renju foul, a full board or a brain's fault.
GameRecord playGame(const GameSetup& setup);

// A process that keeps one core busy for as long as it lives, so that a brain pinned to that core
// waits for the CPU as on a loaded machine. It dies with the thread that made it, even when that
// thread is killed.
class CpuCompetitor {
 public:
  // Starts it on cpu; running() tells whether that worked.
  explicit CpuCompetitor(int cpu);
  ~CpuCompetitor();
  CpuCompetitor(const CpuCompetitor&) = delete;
  CpuCompetitor& operator=(const CpuCompetitor&) = delete;
  bool running() const { return pid_ > 0; }

 private:
  int pid_ = -1;
};

// The highest-numbered core this process may run on, or -1 when the system does not tell.
int lastAllowedCpu();

// "Black wins", "White wins" or "draw".
const char* winnerText(int winner);

// "took 107 ms (running 58 ms, waiting for a CPU 49 ms)".
std::string moveTime(const MoveStat& m);

}  // namespace kesta::tool

#endif  // _WIN32
