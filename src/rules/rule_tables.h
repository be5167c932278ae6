// Layer 4 of 8 (tools/check-layers.sh): rules/ includes only rules/, board/, eval/ and core/.
// The pattern tables of a rule and a set of weights, built once and shared read-only by every
// position that plays under them. Entry points: patternTables, defaultPatternTables.
#pragma once

#include <memory>

#include "eval/eval_tables.h"

namespace kesta {

// Builds the tables of rule with weights p. Takes some milliseconds; never under a running search.
std::shared_ptr<const PatternTables> buildPatternTables(Rule rule, const EvalParameters& p);

// The tables of rule with the built-in weights, built at the first call and kept for the process.
const std::shared_ptr<const PatternTables>& defaultPatternTables(Rule rule);

// The tables of rule with weights p: the kept ones when p are the built-in weights, else new ones.
std::shared_ptr<const PatternTables> patternTables(Rule rule, const EvalParameters& p);

}  // namespace kesta
