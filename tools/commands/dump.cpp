// kesta-tool dump: the evaluation dump of a position, as the brain prints it.
#include "diag/dump.h"

#include <iostream>

#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdDump(const Options& opt) {
  Position pos;
  if (!setUpPosition(opt, pos, true)) return 1;
  writeEvaluationDump(*pos.engine, "", std::cout, DumpColour::None);
  return 0;
}

}  // namespace kesta::tool
