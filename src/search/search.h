// The principal variation search below the root (searchPV, searchZeroWindow) with fractional
// depth, and the deepening loop with its root search. Entry point: iterativeDeepening.
#pragma once

#include "search/engine.h"

namespace kesta {

struct RootResult {
  CellIndex move;
  int32_t score;
};

// Nodes at this ply or deeper are leaves whatever their depth, so the per-ply storage (and the
// threat searches started from them) can never overflow.
inline int32_t leafPlyLimit(const Worker& e) {
  return PlyCount - e.shared.ThreatSearchPlies - 2;
}

// (evalSum[S] - evalSum[O] averaged with the parent's view), seen from the side to move.
int32_t staticValue(const Worker& e);
// Depth spent by a node: ln(branching) * ExtensionCoefficient.
float depthStep(const Worker& e);
// Cells a and b are close: Chebyshev distance 2, or 4 on a shared line.
bool isNear(CellIndex a, CellIndex b);

int32_t searchPV(Worker& e, float depth, int32_t alpha, int32_t beta);
int32_t searchZeroWindow(Worker& e, float depth, int32_t alpha, int32_t beta);

RootResult rootSearch(Worker& e, int32_t depth);

// Proofs at the root, before the deepening (and after it, when the search has just claimed a win
// for the first time): a win of the side to move by fours, then by threats,
// is played at once (its move returned); when the opponent, given the move, would win by threats,
// every candidate move after which it still wins is marked rootLoss. Returns 0 without a win;
// ran, when given, tells whether the proofs ran at all.
CellIndex proveAtRoot(Worker& e, bool* ran = nullptr);
// The plies within which the root proofs look for a win, either side's, its five included.
constexpr int32_t RootProofPlies = 35;
// Whether the root proofs run before this think whatever the table holds: all of them with
// ProofEveryMove; those of a win of our own on a timed think whose budget reaches ProofMinTime (not
// one limited by nodes or depth, nor one without a practical time limit).
bool proofsBeforeSearch(const Worker& e);
// A think that only its time budget limits: no node or depth limit, and a practical time limit.
// Thinks of the other kinds must repeat, so what the time allows does not shape them.
bool limitedByTimeAlone(const Worker& e);
// The buckets a table that holds nothing is sized to for this think (see fitTable): in proportion
// to a timed think's budget, the whole table for thinks limited by nodes or depth or without a
// practical time limit.
uint32_t tableBucketsForThink(const Worker& e);
// The move to play; 0 when no candidate cell exists. With helper threads (threads.h) it starts
// them once the root proofs are done and ends them before it returns.
CellIndex iterativeDeepening(Worker& e);
// A helper thread's deepening: root searches of growing depth until Stopped, the depth limit or a
// settled root; it only fills the shared table.
void helperDeepening(Worker& e);

// The principal variation from the root: first (the root move), then the table's best move in each
// following position, as long as it is a legal move of the board; a five or a full board ends it.
// Writes at most maxMoves cells into line and returns how many. The position and the table
// are left as they were (the table is only read, without refreshing entries).
int principalVariation(Worker& e, CellIndex first, CellIndex* line, int maxMoves);

}  // namespace kesta
