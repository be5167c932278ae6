// Layer 4 of 7 (tools/check-layers.sh): search/ includes only search/, board/ and eval/.
// The Engine: the one object that plays. It extends the position record that make and unmake
// keep with the search parameters, the transposition table, the per-ply pickers and its copy of
// the match settings. Entry points: construction over a Board, loadConfig.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "board/position.h"
#include "search/match_settings.h"
#include "search/move_picker.h"
#include "search/trans_table.h"

namespace kesta {

// One cached result of the proof search (proof_search.h): a position with its attacker and side to
// move, and whether the attacker wins in `plies` or has no win within that many.
struct ProofEntry {
  uint32_t key;
  uint16_t move;  // the attacker's winning move at an attacker's node
  uint8_t result;  // 0 empty, 1 win, 2 no win within plies
  uint8_t plies;
};
constexpr uint32_t ProofCacheEntries = 1u << 17;

// Derives from Position so that the search reads e.cellInfo, e.board and the sums directly and
// passes itself to make and unmake.
struct Engine : Position {
  std::string ExeDirectory;

  float ExtensionCoefficient;
  int32_t IIDMinDepth;
  int32_t FutilityPurningMarginCount;
  int32_t FutilityPurningMargin[4];
  int32_t RazoringMarginCount;
  int32_t RazoringMargin[4];
  int32_t ThreatSearchPlies;
  uint8_t UseOpeningBook;
  uint8_t ReloadConfigOnEachMove;
  int32_t MaxDepth;
  // Per mille of a think's nodes or time for the proofs at the root: a win by fours, a win by
  // threats, the opponent's win given the move, and the candidate moves against it.
  int32_t ProofShares[4];
  uint8_t threatAttacker = 0;

  std::unique_ptr<TranspositionTable> TransTable;
  MovePicker PlyLists[PlyCount];
  int32_t diffHistory[PlyCount + 1] = {};
  int32_t iterationDepth = 0;
  uint8_t currentMoveClass[2] = {};
  int32_t ThinkStartMs = 0;
  uint8_t Stopped = 1;  // set from construction on, so commands before the first START behave alike
  int32_t threatPlyLimit = 0;
  int32_t bestChangeCount = 0;
  int32_t SearchCounter = 0;
  MatchSettings Settings;
  std::unique_ptr<ProofEntry[]> ProofCache;  // ProofCacheEntries entries

  // Builds the Engine over board (which must outlive it): tables for the RuleMode in force,
  // resetGame, defaults, loadConfig, then the transposition table.
  explicit Engine(Board& board, uint32_t tableBuckets = 1u << 23);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

// The directory of the running executable, ending in its path separator.
extern std::string ExeDirectory;

// Reads ExeDirectory + "AIConfig.txt" into the search parameters.
void loadConfig(Engine& e);

// Sets the search parameters to their defaults.
void setDefaultSearchParameters(Engine& e);

}  // namespace kesta
