// Layer 5 of 8 (tools/check-layers.sh): search/ includes only search/, rules/, board/, eval/ and core/.
// The Engine: the one object that plays. SharedState is what all its search threads share, Worker
// what each owns; the Engine is the shared state with its main thread's worker. Entry points:
// construction over a Board, loadConfig, resizeTable, useRule.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

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
  int64_t nodes;   // of all the think's threads
  int32_t timeMs;  // since the think began
  CellIndex move;  // the move the search would play
  bool final;      // the think is over and move is its answer
};

struct Worker;
class SearchThreads;

// The most best lines a think may look for (the analysis GUI's yxnbest).
constexpr int32_t MaxBestLines = 10;

// One of a think's best lines at a completed depth: its root move and score (the side to move's).
struct BestLine {
  CellIndex move;
  int32_t score;
};

// What the main thread's root search is doing with a root move, for RootHook: it starts searching
// it, has searched it, has proven it lost, or has made it the iteration's best so far.
enum class RootEvent : uint8_t { Searching, Searched, Lost, Best };

// What the last deepening achieved.
struct DeepeningReport {
  int32_t score = 0;
  int32_t depth = 0;            // last completed iteration
  const char* proof = nullptr;  // "vcf" or "vct" when the move came from a proof at the root
};

// What every search thread of one Engine shares: the parameters, the match settings and the
// limits, the clock, the stop flag, the transposition table and the proof cache, the evaluation's
// weights and tables, and the info hook. Written between thinks only, except the stop flag and
// the entries of the two tables.
struct SharedState : SearchParameters {
  std::string ExeDirectory;

  int32_t MaxDepth;
  std::unique_ptr<TranspositionTable> TransTable;
  int32_t ThinkStartMs = 0;
  // Set when the think is over or must end; set from construction on, so commands before the
  // first START behave alike. Every search thread reads it, any of them may set it.
  std::atomic<uint8_t> Stopped{1};
  // The score of the engine's last searched think and the stones on the board then: the next
  // think's clock spends more when its score has fallen since (see ThinkClock).
  int32_t LastThinkScore = 0;
  int32_t LastThinkStones = -1;
  MatchSettings Settings;
  std::unique_ptr<ProofEntry[]> ProofCache;  // ProofCacheEntries entries
  // The weights in force (AIEval.txt's, or the built-in ones) and the pattern tables of the rule in
  // force built from them; each worker's Position::tables points into Tables.
  EvalParameters EvalParams = defaultEvalParameters();
  std::shared_ptr<const PatternTables> Tables;

  // Set by another thread to end the think at its next clock check; none when null.
  const std::atomic<bool>* StopRequest = nullptr;
  // Called with the main worker after every completed iteration of depth 4 or more and once at the
  // end of a search. The search never prints; whoever sets the hook reports. It may make and
  // unmake moves but must leave the position and the table as it found them.
  std::function<void(Worker&, const SearchReport&)> InfoHook;
  // Called by the main thread's root search for each RootEvent, with its root move; none when
  // empty. As InfoHook, it prints nothing of the search's own and leaves the position alone.
  std::function<void(RootEvent, CellIndex)> RootHook;
  // How many best lines the thinks look for: 1 in play. With more, each iteration of the deepening
  // searches the root again without the moves of the lines found, and hands the lines of every
  // completed depth, best first, to LinesHook.
  int32_t BestLines = 1;
  std::function<void(Worker&, int32_t depth, const BestLine* lines, int count)> LinesHook;
  // How construction read the two text files.
  FileRead EvalFileRead = FileRead::Missing;
  FileRead ConfigFileRead = FileRead::Missing;

  // The helper threads of a think of several threads (search/threads.h): made when a think first
  // asks for them, parked between thinks, joined with the shared state.
  std::unique_ptr<SearchThreads> Helpers;
  // The workers of the think under way, the main one first: set between thinks, read by the
  // workers as they count each other's nodes.
  std::vector<Worker*> Workers;
  // The main thread's last completed iteration of the think under way: helpers start their next
  // iteration beyond it.
  std::atomic<int32_t> CompletedDepth{0};

  SharedState();
  ~SharedState();
  SharedState(const SharedState&) = delete;
  SharedState& operator=(const SharedState&) = delete;
};

// The clock countdowns of one worker's searches (see clockCheck): each kind of search reads the
// clock once per so many of its nodes.
struct SearchCountdowns {
  int32_t pv = 0;
  int32_t zeroWindow = 0;
  int32_t threat = 0;
  int32_t threatNext = 0;
  int32_t proof = 0;
};

// What one search thread owns: its position record (the Board it points to is the thread's too),
// the per-ply pickers, its counters and countdowns, and the report of its last deepening. The
// search functions take a Worker; what the threads share they reach through shared.
struct Worker : Position {
  SharedState& shared;

  uint8_t threatAttacker = 0;
  MovePicker PlyLists[PlyCount];
  int32_t diffHistory[PlyCount + 1] = {};
  int32_t iterationDepth = 0;
  uint8_t currentMoveClass[2] = {};
  int32_t threatPlyLimit = 0;
  int32_t bestChangeCount = 0;
  int64_t SearchCounter = 0;  // nodes of the current think, this thread's
  // The other threads' nodes as this one last counted them (0 with one thread); the node limit
  // holds for the sum. publishedNodes is this thread's count as the others read it.
  int64_t otherNodes = 0;
  std::atomic<int64_t> publishedNodes{0};
  // The thread that decides when the think ends and what it plays; helpers only fill the table.
  bool mainThread = true;
  int32_t threadIndex = 0;  // 0 for the main thread, 1.. for helpers
  // Set by the root search when the iteration cannot change the choice (a single move, at most
  // one move that avoids a loss, a decided root): the main thread ends the think, a helper its
  // deepening.
  bool rootSettled = false;
  SearchCountdowns countdowns;
  DeepeningReport report;
  // Root moves the root search leaves out: those of the better lines while it looks for the next
  // of several best lines (the main thread's only), and its root list kept meanwhile.
  CellIndex excludedRoots[MaxBestLines] = {};
  int32_t excludedCount = 0;
  MovePicker savedRoot;
  std::vector<CellIndex> fourCells;  // scratch list of the double-three refutation

  explicit Worker(SharedState& s);
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
};

// The one object that plays: the state its search threads share, and its main thread's worker,
// whose Position the protocol and the tools read and change between thinks. Also the random
// generators of the think's opening replies and book.
struct Engine : SharedState, Worker {
  std::mt19937_64 NeighbourRandom;
  std::mt19937_64 BookRandom;

  // Builds the Engine over board (which must outlive it): the weights of AIEval.txt and the tables
  // of rule, resetGame, defaults, loadConfig, then the transposition table. Renju until a START
  // or RESTART says otherwise, as managers expect of a brain that is told nothing.
  explicit Engine(Board& b, uint32_t tableBuckets = MaxTableBuckets) : Engine(b, RenjuRule, tableBuckets) {}
  Engine(Board& b, Rule rule, uint32_t tableBuckets = MaxTableBuckets);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

// The directory of the running executable, ending in its path separator.
extern std::string ExeDirectory;

// Reads ExeDirectory + "AIConfig.txt" into the search parameters. Failed when the file exists but
// cannot be read or its first line is not "Override:" and a number; the parameters are then
// untouched. "Override:" with any number but 1 is a file that switches itself off (Read).
FileRead loadConfig(SharedState& e);

// Reads ExeDirectory + "AIEval.txt" again and installs the tables of rule with its weights (the
// weights in force stay when the file cannot be read). Only between games: resetGame follows.
FileRead useRule(Engine& e, Rule rule);

// Installs weights p and the tables of the rule in force built from them. Only between games:
// resetGame follows.
void useEvalParameters(Engine& e, const EvalParameters& p);

// Replaces the transposition table with a fresh, empty one of about the given size (see
// TranspositionTable). Only between thinks.
void resizeTable(SharedState& e, uint32_t buckets);

// Sets the search parameters to their defaults.
void setDefaultSearchParameters(SharedState& e);

}  // namespace kesta
