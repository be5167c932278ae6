// kesta-tool state: every empty cell's line codes, scores, classes and neighbour count, then the
// evaluation sums and class counts, of a position as the engine holds it.
#include <iostream>
#include <sstream>

#include "search/engine.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdState(const Options& opt) {
  Position pos;
  if (!setUpPosition(opt, pos, true)) return 1;
  const Engine& e = *pos.engine;
  const Board& b = *pos.board;
  std::ostringstream out;
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x) {
      const CellIndex t = cellOf(x, y);
      if (b.cells[t] != Empty) continue;
      const CellInfo& c = e.cellInfo[t];
      out << "cell " << x << ' ' << y;
      for (int s = 0; s < 2; ++s)
        for (int k = 0; k < 4; ++k) out << ' ' << int(c.lineCode[s][k]);
      out << ' ' << c.moveScore[0] << ' ' << c.moveScore[1] << ' ' << c.evalScore[0] << ' ' << c.evalScore[1]
          << ' ' << int(c.cellClass[0]) << ' ' << int(c.cellClass[1]) << ' ' << int(c.nearCount) << '\n';
    }
  out << "evalsum " << e.evalSum[0] << ' ' << e.evalSum[1] << '\n';
  for (int s = 0; s < 2; ++s) {
    out << "classcount " << s;
    for (int k = 0; k < CellClassCount; ++k) out << ' ' << e.classCount[s][k];
    out << '\n';
  }
  std::cout << out.str();
  return 0;
}

}  // namespace kesta::tool
