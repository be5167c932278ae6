// Developer-tool subcommand `prove-check`: every claimed win is played out. The engine claims a
// proven win when its think reports a decided score (a proof at the root or a decided score of the
// search); the claim says the side to move makes five within a number of plies. Claims are
// collected from self-play games (or read from a file) and each is played out from its position:
// the claimant by the engine's own thinks, the defender by the engine's best defence at a generous
// time per move, every move judged by the referee. A claim fails when the defender survives it, a
// move of the claimant is illegal, or the five comes later than the claim said. With --lost-moves,
// the moves that the root's defensive proofs ruled out as lost are claims too: after each, the
// opponent claims a win within the root proofs' plies.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "search/move_gen.h"
#include "search/search.h"
#include "search/think.h"
#include "tools/commands/commands.h"
#include "tools/lib/referee.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

// The source of a claim that a move the root ruled out is lost.
constexpr const char* LostMoveSource = "lost move";

struct Claim {
  std::vector<Cell> moves;  // the position, in the order of play
  int32_t plies = 0;        // the claimant's five within this many plies, its own move first
  std::string source;       // "vcf", "vct", "search" or LostMoveSource
};

// Nodes a play-out think may search (0: no limit), so that a failed claim can be replayed.
int32_t checkNodes = 0;
// Search threads of every think (--threads).
int32_t searchThreads = 1;
// Every play-out move is printed.
bool verbose = false;
// Up to this many of the moves a think ruled out as lost are played out (0: none), best ordered first.
int lostMovesPerThink = 0;

// The engine's move in the position of e, thought for turnMs, with the score it reports.
CellIndex engineMove(Engine& e, int32_t turnMs, ThinkResult& report) {
  e.Settings.NodeLimit = checkNodes;
  e.Settings.TimeoutTurn = turnMs;
  e.Settings.TimeLeft = 1000000000;
  e.Settings.ThreadCount = searchThreads;
  const TimedThink t = timedThink(e);
  report = t.report;
  return t.move;
}

// A fresh engine holding the moves, for the rule and size of opt.
bool setUp(const Options& opt, const std::vector<Cell>& moves, Position& pos) {
  Options o;
  o.values["rule"] = opt.get("rule");
  o.values["size"] = opt.get("size", "15");
  std::string text;
  for (const Cell& c : moves) text += cellText(c.first, c.second) + " ";
  o.values["moves"] = text;
  return setUpPosition(o, pos, true, 1u << 20);
}

// Plays a claim out on the engine that holds its position, and takes every move back afterwards:
// the claimant keeps what it knew when it made the claim, as it would in a game. Empty when the
// claim holds, else what went wrong.
std::string playOut(Engine& e, int rule, const std::vector<Cell>& position, int32_t claimedPlies, int32_t turnMs) {
  Board& b = *e.board;
  RefBoard ref(b.size);
  for (size_t i = 0; i < position.size(); ++i) ref.set(position[i].first, position[i].second, int(i % 2));
  const int claimant = b.sideToMove;
  const int32_t start = b.moveCount;
  std::string problem;
  for (int32_t ply = 1; problem.empty(); ++ply) {
    ThinkResult report;
    const CellIndex m = engineMove(e, turnMs, report);
    const int side = b.sideToMove;
    const char* who = side == claimant ? "claimant" : "defender";
    if (m >= BoardCells || b.cells[m] != Empty) {
      problem = std::string(who) + " had no move at ply " + std::to_string(ply);
      break;
    }
    const int x = cellX(m), y = cellY(m);
    if (verbose)
      std::cout << "  ply " << ply << " " << who << " " << cellText(x, y) << " score " << report.score
                << (report.proof ? std::string(" proof ") + report.proof : std::string()) << "\n";
    const bool five = isWinningMove(ref, x, y, side, rule);
    const bool foul = !five && rule == RuleRenju && side == Black && renjuFoul(ref, x, y);
    ref.set(x, y, side);
    makeMove(e, m);
    e.ply = 0;
    if (side == claimant) {
      if (foul) problem = "the claimant played a forbidden move at ply " + std::to_string(ply);
      if (five) {
        if (ply > claimedPlies)
          problem = "five at ply " + std::to_string(ply) + ", later than the claimed " + std::to_string(claimedPlies);
        break;
      }
    } else {
      if (foul) break;  // the defender's foul loses
      if (five) problem = "the defender made five at ply " + std::to_string(ply);
    }
    if (problem.empty() && b.moveCount == b.cellCount) problem = "the board filled up";
    if (problem.empty() && ply > claimedPlies + 40) problem = "no five within " + std::to_string(ply) + " plies";
  }
  while (b.moveCount > start) unmakeMove(e);
  e.ply = 0;
  return problem;
}

std::string movesText(const std::vector<Cell>& moves) {
  std::ostringstream text;
  for (size_t i = 0; i < moves.size(); ++i) text << (i ? " " : "") << moves[i].first << ',' << moves[i].second;
  return text.str();
}

struct Tally {
  int claims = 0, held = 0, failed = 0;
  int lostClaims = 0, lostFailed = 0;  // the part of them that are moves ruled out as lost
};

// Reports a claim's play-out.
void count(Tally& t, const Claim& c, const std::string& problem) {
  ++t.claims;
  const bool lost = c.source == LostMoveSource;
  t.lostClaims += lost;
  t.lostFailed += lost && !problem.empty();
  if (problem.empty()) {
    ++t.held;
    return;
  }
  ++t.failed;
  std::cout << "failed claim " << t.claims << " (" << c.source << ", win in " << c.plies << "): " << problem
            << "; moves " << movesText(c.moves) << std::endl;
}

// The moves the last think ruled out as lost, best ordered first, at most lostMovesPerThink.
std::vector<CellIndex> lostMoves(Engine& e) {
  std::vector<MoveEntry> lost;
  if (lostMovesPerThink == 0) return {};
  forEachBoxCell(*e.board, [&](CellIndex t) {
    if (e.board->cells[t] == Empty && e.cellInfo[t].rootLoss) lost.push_back({t, orderScore(e, t)});
  });
  sortByScore(lost);
  std::vector<CellIndex> cells;
  for (size_t i = 0; i < lost.size() && int(i) < lostMovesPerThink; ++i) cells.push_back(lost[i].cell);
  return cells;
}

// Self-play games at turnMs a move; every think that reports a decided win is a claim, played out
// at once at checkMs a move on the engine that made it.
void checkGames(const Options& opt, int rule, int size, int games, int32_t turnMs, int32_t checkMs, uint64_t seed,
                Tally& tally) {
  std::mt19937_64 rng(seed);
  for (int g = 0; g < games; ++g) {
    std::vector<Cell> moves = randomOpening(rng, size);
    const uint64_t gameSeed = rng();
    drawZobristKeys(gameSeed);
    Position pos;
    if (!setUp(opt, moves, pos)) return;
    Engine& e = *pos.engine;
    seedGenerators(e, gameSeed);
    Board& b = *pos.board;
    RefBoard ref(size);
    for (size_t i = 0; i < moves.size(); ++i) ref.set(moves[i].first, moves[i].second, int(i % 2));
    // The defensive proofs run before every think only under this setting.
    if (lostMovesPerThink > 0) e.ProofEveryMove = 1;
    while (b.moveCount < b.cellCount) {
      ThinkResult report;
      const CellIndex m = engineMove(e, turnMs, report);
      if (m >= BoardCells || b.cells[m] != Empty) break;
      for (const CellIndex lost : lostMoves(e)) {
        std::vector<Cell> after = moves;
        after.push_back({cellX(lost), cellY(lost)});
        makeMove(e, lost);
        e.ply = 0;
        count(tally, Claim{after, RootProofPlies, LostMoveSource},
              playOut(e, rule, after, RootProofPlies, checkMs));
        unmakeMove(e);
        e.ply = 0;
      }
      if (isWin(report.score)) {
        const Claim claim{moves, WinScore + 1 - report.score, report.proof ? report.proof : "search"};
        count(tally, claim, playOut(e, rule, moves, claim.plies, checkMs));
      }
      const int x = cellX(m), y = cellY(m), side = b.sideToMove;
      const bool five = isWinningMove(ref, x, y, side, rule);
      const bool foul = !five && rule == RuleRenju && side == Black && renjuFoul(ref, x, y);
      ref.set(x, y, side);
      makeMove(e, m);
      e.ply = 0;
      moves.push_back({x, y});
      if (five || foul) break;
    }
    std::cerr << "prove-check: game " << g + 1 << " of " << games << ", " << tally.claims << " claims so far\n";
  }
}

}  // namespace

int cmdProveCheck(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("prove-check: --rule must be freestyle, exact5, renju, caro or caro8");
  long long size = 15, games = 20, turn = 50, check = 500, seed = 1;
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) || !readInt(opt, "games", 20, 0, 100000, games) ||
      !readInt(opt, "turn-time", 50, 1, 1000000, turn) || !readInt(opt, "check-time", 500, 1, 1000000, check) ||
      !readInt(opt, "seed", 1, 0, 1000000000, seed))
    return 1;
  long long nodes = 0;
  if (!readInt(opt, "check-nodes", 0, 0, 2000000000, nodes)) return 1;
  checkNodes = int32_t(nodes);
  long long threads = 1;
  if (!readInt(opt, "threads", 1, 1, MaxThreads, threads)) return 1;
  searchThreads = int32_t(threads);
  long long lost = 0;
  if (!readInt(opt, "lost-moves", 0, 0, 1000, lost)) return 1;
  lostMovesPerThink = int(lost);
  verbose = opt.has("verbose");
  Tally tally;
  if (opt.has("positions")) {
    // One claim a line: the moves, a '|', the claimed plies. Each is played out on a fresh engine.
    std::ifstream in(opt.get("positions"));
    if (!in) return fail("prove-check: cannot read " + opt.get("positions"));
    for (std::string line; std::getline(in, line);) {
      const size_t bar = line.find('|');
      if (line.empty() || line[0] == '#' || bar == std::string::npos) continue;
      Claim c;
      std::vector<std::pair<int, int> > cells;
      if (!parseCells(line.substr(0, bar), cells)) return fail("prove-check: bad moves in '" + line + "'");
      for (auto [x, y] : cells) c.moves.push_back({x, y});
      c.plies = std::atoi(line.c_str() + bar + 1);
      c.source = "file";
      Position pos;
      if (!setUp(opt, c.moves, pos)) return 1;
      count(tally, c, playOut(*pos.engine, rule, c.moves, c.plies, int32_t(check)));
    }
  } else {
    checkGames(opt, rule, int(size), int(games), int32_t(turn), int32_t(check), uint64_t(seed), tally);
  }
  if (lostMovesPerThink > 0)
    std::cout << "lost moves " << tally.lostClaims << " held " << tally.lostClaims - tally.lostFailed
              << " failed " << tally.lostFailed << "\n";
  std::cout << "claims " << tally.claims << " held " << tally.held << " failed " << tally.failed << std::endl;
  return tally.failed == 0 ? 0 : 1;
}

}  // namespace kesta::tool
