// Developer-tool subcommand `soak`: brain processes play each other over pipes the way a
// tournament manager drives them, for many games, while an independent referee checks every move.
// Sizes, rules and short openings are drawn at random unless fixed; each side's match clock
// shrinks by the time it uses and is sent before every move. As on a tournament machine, each
// brain may be suspended between its moves (--suspend) and the brains may share one core with a
// CPU-bound competitor (--cpu-competition, Linux), and the two brains may be kept running from game
// to game (--reuse), each game starting with START. The summary counts results, illegal moves,
// crashes, hangs and time overruns, and reports the longest move against its limit and the peak
// resident memory of the brain processes against the limit sent. POSIX only.
#include <algorithm>
#include <array>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include "tools/lib/game_runner.h"
#endif

namespace kesta::tool {

#ifdef _WIN32

int cmdSoak(const Options&) {
  std::cerr << "kesta-tool: soak needs a POSIX system (it drives the brains over pipes)\n";
  return 1;
}

#else

namespace {

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
  std::vector<int64_t> excesses;  // took - limit of every move, for the spread near the limit
  int64_t peakBytes = -1;
  std::map<int, int64_t> peakBySize;
  int64_t longestSetupMs = 0;  // from START to the answer to ABOUT after the INFO lines
  int stops = 0;               // moves that took a YXSTOP
  int64_t longestStoppedMs = -1;
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
  bool suspend = false;
  int pinCpu = -1;          // with a competitor on the same core
  int64_t stopAfterMs = 0;  // YXSTOP when a move has not come by then
  bool reuse = false;       // the two brains kept running for every game
  int64_t threads = 1;      // INFO thread_num for both brains
};

std::string mib(int64_t bytes) {
  if (bytes < 0) return "unknown";
  std::ostringstream out;
  out << std::fixed << std::setprecision(1) << double(bytes) / double(MiB) << " MiB";
  return out.str();
}

// Draws the game's rule, size, mode and opening, plays it and adds it to the totals.
void soakGame(const Config& config, Totals& totals, std::mt19937_64& rng, int index, KeptBrain kept[2]) {
  GameSetup setup;
  setup.index = index;
  setup.rule = config.rule >= 0 ? config.rule : int(rng() % RefereeRules);
  setup.size = config.size > 0 ? config.size : 6 + int(rng() % 17);
  setup.boardEveryMove = rng() % 10 == 0;
  setup.toleranceMs = config.toleranceMs;
  setup.memoryLimit = config.memoryLimit;
  setup.checkFouls = true;
  setup.suspendBetweenMoves = config.suspend;
  setup.pinCpu = config.pinCpu;
  for (BrainSettings& b : setup.brains) {
    b.command = config.brain;
    b.turnMs = config.turnMs;
    b.matchMs = config.matchMs > 0 ? config.matchMs : config.turnMs * 30;
    b.stopAfterMs = config.stopAfterMs;
    b.threads = config.threads;
  }
  setup.opening = randomOpening(rng, setup.size);
  if (config.reuse)
    for (int side = 0; side < 2; ++side) setup.kept[side] = &kept[side];
  const GameRecord r = playGame(setup);

  ++totals.games;
  switch (r.outcome) {
    case Outcome::Illegal: ++totals.illegalMoves; break;
    case Outcome::Crash:
    case Outcome::StartFailure: ++totals.crashes; break;
    case Outcome::Hang: ++totals.hangs; break;
    case Outcome::Time:
      ++totals.overruns;
      if (r.stats.back().runMs >= 0 && r.stats.back().runMs <= r.stats.back().limitMs) ++totals.busyOverruns;
      break;
    default: break;
  }
  totals.badExits += r.badExits;
  totals.messages += r.messages;
  totals.foulChecks += r.foulChecks;
  totals.foulDisagreements += r.foulDisagreements;
  totals.longestSetupMs = std::max(totals.longestSetupMs, r.setupMs);
  for (size_t i = 0; i < r.stats.size(); ++i) {
    const MoveStat& m = r.stats[i];
    const std::string where = "game " + std::to_string(index) + " move " + std::to_string(r.openingLength + i + 1);
    ++totals.moves;
    if (m.tookMs > totals.longestMs) {
      totals.longestMs = m.tookMs;
      totals.longestLimit = m.limitMs;
      totals.longestWhere = where + ", " + moveTime(m);
    }
    if (m.runMs > totals.longestRunMs) {
      totals.longestRunMs = m.runMs;
      totals.longestRunLimit = m.limitMs;
      totals.longestRunWhere = where;
    }
    totals.excesses.push_back(m.tookMs - m.limitMs);
    if (m.stopped) {
      ++totals.stops;
      totals.longestStoppedMs = std::max(totals.longestStoppedMs, m.tookMs);
    }
    if (m.tookMs - m.limitMs > totals.worstExcessMs) {
      totals.worstExcessMs = m.tookMs - m.limitMs;
      totals.worstExcessLimit = m.limitMs;
      totals.worstExcessTook = m.tookMs;
      totals.worstExcessWhere = where + ", " + moveTime(m);
    }
  }
  const int64_t gamePeak = std::max(r.peakBytes[0], r.peakBytes[1]);
  totals.peakBytes = std::max(totals.peakBytes, gamePeak);
  totals.peakBySize[setup.size] = std::max(totals.peakBySize[setup.size], gamePeak);
  auto& perRule = totals.byRule[RuleNames[setup.rule]];
  if (r.winner == 0) ++totals.blackWins, ++perRule[0];
  if (r.winner == 1) ++totals.whiteWins, ++perRule[1];
  if (r.winner < 0) ++totals.draws, ++perRule[2];
  ++totals.byReason[r.reason];

  for (size_t i = 0; i < r.foulReports.size() && totals.foulDisagreements - r.foulDisagreements + i < 10; ++i)
    std::cout << "foul check: game " << index << " " << r.foulReports[i] << std::endl;
  std::ostringstream line;
  line << "game " << index << " " << RuleNames[setup.rule] << " " << setup.size << "x" << setup.size << " opening "
       << r.openingLength << (setup.boardEveryMove ? " board-mode" : "") << ": " << winnerText(r.winner) << " ("
       << r.reason << ") after " << r.moves.size() << " stones, clocks " << r.clockMs[0] << "/" << r.clockMs[1]
       << " ms, peak " << std::fixed << std::setprecision(1) << double(gamePeak) / double(MiB) << " MiB";
  if (!r.note.empty()) line << " [" << r.note << "]";
  std::cout << line.str() << std::endl;
  if (config.verbose || (r.winner >= 0 && r.reason != "five")) {
    std::cout << "  moves:";
    for (auto [x, y] : r.moves) std::cout << " " << x << "," << y;
    std::cout << std::endl;
  }
  if (!config.recordDir.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(config.recordDir, ec);
    for (int side = 0; side < 2; ++side) {
      std::ofstream out(std::filesystem::path(config.recordDir) /
                        ("game-" + std::to_string(index) + (side == 0 ? "-black.txt" : "-white.txt")));
      out << r.transcripts[side];
    }
  }
}

}  // namespace

int cmdSoak(const Options& opt) {
  Config config;
  long long games = -1, size = 0, turn = 100, match = 0, tolerance = 0, memory = 350, seed = -1, cpu = -1,
            stopAfter = 0, threads = 1;
  if (!opt.has("games")) return fail("soak: --games N is required");
  if (!readInt(opt, "games", games, 1, 1000000, games) ||
      !readInt(opt, "size", size, MinBoardSize, MaxBoardSize, size) ||
      !readInt(opt, "turn-time", turn, 1, 1000000, turn) ||
      !readInt(opt, "match-time", match, 1, 1000000000, match) ||
      !readInt(opt, "tolerance", tolerance, 0, 1000000, tolerance) ||
      !readInt(opt, "memory-limit", memory, 1, 1000000, memory) ||
      !readInt(opt, "seed", seed, 0, std::numeric_limits<long long>::max(), seed) ||
      !readInt(opt, "cpu", lastAllowedCpu(), 0, 1023, cpu) ||
      !readInt(opt, "stop-after", 0, 1, 1000000, stopAfter) ||
      !readInt(opt, "threads", 1, 1, MaxThreads, threads))
    return 1;
  if (opt.has("rule") && !parseRule(opt.get("rule"), config.rule))
    return fail("soak: --rule must be freestyle, exact5, renju, caro or caro8");
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
  config.suspend = opt.has("suspend");
  config.stopAfterMs = stopAfter;
  config.reuse = opt.has("reuse");
  config.threads = threads;
  if (::access(config.brain.c_str(), X_OK) != 0) return fail("soak: no brain executable at " + config.brain);
  std::unique_ptr<CpuCompetitor> competitor;
  if (opt.has("cpu-competition")) {
    config.pinCpu = int(cpu);
    competitor = std::make_unique<CpuCompetitor>(config.pinCpu);
    if (!competitor->running())
      return fail("soak: cannot start a CPU competitor on core " + std::to_string(cpu));
  }

  std::cout << "soak: " << config.games << " games, brain " << config.brain << ", turn " << config.turnMs
            << " ms, match " << (config.matchMs > 0 ? config.matchMs : config.turnMs * 30) << " ms, seed "
            << config.seed << (config.suspend ? ", brains suspended between moves" : "");
  if (competitor) std::cout << ", brains on core " << config.pinCpu << " with a CPU-bound competitor";
  if (config.stopAfterMs > 0) std::cout << ", YXSTOP after " << config.stopAfterMs << " ms";
  if (config.reuse) std::cout << ", brains kept running from game to game";
  if (config.threads > 1) std::cout << ", " << config.threads << " threads each";
  std::cout << std::endl;
  std::mt19937_64 rng(config.seed);
  Totals totals;
  KeptBrain kept[2];
  for (int i = 1; i <= config.games; ++i) soakGame(config, totals, rng, i, kept);
  for (KeptBrain& k : kept)
    if (!endKeptBrain(k)) ++totals.badExits;

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
  if (totals.moves > 0) {
    std::cout << "closest to the limit " << totals.worstExcessTook << " ms of " << totals.worstExcessLimit
              << " ms (" << totals.worstExcessWhere << ")\n";
    // The ten moves that came closest to their limit: how much room the brain's time reserve
    // left on this machine (negative: ms under the limit).
    std::vector<int64_t> latest = totals.excesses;
    const size_t shown = std::min<size_t>(10, latest.size());
    std::partial_sort(latest.begin(), latest.begin() + long(shown), latest.end(), std::greater<int64_t>());
    std::cout << "closest ten moves (ms past the limit)";
    for (size_t i = 0; i < shown; ++i) std::cout << " " << latest[i];
    std::cout << "\n";
  }
  if (config.stopAfterMs > 0)
    std::cout << "moves stopped by YXSTOP " << totals.stops << ", the longest of them "
              << totals.longestStoppedMs << " ms\n";
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
