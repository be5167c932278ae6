// The Engine: the one object that plays. It holds the per-cell line state that make and unmake
// keep, the search parameters, the transposition table, the per-ply pickers and its copy of the
// match settings. Entry points: construction over a Board, resetGame, loadConfig.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "board/board.h"
#include "protocol/match_settings.h"
#include "search/move_picker.h"
#include "search/trans_table.h"

namespace kesta {

// Line state of one cell.
// lineBits[k][s]: for direction k and side s, a 10-bit mask of the window cells t + p*d
// (p = -5..-1, +1..+5) holding a stone of s or Wall. p = +1..+5 is bit 5 - p, p = -1..-5 is
// bit 4 - p, so bit 9 down to bit 0 walks the window from t - 5d to t + 5d.
struct CellInfo {
  uint16_t lineBits[4][2];
  uint8_t lineCode[2][4];
  int16_t moveScore[2];
  int16_t evalScore[2];
  uint8_t cellClass[2];
  uint8_t nearCount;
  uint8_t rootLoss;
};

struct Engine {
  CellInfo cellInfo[BoardCells];
  std::string ExeDirectory;
  Board* board;
  int32_t evalSum[2];
  int32_t classCount[2][14];
  int32_t ply;

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

  // Builds the Engine over board (which must outlive it): tables for the RuleMode in force,
  // resetGame, defaults, loadConfig, then the transposition table.
  explicit Engine(Board& board, uint32_t tableBuckets = 1u << 23);
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
};

// The directory of the running executable, ending in its path separator.
extern std::string ExeDirectory;

// Empties the Board and recomputes every cell's line state for the empty board.
void resetGame(Engine& e);

// Reads ExeDirectory + "AIConfig.txt" into the search parameters.
void loadConfig(Engine& e);

// Sets the search parameters to their defaults.
void setDefaultSearchParameters(Engine& e);

}  // namespace kesta
