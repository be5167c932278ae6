// Threat-space search of continuous fours: the attacker plays only four-making moves, the
// defender's reply is the forced block, until a five is certain, the attack runs dry or the ply
// limit is reached. Entry point: threatSearch (table-backed); threatSearchNext continues below it.
#pragma once

#include "search/engine.h"

namespace kesta {

// Entry node: the side to move's result with threatAttacker and threatPlyLimit set by the caller.
// isWin: the side to move wins by force; isLoss: it loses; anything else: no
// forced win found.
int32_t threatSearch(Worker& e);
// The same, also giving the entry node's best attacking move (0 when it tried none).
int32_t threatSearch(Worker& e, CellIndex& bestMove);
int32_t threatSearchNext(Worker& e);

// Appends the box's four-making cells of the side to move (renju fouls left out for Black).
void generateAttackMoves(Worker& e, std::vector<MoveEntry>& list);
// Appends the four-making cells on the four lines within 4 cells of the side's previous stone.
void generateFollowUpMoves(Worker& e, std::vector<MoveEntry>& list);

// The cell where side completes five along the four its stone at `stone` just made. When that
// stone made no four it reports through the missing-five-cell hook and returns the first five
// cell of side in scan order (0 when none).
CellIndex fiveCellOf(Worker& e, CellIndex stone, int side);

// Called by fiveCellOf on a stone that made no four, with the position as it stands. The command
// loop and the developer tool set the evaluation dump here; nullptr, the start value, is silent.
using MissingFiveCellHook = void (*)(const Position& p);
void setMissingFiveCellHook(MissingFiveCellHook hook);

// Starts the worker's clock countdowns again, as at its construction, so that tools can repeat runs.
void resetSearchCountdowns(Worker& e);

}  // namespace kesta
