// Layer 2 of 8 (tools/check-layers.sh): eval/ includes only eval/ and core/.
// The evaluation weights (the parameter file AIEval.txt) and the pattern tables that make and unmake
// read: line codes by window and scores and classes by line codes, for one rule and one set of
// weights. Entry points: loadEvalFile, fillScoreTables; rules/rule_tables.h builds whole tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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
  bool operator==(const EvalParameters&) const = default;
};

// The built-in weights.
const EvalParameters& defaultEvalParameters();

// The weights combined over every sorted tuple of four scoring classes, by the tuple's rank.
struct ComboScores {
  int16_t eval[ComboCount];
  int16_t move[ComboCount];
};
void combineScores(const EvalParameters& p, ComboScores& out);

// The rank of a sorted tuple (a, b, c, d) of class numbers 0..15, indexed by ((a*16+b)*16+c)*16+d;
// -1 for tuples that are not sorted.
constexpr std::array<int32_t, 65536> makeComboRanks() {
  std::array<int32_t, 65536> t{};
  for (int32_t& r : t) r = -1;
  int rank = 0;
  for (int a = 0; a < 16; ++a)
    for (int b = a; b < 16; ++b)
      for (int c = b; c < 16; ++c)
        for (int d = c; d < 16; ++d) t[size_t(((a * 16 + b) * 16 + c) * 16 + d)] = rank++;
  return t;
}
inline constexpr std::array<int32_t, 65536> ComboRankOfKey = makeComboRanks();

// Line codes by window: digit b of the ternary window number is 0 for an empty cell, 1 for an own
// stone and 2 for an opponent stone or Wall (3^10 windows per side).
constexpr int LineWindowCount = 59049;
// The ternary number with digit 1 wherever the 10-bit mask has a bit.
constexpr std::array<uint16_t, 1024> makeTernaryOfMask() {
  std::array<uint16_t, 1024> t{};
  for (unsigned mask = 0; mask < 1024; ++mask) {
    unsigned w = 0, digit = 1;
    for (int b = 0; b < 10; ++b, digit *= 3)
      if (mask >> b & 1) w += digit;
    t[mask] = uint16_t(w);
  }
  return t;
}
inline constexpr std::array<uint16_t, 1024> TernaryOfMask = makeTernaryOfMask();

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
// Edge configurations of a window: edge cells beyond +1 times 6, plus edge cells beyond -1.
constexpr int EdgeConfigs = 36;
constexpr int edgeConfigOf(int wallsPlus, int wallsMinus) { return wallsPlus * 6 + wallsMinus; }
constexpr int CodeMultisetCount = 1365;  // multisets of four codes out of 12
// Each occurring code's number among the 12; the codes that never occur map to 0.
inline constexpr uint8_t DenseCode[LineCodeCount] = {0, 1, 2, 3, 4, 5, 0, 6, 0, 0, 7, 0, 0, 8, 0, 9, 10, 11};
// The weight of direction k's code in a code key.
inline constexpr uint16_t CodeKeyWeight[4] = {1728, 144, 12, 1};
// Numbers the multisets of four occurring codes (sorted tuples in lexicographic order) and maps
// every code key, each ordering of a multiset, to its multiset's number.
constexpr std::array<uint16_t, CodeKeyCount> makeCodeMultisets() {
  std::array<uint16_t, CodeKeyCount> t{};
  int rank = 0;
  for (int a = 0; a < 12; ++a)
    for (int b = a; b < 12; ++b)
      for (int c = b; c < 12; ++c)
        for (int d = c; d < 12; ++d, ++rank) {
          const int v[4] = {a, b, c, d};
          for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j)
              for (int k = 0; k < 4; ++k) {
                const int l = 6 - i - j - k;
                if (i == j || i == k || j == k || l < 0 || l > 3 || l == i || l == j || l == k) continue;
                t[size_t(((v[i] * 12 + v[j]) * 12 + v[k]) * 12 + v[l])] = uint16_t(rank);
              }
        }
  return t;
}
inline constexpr std::array<uint16_t, CodeKeyCount> CodeMultisetOfKey = makeCodeMultisets();

// The code key of one side's four line codes.
inline uint16_t codeKeyOf(const uint8_t code[4]) {
  return uint16_t(DenseCode[code[0]] * CodeKeyWeight[0] + DenseCode[code[1]] * CodeKeyWeight[1] +
                  DenseCode[code[2]] * CodeKeyWeight[2] + DenseCode[code[3]]);
}

// Everything make and unmake look up, for one rule and one set of weights, one copy per side:
// the line code of every window, and the move score, evaluation score and cell class of every
// PatternKey (also packed by code multiset). Built by rules/rule_tables.h, then read-only:
// positions and search threads share one set through a pointer.
struct PatternTables {
  Rule rule = RenjuRule;
  EvalParameters params;  // the weights the scores come from
  uint8_t lineCodeByWindow[2][LineWindowCount];
  // Under caro the board's edge blocks a line but not a five, which a window (where the edge and
  // the opponent's stones are one digit) cannot tell: the windows of cells near the edge read
  // their codes from the table of their edge configuration instead, one per count of edge cells
  // beyond +1 (0..5) and beyond -1 (0..5), EdgeConfigs tables of both sides; configuration 0 is
  // lineCodeByWindow's. Empty unless edgeAware.
  bool edgeAware = false;
  std::vector<uint8_t> edgeLineCodes;
  int16_t evalScore[2][PatternKeyCount];
  int16_t moveScore[2][PatternKeyCount];
  uint8_t cellClass[2][PatternKeyCount];
  CellScore cellScoreByMultiset[2][CodeMultisetCount];

  // The line code of side for its own and opponent masks (each with the Wall bits set): opponent
  // bits win over own bits.
  uint8_t lineCodeOf(int side, unsigned own, unsigned opponent) const {
    return lineCodeByWindow[side][TernaryOfMask[own & ~opponent] + 2 * TernaryOfMask[opponent]];
  }
  // The line code of side for a window of edge configuration config.
  uint8_t edgeLineCode(int config, int side, unsigned window) const {
    return edgeLineCodes[(size_t(config) * 2 + size_t(side)) * LineWindowCount + window];
  }
  // lineCodeOf for a window of edge configuration config (edgeAware tables).
  uint8_t edgeLineCodeOf(int config, int side, unsigned own, unsigned opponent) const {
    return edgeLineCode(config, side, TernaryOfMask[own & ~opponent] + 2u * TernaryOfMask[opponent]);
  }
  // The packed values of side for a code key.
  const CellScore& cellScoreOf(int side, uint16_t codeKey) const {
    return cellScoreByMultiset[side][CodeMultisetOfKey[codeKey]];
  }
};

// Sets the move and evaluation scores of t from p, and packs the values by multiset. t.cellClass
// must hold every key's class already; scoringClass[code] is the class number (2..17) each line
// code is scored as. Black's forbidden classes get ForbiddenMoveScore and p.ForbiddenEval.
void fillScoreTables(PatternTables& t, const EvalParameters& p, const int scoringClass[LineCodeCount]);

constexpr int pairIndex(int lo, int hi) {
  return lo * 16 + hi - lo * (lo + 1) / 2;
}

// Reads the 305 numbers of path into params (a leading byte-order mark is skipped and numbers after
// the 305th are ignored). Missing: params become the built-in weights but keep their ForbiddenEval. Failed
// (the file cannot be read or holds fewer than 305 numbers before a word or its end): params stay as they
// were, so no half-read file mixes its numbers with others.
FileRead loadEvalFile(const std::string& path, EvalParameters& params);

// Writes the parameters as a readable AIEval.txt.
std::string formatEvalFile(const EvalParameters& p);

}  // namespace kesta
