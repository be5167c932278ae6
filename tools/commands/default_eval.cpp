// kesta-tool default-eval: the built-in evaluation parameters, written as an AIEval.txt.
#include <iostream>

#include "eval/eval_tables.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdDefaultEval(const Options&) {
  std::cout << formatEvalFile(defaultEvalParameters());
  return 0;
}

}  // namespace kesta::tool
