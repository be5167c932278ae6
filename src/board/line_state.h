// Make and unmake with incremental line state. The full pair keeps every CellInfo field, evalSum
// and classCount; the scratch and same-side pairs skip the evaluation scores and sums, which the
// threat analysis never reads. All are strictly last-in first-out and validate nothing.
#pragma once

#include "board/position.h"

namespace kesta {

// Empties the Board and recomputes every cell's line state for the empty board from p.tables.
void resetGame(Position& p);

// Plays a stone of the side to move on an Empty cell and passes the turn.
void makeMove(Position& p, CellIndex cell);
// Takes back the last move. Requires moveCount > 0 and no scratch stone standing.
void unmakeMove(Position& p);

// Light make and unmake for threat analysis: evalScore and evalSum are left alone.
void makeScratch(Position& p, CellIndex cell);
void unmakeScratch(Position& p);

// A scratch stone of the given colour whatever the side to move (the renju three test places
// trial Black stones at any depth); turn and ply change as in makeScratch. Undo with unmakeScratch.
void makeScratchAs(Position& p, CellIndex cell, uint8_t colour);

// A stone of the side to move that does not pass the turn; undo with removeSameSide.
void placeSameSide(Position& p, CellIndex cell);
void removeSameSide(Position& p);

// The 32 cells whose nearCount a stone raises, as CellIndex offsets: the 5x5 square without its
// centre, plus the cells at distance 3 on the four lines.
inline constexpr int NeighbourhoodOffsets[32] = {
    -3 * 32 - 3, -3 * 32, -3 * 32 + 3,                                 // dy = -3
    -2 * 32 - 2, -2 * 32 - 1, -2 * 32, -2 * 32 + 1, -2 * 32 + 2,       // dy = -2
    -1 * 32 - 2, -1 * 32 - 1, -1 * 32, -1 * 32 + 1, -1 * 32 + 2,       // dy = -1
    -3, -2, -1, 1, 2, 3,                                               // dy = 0
    1 * 32 - 2, 1 * 32 - 1, 1 * 32, 1 * 32 + 1, 1 * 32 + 2,            // dy = +1
    2 * 32 - 2, 2 * 32 - 1, 2 * 32, 2 * 32 + 1, 2 * 32 + 2,            // dy = +2
    3 * 32 - 3, 3 * 32, 3 * 32 + 3,                                    // dy = +3
};

}  // namespace kesta
