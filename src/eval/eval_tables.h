// Layer 2 of 7 (tools/check-layers.sh): eval/ includes only eval/ and core/.
// The evaluation parameter file AIEval.txt and the process-wide tables built from it:
// LineCodeByWindow, EvalScoreTable, MoveScoreTable and CellClassTable, one copy per side.
// Entry points: buildEvalTables (at Engine construction and on a rule change), loadEvalFile.
#pragma once

#include <cstdint>
#include <string>

#include "core/text_file.h"
#include "core/types.h"

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

// Line codes by window: digit b of the ternary window number is 0 for an empty cell, 1 for an own
// stone and 2 for an opponent stone or Wall (3^10 windows per side).
constexpr int LineWindowCount = 59049;
extern uint8_t LineCodeByWindow[2][LineWindowCount];
// The ternary number with digit 1 wherever the 10-bit mask has a bit.
extern uint16_t TernaryOfMask[1024];

// The line code of side for its own and opponent masks (each with the Wall bits set): opponent
// bits win over own bits.
inline uint8_t lineCodeOf(int side, unsigned own, unsigned opponent) {
  return LineCodeByWindow[side][TernaryOfMask[own & ~opponent] + 2 * TernaryOfMask[opponent]];
}
extern int16_t EvalScoreTable[2][PatternKeyCount];
extern int16_t MoveScoreTable[2][PatternKeyCount];
extern uint8_t CellClassTable[2][PatternKeyCount];

// The three per-key values packed together, for make and unmake. They depend only on which four
// line codes a cell has, not on their directions. Of the 18 codes only 12 ever occur (6, 8, 9, 11,
// 12 and 14 do not), so each cell keeps its four codes per side as a code key below 12^4, and the
// values are looked up through the multiset of codes the key stands for: two tables of 41 KB and
// 22 KB that stay in the fast caches, where a table per PatternKey would not.
struct CellScore {
  int16_t move;
  int16_t eval;
  uint8_t cls;
  uint8_t unused[3];
};
constexpr int CodeKeyCount = 12 * 12 * 12 * 12;
constexpr int CodeMultisetCount = 1365;  // multisets of four codes out of 12
// Each occurring code's number among the 12; the codes that never occur map to 0.
inline constexpr uint8_t DenseCode[LineCodeCount] = {0, 1, 2, 3, 4, 5, 0, 6, 0, 0, 7, 0, 0, 8, 0, 9, 10, 11};
// The weight of direction k's code in a code key.
inline constexpr uint16_t CodeKeyWeight[4] = {1728, 144, 12, 1};
extern uint16_t CodeMultisetOfKey[CodeKeyCount];
extern CellScore CellScoreByMultiset[2][CodeMultisetCount];

// The code key of one side's four line codes.
inline uint16_t codeKeyOf(const uint8_t code[4]) {
  return uint16_t(DenseCode[code[0]] * CodeKeyWeight[0] + DenseCode[code[1]] * CodeKeyWeight[1] +
                  DenseCode[code[2]] * CodeKeyWeight[2] + DenseCode[code[3]]);
}

// The packed values of side for a code key.
inline const CellScore& cellScoreOf(int side, uint16_t codeKey) {
  return CellScoreByMultiset[side][CodeMultisetOfKey[codeKey]];
}

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
