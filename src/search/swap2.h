// Swap2, the opening of Gomocup's unlimited tournament. The first player places three stones
// (Black, White, Black); the second takes Black (swap), stays White and plays the fourth stone, or
// places the fourth and fifth and hands the choice back; then the first chooses its colour.
// Entry point: answerSwap2.
#pragma once

#include <vector>

#include "search/engine.h"

namespace kesta {

struct Swap2Answer {
  bool swap = false;              // take Black
  std::vector<CellIndex> stones;  // else the stones to place, in order
};

// Scores within this many units of even, from the side to move's view, count as balanced: with three
// stones the engine then places two more rather than choose a colour.
constexpr int32_t Swap2Balance = 40;

// The answer for the position of e, which holds the opening's stones so far (0, 3 or 5) with the
// next stone's colour to move: three stones that leave the position balanced; after three, swap
// when Black is better, play the fourth stone when White is better, else the fourth and fifth
// stones that leave it balanced; after five, swap when Black is better, else the sixth stone. Every
// search shares the think's time (or node) limit in force. The position is left as it was.
Swap2Answer answerSwap2(Engine& e);

// Stones that bring the position nearest a score of target, for users setting up balanced
// openings: with stones 1, a cell for the side to move, scored from the view of the opponent, who
// moves next; with stones 2, a cell for the side to move and then one for the opponent, scored from
// the side to move's view. The cells are tried among the best-ordered ones that are legal and make
// no five; every search shares the think's time (or node) limit in force. The position is left as
// it was; empty when no cell can be placed.
std::vector<CellIndex> balanceStones(Engine& e, int stones, int32_t target);

}  // namespace kesta
