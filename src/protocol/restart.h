// Beginning a game: the one operation that hands the match settings to the Engine.
#pragma once

#include "search/engine.h"
#include "search/match_settings.h"

namespace kesta {

// Selects the rule from the record (installing its tables when it changes), copies the
// settings into the Engine with the match clock full (TimeLeft = TimeoutMatch), sets MaxDepth and
// Stopped, empties the board and the table.
void restart(Engine& e, const MatchSettings& settings);

}  // namespace kesta
