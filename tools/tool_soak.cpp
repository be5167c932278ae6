// Developer-tool subcommand `soak`: brain processes play each other over pipes the way a
// tournament manager drives them, for many games, while an independent referee checks every move.
// Sizes, rules and short openings are drawn at random unless fixed; each side's match clock
// shrinks by the time it uses and is sent before every move. The summary counts results, illegal
// moves, crashes, hangs and time overruns, and reports the longest move against its limit and the
// peak resident memory of the brain processes. POSIX only.
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "eval/number_scan.h"
#include "tools/tool_common.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>

#include "board/forbidden.h"
#include "board/line_state.h"
#include "tests/brain_process.h"
#endif

namespace kesta::tool {

#ifdef _WIN32

int cmdSoak(const Options&) {
  std::cerr << "kesta-tool: soak needs a POSIX system (it drives the brains over pipes)\n";
  return 1;
}

#else

namespace {

constexpr int RuleFreestyle = 0, RuleExactFive = 1, RuleRenju = 2;
const char* const RuleNames[3] = {"freestyle", "exact5", "renju"};
// The manager's INFO rule value for each rule.
const int RuleInfoValue[3] = {0, 1, 4};
constexpr int64_t MiB = 1024 * 1024;

// ---------------------------------------------------------------------------------------------
// The referee's board and rules, written from the rules of the game and nothing else.

constexpr int NoStone = -1, OffBoard = -2;
const int LineDx[4] = {1, 0, 1, 1};
const int LineDy[4] = {0, 1, 1, -1};

struct RefBoard {
  int n = 15;
  std::vector<int> cells;  // NoStone, or the colour (0 Black, 1 White) of the stone
  explicit RefBoard(int size) : n(size), cells(size_t(size * size), NoStone) {}
  int at(int x, int y) const {
    return x < 0 || y < 0 || x >= n || y >= n ? OffBoard : cells[size_t(y * n + x)];
  }
  void set(int x, int y, int v) { cells[size_t(y * n + x)] = v; }
};

// Length of the unbroken row of colour through (x, y) along direction k; (x, y) counts as one of
// them whatever it holds.
int rowThrough(const RefBoard& b, int x, int y, int k, int colour) {
  int length = 1;
  for (int sign : {1, -1}) {
    int cx = x + sign * LineDx[k], cy = y + sign * LineDy[k];
    while (b.at(cx, cy) == colour) {
      ++length;
      cx += sign * LineDx[k];
      cy += sign * LineDy[k];
    }
  }
  return length;
}

bool makesExactFive(const RefBoard& b, int x, int y, int colour) {
  for (int k = 0; k < 4; ++k)
    if (rowThrough(b, x, y, k, colour) == 5) return true;
  return false;
}

bool makesFiveOrMore(const RefBoard& b, int x, int y, int colour) {
  for (int k = 0; k < 4; ++k)
    if (rowThrough(b, x, y, k, colour) >= 5) return true;
  return false;
}

// The move (x, y) by colour wins: five or more in freestyle, exactly five in exact five, and
// under renju exactly five for Black and five or more for White.
bool isWinningMove(const RefBoard& b, int x, int y, int colour, int rule) {
  if (rule == RuleFreestyle || (rule == RuleRenju && colour == 1)) return makesFiveOrMore(b, x, y, colour);
  return makesExactFive(b, x, y, colour);
}

bool renjuFoul(RefBoard& b, int x, int y);

// The number of fours that the Black stone at (x, y) takes part in along line k. An open four has
// two five points five cells apart and is one four; two five points otherwise are two fours on
// one line (as in X.XXX.X).
int foursOnLine(const RefBoard& b, int x, int y, int k) {
  // A five through (x, y) has one empty cell, and it is the first cell past the Black stones
  // that adjoin (x, y) on one side: X.XXX with the stone at the left end has it inside.
  std::vector<int> points;
  for (int sign : {1, -1})
    for (int m = 1; m <= 4; ++m) {
      const int cx = x + sign * m * LineDx[k], cy = y + sign * m * LineDy[k];
      const int c = b.at(cx, cy);
      if (c == 0) continue;
      if (c == NoStone && rowThrough(b, cx, cy, k, 0) == 5) points.push_back(sign * m);
      break;
    }
  int fours = int(points.size());
  if (fours == 2 && std::abs(points[0] - points[1]) == 5) fours = 1;
  return fours;
}

// Black at (x, y) makes a three on line k: some empty cell e of the line joins (x, y) into a
// straight four (four in a row whose both ends complete exactly five), and Black may play e.
bool threeOnLine(RefBoard& b, int x, int y, int k) {
  for (int sign : {1, -1})
    for (int m = 1; m <= 3; ++m) {
      const int ex = x + sign * m * LineDx[k], ey = y + sign * m * LineDy[k];
      const int c = b.at(ex, ey);
      if (c == 0) continue;
      if (c != NoStone) break;
      // e is the first empty cell this way; once it is filled, (x, y)'s row runs through it.
      b.set(ex, ey, 0);
      bool straight = false;
      if (rowThrough(b, x, y, k, 0) == 4) {
        // Ends of the row of four through (x, y) and e.
        int lo = 0, hi = 0;
        while (b.at(x - (lo + 1) * LineDx[k], y - (lo + 1) * LineDy[k]) == 0) ++lo;
        while (b.at(x + (hi + 1) * LineDx[k], y + (hi + 1) * LineDy[k]) == 0) ++hi;
        const int ax = x - (lo + 1) * LineDx[k], ay = y - (lo + 1) * LineDy[k];
        const int zx = x + (hi + 1) * LineDx[k], zy = y + (hi + 1) * LineDy[k];
        straight = b.at(ax, ay) == NoStone && b.at(zx, zy) == NoStone && rowThrough(b, ax, ay, k, 0) == 5 &&
                   rowThrough(b, zx, zy, k, 0) == 5;
      }
      b.set(ex, ey, NoStone);
      if (straight && !renjuFoul(b, ex, ey)) return true;
      break;
    }
  return false;
}

// Black playing the empty cell (x, y) is forbidden under renju: it makes no exact five and makes
// an overline, two or more fours, or two or more threes.
bool renjuFoul(RefBoard& b, int x, int y) {
  if (b.at(x, y) != NoStone) return false;
  if (makesExactFive(b, x, y, 0)) return false;
  b.set(x, y, 0);
  bool foul = false;
  int fours = 0, threes = 0;
  for (int k = 0; k < 4 && !foul; ++k) {
    if (rowThrough(b, x, y, k, 0) >= 6) foul = true;
    fours += foursOnLine(b, x, y, k);
  }
  if (!foul && fours >= 2) foul = true;
  for (int k = 0; k < 4 && !foul; ++k) {
    if (threeOnLine(b, x, y, k)) ++threes;
    if (threes >= 2) foul = true;
  }
  b.set(x, y, NoStone);
  return foul;
}

// ---------------------------------------------------------------------------------------------
// Brain processes.

// The children of this process, from the kernel's list of the main thread's children.
std::set<int> childPids() {
  std::set<int> pids;
  std::ifstream in("/proc/self/task/" + std::to_string(::getpid()) + "/children");
  int pid = 0;
  while (in >> pid) pids.insert(pid);
  return pids;
}

// Peak resident memory of a live process in bytes (VmHWM), or -1 when it cannot be read.
int64_t peakResident(int pid) {
  if (pid <= 0) return -1;
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmHWM:", 0) == 0) {
      std::istringstream fields(line.substr(6));
      int64_t kb = -1;
      fields >> kb;
      return kb < 0 ? -1 : kb * 1024;
    }
  return -1;
}

// Time a live process has spent running on a CPU and waiting for one, in ns (schedstat), so that
// a slow move can be told apart from a machine too busy to run the brain.
struct CpuTimes {
  int64_t runNs = -1;
  int64_t waitNs = -1;
};

CpuTimes cpuTimes(int pid) {
  CpuTimes t;
  if (pid <= 0) return t;
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  if (!(in >> t.runNs >> t.waitNs)) t = CpuTimes{};
  return t;
}

// "took 107 ms (running 58 ms, waiting for a CPU 49 ms)".
std::string moveTime(int64_t tookMs, CpuTimes before, CpuTimes after) {
  std::string text = std::to_string(tookMs) + " ms";
  if (before.runNs >= 0 && after.runNs >= 0)
    text += " (running " + std::to_string((after.runNs - before.runNs) / 1000000) +
            " ms, waiting for a CPU " + std::to_string((after.waitNs - before.waitNs) / 1000000) + " ms)";
  return text;
}

struct Brain {
  BrainProcess process;
  int pid = -1;
  bool informed = false;  // has been given the position once (BEGIN or BOARD)
  int64_t clockMs = 0;
  std::string transcript;  // everything sent to it

  bool send(const std::string& line) {
    transcript += line + "\n";
    return process.writeLine(line);
  }
};

enum class Outcome { BlackFive, WhiteFive, Foul, Draw, Illegal, Crash, Hang, Time, StartFailure };

struct Totals {
  int games = 0;
  int blackWins = 0, whiteWins = 0, draws = 0;
  std::map<std::string, int> byReason;
  std::map<std::string, std::array<int, 3> > byRule;  // black wins, white wins, draws
  int illegalMoves = 0, crashes = 0, hangs = 0, overruns = 0, badExits = 0;
  int busyOverruns = 0;  // overruns in which the brain itself ran for less than the limit
  int64_t longestRunMs = -1, longestRunLimit = 0;  // CPU time of one move
  std::string longestRunWhere;
  int messages = 0;
  int foulChecks = 0, foulDisagreements = 0;
  int64_t moves = 0;
  int64_t longestMs = -1, longestLimit = 0;
  std::string longestWhere;
  int64_t worstExcessMs = INT64_MIN, worstExcessLimit = 0, worstExcessTook = 0;
  std::string worstExcessWhere;
  int64_t peakBytes = -1;
  std::map<int, int64_t> peakBySize;
  int64_t longestSetupMs = 0;  // from START to the answer to ABOUT after the INFO lines
};

struct Config {
  int games = 0;
  int rule = -1;  // -1: drawn per game
  int size = 0;   // 0: drawn per game
  int64_t turnMs = 100;
  int64_t matchMs = 0;
  int64_t toleranceMs = 0;
  int64_t memoryLimit = 350 * MiB;
  std::string brain;
  std::string recordDir;
  uint64_t seed = 0;
  bool verbose = false;
};

std::string cellText(int x, int y) {
  return std::to_string(x) + "," + std::to_string(y);
}

// A reply "x,y" in plain decimal.
bool parseReply(const std::string& line, int& x, int& y) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size() || comma > 4 ||
      line.size() - comma > 5)
    return false;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return false;
  x = std::stoi(line.substr(0, comma));
  y = std::stoi(line.substr(comma + 1));
  return true;
}

class Game {
 public:
  Game(const Config& config, Totals& totals, std::mt19937_64& rng, int index)
      : config_(config), totals_(totals), rng_(rng), index_(index), board_(15) {}

  void play() {
    rule_ = config_.rule >= 0 ? config_.rule : int(rng_() % 3);
    size_ = config_.size > 0 ? config_.size : 6 + int(rng_() % 17);
    board_ = RefBoard(size_);
    boardEveryMove_ = rng_() % 10 == 0;
    const int64_t match = config_.matchMs > 0 ? config_.matchMs : config_.turnMs * 30;
    for (Brain& b : brains_) b.clockMs = match;
    if (rule_ == RuleRenju) startFoulCheck();

    std::string reason;
    const std::optional<Outcome> startProblem = startBrains(match);
    Outcome outcome = startProblem.value_or(Outcome::Draw);
    if (!startProblem) {
      playOpening();
      outcome = playMoves(reason);
    }
    finish(outcome, reason);
  }

 private:
  std::optional<Outcome> startBrains(int64_t match) {
    for (int side = 0; side < 2; ++side) {
      Brain& b = brains_[side];
      const std::set<int> before = childPids();
      if (!b.process.spawn(config_.brain)) {
        loser_ = side;
        note_ = "cannot start " + config_.brain;
        ++totals_.crashes;
        return Outcome::StartFailure;
      }
      for (int pid : childPids())
        if (!before.count(pid)) b.pid = pid;
      // The table is allocated and the tables are built at start-up: allow for it.
      const auto start = std::chrono::steady_clock::now();
      b.send("START " + std::to_string(size_));
      const auto reply = b.process.readLine(10000);
      if (reply != "OK") {
        loser_ = side;
        note_ = "START answered " + (reply ? "'" + *reply + "'" : std::string("nothing"));
        if (b.process.waitExit(0)) {
          ++totals_.crashes;
          return Outcome::Crash;
        }
        ++totals_.hangs;
        return Outcome::Hang;
      }
      b.send("INFO timeout_turn " + std::to_string(config_.turnMs));
      b.send("INFO timeout_match " + std::to_string(match));
      b.send("INFO max_memory " + std::to_string(config_.memoryLimit));
      b.send("INFO game_type 1");
      b.send("INFO rule " + std::to_string(RuleInfoValue[rule_]));
      b.send("INFO folder /tmp");
      // A new rule rebuilds the brain's tables. ABOUT marks the end of the set-up, so that work
      // is timed here and not charged to the first move.
      b.send("ABOUT");
      const auto about = b.process.readLine(10000);
      const int64_t setup =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
      if (!about || about->rfind("name", 0) != 0) {
        loser_ = side;
        note_ = "ABOUT answered " + (about ? "'" + *about + "'" : std::string("nothing"));
        if (b.process.waitExit(0)) {
          ++totals_.crashes;
          return Outcome::Crash;
        }
        ++totals_.hangs;
        return Outcome::Hang;
      }
      totals_.longestSetupMs = std::max(totals_.longestSetupMs, setup);
    }
    return std::nullopt;
  }

  // Up to four stones near the centre, alternately Black and White: no five and no renju foul
  // can arise from so few.
  void playOpening() {
    const int stones = int(rng_() % 5);
    const int lo = std::max(0, size_ / 2 - 3), hi = std::min(size_ - 1, size_ / 2 + 3);
    while (int(moves_.size()) < stones) {
      const int x = lo + int(rng_() % unsigned(hi - lo + 1));
      const int y = lo + int(rng_() % unsigned(hi - lo + 1));
      if (board_.at(x, y) != NoStone) continue;
      board_.set(x, y, int(moves_.size() % 2));
      moves_.push_back({x, y});
      mirrorMove(x, y);
    }
    openingLength_ = stones;
  }

  std::string positionCommand(int side) const {
    std::string text = "BOARD";
    for (size_t i = 0; i < moves_.size(); ++i) {
      text += '\n';
      text += cellText(moves_[i].first, moves_[i].second);
      text += int(i % 2) == side ? ",1" : ",2";
    }
    return text + "\nDONE";
  }

  Outcome playMoves(std::string& reason) {
    for (;;) {
      const int side = int(moves_.size() % 2);
      Brain& b = brains_[side];
      if (rule_ == RuleRenju && side == 0) compareFouls();
      const int64_t limit = std::min<int64_t>(config_.turnMs, b.clockMs);
      b.send("INFO time_left " + std::to_string(std::max<int64_t>(b.clockMs, 1)));
      std::string command;
      if (!b.informed || boardEveryMove_)
        command = moves_.empty() ? "BEGIN" : positionCommand(side);
      else
        command = "TURN " + cellText(moves_.back().first, moves_.back().second);
      b.informed = true;
      const CpuTimes cpuBefore = cpuTimes(b.pid);
      const auto start = std::chrono::steady_clock::now();
      if (!b.send(command)) {
        loser_ = side;
        const auto status = b.process.waitExit(1000);
        note_ = "input closed, " + (status ? status->describe() : std::string("still running"));
        ++totals_.crashes;
        return Outcome::Crash;
      }
      const int64_t deadline = config_.turnMs * 3 + 1000;
      std::optional<std::string> reply;
      for (;;) {
        const int64_t spent =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                .count();
        reply = b.process.readLine(int(std::max<int64_t>(deadline - spent, 0)));
        if (!reply || reply->rfind("MESSAGE", 0) != 0) break;
        ++totals_.messages;
      }
      const int64_t took =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
      const CpuTimes cpuAfter = cpuTimes(b.pid);
      const std::string where =
          "game " + std::to_string(index_) + " move " + std::to_string(moves_.size() + 1);
      if (!reply) {
        loser_ = side;
        const auto status = b.process.waitExit(0);
        if (status) {
          note_ = "ended with " + status->describe() + " after " + command.substr(0, command.find('\n'));
          ++totals_.crashes;
          return Outcome::Crash;
        }
        note_ =
            "no reply within " + std::to_string(deadline) + " ms to " + command.substr(0, command.find('\n'));
        ++totals_.hangs;
        b.process.kill();
        return Outcome::Hang;
      }
      ++totals_.moves;
      if (took > totals_.longestMs) {
        totals_.longestMs = took;
        totals_.longestLimit = limit;
        totals_.longestWhere = where + ", " + moveTime(took, cpuBefore, cpuAfter);
      }
      const int64_t ranMs =
          cpuBefore.runNs >= 0 && cpuAfter.runNs >= 0 ? (cpuAfter.runNs - cpuBefore.runNs) / 1000000 : -1;
      if (ranMs > totals_.longestRunMs) {
        totals_.longestRunMs = ranMs;
        totals_.longestRunLimit = limit;
        totals_.longestRunWhere = where;
      }
      if (took - limit > totals_.worstExcessMs) {
        totals_.worstExcessMs = took - limit;
        totals_.worstExcessLimit = limit;
        totals_.worstExcessTook = took;
        totals_.worstExcessWhere = where + ", " + moveTime(took, cpuBefore, cpuAfter);
      }
      int x = -1, y = -1;
      if (!parseReply(*reply, x, y) || board_.at(x, y) != NoStone) {
        loser_ = side;
        note_ = "illegal reply '" + *reply + "' to " + command.substr(0, command.find('\n'));
        ++totals_.illegalMoves;
        return Outcome::Illegal;
      }
      b.clockMs -= took;
      if (took > limit + config_.toleranceMs) {
        loser_ = side;
        note_ = "took " + moveTime(took, cpuBefore, cpuAfter) + " of " + std::to_string(limit) + " ms";
        ++totals_.overruns;
        if (ranMs >= 0 && ranMs <= limit) ++totals_.busyOverruns;
        return Outcome::Time;
      }
      const bool win = isWinningMove(board_, x, y, side, rule_);
      const bool foul = !win && rule_ == RuleRenju && side == 0 && renjuFoul(board_, x, y);
      board_.set(x, y, side);
      moves_.push_back({x, y});
      mirrorMove(x, y);
      if (win) {
        reason = "five";
        return side == 0 ? Outcome::BlackFive : Outcome::WhiteFive;
      }
      if (foul) {
        note_ = "Black's forbidden move " + cellText(x, y);
        return Outcome::Foul;
      }
      if (int(moves_.size()) == size_ * size_) return Outcome::Draw;
    }
  }

  void finish(Outcome outcome, const std::string& reason) {
    // Memory first, while the brains still run; then END must end each of them cleanly.
    for (Brain& b : brains_) {
      const int64_t peak = peakResident(b.pid);
      totals_.peakBytes = std::max(totals_.peakBytes, peak);
      totals_.peakBySize[size_] = std::max(totals_.peakBySize[size_], peak);
      gamePeak_ = std::max(gamePeak_, peak);
    }
    const bool brainFault =
        outcome == Outcome::Crash || outcome == Outcome::Hang || outcome == Outcome::StartFailure;
    for (int side = 0; side < 2; ++side) {
      Brain& b = brains_[side];
      if (!b.process.started()) continue;
      if (brainFault && side == loser_) {
        b.process.kill();
        continue;
      }
      b.send("END");
      const auto status = b.process.waitExit(5000);
      if (!status || !status->cleanExit()) {
        ++totals_.badExits;
        note_ += std::string(note_.empty() ? "" : "; ") + (side == 0 ? "Black" : "White") + " " +
                 (status ? status->describe() : "did not end") + " after END";
        b.process.kill();
      }
    }

    int winner = -1;
    std::string why = reason;
    switch (outcome) {
      case Outcome::BlackFive:
        winner = 0;
        break;
      case Outcome::WhiteFive:
        winner = 1;
        break;
      case Outcome::Foul:
        winner = 1, why = "foul";
        break;
      case Outcome::Draw:
        why = "full board";
        break;
      case Outcome::Illegal:
        winner = 1 - loser_, why = "illegal move";
        break;
      case Outcome::Crash:
        winner = 1 - loser_, why = "crash";
        break;
      case Outcome::StartFailure:
        winner = 1 - loser_, why = "crash";
        break;
      case Outcome::Hang:
        winner = 1 - loser_, why = "hang";
        break;
      case Outcome::Time:
        winner = 1 - loser_, why = "time";
        break;
    }
    ++totals_.games;
    auto& perRule = totals_.byRule[RuleNames[rule_]];
    if (winner == 0) ++totals_.blackWins, ++perRule[0];
    if (winner == 1) ++totals_.whiteWins, ++perRule[1];
    if (winner < 0) ++totals_.draws, ++perRule[2];
    ++totals_.byReason[why];

    std::ostringstream line;
    line << "game " << index_ << " " << RuleNames[rule_] << " " << size_ << "x" << size_ << " opening "
         << openingLength_ << (boardEveryMove_ ? " board-mode" : "") << ": "
         << (winner == 0   ? "Black wins"
             : winner == 1 ? "White wins"
                           : "draw")
         << " (" << why << ") after " << moves_.size() << " stones, clocks " << brains_[0].clockMs << "/"
         << brains_[1].clockMs << " ms, peak " << std::fixed << std::setprecision(1)
         << double(gamePeak_) / double(MiB) << " MiB";
    if (!note_.empty()) line << " [" << note_ << "]";
    std::cout << line.str() << std::endl;
    if (config_.verbose || (winner >= 0 && why != "five")) {
      std::cout << "  moves:";
      for (auto [x, y] : moves_) std::cout << " " << x << "," << y;
      std::cout << std::endl;
    }
    record();
  }

  void record() {
    if (config_.recordDir.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(config_.recordDir, ec);
    for (int side = 0; side < 2; ++side) {
      std::ofstream out(std::filesystem::path(config_.recordDir) /
                        ("game-" + std::to_string(index_) + (side == 0 ? "-black.txt" : "-white.txt")));
      out << brains_[side].transcript;
    }
  }

  // The engine's own forbidden-move test, kept on a mirror of the game, is compared with the
  // referee's on every empty cell whenever Black is to move: a difference means one of them is
  // wrong, and the position is printed for a closer look.
  void startFoulCheck() {
    Options o;
    o.values["rule"] = "renju";
    o.values["size"] = std::to_string(size_);
    mirror_ = std::make_unique<Position>();
    if (!setUpPosition(o, *mirror_, true, 1u << 16)) mirror_.reset();
  }

  void mirrorMove(int x, int y) {
    if (mirror_) makeMove(*mirror_->engine, cellOf(x, y));
  }

  void compareFouls() {
    if (!mirror_) return;
    Engine& e = *mirror_->engine;
    for (int y = 0; y < size_; ++y)
      for (int x = 0; x < size_; ++x) {
        if (board_.at(x, y) != NoStone) continue;
        ++totals_.foulChecks;
        const bool referee = renjuFoul(board_, x, y);
        const bool engine = isForbidden(e, cellOf(x, y));
        if (referee == engine) continue;
        if (++totals_.foulDisagreements <= 10) {
          std::cout << "foul check: game " << index_ << " " << size_ << "x" << size_ << " cell "
                    << cellText(x, y) << " referee " << (referee ? "forbidden" : "allowed") << ", engine "
                    << (engine ? "forbidden" : "allowed") << "; moves:";
          for (auto [mx, my] : moves_) std::cout << " " << mx << "," << my;
          std::cout << std::endl;
        }
      }
  }

  const Config& config_;
  Totals& totals_;
  std::mt19937_64& rng_;
  int index_;
  int rule_ = 0;
  int size_ = 15;
  bool boardEveryMove_ = false;
  int openingLength_ = 0;
  RefBoard board_;
  std::vector<std::pair<int, int> > moves_;
  Brain brains_[2];
  int loser_ = -1;
  std::string note_;
  int64_t gamePeak_ = -1;
  std::unique_ptr<Position> mirror_;
};

std::string mib(int64_t bytes) {
  if (bytes < 0) return "unknown";
  std::ostringstream out;
  out << std::fixed << std::setprecision(1) << double(bytes) / double(MiB) << " MiB";
  return out.str();
}

bool readNumber(const Options& opt, const std::string& key, long long lo, long long hi, long long& value) {
  if (!opt.has(key)) return true;
  const std::string text = opt.get(key);
  const char* p = text.c_str();
  if (!scanDecimal(p, value) || *p != '\0' || value < lo || value > hi) {
    fail("soak: --" + key + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return false;
  }
  return true;
}

}  // namespace

int cmdSoak(const Options& opt) {
  Config config;
  long long games = -1, size = 0, turn = 100, match = 0, tolerance = 0, memory = 350, seed = -1;
  if (!opt.has("games")) return fail("soak: --games N is required");
  if (!readNumber(opt, "games", 1, 1000000, games) ||
      !readNumber(opt, "size", MinBoardSize, MaxBoardSize, size) ||
      !readNumber(opt, "turn-time", 1, 1000000, turn) ||
      !readNumber(opt, "match-time", 1, 1000000000, match) ||
      !readNumber(opt, "tolerance", 0, 1000000, tolerance) ||
      !readNumber(opt, "memory-limit", 1, 1000000, memory) ||
      !readNumber(opt, "seed", 0, std::numeric_limits<long long>::max(), seed))
    return 1;
  if (opt.has("rule") && !parseRule(opt.get("rule"), config.rule))
    return fail("soak: --rule must be freestyle, exact5 or renju");
  config.games = int(games);
  config.size = int(size);
  config.turnMs = turn;
  config.matchMs = match;
  config.toleranceMs = tolerance;
  config.memoryLimit = memory * MiB;
  config.seed = seed >= 0 ? uint64_t(seed) : uint64_t(std::time(nullptr));
  config.brain = opt.has("brain") ? opt.get("brain") : executableDirectory("") + "pbrain-kesta";
  config.recordDir = opt.get("record");
  config.verbose = opt.has("verbose");
  if (::access(config.brain.c_str(), X_OK) != 0) return fail("soak: no brain executable at " + config.brain);

  std::cout << "soak: " << config.games << " games, brain " << config.brain << ", turn " << config.turnMs
            << " ms, match " << (config.matchMs > 0 ? config.matchMs : config.turnMs * 30) << " ms, seed "
            << config.seed << std::endl;
  std::mt19937_64 rng(config.seed);
  Totals totals;
  for (int i = 1; i <= config.games; ++i) {
    Game game(config, totals, rng, i);
    game.play();
  }

  // Every brain has been reaped: the kernel's figure for the largest of them backs up the
  // per-process readings.
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  const int64_t childrenPeak = int64_t(usage.ru_maxrss) * 1024;
  const int64_t peak = std::max(totals.peakBytes, childrenPeak);

  std::cout << "\nsoak summary\n";
  std::cout << "games " << totals.games << "\n";
  std::cout << "results Black " << totals.blackWins << ", White " << totals.whiteWins << ", draws "
            << totals.draws << "\n";
  std::cout << "by rule";
  for (const auto& [rule, r] : totals.byRule)
    std::cout << "  " << rule << " " << r[0] << "/" << r[1] << "/" << r[2];
  std::cout << "  (Black/White/draw)\n";
  std::cout << "by reason";
  for (const auto& [why, n] : totals.byReason) std::cout << "  " << why << " " << n;
  std::cout << "\n";
  std::cout << "moves " << totals.moves << "\n";
  std::cout << "illegal moves " << totals.illegalMoves << "\n";
  std::cout << "crashes " << totals.crashes << "\n";
  std::cout << "hangs " << totals.hangs << "\n";
  std::cout << "unclean exits " << totals.badExits << "\n";
  std::cout << "time overruns " << totals.overruns << " (tolerance " << config.toleranceMs << " ms; in "
            << totals.busyOverruns
            << " of them the brain ran for less than the limit and waited for a CPU)\n";
  std::cout << "longest move " << totals.longestMs << " ms (limit " << totals.longestLimit << " ms; "
            << totals.longestWhere << ")\n";
  if (totals.longestRunMs >= 0)
    std::cout << "longest running time of a move " << totals.longestRunMs << " ms (limit "
              << totals.longestRunLimit << " ms, " << totals.longestRunWhere << ")\n";
  if (totals.moves > 0)
    std::cout << "closest to the limit " << totals.worstExcessTook << " ms of " << totals.worstExcessLimit
              << " ms (" << totals.worstExcessWhere << ")\n";
  std::cout << "longest set-up " << totals.longestSetupMs << " ms (START, INFO lines, ABOUT)\n";
  std::cout << "message lines " << totals.messages << "\n";
  if (totals.foulChecks > 0)
    std::cout << "foul checks " << totals.foulChecks << ", referee and engine disagree on "
              << totals.foulDisagreements << "\n";
  std::cout << "peak memory " << mib(peak) << " (limit " << mib(config.memoryLimit) << ")\n";
  std::cout << "peak memory by size";
  for (const auto& [n, bytes] : totals.peakBySize) std::cout << "  " << n << ": " << mib(bytes);
  std::cout << std::endl;

  const bool clean = totals.illegalMoves == 0 && totals.crashes == 0 && totals.hangs == 0 &&
                     totals.badExits == 0 && totals.foulDisagreements == 0 && peak <= config.memoryLimit;
  return clean ? 0 : 1;
}

#endif  // _WIN32

}  // namespace kesta::tool
