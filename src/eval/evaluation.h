// Layer 2 of 8 (tools/check-layers.sh): eval/ includes only eval/ and core/.
// The static evaluation behind one interface: what make and unmake tell it (a cell's evaluation
// score changed, a stone covered a cell) and what the search asks of it (a side's view, the static
// value). The pattern evaluation keeps one sum per side of its empty cells' scores, which come from
// the pattern tables; a second evaluation changes this header and the state it keeps, not the search.
#pragma once

#include <cstdint>

namespace kesta {

// side's score of one empty cell went from before to after.
inline void cellScoreChanged(int32_t evalSum[2], int side, int32_t before, int32_t after) {
  evalSum[side] += after - before;
}

// The evaluation of the position as side sees it, unaveraged.
inline int32_t evalView(const int32_t evalSum[2], int side) {
  return evalSum[side] - evalSum[side ^ 1];
}

// The static value for the side to move: its view averaged with its parent's view (parentView,
// from the parent's side), which evens out the swing of whose turn it is.
inline int32_t staticValueOf(const int32_t evalSum[2], int side, int32_t parentView) {
  return (evalView(evalSum, side) - parentView) / 2;
}

}  // namespace kesta
