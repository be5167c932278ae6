// Developer-tool subcommands for positions won by threats:
//   make-problems: self-play games, every position of which is given a generous proof search; those
//     where the side to move wins by threats in at least --min-plies plies are written out;
//   problems: the engine thinks on each position of a file at --turn-time and the share of
//     positions where it plays a proven win (by a proof at the root or a decided score) is counted;
//     --every-move runs the root proofs as ThreatProofEveryMove:1 does.
// A problem line: "RULE SIZE | x,y x,y ... | PLIES", the moves in the order of play, PLIES the
// length of the shortest proof known (0 when unknown).
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "core/clock.h"
#include "search/proof_search.h"
#include "search/search.h"
#include "search/think.h"
#include "tools/lib/referee.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

struct Problem {
  std::string rule;
  int size = 15;
  std::string moves;
  int plies = 0;
};

bool parseProblem(const std::string& line, Problem& p) {
  const size_t a = line.find('|'), b = line.find('|', a + 1);
  if (a == std::string::npos || b == std::string::npos) return false;
  std::istringstream head(line.substr(0, a));
  if (!(head >> p.rule >> p.size)) return false;
  p.moves = line.substr(a + 1, b - a - 1);
  p.plies = std::atoi(line.c_str() + b + 1);
  return true;
}

bool setUpProblem(const Problem& p, Position& pos) {
  Options o;
  o.values["rule"] = p.rule;
  o.values["size"] = std::to_string(p.size);
  o.values["moves"] = p.moves;
  return setUpPosition(o, pos, true, 1u << 22);
}

}  // namespace

int cmdMakeProblems(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("make-problems: --rule must be freestyle, exact5 or renju");
  long long size = 15, count = 50, minPlies = 9, seed = 1, turn = 30, budget = 300000;
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) || !readInt(opt, "count", 50, 1, 100000, count) ||
      !readInt(opt, "min-plies", 9, 1, 99, minPlies) || !readInt(opt, "seed", 1, 0, 1000000000, seed) ||
      !readInt(opt, "turn-time", 30, 1, 100000, turn) || !readInt(opt, "nodes", 300000, 1000, 100000000, budget))
    return 1;
  std::mt19937_64 rng{uint64_t(seed)};
  int found = 0;
  while (found < count) {
    Problem p{opt.get("rule"), int(size), "", 0};
    std::vector<Cell> opening = randomOpening(rng, int(size));
    for (const Cell& c : opening) p.moves += cellText(c.first, c.second) + " ";
    seedAllGenerators(rng());
    Position pos;
    if (!setUpProblem(p, pos)) return 1;
    Engine& e = *pos.engine;
    Board& b = *pos.board;
    RefBoard ref{int(size)};
    for (size_t i = 0; i < opening.size(); ++i) ref.set(opening[i].first, opening[i].second, int(i % 2));
    while (b.moveCount < b.cellCount && found < count) {
      // A generous proof search of the position, from a fresh start.
      e.Settings.TimeoutTurn = 1000000000;
      e.Settings.TimeLeft = 1000000000;
      e.ThinkStartMs = nowMs();
      e.Stopped = 0;
      e.ply = 0;
      clearProofCache(e);
      const ProofResult r = proveWin(e, ProofKind::Threats, 35, budget);
      e.Stopped = 1;
      if (r.proven && r.plies >= minPlies) {
        std::cout << p.rule << " " << size << " | " << p.moves << "| " << r.plies << std::endl;
        ++found;
        break;  // one problem a game, so that the set is varied
      }
      e.Settings.TimeoutTurn = int32_t(turn);
      const CellIndex m = think(e);
      e.Stopped = 1;
      if (m >= BoardCells || b.cells[m] != Empty) break;
      const int x = cellX(m), y = cellY(m), side = b.sideToMove;
      const bool five = isWinningMove(ref, x, y, side, rule);
      ref.set(x, y, side);
      makeMove(e, m);
      e.ply = 0;
      p.moves += cellText(x, y) + " ";
      if (five) break;
    }
  }
  return 0;
}

int cmdProblems(const Options& opt) {
  long long turn = 100;
  if (!readInt(opt, "turn-time", 100, 1, 1000000, turn)) return 1;
  std::ifstream in(opt.get("file"));
  if (!in) return fail("problems: cannot read --file " + opt.get("file"));
  int total = 0, proven = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    Problem p;
    if (!parseProblem(line, p)) return fail("problems: bad line '" + line + "'");
    Position pos;
    if (!setUpProblem(p, pos)) return 1;
    Engine& e = *pos.engine;
    e.Settings.TimeoutTurn = int32_t(turn);
    if (opt.has("every-move")) e.ProofEveryMove = 1;
    const TimedThink t = timedThink(e);
    const CellIndex m = t.move;
    const DeepeningReport& r = t.report;
    const bool won = isWin(r.score);
    ++total;
    proven += won;
    std::cout << "problem " << total << " " << p.rule << " known " << p.plies << " move "
              << (m < BoardCells ? cellText(cellX(m), cellY(m)) : std::string("-")) << " score " << r.score
              << (r.proof ? std::string(" proof ") + r.proof : std::string()) << " time " << t.tookMs
              << (won ? " proven" : "") << "\n";
  }
  std::cout << "proven " << proven << " of " << total << "\n";
  return 0;
}

}  // namespace kesta::tool
