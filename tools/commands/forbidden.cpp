// kesta-tool forbidden: Black's forbidden cells of a renju position, as "x,y" in reading order.
#include "rules/forbidden.h"

#include <iostream>
#include <sstream>

#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdForbidden(const Options& opt) {
  Options renju = opt;
  renju.values["rule"] = "renju";
  Position pos;
  if (!setUpPosition(renju, pos, true)) return 1;
  Engine& e = *pos.engine;
  const Board& b = *pos.board;
  std::ostringstream line;
  bool any = false;
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x)
      if (b.cells[cellOf(x, y)] == Empty && isForbidden(e, cellOf(x, y))) {
        line << (any ? " " : "") << x << ',' << y;
        any = true;
      }
  std::cout << (any ? line.str() : "none") << "\n";
  return 0;
}

}  // namespace kesta::tool
