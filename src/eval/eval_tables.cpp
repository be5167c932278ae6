#include "eval/eval_tables.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <sstream>

#include "core/number_scan.h"

namespace kesta {

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

}  // namespace

// Combines single and pair weights over every class combination; sums wrap at 16 bits.
void combineScores(const EvalParameters& p, ComboScores& out) {
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
          out.eval[rank] = sum(p.EvalSingle, p.EvalPair);
          out.move[rank] = sum(p.MoveSingle, p.MovePair);
          ++rank;
        }
}

namespace {

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

bool codeOccurs(int code) {
  return code == CodeLongLine || DenseCode[code] != 0;
}

}  // namespace

const EvalParameters& defaultEvalParameters() {
  static const EvalParameters defaults = makeDefaults();
  return defaults;
}

FileRead loadEvalFile(const std::string& path, EvalParameters& params) {
  std::string text;
  FileRead result = readTextFile(path, text);
  EvalParameters read = params;
  if (result == FileRead::Read && !readParameters(text, read)) result = FileRead::Failed;
  if (result == FileRead::Read) params = read;
  if (result == FileRead::Missing) {
    // The built-in weights, with the forbidden-cell value of the weights in force: a brain whose
    // file goes away between two reads has always kept that value.
    const int32_t forbiddenEval = params.ForbiddenEval;
    params = defaultEvalParameters();
    params.ForbiddenEval = forbiddenEval;
  }
  return result;
}

void fillScoreTables(PatternTables& t, const EvalParameters& p, const int scoringClass[LineCodeCount]) {
  t.params = p;
  auto combo = std::make_unique<ComboScores>();
  combineScores(p, *combo);
  int classNumber[LineCodeCount];
  for (int code = 0; code < LineCodeCount; ++code) classNumber[code] = scoringClass[code] - 2;
  const int16_t forbiddenEval = int16_t(uint16_t(uint32_t(p.ForbiddenEval) & 0xFFFF));
  for (int side = 0; side < 2; ++side) {
    int key = 0;
    for (int c0 = 0; c0 < LineCodeCount; ++c0)
      for (int c1 = 0; c1 < LineCodeCount; ++c1)
        for (int c2 = 0; c2 < LineCodeCount; ++c2)
          for (int c3 = 0; c3 < LineCodeCount; ++c3, ++key) {
            int v[4] = {classNumber[c0], classNumber[c1], classNumber[c2], classNumber[c3]};
            std::sort(v, v + 4);
            const int rank = ComboRankOfKey[size_t(((v[0] * 16 + v[1]) * 16 + v[2]) * 16 + v[3])];
            const int cls = t.cellClass[side][key];
            const bool forbidden = side == Black && cls <= ClassBlackLongLine;
            t.moveScore[side][key] = forbidden ? ForbiddenMoveScore : combo->move[rank];
            t.evalScore[side][key] = forbidden ? forbiddenEval : combo->eval[rank];
            const uint8_t codes[4] = {uint8_t(c0), uint8_t(c1), uint8_t(c2), uint8_t(c3)};
            if (codeOccurs(c0) && codeOccurs(c1) && codeOccurs(c2) && codeOccurs(c3))
              t.cellScoreByMultiset[side][CodeMultisetOfKey[codeKeyOf(codes)]] = {
                  t.moveScore[side][key], t.evalScore[side][key], uint8_t(cls), {}};
          }
  }
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
