// kesta-tool nbest: a think for the K best lines of a position, as the brain's yxnbest makes it: the
// lines of the deepest completed depth, best first, with their scores and variations.
#include <iostream>
#include <string>
#include <vector>

#include "protocol/search_info.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdNBest(const Options& opt) {
  long long turn = 0, lines = 0, threads = 1;
  if (!readInt(opt, "turn-time", 5000, 1, NoLimit, turn)) return 1;
  if (!readInt(opt, "lines", 3, 1, MaxBestLines, lines)) return 1;
  if (!readInt(opt, "threads", 1, 1, MaxThreads, threads)) return 1;
  Position pos;
  if (!setUpPosition(opt, pos, true, MaxTableBuckets, true)) return 1;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = int32_t(turn);
  e.Settings.ThreadCount = int32_t(threads);
  e.BestLines = int32_t(lines);
  // The deepest depth's lines, each with its variation as the search left it.
  int32_t depth = 0;
  std::vector<std::string> found;
  e.LinesHook = [&](Worker& w, int32_t d, const BestLine* best, int count) {
    depth = d;
    found.clear();
    for (int i = 0; i < count; ++i)
      found.push_back(coords(best[i].move) + " eval " + evalText(best[i].score) + " pv " +
                      variationText(w, best[i].move));
  };
  const TimedThink t = timedThink(e);
  if (found.empty() && t.move < BoardCells && pos.board->cells[t.move] == Empty)
    found.push_back(coords(t.move) + " eval " + evalText(t.report.score) + " pv " + coords(t.move));
  for (size_t i = 0; i < found.size(); ++i) std::cout << "line " << i + 1 << " move " << found[i] << "\n";
  std::cout << "depth " << depth << " nodes " << t.report.nodes << " time " << t.tookMs << "\n";
  return 0;
}

}  // namespace kesta::tool
