// Layer 4 of 8 (tools/check-layers.sh): rules/ includes only rules/, board/, eval/ and core/.
// Renju forbidden-move detection for Black: overline and double four from the cell class, double
// three by a recursive look-ahead that places trial Black stones as scratch stones.
#pragma once

#include <vector>

#include "board/position.h"

namespace kesta {

// Black's move at cell is forbidden under renju. cell may be occupied (then false). Callers ask
// only under renju; the side to move may be either colour. The state is restored exactly.
bool isForbidden(Position& p, CellIndex cell);

// Black playing the Empty cell makes a three in direction k that can become a straight four by a
// move that is not itself forbidden.
bool isRealThree(Position& p, CellIndex cell, int k);

// Black's forbidden cells of the position in reading order (row by row, left to right), whoever is
// to move. Callers ask only under renju.
std::vector<CellIndex> forbiddenCells(Position& p);

}  // namespace kesta
