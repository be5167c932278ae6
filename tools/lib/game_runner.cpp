#include "tools/lib/game_runner.h"

#ifndef _WIN32

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sched.h>
#include <sys/prctl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

#include "board/line_state.h"
#include "rules/forbidden.h"
#include "tools/lib/brain_process.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

const char* winnerText(int winner) {
  return winner == 0 ? "Black wins" : winner == 1 ? "White wins" : "draw";
}

std::string moveTime(const MoveStat& m) {
  std::string text = std::to_string(m.tookMs) + " ms";
  if (m.runMs >= 0)
    text += " (running " + std::to_string(m.runMs) + " ms, waiting for a CPU " + std::to_string(m.waitMs) + " ms)";
  return text;
}

namespace {

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

// Runs start (which makes a child process) with the calling thread pinned to cpu, so that the
// child and every thread it makes start pinned there; the thread's own mask comes back after.
// With cpu -1, or where pinning is unknown, start just runs.
template <typename Start>
auto startPinned(int cpu, Start start) {
#ifdef __linux__
  cpu_set_t before, one;
  if (cpu >= 0 && cpu < CPU_SETSIZE && sched_getaffinity(0, sizeof before, &before) == 0) {
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    if (sched_setaffinity(0, sizeof one, &one) == 0) {
      auto result = start();
      sched_setaffinity(0, sizeof before, &before);
      return result;
    }
  }
#else
  (void)cpu;
#endif
  return start();
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

int64_t msSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The first line of a command, for messages.
std::string firstLine(const std::string& command) { return command.substr(0, command.find('\n')); }

struct Brain {
  // The game's own process, or the kept one of a match that keeps its brains running.
  BrainProcess own;
  BrainProcess* kept = nullptr;
  BrainProcess& process() { return kept != nullptr ? *kept : own; }
  const BrainSettings* settings = nullptr;
  bool informed = false;  // has been given the position once (BEGIN or BOARD)
  int64_t clockMs = 0;
  std::string* transcript = nullptr;

  bool send(const std::string& line) {
    *transcript += line + "\n";
    return process().writeLine(line);
  }

  bool spawn(int cpu) {
    const std::string& command = settings->command;
    return startPinned(cpu, [&] {
      if (command.find_first_of(" \t") == std::string::npos) return process().spawn(command);
      return process().spawn(std::vector<std::string>{"/bin/sh", "-c", "exec " + command});
    });
  }

  // The next line that is not a MESSAGE line (the brain's reports and notices); those are counted.
  std::optional<std::string> reply(int timeoutMs, int& messages) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      auto line = process().readLine(int(std::max<int64_t>(left.count(), 0)));
      if (!line || line->rfind("MESSAGE", 0) != 0) return line;
      ++messages;
    }
  }

  // A tournament suspends a brain while its opponent thinks.
  void suspend(bool on) {
    if (on && process().pid() > 0) ::kill(process().pid(), SIGSTOP);
  }
  void resume(bool on) {
    if (on && process().pid() > 0) ::kill(process().pid(), SIGCONT);
  }
};

class Game {
 public:
  explicit Game(const GameSetup& setup) : setup_(setup), board_(setup.size) {
    for (int side = 0; side < 2; ++side) {
      brains_[side].settings = &setup.brains[side];
      brains_[side].transcript = &record_.transcripts[side];
      if (KeptBrain* kept = setup.kept[side]; kept != nullptr) {
        // A brain that has ended (or never started) makes way for a new process.
        if (!kept->process || kept->process->pid() <= 0) kept->process = std::make_unique<BrainProcess>();
        brains_[side].kept = kept->process.get();
      }
    }
  }

  GameRecord play() {
    if (setup_.checkFouls && setup_.rule == RuleRenju) startFoulCheck();
    for (const Cell& c : setup_.opening) place(c.first, c.second);
    record_.openingLength = int(setup_.opening.size());
    const bool started = startBrains();
    if (started) playMoves();
    finish();
    return std::move(record_);
  }

 private:
  void fault(int side, Outcome outcome, const std::string& note) {
    record_.outcome = outcome;
    record_.loser = side;
    record_.note = note;
  }

  // A brain that did not answer: it crashed when it has ended, else it hangs.
  void silent(int side, const std::string& note) {
    Brain& b = brains_[side];
    const auto status = b.process().waitExit(0);
    if (status) {
      fault(side, Outcome::Crash, note + ", " + status->describe());
    } else {
      fault(side, Outcome::Hang, note);
      b.process().kill();
    }
  }

  bool startBrains() {
    for (int side = 0; side < 2; ++side) {
      Brain& b = brains_[side];
      const BrainSettings& s = *b.settings;
      b.clockMs = s.matchMs;
      if (b.process().started()) {
        // A brain kept from the last game: whatever it printed since then is not this game's.
        b.process().takeOutput();
      } else if (!b.spawn(setup_.pinCpu)) {
        fault(side, Outcome::StartFailure, "cannot start " + s.command);
        return false;
      }
      // The table is allocated and the tables are built at start-up: allow for it.
      const auto start = std::chrono::steady_clock::now();
      b.send("START " + std::to_string(setup_.size));
      const auto reply = b.reply(10000, record_.messages);
      if (reply != "OK") {
        silent(side, "START answered " + (reply ? "'" + *reply + "'" : std::string("nothing")));
        return false;
      }
      b.send("INFO timeout_turn " + std::to_string(s.turnMs));
      b.send("INFO timeout_match " + std::to_string(s.matchMs));
      b.send("INFO max_memory " + std::to_string(setup_.memoryLimit));
      b.send("INFO game_type 1");
      b.send("INFO rule " + std::to_string(RuleInfoValue[setup_.rule]));
      if (s.maxNodes > 0) b.send("INFO max_node " + std::to_string(s.maxNodes));
      if (s.maxDepth > 0) b.send("INFO max_depth " + std::to_string(s.maxDepth));
      if (s.threads > 1) b.send("INFO thread_num " + std::to_string(s.threads));
      if (s.seed >= 0) b.send("INFO seed " + std::to_string(s.seed));
      b.send("INFO folder /tmp");
      // A new rule rebuilds the brain's tables. ABOUT marks the end of the set-up, so that work
      // is timed here and not charged to the first move.
      b.send("ABOUT");
      const auto about = b.reply(10000, record_.messages);
      if (!about || about->rfind("name", 0) != 0) {
        silent(side, "ABOUT answered " + (about ? "'" + *about + "'" : std::string("nothing")));
        return false;
      }
      record_.setupMs = std::max(record_.setupMs, msSince(start));
      b.suspend(setup_.suspendBetweenMoves);
    }
    return true;
  }

  std::string positionCommand(int side) const {
    std::string text = "BOARD";
    for (size_t i = 0; i < record_.moves.size(); ++i) {
      text += '\n';
      text += cellText(record_.moves[i].first, record_.moves[i].second);
      text += int(i % 2) == side ? ",1" : ",2";
    }
    return text + "\nDONE";
  }

  void place(int x, int y) {
    board_.set(x, y, int(record_.moves.size() % 2));
    record_.moves.push_back({x, y});
    if (mirror_) makeMove(*mirror_->engine, cellOf(x, y));
  }

  void playMoves() {
    for (;;) {
      const int side = int(record_.moves.size() % 2);
      Brain& b = brains_[side];
      const BrainSettings& s = *b.settings;
      if (mirror_ && side == 0) compareFouls();
      MoveStat stat;
      stat.side = side;
      stat.limitMs = s.matchMs > 0 ? std::min(s.turnMs, b.clockMs) : s.turnMs;
      if (s.stopAfterMs > 0) stat.limitMs = std::min(stat.limitMs, s.stopAfterMs);
      // The brain wakes up just before its command, as under a tournament manager.
      b.resume(setup_.suspendBetweenMoves);
      if (s.matchMs > 0) b.send("INFO time_left " + std::to_string(std::max<int64_t>(b.clockMs, 1)));
      std::string command;
      if (!b.informed || setup_.boardEveryMove)
        command = record_.moves.empty() ? "BEGIN" : positionCommand(side);
      else
        command = "TURN " + cellText(record_.moves.back().first, record_.moves.back().second);
      b.informed = true;
      const CpuTimes cpuBefore = cpuTimes(b.process().pid());
      const auto start = std::chrono::steady_clock::now();
      if (!b.send(command)) {
        const auto status = b.process().waitExit(1000);
        fault(side, Outcome::Crash, "input closed, " + (status ? status->describe() : std::string("still running")));
        return;
      }
      // A brain that has not answered well after its limit hangs.
      const int64_t deadline = std::min(stat.limitMs * 3 + 1000, stat.limitMs + 60000);
      std::optional<std::string> reply =
          b.reply(int(s.stopAfterMs > 0 ? s.stopAfterMs : deadline), record_.messages);
      if (!reply && s.stopAfterMs > 0) {
        stat.stopped = true;
        b.send("YXSTOP");
        reply = b.reply(int(std::max<int64_t>(deadline - msSince(start), 0)), record_.messages);
      }
      stat.tookMs = msSince(start);
      const CpuTimes cpuAfter = cpuTimes(b.process().pid());
      if (cpuBefore.runNs >= 0 && cpuAfter.runNs >= 0) {
        stat.runMs = (cpuAfter.runNs - cpuBefore.runNs) / 1000000;
        stat.waitMs = (cpuAfter.waitNs - cpuBefore.waitNs) / 1000000;
      }
      if (!reply) {
        silent(side, "no reply within " + std::to_string(deadline) + " ms to " + firstLine(command));
        return;
      }
      b.suspend(setup_.suspendBetweenMoves);
      record_.stats.push_back(stat);
      int x = -1, y = -1;
      if (!parseReply(*reply, x, y) || board_.at(x, y) != NoStone) {
        fault(side, Outcome::Illegal, "illegal reply '" + *reply + "' to " + firstLine(command));
        return;
      }
      b.clockMs -= stat.tookMs;
      if (stat.tookMs > stat.limitMs + setup_.toleranceMs) {
        fault(side, Outcome::Time, "took " + moveTime(stat) + " of " + std::to_string(stat.limitMs) + " ms");
        return;
      }
      const bool win = isWinningMove(board_, x, y, side, setup_.rule);
      const bool foul = !win && setup_.rule == RuleRenju && side == 0 && renjuFoul(board_, x, y);
      place(x, y);
      if (win) {
        record_.outcome = side == 0 ? Outcome::BlackFive : Outcome::WhiteFive;
        return;
      }
      if (foul) {
        fault(0, Outcome::Foul, "Black's forbidden move " + cellText(x, y));
        return;
      }
      if (int(record_.moves.size()) == setup_.size * setup_.size) {
        record_.outcome = Outcome::Draw;
        return;
      }
    }
  }

  void finish() {
    // Memory first, while the brains still run; then END must end each of them cleanly.
    const Outcome o = record_.outcome;
    const bool brainFault = o == Outcome::Crash || o == Outcome::Hang || o == Outcome::StartFailure;
    for (int side = 0; side < 2; ++side) {
      Brain& b = brains_[side];
      record_.peakBytes[side] = peakResident(b.process().pid());
      if (!b.process().started()) continue;
      if (brainFault && side == record_.loser) {
        b.process().kill();
        continue;
      }
      b.resume(setup_.suspendBetweenMoves);
      // A kept brain waits for the next game's START.
      if (b.kept != nullptr) continue;
      b.send("END");
      const auto status = b.process().waitExit(5000);
      if (!status || !status->cleanExit()) {
        ++record_.badExits;
        record_.note += std::string(record_.note.empty() ? "" : "; ") + (side == 0 ? "Black " : "White ") +
                        (status ? status->describe() : "did not end") + " after END";
        b.process().kill();
      }
    }
    switch (o) {
      case Outcome::BlackFive: record_.winner = 0, record_.reason = "five"; break;
      case Outcome::WhiteFive: record_.winner = 1, record_.reason = "five"; break;
      case Outcome::Foul: record_.winner = 1, record_.reason = "foul"; break;
      case Outcome::Draw: record_.reason = "full board"; break;
      case Outcome::Illegal: record_.reason = "illegal move"; break;
      case Outcome::Crash:
      case Outcome::StartFailure: record_.reason = "crash"; break;
      case Outcome::Hang: record_.reason = "hang"; break;
      case Outcome::Time: record_.reason = "time"; break;
    }
    if (record_.loser >= 0) record_.winner = 1 - record_.loser;
    for (int side = 0; side < 2; ++side) record_.clockMs[side] = brains_[side].clockMs;
  }

  // The engine's own forbidden-move test, kept on a mirror of the game, is compared with the
  // referee's on every empty cell whenever Black is to move: a difference means one of them is
  // wrong, and the position is reported for a closer look. It uses the engine's process-wide
  // tables, so only a single-threaded caller may ask for it.
  void startFoulCheck() {
    Options o;
    o.values["rule"] = "renju";
    o.values["size"] = std::to_string(setup_.size);
    mirror_ = std::make_unique<Position>();
    if (!setUpPosition(o, *mirror_, true, 1u << 16)) mirror_.reset();
  }

  void compareFouls() {
    Engine& e = *mirror_->engine;
    for (int y = 0; y < setup_.size; ++y)
      for (int x = 0; x < setup_.size; ++x) {
        if (board_.at(x, y) != NoStone) continue;
        ++record_.foulChecks;
        const bool referee = renjuFoul(board_, x, y);
        const bool engine = isForbidden(e, cellOf(x, y));
        if (referee == engine) continue;
        ++record_.foulDisagreements;
        std::ostringstream report;
        report << setup_.size << "x" << setup_.size << " cell " << cellText(x, y) << " referee "
               << (referee ? "forbidden" : "allowed") << ", engine " << (engine ? "forbidden" : "allowed")
               << "; moves:";
        for (auto [mx, my] : record_.moves) report << " " << cellText(mx, my);
        record_.foulReports.push_back(report.str());
      }
  }

  const GameSetup& setup_;
  GameRecord record_;
  RefBoard board_;
  Brain brains_[2];
  std::unique_ptr<Position> mirror_;
};

}  // namespace

GameRecord playGame(const GameSetup& setup) { return Game(setup).play(); }

bool endKeptBrain(KeptBrain& brain) {
  if (!brain.process || brain.process->pid() <= 0) return true;
  BrainProcess& p = *brain.process;
  p.writeLine("END");
  const auto status = p.waitExit(5000);
  if (status && status->cleanExit()) return true;
  p.kill();
  return false;
}

CpuCompetitor::CpuCompetitor(int cpu) {
#ifdef __linux__
  const pid_t parent = ::getpid();
  pid_ = startPinned(cpu, [parent] {
    const pid_t pid = ::fork();
    if (pid == 0) {
      // Only calls that are safe after fork in a program with threads, then nothing but work.
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (::getppid() != parent) ::_exit(0);
      // A generator that cycles through every 64-bit value: the loop ends after 2^64 steps at
      // the earliest, which keeps it a loop the compiler must run.
      for (uint64_t n = 1;; n = n * 6364136223846793005ull + 1442695040888963407ull)
        if (n == 0) ::_exit(0);
    }
    return pid;
  });
#else
  (void)cpu;
#endif
}

CpuCompetitor::~CpuCompetitor() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
}

int lastAllowedCpu() {
#ifdef __linux__
  cpu_set_t mask;
  if (sched_getaffinity(0, sizeof mask, &mask) != 0) return -1;
  for (int cpu = CPU_SETSIZE - 1; cpu >= 0; --cpu)
    if (CPU_ISSET(cpu, &mask)) return cpu;
#endif
  return -1;
}

}  // namespace kesta::tool

#endif  // _WIN32
