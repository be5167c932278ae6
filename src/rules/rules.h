// Layer 4 of 8 (tools/check-layers.sh): rules/ includes only rules/, board/, eval/ and core/.
// What the rules differ in, beyond their pattern tables: which side's long lines win and which
// side's forbidden moves are barred. A new rule starts here, in patterns.cpp and in rule_tables.cpp.
#pragma once

#include "board/position.h"
#include "rules/forbidden.h"

namespace kesta {

// Six or more of side's stones in a row win under rule (under caro with overlines even when opponent
// stones block both ends).
constexpr bool overlineWins(Rule rule, int side) {
  return rule == Freestyle || (rule == RenjuRule && side == White) || rule == CaroOverlineRule;
}

// The rule bars side's forbidden moves: Black's under renju.
constexpr bool hasForbiddenMoves(Rule rule, int side) {
  return rule == RenjuRule && side == Black;
}

// side may not play cell: the position's rule bars side's forbidden moves and cell is one.
inline bool isForbiddenFor(Position& p, int side, CellIndex cell) {
  return hasForbiddenMoves(ruleOf(p), side) && isForbidden(p, cell);
}

}  // namespace kesta
