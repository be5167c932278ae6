// kesta-tool solve: one think on a position as the brain would make it, with its move, score, depth,
// nodes and time; --verbose prints the search's progress as the brain reports it to a GUI.
#include <iostream>
#include <string>

#include "protocol/search_info.h"
#include "search/search.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdSolve(const Options& opt) {
  long long turn = 0, left = 0, threads = 1;
  if (!readInt(opt, "turn-time", 5000, 1, NoLimit, turn)) return 1;
  if (!readInt(opt, "threads", 1, 1, MaxThreads, threads)) return 1;
  if (!readInt(opt, "time-left", 1000000000, 1, NoLimit, left)) return 1;
  Position pos;
  if (!setUpPosition(opt, pos, true, MaxTableBuckets, true)) return 1;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = int32_t(turn);
  e.Settings.TimeLeft = int32_t(left);
  e.Settings.ThreadCount = int32_t(threads);
  // --verbose: the search's progress, as the brain reports it to a GUI.
  SearchInfoPrinter info(std::cout);
  if (opt.has("verbose")) e.InfoHook = [&info](Worker& w, const SearchReport& r) { info.report(w, r); };
  const TimedThink t = timedThink(e);
  const CellIndex move = t.move;
  const ThinkResult& r = t.report;
  std::cout << "move " << (move < BoardCells && pos.board->cells[move] == Empty ? coords(move) : "-")
            << " score " << r.score << " depth " << r.depth << " nodes " << r.nodes << " time " << t.tookMs
            << (r.proof ? std::string(" proof ") + r.proof : std::string()) << "\n";
  return 0;
}

}  // namespace kesta::tool
