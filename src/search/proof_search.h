// Proof search for wins by continuous threats. The attacker plays only moves that threaten: fours,
// and with threes allowed (VCT) moves that make an open three, a threat to make an open four. The
// defender answers a four at its five cell, and a three with every move that stops it: every cell
// after which the attacker can no longer make an open four, and every four of its own. A proof
// holds only when every defence loses, so a proven win is a win against any defence.
// Entry point: proveWin.
#pragma once

#include <cstdint>

#include "search/engine.h"

namespace kesta {

enum class ProofKind : uint8_t { Fours, Threats };  // VCF, VCT

struct ProofResult {
  bool proven = false;
  int32_t plies = 0;   // plies from the side to move's move to its five, both included
  CellIndex move = 0;  // the first move of the proof
  int64_t nodes = 0;
  bool complete = true;  // false when the node budget or the clock cut the search short
};

// Looks for a win of the side to move within maxPlies plies (its five included), trying the limits
// 1, 3, 5 and so on, so that the proof found is a shortest one. Gives up after nodeBudget nodes,
// once deadlineMs have passed since ThinkStartMs (when it is 0 or more), or when the think's clock
// or node limit runs out (the clock check then sets Stopped as in every search). Every node counts
// in SearchCounter. The position is restored.
ProofResult proveWin(Worker& e, ProofKind kind, int32_t maxPlies, int64_t nodeBudget,
                     int32_t deadlineMs = -1);

// The decided score of a proven win for the side to move at ply: five on the proof's last ply.
inline int32_t proofScore(const ProofResult& r, int32_t ply) { return winIn(ply + r.plies - 1); }

// Forgets every cached proof (a new game, other rules).
void clearProofCache(Worker& e);

}  // namespace kesta
