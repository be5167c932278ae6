// Developer-tool subcommand `match`: two brain commands play each other over pipes, driven as a
// tournament manager drives them, over an opening suite with each opening played twice (the
// engines swap colours). Pairs of games are the unit of the statistics: the summary gives the
// pentanomial counts, the Elo difference with its 95% interval and an SPRT, from the first
// engine's view. Games run on several threads; each game starts fresh brain processes, as
// GomocupJudge does, or (--reuse) each thread keeps its two brains running for the whole match and
// starts every game with START, as c-gomoku-cli and GUIs do. POSIX only.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <limits>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/number_scan.h"
#include "tools/commands/commands.h"
#include "tools/lib/match_stats.h"
#include "tools/lib/openings.h"
#include "tools/lib/tool_common.h"

#ifndef _WIN32
#include <unistd.h>

#include "tools/lib/game_runner.h"
#endif

namespace kesta::tool {

#ifdef _WIN32

int cmdMatch(const Options&) {
  std::cerr << "kesta-tool: match needs a POSIX system (it drives the brains over pipes)\n";
  return 1;
}

#else

namespace {

// A turn limit so generous that a node- or depth-limited think never feels it.
constexpr int64_t UntimedTurnMs = 600000;

struct MatchConfig {
  std::string engines[2];
  BrainSettings brains[2];  // per engine, without the seed
  int rule = RuleFreestyle;
  int size = 15;
  std::vector<Opening> openings;  // empty: random short openings
  std::string openingsPath;
  int64_t pairs = 0;
  int concurrency = 1;
  int64_t toleranceMs = 0;
  bool boardEveryMove = false;  // BOARD before every move, as some GUIs send, instead of TURN
  bool reuse = false;           // brains kept running from game to game
  bool sprt = false;
  double elo0 = 0, elo1 = 5;
  uint64_t seed = 0;
  std::string pgnPath;
};

// Faults that lose a game, per engine.
struct Faults {
  int crash = 0, hang = 0, illegal = 0, foul = 0, time = 0;
};

struct MatchState {
  std::mutex lock;
  MatchScore score;
  Faults faults[2];
  int64_t gamesDone = 0;
  int64_t discardedGames = 0;  // played after the SPRT decided
  int64_t longestMs[2] = {0, 0}, longestLimit[2] = {0, 0};
  std::vector<double> clockShares[2];  // per game, the part of the engine's match clock it used
  int badExits[2] = {0, 0};            // brains that did not end with status 0 after END
  int64_t fives = 0, fullBoards = 0;
  std::atomic<int64_t> nextPair{0};
  std::atomic<bool> stop{false};
  SprtDecision decision = SprtDecision::None;
  std::ofstream pgn;
  std::ofstream times;  // --times: each game's move times
  bool terminal = false;
};

// Splits a per-engine value "A" or "A,B" into the two engines' values within lo..hi.
bool readPair(const Options& opt, const std::string& key, long long fallback, long long lo, long long hi,
              long long values[2]) {
  values[0] = values[1] = fallback;
  if (!opt.has(key)) return true;
  const std::string text = opt.get(key);
  const char* p = text.c_str();
  for (int i = 0; i < 2; ++i) {
    long long v = 0;
    if (!scanDecimal(p, v) || v < lo || v > hi || (*p != '\0' && !(i == 0 && *p == ','))) {
      fail("match: --" + key + " takes N or N,N (first engine, second engine), each from " + std::to_string(lo) +
           " to " + std::to_string(hi));
      return false;
    }
    values[i] = v;
    if (*p == '\0') {
      values[1] = v;
      break;
    }
    ++p;
  }
  return true;
}

// A well-mixed 64-bit value of x (splitmix64), for per-game seeds.
uint64_t mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

const char* faultName(Outcome o) {
  switch (o) {
    case Outcome::Crash:
    case Outcome::StartFailure: return "crash";
    case Outcome::Hang: return "hang";
    case Outcome::Illegal: return "illegal";
    case Outcome::Foul: return "foul";
    case Outcome::Time: return "time";
    default: return nullptr;
  }
}

void countFault(Faults& f, Outcome o) {
  switch (o) {
    case Outcome::Crash:
    case Outcome::StartFailure: ++f.crash; break;
    case Outcome::Hang: ++f.hang; break;
    case Outcome::Illegal: ++f.illegal; break;
    case Outcome::Foul: ++f.foul; break;
    case Outcome::Time: ++f.time; break;
    default: break;
  }
}

// Game 2p has the first engine as Black, game 2p + 1 the second; both start from pair p's opening.
GameSetup setupOf(const MatchConfig& config, int64_t pair, int game) {
  GameSetup setup;
  setup.index = int(2 * pair + game + 1);
  setup.rule = config.rule;
  setup.size = config.size;
  setup.toleranceMs = config.toleranceMs;
  setup.boardEveryMove = config.boardEveryMove;
  if (config.openings.empty()) {
    std::mt19937_64 rng(mix(config.seed ^ mix(uint64_t(pair))));
    setup.opening = randomOpening(rng, config.size);
  } else {
    // Each pass through the suite plays it under another symmetry of the board, so that
    // deterministic engines do not repeat the same games.
    const int64_t count = int64_t(config.openings.size());
    setup.opening = transformOpening(config.openings[size_t(pair % count)], config.size, int((pair / count) % 8));
  }
  const uint64_t gameSeed = mix(config.seed + uint64_t(setup.index)) >> 33;
  for (int colour = 0; colour < 2; ++colour) {
    const int engine = colour ^ game;
    setup.brains[colour] = config.brains[engine];
    setup.brains[colour].seed = int64_t(gameSeed + uint64_t(colour));
  }
  return setup;
}

std::string progressLine(MatchState& s, const MatchConfig& config) {
  const EloEstimate e = estimateElo(s.score);
  auto tidy = [](double v) { return std::fabs(v) < 0.05 ? 0.0 : v; };
  std::ostringstream line;
  line << "games " << s.gamesDone << "/" << 2 * config.pairs << " score " << std::fixed << std::setprecision(1)
       << double(s.score.wins) + 0.5 * double(s.score.draws) << "-"
       << double(s.score.losses) + 0.5 * double(s.score.draws) << " elo " << tidy(e.elo) << " +- " << tidy(e.halfWidth)
       << " llr " << std::setprecision(2) << tidy(sprtLlr(s.score, config.elo0, config.elo1));
  return line.str();
}

void recordGame(MatchState& s, const GameSetup& setup, const GameRecord& r, int game) {
  const int blackEngine = game;  // engine index (0 first) playing Black
  ++s.gamesDone;
  if (r.reason == "five") ++s.fives;
  if (r.reason == "full board") ++s.fullBoards;
  if (r.loser >= 0) countFault(s.faults[r.loser ^ blackEngine], r.outcome);
  for (int colour = 0; colour < 2; ++colour) {
    const int64_t clock = setup.brains[colour].matchMs;
    if (clock > 0) s.clockShares[colour ^ blackEngine].push_back(double(clock - r.clockMs[colour]) / double(clock));
  }
  for (const MoveStat& m : r.stats) {
    const int engine = m.side ^ blackEngine;
    if (m.tookMs > s.longestMs[engine]) {
      s.longestMs[engine] = m.tookMs;
      s.longestLimit[engine] = m.limitMs;
    }
  }
  if (s.pgn.is_open()) {
    s.pgn << "game " << setup.index << " black " << blackEngine + 1 << " white " << 2 - blackEngine << " result "
          << (r.winner == 0 ? "1-0" : r.winner == 1 ? "0-1" : "1/2-1/2") << " reason " << r.reason
          << " opening " << r.openingLength << " moves";
    for (const Cell& c : r.moves) s.pgn << ' ' << c.first << ',' << c.second;
    if (!r.note.empty()) s.pgn << " # " << r.note;
    s.pgn << '\n';
    s.pgn.flush();
  }
  if (s.times.is_open()) {
    // "game N black E white E clocks B W ms" and each move's time in ms, by the order of play.
    s.times << "game " << setup.index << " black " << blackEngine + 1 << " white " << 2 - blackEngine << " clocks "
            << r.clockMs[0] << " " << r.clockMs[1] << " ms";
    for (const MoveStat& m : r.stats) s.times << ' ' << m.tookMs;
    s.times << '\n';
    s.times.flush();
  }
  if (const char* name = faultName(r.outcome); name && r.loser >= 0)
    std::cerr << "match: game " << setup.index << ": engine " << (r.loser ^ blackEngine) + 1 << " loses by " << name
              << " (" << r.note << ")" << std::endl;
}

// The first engine's score in a game.
double firstEngineScore(const GameRecord& r, int game) {
  if (r.winner < 0) return 0.5;
  return r.winner == game ? 1.0 : 0.0;
}

// Plays pairs until the match is over. With --reuse the thread's two brains (one per engine) live
// from its first game to its last.
void playPairs(const MatchConfig& config, MatchState& s, KeptBrain kept[2]) {
  for (;;) {
    if (s.stop) return;
    const int64_t pair = s.nextPair++;
    if (pair >= config.pairs) return;
    GameSetup setups[2];
    GameRecord records[2];
    for (int game = 0; game < 2; ++game) {
      setups[game] = setupOf(config, pair, game);
      if (config.reuse)
        for (int colour = 0; colour < 2; ++colour) setups[game].kept[colour] = &kept[colour ^ game];
      records[game] = playGame(setups[game]);
    }
    std::lock_guard<std::mutex> guard(s.lock);
    // A pair that ends after the test has decided is left out, so that the decision stands as made.
    if (s.stop) {
      s.discardedGames += 2;
      return;
    }
    for (int game = 0; game < 2; ++game) recordGame(s, setups[game], records[game], game);
    s.score.addPair(firstEngineScore(records[0], 0), firstEngineScore(records[1], 1));
    const std::string line = progressLine(s, config);
    if (s.terminal)
      std::cout << "\r\033[K" << line << std::flush;
    else
      std::cout << line << std::endl;
    s.decision = sprtDecision(sprtLlr(s.score, config.elo0, config.elo1));
    if (config.sprt && s.decision != SprtDecision::None) s.stop = true;
  }
}

void worker(const MatchConfig& config, MatchState& s) {
  KeptBrain kept[2];
  playPairs(config, s, kept);
  for (int engine = 0; engine < 2; ++engine)
    if (!endKeptBrain(kept[engine])) {
      std::lock_guard<std::mutex> guard(s.lock);
      ++s.badExits[engine];
    }
}

// "median 63.2%, least 20.1%, most 95.0%" of the shares, or "none".
std::string sharesText(std::vector<double> shares) {
  if (shares.empty()) return "none";
  std::sort(shares.begin(), shares.end());
  const size_t n = shares.size();
  const double median = n % 2 == 1 ? shares[n / 2] : (shares[n / 2 - 1] + shares[n / 2]) / 2;
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << "median " << 100 * median << "%, least " << 100 * shares.front()
       << "%, most " << 100 * shares.back() << "%";
  return text.str();
}

bool parseSprt(const std::string& text, double& elo0, double& elo1) {
  std::istringstream in(text);
  char comma = 0;
  return bool(in >> elo0 >> comma >> elo1) && comma == ',' && in.peek() == EOF && elo0 < elo1;
}

std::string faultsText(const Faults& f) {
  return "crash " + std::to_string(f.crash) + ", hang " + std::to_string(f.hang) + ", illegal " +
         std::to_string(f.illegal) + ", foul " + std::to_string(f.foul) + ", time " + std::to_string(f.time);
}

}  // namespace

int cmdMatch(const Options& opt) {
  MatchConfig config;
  const std::vector<std::string> engines = opt.getAll("engine");
  if (engines.size() != 2) return fail("match: give exactly two --engine CMD");
  for (int i = 0; i < 2; ++i) {
    config.engines[i] = engines[size_t(i)];
    const std::string program = engines[size_t(i)].substr(0, engines[size_t(i)].find_first_of(" \t"));
    if (::access(program.c_str(), X_OK) != 0) return fail("match: no executable at " + program);
  }
  if (opt.has("rule") && !parseRule(opt.get("rule"), config.rule))
    return fail("match: --rule must be freestyle, exact5, renju, caro or caro8");
  long long size = 15, games = 0, concurrency = 1, tolerance = 0, seed = -1;
  long long turn[2], match[2], nodes[2], depth[2], threadNum[2];
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) ||
      !readInt(opt, "games", 0, 2, 100000000, games) || !readInt(opt, "concurrency", 1, 1, 64, concurrency) ||
      !readInt(opt, "tolerance", 0, 0, 1000000, tolerance) ||
      !readInt(opt, "seed", -1, 0, std::numeric_limits<int64_t>::max(), seed) ||
      !readPair(opt, "nodes", 0, 0, 2000000000, nodes) || !readPair(opt, "depth", 0, 0, 64, depth) ||
      !readPair(opt, "match-time", 0, 0, 1000000000, match) ||
      !readPair(opt, "threads", 1, 1, MaxThreads, threadNum))
    return 1;
  // Without a turn time a node- or depth-limited match is untimed; otherwise 100 ms a move.
  const bool limited = nodes[0] > 0 || nodes[1] > 0 || depth[0] > 0 || depth[1] > 0;
  if (!readPair(opt, "turn-time", limited ? UntimedTurnMs : 100, 1, 100000000, turn)) return 1;
  config.size = int(size);
  config.concurrency = int(concurrency);
  config.toleranceMs = tolerance;
  config.boardEveryMove = opt.has("board-every-move");
  config.reuse = opt.has("reuse");
  config.seed = seed >= 0 ? uint64_t(seed) : uint64_t(std::time(nullptr));
  for (int i = 0; i < 2; ++i) {
    BrainSettings& b = config.brains[i];
    b.command = config.engines[i];
    b.turnMs = turn[i];
    b.matchMs = match[i];
    b.maxNodes = nodes[i];
    b.maxDepth = depth[i];
    b.threads = threadNum[i];
  }
  if (opt.has("sprt")) {
    if (!parseSprt(opt.get("sprt"), config.elo0, config.elo1))
      return fail("match: --sprt takes ELO0,ELO1 with ELO0 < ELO1, e.g. 0,5");
    config.sprt = true;
  }
  if (opt.has("openings")) {
    config.openingsPath = opt.get("openings");
    std::string error;
    if (!readOpenings(config.openingsPath, config.size, config.openings, error)) return fail("match: " + error);
    if (config.openings.empty()) return fail("match: no openings in " + config.openingsPath);
  }
  // Every opening twice by default; an SPRT runs until it decides.
  if (games == 0) games = config.sprt ? 100000 : config.openings.empty() ? 200 : 2 * int64_t(config.openings.size());
  config.pairs = (games + 1) / 2;

  MatchState state;
  if (opt.has("pgn")) {
    config.pgnPath = opt.get("pgn");
    state.pgn.open(config.pgnPath);
    if (!state.pgn) return fail("match: cannot write " + config.pgnPath);
    state.pgn << "# kesta-tool match, seed " << config.seed << ", " << RuleNames[config.rule] << " " << config.size
              << "x" << config.size << "\n# engine 1: " << config.engines[0] << "\n# engine 2: " << config.engines[1]
              << "\n";
  }
  if (opt.has("times")) {
    state.times.open(opt.get("times"));
    if (!state.times) return fail("match: cannot write " + opt.get("times"));
  }
  state.terminal = ::isatty(STDOUT_FILENO) != 0;

  std::cout << "match: engine 1 " << config.engines[0] << "\n       engine 2 " << config.engines[1] << "\n       "
            << RuleNames[config.rule] << " " << config.size << "x" << config.size << ", " << 2 * config.pairs
            << " games at most, openings "
            << (config.openings.empty() ? "random" : config.openingsPath + " (" +
                                                         std::to_string(config.openings.size()) + ")")
            << ", concurrency " << config.concurrency << ", seed " << config.seed << "\n       "
            << (config.reuse ? "brains kept running for the match (START each game)" : "a fresh brain per game")
            << (config.boardEveryMove ? ", BOARD before every move" : "") << "\n";
  for (int i = 0; i < 2; ++i) {
    const BrainSettings& b = config.brains[i];
    std::cout << "       engine " << i + 1 << ": turn " << b.turnMs << " ms"
              << (b.matchMs > 0 ? ", match " + std::to_string(b.matchMs) + " ms" : std::string())
              << (b.maxNodes > 0 ? ", nodes " + std::to_string(b.maxNodes) : std::string())
              << (b.maxDepth > 0 ? ", depth " + std::to_string(b.maxDepth) : std::string())
              << (b.threads > 1 ? ", threads " + std::to_string(b.threads) : std::string()) << "\n";
  }
  if (config.sprt) std::cout << "       sprt elo0 " << config.elo0 << " elo1 " << config.elo1 << "\n";
  std::cout << std::flush;

  std::vector<std::thread> threads;
  for (int i = 0; i < config.concurrency; ++i) threads.emplace_back(worker, std::cref(config), std::ref(state));
  for (std::thread& t : threads) t.join();
  if (state.terminal) std::cout << "\n";

  const MatchScore& s = state.score;
  std::cout << "\nmatch summary\n";
  std::cout << "engine 1 " << config.engines[0] << "\nengine 2 " << config.engines[1] << "\n";
  std::cout << "games " << s.games() << " in " << s.pairCount() << " pairs; fives " << state.fives
            << ", full boards " << state.fullBoards;
  if (state.discardedGames > 0) std::cout << "; " << state.discardedGames << " games after the decision not counted";
  std::cout << "\n";
  std::cout << "pentanomial (engine 1's points per pair: 0, 1/2, 1, 3/2, 2) " << s.pairs[0] << " " << s.pairs[1]
            << " " << s.pairs[2] << " " << s.pairs[3] << " " << s.pairs[4] << "\n";
  std::cout << "mode " << (config.reuse ? "brains kept running (--reuse)" : "a fresh brain per game") << "\n";
  for (int i = 0; i < 2; ++i) {
    std::cout << "engine " << i + 1 << " losses by fault: " << faultsText(state.faults[i]) << "; longest move "
              << state.longestMs[i] << " ms (limit " << state.longestLimit[i] << " ms)";
    if (state.badExits[i] > 0) std::cout << "; " << state.badExits[i] << " unclean exits after END";
    std::cout << "\n";
    if (config.brains[i].matchMs > 0)
      std::cout << "engine " << i + 1 << " match clock used per game: " << sharesText(state.clockShares[i])
                << " of " << config.brains[i].matchMs << " ms\n";
  }
  if (config.sprt)
    std::cout << "sprt elo0 " << config.elo0 << " elo1 " << config.elo1 << ", alpha 0.05 beta 0.05, bounds +-"
              << std::fixed << std::setprecision(2) << std::log(19.0) << "\n";
  std::cout << summaryLine(s, config.elo0, config.elo1) << std::endl;
  return 0;
}

#endif  // _WIN32

}  // namespace kesta::tool
