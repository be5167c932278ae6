// Layer 4 of 8 (tools/check-layers.sh): rules/ includes only rules/, board/, eval/ and core/.
// Pattern rules: what a side gets on one line through a cell (line level and line code) and at the
// cell as a whole (cell class), for each rule. Everything here runs at table-build time only.
#pragma once

#include <cstdint>

#include "core/types.h"

namespace kesta {

// Number of distinct windows once Wall and opponent stones are merged: each of the ten window
// cells is empty, own stone or blocked.
constexpr int WindowCount = 59049;  // 3^10

// Ternary window number of a (own, opponent) mask pair: digit b is 0 empty, 1 own, 2 blocked.
int windowOfMasks(unsigned own, unsigned opponent);

// Own stones form one of the six double-four shapes around the centre, with no own stone in
// either outer cell.
bool isLineDoubleFour(unsigned own, unsigned opponent);

// Line levels 0..11 of every window for one side under one rule, by the passes 11 down to 1.
void computeWindowLevels(int side, Rule rule, uint8_t levels[WindowCount]);

// The same for the windows of a cell near the board's edge under caro, where the edge blocks a
// line but never a five: wallsPlus of the window's cells beyond +1 and wallsMinus beyond -1 (the
// outermost ones) are the edge. Only the windows with those cells blocked are set.
void computeEdgeWindowLevels(int side, Rule rule, int wallsPlus, int wallsMinus, uint8_t levels[WindowCount]);

// The window bits of the edge cells of a cell wallsPlus and wallsMinus cells from the edge.
unsigned edgeWallBits(int wallsPlus, int wallsMinus);

int lineCodeOfLevel(int level);
// The class number (a line code's number) that code is scored as under rule.
int scoringClassOf(int code, Rule rule);
// The class of a cell for side under rule from its four line codes.
int cellClassOf(int side, Rule rule, int c0, int c1, int c2, int c3);

}  // namespace kesta
