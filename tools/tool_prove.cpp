// Developer-tool subcommand `prove-check`: every claimed win is played out. The engine claims a
// proven win when its think reports a decided score (a proof at the root or a decided score of the
// search); the claim says the side to move makes five within a number of plies. Claims are
// collected from self-play games (or read from a file) and each is played out from its position:
// the claimant by the engine's own thinks, the defender by the engine's best defence at a generous
// time per move, every move judged by the referee. A claim fails when the defender survives it, a
// move of the claimant is illegal, or the five comes later than the claim said.
#include <cstdint>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "search/clock.h"
#include "search/search.h"
#include "search/think.h"
#include "tools/referee.h"
#include "tools/tool_common.h"

namespace kesta::tool {

namespace {

struct Claim {
  std::vector<Cell> moves;  // the position, in the order of play
  int32_t plies = 0;        // the claimant's five within this many plies, its own move first
  std::string source;       // "vcf", "vct" or "search"
};

// The engine's move in the position of e, thought for turnMs, with the score it reports.
CellIndex engineMove(Engine& e, int32_t turnMs, DeepeningReport& report) {
  e.Settings.TimeoutTurn = turnMs;
  e.Settings.TimeLeft = 1000000000;
  clearDeepeningReport();
  const CellIndex move = think(e);
  e.Stopped = 1;
  report = lastDeepeningReport();
  return move;
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

// Plays the claim out; empty when it holds, else what went wrong.
std::string playOut(const Options& opt, int rule, const Claim& claim, int32_t turnMs) {
  Position pos;
  if (!setUp(opt, claim.moves, pos)) return "cannot set up the position";
  Engine& e = *pos.engine;
  Board& b = *pos.board;
  RefBoard ref(b.size);
  for (size_t i = 0; i < claim.moves.size(); ++i) ref.set(claim.moves[i].first, claim.moves[i].second, int(i % 2));
  const int claimant = b.sideToMove;
  for (int32_t ply = 1;; ++ply) {
    DeepeningReport report;
    const CellIndex m = engineMove(e, turnMs, report);
    const int side = b.sideToMove;
    const char* who = side == claimant ? "claimant" : "defender";
    if (m >= BoardCells || b.cells[m] != Empty)
      return std::string(who) + " had no move at ply " + std::to_string(ply);
    const int x = cellX(m), y = cellY(m);
    const bool five = isWinningMove(ref, x, y, side, rule);
    const bool foul = !five && rule == RuleRenju && side == Black && renjuFoul(ref, x, y);
    ref.set(x, y, side);
    makeMove(e, m);
    e.ply = 0;
    if (side == claimant) {
      if (foul) return "the claimant played a forbidden move at ply " + std::to_string(ply);
      if (five) {
        if (ply > claim.plies)
          return "five at ply " + std::to_string(ply) + ", later than the claimed " + std::to_string(claim.plies);
        return "";
      }
    } else {
      if (foul) return "";  // the defender's foul loses
      if (five) return "the defender made five at ply " + std::to_string(ply);
    }
    if (b.moveCount == b.cellCount) return "the board filled up";
    if (ply > claim.plies + 40) return "no five within " + std::to_string(ply) + " plies";
  }
}

std::string movesText(const std::vector<Cell>& moves) {
  std::ostringstream text;
  for (size_t i = 0; i < moves.size(); ++i) text << (i ? " " : "") << moves[i].first << ',' << moves[i].second;
  return text.str();
}

// Self-play games at turnMs a move; every think that reports a decided win adds its claim.
void collectClaims(const Options& opt, int rule, int size, int games, int32_t turnMs, uint64_t seed,
                   std::vector<Claim>& claims) {
  std::mt19937_64 rng(seed);
  for (int g = 0; g < games; ++g) {
    std::vector<Cell> moves = randomOpening(rng, size);
    seedAllGenerators(rng());
    Position pos;
    if (!setUp(opt, moves, pos)) return;
    Engine& e = *pos.engine;
    Board& b = *pos.board;
    RefBoard ref(size);
    for (size_t i = 0; i < moves.size(); ++i) ref.set(moves[i].first, moves[i].second, int(i % 2));
    while (b.moveCount < b.cellCount) {
      DeepeningReport report;
      const CellIndex m = engineMove(e, turnMs, report);
      if (m >= BoardCells || b.cells[m] != Empty) break;
      if (report.score >= DecidedScore)
        claims.push_back({moves, WinScore + 1 - report.score, report.proof ? report.proof : "search"});
      const int x = cellX(m), y = cellY(m), side = b.sideToMove;
      const bool five = isWinningMove(ref, x, y, side, rule);
      const bool foul = !five && rule == RuleRenju && side == Black && renjuFoul(ref, x, y);
      ref.set(x, y, side);
      makeMove(e, m);
      e.ply = 0;
      moves.push_back({x, y});
      if (five || foul) break;
    }
    std::cerr << "prove-check: game " << g + 1 << " of " << games << ", " << claims.size() << " claims so far\n";
  }
}

}  // namespace

int cmdProveCheck(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("prove-check: --rule must be freestyle, exact5 or renju");
  long long size = 15, games = 20, turn = 50, check = 500, seed = 1;
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) || !readInt(opt, "games", 20, 0, 100000, games) ||
      !readInt(opt, "turn-time", 50, 1, 1000000, turn) || !readInt(opt, "check-time", 500, 1, 1000000, check) ||
      !readInt(opt, "seed", 1, 0, 1000000000, seed))
    return 1;
  std::vector<Claim> claims;
  if (opt.has("positions")) {
    // One claim a line: the moves, a '|', the claimed plies.
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
      claims.push_back(c);
    }
  } else {
    collectClaims(opt, rule, int(size), int(games), int32_t(turn), uint64_t(seed), claims);
  }
  int held = 0, failed = 0;
  for (size_t i = 0; i < claims.size(); ++i) {
    const Claim& c = claims[i];
    const std::string problem = playOut(opt, rule, c, int32_t(check));
    if (problem.empty()) {
      ++held;
    } else {
      ++failed;
      std::cout << "failed claim " << i + 1 << " (" << c.source << ", win in " << c.plies << "): " << problem
                << "; moves " << movesText(c.moves) << std::endl;
    }
  }
  std::cout << "claims " << claims.size() << " held " << held << " failed " << failed << std::endl;
  return failed == 0 ? 0 : 1;
}

}  // namespace kesta::tool
