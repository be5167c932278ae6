#include "protocol/restart.h"

#include "board/line_state.h"
#include "search/proof_search.h"

namespace kesta {

void restart(Engine& e, const MatchSettings& settings) {
  // 1-2. The rule; a change installs its tables and empties the table.
  if (settings.GameRule != ruleOf(e)) {
    useRule(e, settings.GameRule);
    clearTable(*e.TransTable);
  }
  // 3-5. Settings, depth limit, the stop flag. The match clock starts full.
  e.Settings = settings;
  e.Settings.TimeLeft = settings.TimeoutMatch;
  e.MaxDepth = maxDepthOf(settings);
  e.Stopped = 1;
  // 6-7. An empty game with an empty table.
  resetGame(e);
  clearTable(*e.TransTable);
  clearProofCache(e);
}

}  // namespace kesta
