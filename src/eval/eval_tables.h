// Layer 2 of 7 (tools/check-layers.sh): eval/ includes only eval/ and board/types.h.
// The evaluation parameter file AIEval.txt and the process-wide tables built from it:
// LineCodeTable, EvalScoreTable, MoveScoreTable and CellClassTable, one copy per side.
// Entry points: buildEvalTables (at Engine construction and on a rule change), loadEvalFile.
#pragma once

#include <cstdint>
#include <string>

#include "board/types.h"
#include "eval/text_file.h"

namespace kesta {

constexpr int ComboCount = 3876;  // non-decreasing 4-tuples over 16 class numbers
constexpr int EvalParameterCount = 305;

// The 305 numbers of AIEval.txt in file order.
struct EvalParameters {
  int32_t ForbiddenEval = 0;
  int16_t EvalSingle[16] = {};
  int16_t MoveSingle[16] = {};
  int16_t EvalPair[136] = {};
  int16_t MovePair[136] = {};
};

// The built-in weights; combining them gives DefaultEvalScores and DefaultMoveScores.
const EvalParameters& defaultEvalParameters();

// The numbers of the last AIEval.txt read in full. They persist between builds within the process.
extern EvalParameters EvalParams;
extern int16_t EvalScoreByCombo[ComboCount];
extern int16_t MoveScoreByCombo[ComboCount];
extern int32_t ComboRankOfKey[65536];

extern uint8_t LineCodeTable[2][1 << 20];  // [side][own * 1024 + opponent]
extern int16_t EvalScoreTable[2][PatternKeyCount];
extern int16_t MoveScoreTable[2][PatternKeyCount];
extern uint8_t CellClassTable[2][PatternKeyCount];

// The three per-key values packed together, so make and unmake fetch one cache line per side
// instead of three. Filled from the three tables above at every build.
struct CellScore {
  int16_t move;
  int16_t eval;
  uint8_t cls;
  uint8_t unused[3];
};
extern CellScore CellScoreTable[2][PatternKeyCount];

constexpr int pairIndex(int lo, int hi) { return lo * 16 + hi - lo * (lo + 1) / 2; }

// Reads path and sets the combined scores in force: the file's when it holds 305 numbers (they
// go into EvalParams; a leading byte-order mark is skipped and numbers after the 305th are
// ignored); the built-in ones when there is no file (EvalParams is left as it is). When the file
// cannot be read or holds fewer than 305 numbers before a word or its end (Failed), nothing
// changes, so no half-read file mixes its numbers with others; at the first read of the process
// the built-in scores then apply.
FileRead loadEvalFile(const std::string& path);

// Rebuilds every table for the RuleMode in force, reading exeDirectory + "AIEval.txt".
FileRead buildEvalTables(const std::string& exeDirectory);

// The same build from an explicit file path (the developer tool's --eval).
FileRead buildEvalTablesFromFile(const std::string& path);

// Writes the parameters as a readable AIEval.txt.
std::string formatEvalFile(const EvalParameters& p);

}  // namespace kesta
