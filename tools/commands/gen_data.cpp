// Developer-tool subcommand `gen-data`: self-play games at a fixed node budget, written with their
// results and a sample of their undecided positions into a training data file for `tune`. Each
// worker process plays every K-th game in the library's own Engine and hands whole game blocks to
// the parent, the only writer of the file; a stopped run keeps every game written so far.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "eval/eval_tables.h"
#include "protocol/restart.h"
#include "search/decided.h"
#include "search/search.h"
#include "search/think.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
#include "tools/lib/openings.h"
#include "tools/lib/tool_common.h"
#include "tools/lib/train_data.h"

#ifndef _WIN32
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kesta::tool {

namespace {

volatile std::sig_atomic_t StopRequested = 0;
extern "C" void requestStop(int) {
  StopRequested = 1;
}

struct GenConfig {
  int rule = Freestyle;
  int size = 15;
  int64_t nodes = 3000;
  int64_t games = 1000;
  int64_t positions = 0;  // stop once this many are written; 0: play every game
  int perGame = 12;
  int workers = 2;
  uint64_t seed = 1;
  int64_t firstGame = 0;  // games already in an appended file: the new ones continue the seeds
  std::vector<Opening> openings;
  std::string evalPath;
};

// One worker's engine for the whole run; each game starts with restart as the brain's START does.
struct Player {
  std::unique_ptr<Board> board;
  std::unique_ptr<Engine> engine;
};

void setUpPlayer(const GenConfig& cfg, Player& p) {
  p.board = std::make_unique<Board>(cfg.size);
  p.engine = std::make_unique<Engine>(*p.board, Rule(cfg.rule), 1u << 20);
  if (!cfg.evalPath.empty()) {
    EvalParameters weights = p.engine->EvalParams;
    loadEvalFile(cfg.evalPath, weights);
    useEvalParameters(*p.engine, weights);
    resetGame(*p.engine);
  }
}

// Even games start from the suite (under a random symmetry), odd ones and every game without a
// suite from a few random stones near the centre.
Opening chooseOpening(const GenConfig& cfg, int64_t game, std::mt19937_64& rng) {
  if (!cfg.openings.empty() && game % 2 == 0) {
    const Opening& o = cfg.openings[rng() % cfg.openings.size()];
    return transformOpening(o, cfg.size, int(rng() % 8));
  }
  return randomOpening(rng, cfg.size);
}

uint8_t sampleFlags(const Engine& e) {
  const int S = e.board->sideToMove, O = e.board->opponent;
  uint8_t flags = 0;
  if (e.classCount[O][ClassOpenFour] > 0) flags |= OpponentOpenThree;
  const int32_t ownFours = e.classCount[S][ClassFour] + e.classCount[S][ClassFourPlus] +
                           e.classCount[S][ClassFourThree] + e.classCount[S][ClassOpenFour];
  if (ownFours > 0) flags |= OwnFourCell;
  if (e.classCount[O][ClassFour] + e.classCount[O][ClassFourPlus] + e.classCount[O][ClassFourThree] > 0)
    flags |= OpponentFourCell;
  return flags;
}

// Plays one game to its end. Positions where the engine is to move are candidates for the sample
// unless they are decided (a five to make, a four to block, a win the class counts prove, or a
// search score of a proven result).
GameData playGame(const GenConfig& cfg, Player& p, int64_t game) {
  std::mt19937_64 rng(cfg.seed * 0x9E3779B97F4A7C15ull + uint64_t(game));
  Engine& e = *p.engine;
  Board& b = *p.board;
  MatchSettings settings;
  settings.GameRule = Rule(cfg.rule);
  settings.NodeLimit = int32_t(cfg.nodes);
  settings.TimeoutTurn = 600000;
  restart(e, settings);
  seedGenerators(e, rng());
  resetSearchCountdowns(e);
  GameData data;
  data.rule = cfg.rule;
  data.size = cfg.size;
  auto record = [&](CellIndex c) { data.moves.push_back(uint16_t(cellY(c) * cfg.size + cellX(c))); };
  for (const Cell& stone : chooseOpening(cfg, game, rng)) {
    const CellIndex c = cellOf(stone.first, stone.second);
    makeMove(e, c);
    record(c);
  }
  data.openingLength = int(data.moves.size());
  std::vector<Sample> candidates;
  uint8_t lastMoveClass = ClassNone;
  data.result = Drawn;
  while (b.moveCount < b.cellCount) {
    const int S = b.sideToMove, O = b.opponent;
    e.ply = 0;
    e.currentMoveClass[0] = lastMoveClass;
    const bool open = b.moveCount >= 1 && e.classCount[O][ClassFive] == 0 && decidedScore(e) == 0;
    const uint8_t flags = sampleFlags(e);
    const ThinkResult r = think(e);
    const CellIndex move = r.move;
    if (move >= BoardCells || b.cells[move] != Empty) break;
    const int16_t score = r.depth > 0 ? int16_t(std::clamp(r.score, -32767, 32767)) : NoSearchScore;
    if (open && (score == NoSearchScore || !isDecided(score)))
      candidates.push_back({b.moveCount, score, flags});
    lastMoveClass = e.cellInfo[move].cellClass[S];
    const int judged = applyAndJudge(e, cellX(move), cellY(move));
    record(move);
    if (judged != 0) {
      data.result = judged == 1 ? (S == Black ? BlackWon : WhiteWon) : WhiteWon;
      break;
    }
  }
  std::shuffle(candidates.begin(), candidates.end(), rng);
  if (int(candidates.size()) > cfg.perGame) candidates.resize(size_t(cfg.perGame));
  std::sort(candidates.begin(), candidates.end(),
            [](const Sample& a, const Sample& c) { return a.ply < c.ply; });
  data.samples = candidates;
  return data;
}

// Counts, rates and the time left, rewritten in place on a terminal.
struct Progress {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now(), last = start;
  int64_t games = 0, positions = 0;

  void print(const GenConfig& cfg, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - last < std::chrono::seconds(1)) return;
    last = now;
    const double seconds = std::chrono::duration<double>(now - start).count();
    const double rate = seconds > 0 ? double(positions) / seconds : 0;
    double left = games > 0 ? seconds / double(games) * double(cfg.games - games) : 0;
    if (cfg.positions > 0 && rate > 0) left = std::min(left, double(cfg.positions - positions) / rate);
    char line[160];
    std::snprintf(line, sizeof line,
                  "\rgen-data: games %lld/%lld positions %lld  %.0f positions/s  %d:%02d left ",
                  static_cast<long long>(games), static_cast<long long>(cfg.games),
                  static_cast<long long>(positions), rate, int(left) / 60, int(left) % 60);
    std::cerr << line << std::flush;
  }
  bool done(const GenConfig& cfg) const {
    return games >= cfg.games || (cfg.positions > 0 && positions >= cfg.positions);
  }
};

// Writes one game; false when the file cannot take it.
bool writeGame(int fd, const GameData& game, Progress& progress) {
  const std::string block = encodeGame(game);
  if (block.empty() || !appendBlock(fd, block)) return false;
  progress.games += 1;
  progress.positions += int64_t(game.samples.size());
  return true;
}

// Every game in this process, one after another.
int runInProcess(const GenConfig& cfg, int fd, Progress& progress) {
  Player player;
  setUpPlayer(cfg, player);
  for (int64_t g = 0; !progress.done(cfg) && !StopRequested; ++g) {
    const GameData game = playGame(cfg, player, cfg.firstGame + g);
    if (StopRequested) break;
    if (!writeGame(fd, game, progress)) return fail("gen-data: cannot write the data file");
    progress.print(cfg, false);
  }
  return 0;
}

#ifndef _WIN32

bool writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

// Worker w plays games w, w + workers, ... and sends each block down its pipe.
[[noreturn]] void runWorker(const GenConfig& cfg, int w, int pipeFd) {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  Player player;
  setUpPlayer(cfg, player);
  for (int64_t g = w; g < cfg.games; g += cfg.workers) {
    const std::string block = encodeGame(playGame(cfg, player, cfg.firstGame + g));
    if (!writeAll(pipeFd, block)) _exit(1);
  }
  _exit(0);
}

int runWorkers(const GenConfig& cfg, int fd, Progress& progress) {
  struct Child {
    pid_t pid = -1;
    int fd = -1;
    std::string pending;
  };
  std::vector<Child> workers(size_t(cfg.workers));
  for (int w = 0; w < cfg.workers; ++w) {
    int fds[2];
    if (pipe(fds) != 0) return fail("gen-data: cannot make a pipe");
    std::cerr << std::flush;
    const pid_t pid = fork();
    if (pid < 0) return fail("gen-data: cannot start a worker");
    if (pid == 0) {
      close(fds[0]);
      for (int v = 0; v < w; ++v) close(workers[size_t(v)].fd);
      runWorker(cfg, w, fds[1]);
    }
    close(fds[1]);
    workers[size_t(w)].pid = pid;
    workers[size_t(w)].fd = fds[0];
  }
  bool writeFailed = false, stopping = false;
  auto stopWorkers = [&]() {
    if (stopping) return;
    stopping = true;
    for (Child& w : workers)
      if (w.fd >= 0) kill(w.pid, SIGTERM);
  };
  for (;;) {
    if ((StopRequested || writeFailed || progress.done(cfg))) stopWorkers();
    std::vector<pollfd> polls;
    for (const Child& w : workers)
      if (w.fd >= 0) polls.push_back({w.fd, POLLIN, 0});
    if (polls.empty()) break;
    if (poll(polls.data(), polls.size(), 1000) < 0 && errno != EINTR) break;
    for (Child& w : workers) {
      if (w.fd < 0) continue;
      const auto it = std::find_if(polls.begin(), polls.end(), [&](const pollfd& p) { return p.fd == w.fd; });
      if (it == polls.end() || it->revents == 0) continue;
      char buffer[65536];
      const ssize_t n = read(w.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        // A worker that ended in the middle of a block leaves the block unwritten.
        close(w.fd);
        w.fd = -1;
        continue;
      }
      w.pending.append(buffer, size_t(n));
      for (;;) {
        GameData game;
        const size_t used =
            decodeGame(reinterpret_cast<const unsigned char*>(w.pending.data()), w.pending.size(), game);
        if (used == 0) break;
        // Games that finish after a stop was asked for, or beyond the target, are not kept.
        if (!stopping && !writeFailed && !progress.done(cfg) && !writeGame(fd, game, progress))
          writeFailed = true;
        w.pending.erase(0, used);
      }
    }
    progress.print(cfg, false);
  }
  for (Child& w : workers) waitpid(w.pid, nullptr, 0);
  return writeFailed ? fail("gen-data: cannot write the data file") : 0;
}

#endif

}  // namespace

int cmdGenData(const Options& opt) {
  GenConfig cfg;
  if (!parseRule(opt.get("rule"), cfg.rule))
    return fail("gen-data: --rule must be freestyle, exact5, renju, caro or caro8");
  if (!opt.has("out")) return fail("gen-data: --out FILE is required");
  long long size = 15, nodes = 3000, games = 1000, positions = 0, perGame = 12, workers = 2, seed = 1;
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) ||
      !readInt(opt, "nodes", 3000, 100, 100000000, nodes) ||
      !readInt(opt, "games", 1000, 1, 100000000, games) ||
      !readInt(opt, "positions", 0, 0, 1000000000, positions) ||
      !readInt(opt, "per-game", 12, 1, 255, perGame) || !readInt(opt, "concurrency", 2, 1, 64, workers) ||
      !readInt(opt, "seed", 1, 0, 1000000000000LL, seed))
    return 1;
  cfg.size = int(size);
  cfg.nodes = nodes;
  cfg.games = games;
  cfg.positions = positions;
  cfg.perGame = int(perGame);
  cfg.workers = int(workers);
  cfg.seed = uint64_t(seed);
  cfg.evalPath = opt.get("eval");
  EvalParameters weights;
  if (!cfg.evalPath.empty() && loadEvalFile(cfg.evalPath, weights) != FileRead::Read)
    return fail("gen-data: cannot read the weights of " + cfg.evalPath);
  if (opt.has("openings")) {
    std::string error;
    if (!readOpenings(opt.get("openings"), cfg.size, cfg.openings, error)) return fail("gen-data: " + error);
  }
#ifdef _WIN32
  cfg.workers = 1;
#endif
  size_t there = 0;
  std::string error;
  const int fd = openDataFile(opt.get("out"), opt.has("append"), there, error);
  if (fd < 0) return fail("gen-data: " + error);
  cfg.firstGame = int64_t(there);
  std::signal(SIGINT, requestStop);
  std::signal(SIGTERM, requestStop);
  Progress progress;
  int rc = 0;
  // The keys every worker hashes with, so that a seed repeats its games.
  drawZobristKeys(cfg.seed);
#ifndef _WIN32
  if (cfg.workers > 1)
    rc = runWorkers(cfg, fd, progress);
  else
#endif
    rc = runInProcess(cfg, fd, progress);
  closeDataFile(fd);
  progress.print(cfg, true);
  std::cerr << "\n";
  std::cout << "games " << progress.games << " positions " << progress.positions
            << (StopRequested ? " (stopped)" : "") << "\n";
  return rc;
}

}  // namespace kesta::tool
