// Layer 5 of 8 (tools/check-layers.sh): search/ includes only search/, rules/, board/, eval/ and core/.
// The Engine: the one object that plays. It extends the position record that make and unmake
// keep with the search parameters, the transposition table, the per-ply pickers and its copy of
// the match settings. Entry points: construction over a Board, loadConfig, resizeTable.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "board/position.h"
#include "core/text_file.h"
#include "eval/eval_tables.h"
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

// The search parameters, all but ThreatSearchPlies settable in AIConfig.txt; their built-in values
// come from setDefaultSearchParameters.
struct SearchParameters {
  float ExtensionCoefficient;
  int32_t IIDMinDepth;
  int32_t FutilityPurningMarginCount;
  int32_t FutilityPurningMargin[4];
  int32_t RazoringMarginCount;
  int32_t RazoringMargin[4];
  int32_t ThreatSearchPlies;
  uint8_t UseOpeningBook;
  uint8_t ReloadConfigOnEachMove;
  int32_t TimeReserve;  // ms that the time budget and the hard stop keep below the turn limit
  uint8_t SearchInfo;   // 1: the protocol layer reports the search's progress on MESSAGE lines
  // Per mille of a think's nodes or time for the proofs at the root: a win by fours, a win by
  // threats, the opponent's win given the move, and the candidate moves against it.
  int32_t ProofShares[4];
  // 1: the root proofs run before every think; 0: only when the table already holds a proven
  // result for the root, to convert a win by its shortest proof or to steer away from a loss.
  uint8_t ProofEveryMove;
  // The root proofs of a win of our own also run before every timed think whose budget is at
  // least this many ms: long thinks can spare their shares, and short ones cannot.
  int32_t ProofMinTime;
  // 1: thinks that no clock limits ask the system for large pages for the table (see fitTable).
  uint8_t LargePages;
  // The plan of a match clock (see movesToGo): a game's expected length in plies, and the fewest
  // own moves it is still expected to last.
  int32_t MovesToGoPlies;
  int32_t MinMovesToGo;
};

// TimeReserve's built-in value and the most a configuration may set, in ms.
constexpr int32_t DefaultTimeReserve = 60;
// ThreatProofMinTime's built-in value, in ms: thinks of a one-second turn limit qualify.
constexpr int32_t DefaultProofMinTime = 900;
constexpr int32_t MaxTimeReserve = 60000;
// MovesToGo's built-in values, and the most either may be.
constexpr int32_t DefaultMovesToGoPlies = 30;
constexpr int32_t DefaultMinMovesToGo = 8;
constexpr int32_t MaxMovesToGo = 1000;

// What the deepening has found so far, handed to Engine::InfoHook.
struct SearchReport {
  int32_t depth;   // the last completed iteration (0: none)
  int32_t score;   // its score, from the side to move's view
  int32_t nodes;   // SearchCounter
  int32_t timeMs;  // since the think began
  CellIndex move;  // the move the search would play
  bool final;      // the think is over and move is its answer
};

// Derives from Position so that the search reads e.cellInfo, e.board and the sums directly and
// passes itself to make and unmake.
struct Engine : Position, SearchParameters {
  std::string ExeDirectory;

  int32_t MaxDepth;
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
  // The score of the engine's last searched think and the stones on the board then: the next
  // think's clock spends more when its score has fallen since (see ThinkClock).
  int32_t LastThinkScore = 0;
  int32_t LastThinkStones = -1;
  MatchSettings Settings;
  std::unique_ptr<ProofEntry[]> ProofCache;  // ProofCacheEntries entries
  // The weights in force (AIEval.txt's, or the built-in ones) and the pattern tables of the rule in
  // force built from them; Position::tables points into Tables.
  EvalParameters EvalParams = defaultEvalParameters();
  std::shared_ptr<const PatternTables> Tables;

  // Set by another thread to end the think at its next clock check; none when null.
  const std::atomic<bool>* StopRequest = nullptr;
  // Called after every completed iteration of depth 4 or more and once at the end of a search.
  // The search never prints; whoever sets the hook reports. It may make and unmake moves but must
  // leave the position and the table as it found them.
  std::function<void(Engine&, const SearchReport&)> InfoHook;
  // How construction read the two text files.
  FileRead EvalFileRead = FileRead::Missing;
  FileRead ConfigFileRead = FileRead::Missing;

  // Builds the Engine over board (which must outlive it): the weights of AIEval.txt and the tables
  // of rule, resetGame, defaults, loadConfig, then the transposition table. Renju until a START
  // or RESTART says otherwise, as managers expect of a brain that is told nothing.
  explicit Engine(Board& b, uint32_t tableBuckets = 1u << 23) : Engine(b, RenjuRule, tableBuckets) {}
  Engine(Board& b, Rule rule, uint32_t tableBuckets = 1u << 23);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

// The directory of the running executable, ending in its path separator.
extern std::string ExeDirectory;

// Reads ExeDirectory + "AIConfig.txt" into the search parameters. Failed when the file exists but
// cannot be read or its first line is not "Override:" and a number; the parameters are then
// untouched. "Override:" with any number but 1 is a file that switches itself off (Read).
FileRead loadConfig(Engine& e);

// Reads ExeDirectory + "AIEval.txt" again and installs the tables of rule with its weights (the
// weights in force stay when the file cannot be read). Only between games: resetGame follows.
FileRead useRule(Engine& e, Rule rule);

// Installs weights p and the tables of the rule in force built from them. Only between games:
// resetGame follows.
void useEvalParameters(Engine& e, const EvalParameters& p);

// Replaces the transposition table with a fresh, empty one of about the given size (see
// TranspositionTable). Only between thinks.
void resizeTable(Engine& e, uint32_t buckets);

// Sets the search parameters to their defaults.
void setDefaultSearchParameters(Engine& e);

}  // namespace kesta
