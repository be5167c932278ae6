// kesta-tool make-problems: self-play games, every position of which is given a generous proof
// search; those where the side to move wins by threats in at least --min-plies plies are written out
// as problem lines (tools/lib/problem_file.h), one a game.
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "core/clock.h"
#include "search/proof_search.h"
#include "search/search.h"
#include "search/think.h"
#include "tools/commands/commands.h"
#include "tools/lib/problem_file.h"
#include "tools/lib/referee.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdMakeProblems(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("make-problems: --rule must be freestyle, exact5, renju, caro or caro8");
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
    const uint64_t gameSeed = rng();
    drawZobristKeys(gameSeed);
    Position pos;
    if (!setUpProblem(p, pos)) return 1;
    Engine& e = *pos.engine;
    seedGenerators(e, gameSeed);
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
      const CellIndex m = think(e).move;
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

}  // namespace kesta::tool
