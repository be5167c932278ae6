// kesta-tool problems: the engine thinks on each position of a problem file at --turn-time and the
// share of positions where it plays a proven win (by a proof at the root or a decided score) is
// counted; --every-move runs the root proofs as ThreatProofEveryMove:1 does.
#include <fstream>
#include <iostream>
#include <string>

#include "search/search.h"
#include "search/think.h"
#include "tools/commands/commands.h"
#include "tools/lib/problem_file.h"
#include "tools/lib/referee.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

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
    const ThinkResult& r = t.report;
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
