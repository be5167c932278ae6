// kesta-tool threat: the threat search (VCF) or the proof search by threats (VCT) on a position,
// with its score, move and nodes.
#include <iostream>
#include <string>

#include "core/clock.h"
#include "search/proof_search.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdThreat(const Options& opt) {
  const std::string kind = opt.get("kind", "vcf");
  if (kind != "vcf" && kind != "vct") return fail("threat: --kind must be vcf or vct");
  long long plies = 0, budget = 0;
  if (!readInt(opt, "plies", 31, 1, 99, plies) || !readInt(opt, "nodes", 10000000, 1, 2000000000, budget)) return 1;
  Position pos;
  if (!setUpPosition(opt, pos, true, 1u << 16, true)) return 1;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = NoLimit;
  e.Settings.TimeLeft = NoLimit;
  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.SearchCounter = 0;
  e.ply = 0;
  if (kind == "vct") {
    const ProofResult r = proveWin(e, ProofKind::Threats, int32_t(plies), budget);
    std::cout << "score " << (r.proven ? proofScore(r, 0) : 0) << " move " << coords(r.move) << " nodes "
              << r.nodes << (r.proven || r.complete ? "" : " (budget spent)") << "\n";
    return 0;
  }
  e.threatAttacker = pos.board->sideToMove;
  e.threatPlyLimit = e.ThreatSearchPlies;
  CellIndex best = 0;
  const int32_t score = threatSearch(e, best);
  std::cout << "score " << score << " move " << coords(best) << " nodes " << e.SearchCounter << "\n";
  return 0;
}

}  // namespace kesta::tool
