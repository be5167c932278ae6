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
  std::ostringstream line;
  const std::vector<CellIndex> cells = forbiddenCells(e);
  for (size_t i = 0; i < cells.size(); ++i)
    line << (i > 0 ? " " : "") << cellX(cells[i]) << ',' << cellY(cells[i]);
  std::cout << (cells.empty() ? "none" : line.str()) << "\n";
  return 0;
}

}  // namespace kesta::tool
