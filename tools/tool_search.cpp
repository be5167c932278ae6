// Developer-tool subcommands that run the searches.
#include "tools/tool_common.h"

namespace kesta::tool {

int extraDispatch(const std::string& command, const Options& opt) {
  (void)command;
  (void)opt;
  return 2;
}

}  // namespace kesta::tool
