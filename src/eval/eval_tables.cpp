#include "eval/eval_tables.h"

#include <algorithm>
#include <iterator>
#include <sstream>

#include "core/number_scan.h"
#include "eval/patterns.h"

namespace kesta {

EvalParameters EvalParams;
int16_t EvalScoreByCombo[ComboCount];
int16_t MoveScoreByCombo[ComboCount];
int32_t ComboRankOfKey[65536];

uint8_t LineCodeByWindow[2][LineWindowCount];
uint16_t TernaryOfMask[1024];
int16_t EvalScoreTable[2][PatternKeyCount];
int16_t MoveScoreTable[2][PatternKeyCount];
uint8_t CellClassTable[2][PatternKeyCount];
uint16_t CodeMultisetOfKey[CodeKeyCount];
CellScore CellScoreByMultiset[2][CodeMultisetCount];

namespace {

// EvalPair defaults by scoring class 2..17 (row = lower class, column = higher); only the upper
// triangle is meaningful.
constexpr int16_t DefaultPairRows[16][16] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 3, 3, 4, 1, 0},
    {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 3, 3, 4, 1, 0},
    {0, 0, 0, 1, 1, 2, 2, 2, 2, 2, 2, 4, 4, 5, 3, 2},
    {0, 0, 0, 0, 1, 2, 2, 2, 2, 2, 2, 4, 4, 5, 3, 2},
    {0, 0, 0, 0, 0, 3, 3, 3, 3, 3, 3, 5, 5, 6, 5, 3},
    {0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 3, 5, 5, 6, 5, 3},
    {0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 3, 5, 5, 6, 5, 3},
    {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 5, 5, 7, 6, 4},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 5, 5, 7, 6, 4},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 5, 5, 7, 6, 4},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 10, 10, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 10, 10, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 12, 11},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15, 13},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12},
};

EvalParameters makeDefaults() {
  EvalParameters p;
  constexpr int16_t moveSingle[16] = {0, 1, 2, 3, 3, 5, 5, 5, 9, 9, 9, 18, 16, 25, 100, 500};
  constexpr int16_t evalSingle[16] = {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 9, 9, 15, 72, 72};
  std::copy(std::begin(moveSingle), std::end(moveSingle), p.MoveSingle);
  std::copy(std::begin(evalSingle), std::end(evalSingle), p.EvalSingle);
  for (int lo = 0; lo < 16; ++lo)
    for (int hi = lo; hi < 16; ++hi) p.EvalPair[pairIndex(lo, hi)] = DefaultPairRows[lo][hi];
  return p;
}

void buildComboRanks() {
  std::fill(std::begin(ComboRankOfKey), std::end(ComboRankOfKey), -1);
  int rank = 0;
  for (int a = 0; a < 16; ++a)
    for (int b = a; b < 16; ++b)
      for (int c = b; c < 16; ++c)
        for (int d = c; d < 16; ++d) ComboRankOfKey[((a * 16 + b) * 16 + c) * 16 + d] = rank++;
}

// Combines single and pair weights over every class combination; sums wrap at 16 bits.
void combine(const EvalParameters& p, int16_t evalOut[ComboCount], int16_t moveOut[ComboCount]) {
  int rank = 0;
  for (int a = 0; a < 16; ++a)
    for (int b = a; b < 16; ++b)
      for (int c = b; c < 16; ++c)
        for (int d = c; d < 16; ++d) {
          auto sum = [&](const int16_t* single, const int16_t* pair) {
            uint16_t s = 0;
            for (int x : {a, b, c, d}) s = uint16_t(s + uint16_t(single[x]));
            const int pairs[6] = {pairIndex(a, b), pairIndex(a, c), pairIndex(a, d),
                                  pairIndex(b, c), pairIndex(b, d), pairIndex(c, d)};
            for (int i : pairs) s = uint16_t(s + uint16_t(pair[i]));
            return int16_t(s);
          };
          evalOut[rank] = sum(p.EvalSingle, p.EvalPair);
          moveOut[rank] = sum(p.MoveSingle, p.MovePair);
          ++rank;
        }
}

void installDefaultScores() {
  static int16_t defaultEval[ComboCount], defaultMove[ComboCount];
  static bool ready = false;
  if (!ready) {
    combine(defaultEvalParameters(), defaultEval, defaultMove);
    ready = true;
  }
  std::copy(std::begin(defaultEval), std::end(defaultEval), EvalScoreByCombo);
  std::copy(std::begin(defaultMove), std::end(defaultMove), MoveScoreByCombo);
}

// Reads the numbers in file order; true when all 305 were read. p is changed either way.
bool readParameters(const std::string& text, EvalParameters& p) {
  const char* cursor = text.c_str();
  long long value = 0;
  if (!scanDecimal(cursor, value)) return false;
  p.ForbiddenEval = truncateToInt32(value);
  int16_t* blocks[4] = {p.EvalSingle, p.MoveSingle, p.EvalPair, p.MovePair};
  const int sizes[4] = {16, 16, 136, 136};
  for (int block = 0; block < 4; ++block)
    for (int i = 0; i < sizes[block]; ++i) {
      if (!scanDecimal(cursor, value)) return false;
      blocks[block][i] = truncateToInt16(value);
    }
  return true;
}

bool codeOccurs(int code) { return code == 0 || DenseCode[code] != 0; }

// Numbers the multisets of four occurring codes (sorted tuples in lexicographic order) and maps
// every code key to its multiset's number.
void buildCodeMultisets() {
  static int16_t rankOfSorted[CodeKeyCount];
  int rank = 0;
  for (int a = 0; a < 12; ++a)
    for (int b = a; b < 12; ++b)
      for (int c = b; c < 12; ++c)
        for (int d = c; d < 12; ++d) rankOfSorted[((a * 12 + b) * 12 + c) * 12 + d] = int16_t(rank++);
  for (int key = 0; key < CodeKeyCount; ++key) {
    int v[4] = {key / 1728, key / 144 % 12, key / 12 % 12, key % 12};
    std::sort(v, v + 4);
    CodeMultisetOfKey[key] = uint16_t(rankOfSorted[((v[0] * 12 + v[1]) * 12 + v[2]) * 12 + v[3]]);
  }
}

void buildScoreAndClassTables() {
  const int ruleMode = RuleMode;
  int classNumber[LineCodeCount];
  for (int code = 0; code < LineCodeCount; ++code) classNumber[code] = scoringClassOf(code, ruleMode) - 2;
  const int16_t forbiddenEval = int16_t(uint16_t(uint32_t(EvalParams.ForbiddenEval) & 0xFFFF));
  for (int side = 0; side < 2; ++side) {
    int key = 0;
    for (int c0 = 0; c0 < LineCodeCount; ++c0)
      for (int c1 = 0; c1 < LineCodeCount; ++c1)
        for (int c2 = 0; c2 < LineCodeCount; ++c2)
          for (int c3 = 0; c3 < LineCodeCount; ++c3, ++key) {
            int v[4] = {classNumber[c0], classNumber[c1], classNumber[c2], classNumber[c3]};
            std::sort(v, v + 4);
            const int rank = ComboRankOfKey[((v[0] * 16 + v[1]) * 16 + v[2]) * 16 + v[3]];
            MoveScoreTable[side][key] = MoveScoreByCombo[rank];
            EvalScoreTable[side][key] = EvalScoreByCombo[rank];
            const int cls = cellClassOf(side, ruleMode, c0, c1, c2, c3);
            CellClassTable[side][key] = uint8_t(cls);
            if (side == Black && cls <= ClassBlackLongLine) {
              MoveScoreTable[0][key] = ForbiddenMoveScore;
              EvalScoreTable[0][key] = forbiddenEval;
            }
            const uint8_t codes[4] = {uint8_t(c0), uint8_t(c1), uint8_t(c2), uint8_t(c3)};
            if (codeOccurs(c0) && codeOccurs(c1) && codeOccurs(c2) && codeOccurs(c3))
              CellScoreByMultiset[side][CodeMultisetOfKey[codeKeyOf(codes)]] = {
                  MoveScoreTable[side][key], EvalScoreTable[side][key], uint8_t(cls), {}};
          }
  }
}

void buildLineCodeTable() {
  static uint8_t levels[WindowCount];
  for (unsigned mask = 0; mask < 1024; ++mask) TernaryOfMask[mask] = uint16_t(windowOfMasks(mask, 0));
  for (int side = 0; side < 2; ++side) {
    computeWindowLevels(side, RuleMode, levels);
    for (int w = 0; w < WindowCount; ++w) LineCodeByWindow[side][w] = uint8_t(lineCodeOfLevel(levels[w]));
  }
}

void buildAllTables() {
  buildComboRanks();
  buildCodeMultisets();
  buildScoreAndClassTables();
  buildLineCodeTable();
}

}  // namespace

const EvalParameters& defaultEvalParameters() {
  static const EvalParameters defaults = makeDefaults();
  return defaults;
}

FileRead loadEvalFile(const std::string& path) {
  // Whether combined scores are in force yet: before the first read of the process they are not.
  static bool scoresInForce = false;
  std::string text;
  FileRead result = readTextFile(path, text);
  EvalParameters read = EvalParams;
  if (result == FileRead::Read && !readParameters(text, read)) result = FileRead::Failed;
  buildComboRanks();
  if (result == FileRead::Read) {
    EvalParams = read;
    combine(EvalParams, EvalScoreByCombo, MoveScoreByCombo);
  } else if (result == FileRead::Missing || !scoresInForce) {
    installDefaultScores();
  }
  scoresInForce = true;
  return result;
}

FileRead buildEvalTables(const std::string& exeDirectory) {
  const FileRead result = loadEvalFile(exeDirectory + "AIEval.txt");
  buildAllTables();
  return result;
}

FileRead buildEvalTablesFromFile(const std::string& path) {
  const FileRead result = loadEvalFile(path);
  buildAllTables();
  return result;
}

std::string formatEvalFile(const EvalParameters& p) {
  std::ostringstream out;
  auto row = [&](const int16_t* values, int count) {
    for (int i = 0; i < count; ++i) out << values[i] << (i + 1 == count ? "\n" : " ");
  };
  out << p.ForbiddenEval << "\n\n";
  row(p.EvalSingle, 16);
  out << "\n";
  row(p.MoveSingle, 16);
  out << "\n";
  for (int lo = 0; lo < 16; ++lo) row(p.EvalPair + pairIndex(lo, lo), 16 - lo);
  out << "\n";
  for (int lo = 0; lo < 16; ++lo) row(p.MovePair + pairIndex(lo, lo), 16 - lo);
  return out.str();
}

}  // namespace kesta
