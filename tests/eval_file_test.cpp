// The evaluation file AIEval.txt and the score tables combined from it: default weights, the
// reading rules (a byte-order mark; short, empty, malformed and oversized files), 16-bit
// arithmetic, the rule-dependent scores, and the developer tool's default-eval and tables output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "core/types.h"
#include "eval/eval_tables.h"
#include "rules/rule_tables.h"
#include "support/processes.h"
#include "support/temp_dir.h"

namespace {

using kesta::Black;
using kesta::ComboRankOfKey;
using kesta::FileRead;
using kesta::pairIndex;
using kesta::patternKey;
using kesta::PatternKeyCount;
using kesta::White;

constexpr int Rules[3] = {kesta::Freestyle, kesta::ExactFiveRule, kesta::RenjuRule};

const char* ruleName(int rule) {
  return rule == kesta::Freestyle ? "freestyle" : rule == kesta::ExactFiveRule ? "exact5" : "renju";
}

using kesta_test::TempDir;

// The weights in force and the tables of the last build, as an Engine keeps them.
kesta::EvalParameters EvalParams;
std::shared_ptr<const kesta::PatternTables> InForce;

FileRead loadEvalFile(const std::string& path) {
  return kesta::loadEvalFile(path, EvalParams);
}

// The combined scores of the weights in force.
const kesta::ComboScores& combined() {
  static kesta::ComboScores scores;
  kesta::combineScores(EvalParams, scores);
  return scores;
}

// The 305 parameters in file order.
std::vector<long long> fileOrder(const kesta::EvalParameters& p) {
  std::vector<long long> v{p.ForbiddenEval};
  v.insert(v.end(), std::begin(p.EvalSingle), std::end(p.EvalSingle));
  v.insert(v.end(), std::begin(p.MoveSingle), std::end(p.MoveSingle));
  v.insert(v.end(), std::begin(p.EvalPair), std::end(p.EvalPair));
  v.insert(v.end(), std::begin(p.MovePair), std::end(p.MovePair));
  return v;
}

// Numbers joined by a rotating mix of white space.
std::string fileText(const std::vector<long long>& numbers) {
  static const char* const Gaps[] = {" ", "\t", "\n", "\r\n", "  \t\n\n"};
  std::string text;
  for (size_t i = 0; i < numbers.size(); ++i) text += std::to_string(numbers[i]) + Gaps[i % 5];
  return text;
}

// File positions 1..305 (1-based, as the parameters are counted).
constexpr int ForbiddenEvalAt = 1;
constexpr int evalSingleAt(int i) {
  return 2 + i;
}
constexpr int moveSingleAt(int i) {
  return 18 + i;
}
constexpr int evalPairAt(int i) {
  return 34 + i;
}
constexpr int movePairAt(int i) {
  return 170 + i;
}

// A full file of distinct small values.
std::vector<long long> sampleNumbers() {
  std::vector<long long> v;
  for (int i = 1; i <= 305; ++i) v.push_back((i * 37) % 1000 - 500);
  return v;
}

// Numbers with every parameter 0 but the given (position, value) ones.
std::vector<long long> onlyNumbers(std::initializer_list<std::pair<int, long long>> set) {
  std::vector<long long> v(305, 0);
  for (const auto& [position, value] : set) v[size_t(position - 1)] = value;
  return v;
}

// Combined (evaluation, ordering) weight of four directions given as scoring classes 2..17.
std::pair<int, int> comboScores(int a, int b, int c, int d) {
  int v[4] = {a - 2, b - 2, c - 2, d - 2};
  std::sort(v, v + 4);
  const int rank = ComboRankOfKey[((v[0] * 16 + v[1]) * 16 + v[2]) * 16 + v[3]];
  if (rank < 0 || rank >= kesta::ComboCount) {
    ADD_FAILURE() << "no rank for " << a << "," << b << "," << c << "," << d;
    return {-1, -1};
  }
  return {combined().eval[rank], combined().move[rank]};
}

// (evalScore, moveScore) of one side's table entry for four line codes.
std::pair<int, int> cellScores(int side, int c0, int c1, int c2, int c3) {
  const int key = patternKey(c0, c1, c2, c3);
  return {InForce->evalScore[side][key], InForce->moveScore[side][key]};
}

int cellClass(int side, int c0, int c1, int c2, int c3) {
  return InForce->cellClass[side][patternKey(c0, c1, c2, c3)];
}

void build(int rule, const TempDir& dir) {
  loadEvalFile(dir.evalFile());
  InForce = kesta::patternTables(kesta::Rule(rule), EvalParams);
}

struct Combos {
  std::vector<int16_t> eval, move;
  static Combos take() {
    const kesta::ComboScores& c = combined();
    return {{std::begin(c.eval), std::end(c.eval)}, {std::begin(c.move), std::end(c.move)}};
  }
};

// The line code of every (own, opponent) mask pair, side 0 then side 1, as line_code.bin holds them.
std::vector<uint8_t> flatLineCodes() {
  std::vector<uint8_t> codes;
  codes.reserve(size_t(2) << 20);
  for (int side = 0; side < 2; ++side)
    for (unsigned own = 0; own < 1024; ++own)
      for (unsigned opponent = 0; opponent < 1024; ++opponent)
        codes.push_back(InForce->lineCodeOf(side, own, opponent));
  return codes;
}

struct Tables {
  std::vector<uint8_t> lineCode, cellClass;
  std::vector<int16_t> evalScore, moveScore;
  static Tables take() {
    Tables t;
    t.lineCode = flatLineCodes();
    t.cellClass.assign(&InForce->cellClass[0][0], &InForce->cellClass[0][0] + 2 * PatternKeyCount);
    t.evalScore.assign(&InForce->evalScore[0][0], &InForce->evalScore[0][0] + 2 * PatternKeyCount);
    t.moveScore.assign(&InForce->moveScore[0][0], &InForce->moveScore[0][0] + 2 * PatternKeyCount);
    return t;
  }
};

[[maybe_unused]] void expectSameTables(const Tables& a, const Tables& b, const std::string& what) {
  EXPECT_TRUE(a.lineCode == b.lineCode) << "line codes differ: " << what;
  EXPECT_TRUE(a.cellClass == b.cellClass) << "cell classes differ: " << what;
  EXPECT_TRUE(a.evalScore == b.evalScore) << "evaluation scores differ: " << what;
  EXPECT_TRUE(a.moveScore == b.moveScore) << "move scores differ: " << what;
}

TEST(EvalFile, NoFileGivesTheDefaultWeights) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  EXPECT_EQ(loadEvalFile(dir.evalFile()), FileRead::Missing);
  build(kesta::Freestyle, dir);

  EXPECT_EQ(comboScores(2, 2, 2, 2), std::make_pair(0, 0));
  EXPECT_EQ(comboScores(13, 2, 2, 2), std::make_pair(9, 18));
  EXPECT_EQ(comboScores(15, 2, 2, 2), std::make_pair(15, 25));
  EXPECT_EQ(comboScores(16, 2, 2, 2), std::make_pair(72, 100));
  EXPECT_EQ(comboScores(17, 2, 2, 2), std::make_pair(72, 500));
  EXPECT_EQ(comboScores(13, 13, 2, 2), std::make_pair(26, 36));
  EXPECT_EQ(comboScores(15, 13, 2, 2), std::make_pair(34, 43));
  EXPECT_EQ(comboScores(16, 16, 2, 2), std::make_pair(159, 200));
  EXPECT_EQ(comboScores(16, 16, 16, 16), std::make_pair(378, 400));
  EXPECT_EQ(comboScores(17, 17, 17, 17), std::make_pair(360, 2000));

  // Every default weight lies in 0..2000; the two extremes above are the largest.
  const auto [minEval, maxEval] = std::minmax_element(std::begin(combined().eval), std::end(combined().eval));
  const auto [minMove, maxMove] = std::minmax_element(std::begin(combined().move), std::end(combined().move));
  EXPECT_EQ(*minEval, 0);
  EXPECT_EQ(*maxEval, 378);
  EXPECT_EQ(*minMove, 0);
  EXPECT_EQ(*maxMove, 2000);

  // A cell with one open four and nothing else, and an empty-handed cell, for both sides.
  for (int side : {Black, White}) {
    EXPECT_EQ(cellScores(side, 16, 2, 2, 2), std::make_pair(72, 100));
    EXPECT_EQ(cellScores(side, 2, 2, 16, 2), std::make_pair(72, 100));
    EXPECT_EQ(cellScores(side, 2, 2, 2, 2), std::make_pair(0, 0));
  }

  // A missing file puts the built-in weights in force.
  EXPECT_EQ(fileOrder(EvalParams), fileOrder(kesta::defaultEvalParameters()));
}

// The built-in weights by scoring class 2..17: single weights, and the evaluation weight of each
// pair of classes (row = lower class, columns from the row's own class up to 17). The ordering
// weights of pairs are all 0.
constexpr int DefaultEvalSingles[16] = {0, 0, 0, 0, 0, 0, 0, 0, 3, 3, 3, 9, 9, 15, 72, 72};
constexpr int DefaultMoveSingles[16] = {0, 1, 2, 3, 3, 5, 5, 5, 9, 9, 9, 18, 16, 25, 100, 500};
constexpr const char* DefaultEvalPairs = R"(
   2:  0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0
   3:    0 0 0 0 1 1 1 1 1 1 3 3 4 1 0
   4:      0 0 0 1 1 1 1 1 1 3 3 4 1 0
   5:        1 1 2 2 2 2 2 2 4 4 5 3 2
   6:          1 2 2 2 2 2 2 4 4 5 3 2
   7:            3 3 3 3 3 3 5 5 6 5 3
   8:              3 3 3 3 3 5 5 6 5 3
   9:                3 3 3 3 5 5 6 5 3
  10:                  3 3 3 5 5 7 6 4
  11:                    3 3 5 5 7 6 4
  12:                      3 5 5 7 6 4
  13:                        8 8 10 10 8
  14:                          8 10 10 8
  15:                            11 12 11
  16:                               15 13
  17:                                  12
)";

// With every pair involving class 2 at 0, a cell x,2,2,2 scores the single weight of x, and a
// cell x,y,2,2 the two single weights plus the pair weight of x and y.
TEST(EvalFile, DefaultWeightsAsTabulated) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  build(kesta::Freestyle, dir);
  for (int x = 2; x < 18; ++x)
    EXPECT_EQ(comboScores(x, 2, 2, 2), std::make_pair(DefaultEvalSingles[x - 2], DefaultMoveSingles[x - 2]))
        << "class " << x;
  std::istringstream rows(DefaultEvalPairs);
  int lo = 0;
  char colon = 0;
  int rowsRead = 0;
  while (rows >> lo >> colon) {
    ++rowsRead;
    for (int hi = lo; hi < 18; ++hi) {
      int pair = -1;
      ASSERT_TRUE(rows >> pair) << "row " << lo;
      const auto both = comboScores(lo, hi, 2, 2);
      EXPECT_EQ(both.first - DefaultEvalSingles[lo - 2] - DefaultEvalSingles[hi - 2], pair)
          << "classes " << lo << "," << hi;
      EXPECT_EQ(both.second, DefaultMoveSingles[lo - 2] + DefaultMoveSingles[hi - 2])
          << "classes " << lo << "," << hi;
    }
  }
  EXPECT_EQ(rowsRead, 16);
}

TEST(EvalFile, ComboRanksNumberTheSortedTuplesInOrder) {
  TempDir dir;
  build(kesta::Freestyle, dir);
  EXPECT_EQ(ComboRankOfKey[0], 0);
  EXPECT_EQ(ComboRankOfKey[1], 1);
  EXPECT_EQ(ComboRankOfKey[0xFFFF], 3875);
  EXPECT_EQ(ComboRankOfKey[0x1000], -1);  // (1,0,0,0) is not sorted
  EXPECT_EQ(ComboRankOfKey[0x0010], -1);  // (0,0,1,0)
  // Keys of sorted tuples increase with the tuple's lexicographic order, so their ranks must
  // count up 0, 1, 2, ... as the key grows.
  int next = 0;
  for (int key = 0; key < 65536; ++key) {
    const int a = key >> 12, b = key >> 8 & 15, c = key >> 4 & 15, d = key & 15;
    const bool sorted = a <= b && b <= c && c <= d;
    if (sorted)
      ASSERT_EQ(ComboRankOfKey[key], next++) << "key " << key;
    else
      ASSERT_EQ(ComboRankOfKey[key], -1) << "key " << key;
  }
  EXPECT_EQ(next, kesta::ComboCount);
}

TEST(EvalFile, ByteOrderMarkIsSkipped) {
  TempDir dir;
  EvalParams = kesta::defaultEvalParameters();
  const std::vector<long long> numbers = sampleNumbers();
  dir.writeEvalFile("\xEF\xBB\xBF" + fileText(numbers));
  EXPECT_EQ(loadEvalFile(dir.evalFile()), FileRead::Read);
  EXPECT_EQ(fileOrder(EvalParams), numbers);
}

// A file that exists but does not give 305 numbers changes nothing: the weights in force stay,
// whole (the built-in ones at the first read of a brain, which says so on a MESSAGE line: see
// the brain's own tests).
TEST(EvalFile, UnreadableFileKeepsTheWeightsInForce) {
  TempDir dir;
  const std::vector<long long> first = sampleNumbers();
  dir.writeEvalFile(fileText(first));
  build(kesta::RenjuRule, dir);
  ASSERT_EQ(fileOrder(EvalParams), first);
  const Tables before = Tables::take();

  std::string wordAt20;
  for (int i = 1; i <= 305; ++i) wordAt20 += i == 20 ? "word " : std::to_string(1000 + i) + " ";
  const std::string cases[] = {"",
                               "  \n\n",
                               fileText({7, -8, 9, 10, 11, 12, 13, 14, 15, 16}),
                               wordAt20,
                               "\xEF\xBB\xBF\xEF\xBB\xBF" + fileText(first),
                               "\xEF\xBB" + fileText(first)};
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 40));
    dir.writeEvalFile(text);
    EXPECT_EQ(loadEvalFile(dir.evalFile()), FileRead::Failed);
    EXPECT_EQ(fileOrder(EvalParams), first);
    build(kesta::RenjuRule, dir);
    expectSameTables(Tables::take(), before, "after a failed read");
  }
  // A folder in the file's place cannot be read either.
  std::filesystem::remove(dir.evalFile());
  std::filesystem::create_directory(dir.evalFile());
  EXPECT_EQ(loadEvalFile(dir.evalFile()), FileRead::Failed);
  EXPECT_EQ(fileOrder(EvalParams), first);
}

TEST(EvalFile, NumbersAfterThe305thAreIgnored) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  const std::vector<long long> numbers = sampleNumbers();
  dir.writeEvalFile(fileText(numbers));
  build(kesta::Freestyle, dir);
  const Combos exact = Combos::take();

  EvalParams = kesta::EvalParameters{};
  dir.writeEvalFile(fileText(numbers) + " 1 2 3 word 4 -5\n");
  build(kesta::Freestyle, dir);
  EXPECT_EQ(fileOrder(EvalParams), numbers);
  EXPECT_EQ(Combos::take().eval, exact.eval);
  EXPECT_EQ(Combos::take().move, exact.move);
}

TEST(EvalFile, OutOfRangeNumbersKeepTheirLow16Bits) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  dir.writeEvalFile(fileText(onlyNumbers({{ForbiddenEvalAt, 70000},
                                          {evalSingleAt(0), 70000},
                                          {evalSingleAt(1), -70000},
                                          {evalSingleAt(2), 32768},
                                          {evalSingleAt(3), 65535},
                                          {movePairAt(135), -32769}})) +
                    " ");
  build(kesta::RenjuRule, dir);
  EXPECT_EQ(EvalParams.ForbiddenEval, 70000);
  EXPECT_EQ(EvalParams.EvalSingle[0], 4464);
  EXPECT_EQ(EvalParams.EvalSingle[1], -4464);
  EXPECT_EQ(EvalParams.EvalSingle[2], -32768);
  EXPECT_EQ(EvalParams.EvalSingle[3], -1);
  EXPECT_EQ(EvalParams.MovePair[135], 32767);
  // The forbidden evaluation takes the low 16 bits of ForbiddenEval: Black's overline cell.
  EXPECT_EQ(cellClass(Black, 0, 2, 2, 2), 2);
  EXPECT_EQ(cellScores(Black, 0, 2, 2, 2), std::make_pair(4464, -29000));
}

TEST(EvalFile, SignsAndWhiteSpaceMix) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  dir.writeEvalFile("\n\t -3\r\n+4   \t\t\n-0 +0012\t" + fileText(std::vector<long long>(301, 0)));
  EXPECT_EQ(loadEvalFile(dir.evalFile()), FileRead::Read);
  EXPECT_EQ(EvalParams.ForbiddenEval, -3);
  EXPECT_EQ(EvalParams.EvalSingle[0], 4);
  EXPECT_EQ(EvalParams.EvalSingle[1], 0);
  EXPECT_EQ(EvalParams.EvalSingle[2], 12);
  EXPECT_EQ(EvalParams.EvalSingle[3], 0);
}

TEST(EvalFile, SingleAndPairWeightsCombine) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  dir.writeEvalFile(fileText(onlyNumbers({{evalSingleAt(15), 100}})));
  build(kesta::Freestyle, dir);
  EXPECT_EQ(comboScores(17, 2, 2, 2), std::make_pair(100, 0));
  EXPECT_EQ(comboScores(17, 17, 17, 17), std::make_pair(400, 0));
  EXPECT_EQ(comboScores(16, 2, 2, 2), std::make_pair(0, 0));
  for (int side : {Black, White}) {
    EXPECT_EQ(cellScores(side, 2, 17, 2, 2), std::make_pair(100, 0));
    EXPECT_EQ(cellScores(side, 0, 2, 2, 2), std::make_pair(100, 0));  // a long line is five in freestyle
  }

  dir.writeEvalFile(fileText(onlyNumbers({{evalPairAt(pairIndex(15, 15)), 1}})));
  build(kesta::Freestyle, dir);
  EXPECT_EQ(comboScores(17, 17, 17, 17), std::make_pair(6, 0));
  EXPECT_EQ(comboScores(17, 17, 17, 2), std::make_pair(3, 0));
  EXPECT_EQ(comboScores(17, 17, 2, 2), std::make_pair(1, 0));
  EXPECT_EQ(comboScores(17, 2, 2, 2), std::make_pair(0, 0));

  // The ordering blocks sit after the evaluation blocks.
  dir.writeEvalFile(fileText(onlyNumbers({{moveSingleAt(3), 1}, {movePairAt(pairIndex(2, 9)), 10}})));
  build(kesta::Freestyle, dir);
  EXPECT_EQ(comboScores(5, 2, 2, 2), std::make_pair(0, 1));
  EXPECT_EQ(comboScores(4, 11, 2, 2), std::make_pair(0, 10));
  EXPECT_EQ(comboScores(5, 4, 11, 2), std::make_pair(0, 11));
  EXPECT_EQ(comboScores(5, 5, 4, 11), std::make_pair(0, 12));

  // Sums wrap at 16 bits.
  dir.writeEvalFile(fileText(onlyNumbers({{evalSingleAt(15), 20000}})));
  build(kesta::Freestyle, dir);
  EXPECT_EQ(comboScores(17, 17, 2, 2).first, 40000 - 65536);
  EXPECT_EQ(comboScores(17, 17, 17, 17).first, 80000 - 65536);
}

TEST(EvalFile, LongLineScoresByRule) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  EvalParams.ForbiddenEval = -1234;

  // Exact five: a long line counts as nothing; for Black alone it is forbidden unless there is more.
  build(kesta::ExactFiveRule, dir);
  EXPECT_EQ(cellClass(White, 0, 2, 2, 2), 3);
  EXPECT_EQ(cellScores(White, 0, 2, 2, 2), cellScores(White, 2, 2, 2, 2));
  EXPECT_EQ(cellScores(White, 0, 2, 2, 2), std::make_pair(0, 0));
  EXPECT_EQ(cellClass(Black, 0, 2, 2, 2), 2);
  EXPECT_EQ(cellScores(Black, 0, 2, 2, 2), std::make_pair(-1234, -29000));
  for (int side : {Black, White}) {
    EXPECT_EQ(cellClass(side, 0, 13, 2, 2), 6);
    EXPECT_EQ(cellScores(side, 0, 13, 2, 2), std::make_pair(9, 18));
  }

  // Freestyle and renju: a long line scores as a five.
  for (int rule : {kesta::Freestyle, kesta::RenjuRule}) {
    build(rule, dir);
    EXPECT_EQ(cellClass(White, 0, 2, 2, 2), rule == kesta::Freestyle ? 13 : 3) << ruleName(rule);
    EXPECT_EQ(cellScores(White, 0, 2, 2, 2), std::make_pair(72, 500)) << ruleName(rule);
  }
  EXPECT_EQ(cellClass(Black, 0, 2, 2, 2), 2);
  EXPECT_EQ(cellScores(Black, 0, 2, 2, 2), std::make_pair(-1234, -29000));
}

TEST(EvalFile, RenjuRebuildMakesBlacksDoubleFourForbidden) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  std::vector<long long> numbers = fileOrder(kesta::defaultEvalParameters());
  numbers[0] = -1234;
  dir.writeEvalFile(fileText(numbers));

  build(kesta::Freestyle, dir);
  const auto twoFours = comboScores(15, 15, 2, 2);
  for (int side : {Black, White}) {
    EXPECT_EQ(cellClass(side, 2, 1, 2, 2), 12);
    EXPECT_EQ(cellScores(side, 2, 1, 2, 2), std::make_pair(72, 100));
    EXPECT_EQ(cellClass(side, 15, 2, 15, 2), 12);
    EXPECT_EQ(cellScores(side, 15, 2, 15, 2), twoFours);
  }

  build(kesta::RenjuRule, dir);
  EXPECT_EQ(cellClass(Black, 2, 1, 2, 2), 1);
  EXPECT_EQ(cellScores(Black, 2, 1, 2, 2), std::make_pair(-1234, -29000));
  EXPECT_EQ(cellClass(Black, 15, 2, 15, 2), 1);
  EXPECT_EQ(cellScores(Black, 15, 2, 15, 2), std::make_pair(-1234, -29000));
  EXPECT_EQ(cellClass(White, 15, 2, 15, 2), 12);
  EXPECT_EQ(cellScores(White, 15, 2, 15, 2), twoFours);
  EXPECT_EQ(cellClass(White, 2, 1, 2, 2), 12);
  EXPECT_EQ(cellScores(White, 2, 1, 2, 2), std::make_pair(72, 100));
}

TEST(EvalFile, SidesDifferOnlyAtBlacksForbiddenEntries) {
  TempDir dir;
  EvalParams = kesta::EvalParameters{};
  dir.writeEvalFile(fileText(sampleNumbers()));
  for (int rule : Rules) {
    build(rule, dir);
    int forbidden = 0, differ = 0, whiteForbidden = 0;
    for (int key = 0; key < PatternKeyCount; ++key) {
      whiteForbidden += InForce->cellClass[White][key] <= 2;
      if (InForce->cellClass[Black][key] <= 2) {
        ++forbidden;
        continue;
      }
      if (InForce->evalScore[Black][key] != InForce->evalScore[White][key] ||
          InForce->moveScore[Black][key] != InForce->moveScore[White][key])
        ++differ;
    }
    EXPECT_EQ(differ, 0) << ruleName(rule);
    EXPECT_EQ(whiteForbidden, 0) << ruleName(rule);
    EXPECT_EQ(forbidden > 0, rule != kesta::Freestyle) << ruleName(rule);
  }
}

TEST(EvalFile, LosingTheFileKeepsForbiddenEval) {
  TempDir withFile("file"), without("none");
  EvalParams = kesta::EvalParameters{};
  build(kesta::RenjuRule, without);
  const Combos defaults = Combos::take();

  std::vector<long long> numbers = sampleNumbers();
  numbers[0] = 555;
  withFile.writeEvalFile(fileText(numbers));
  build(kesta::RenjuRule, withFile);
  build(kesta::RenjuRule, without);
  EXPECT_EQ(Combos::take().eval, defaults.eval);
  EXPECT_EQ(Combos::take().move, defaults.move);
  EXPECT_EQ(EvalParams.ForbiddenEval, 555);
  EXPECT_EQ(cellScores(Black, 0, 2, 2, 2), std::make_pair(555, -29000));
  EXPECT_EQ(cellScores(Black, 16, 2, 2, 2), std::make_pair(72, 100));
}

#ifndef _WIN32

// kesta-tool's exit status for the arguments.
int toolStatus(const std::string& arguments) {
  int status = -1;
  kesta_test::runTool(arguments, &status);
  return status;
}

std::string shellQuoted(const std::filesystem::path& p) {
  return std::string("'") + p.string() + "'";
}

std::vector<unsigned char> readBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Number of little-endian int16 entries in bytes that differ from table.
int int16Mismatches(const std::vector<unsigned char>& bytes, const int16_t* table, size_t count) {
  if (bytes.size() != 2 * count) return -1;
  int bad = 0;
  for (size_t i = 0; i < count; ++i) {
    const auto value = int16_t(uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8));
    bad += value != table[i];
  }
  return bad;
}

void expectFilesMatchTables(const std::filesystem::path& out, const std::string& what) {
  const auto lineCode = readBytes(out / "line_code.bin");
  const auto cellClassBytes = readBytes(out / "cell_class.bin");
  ASSERT_EQ(lineCode.size(), size_t(2) * 1048576) << what;
  ASSERT_EQ(cellClassBytes.size(), size_t(2) * 104976) << what;
  const std::vector<uint8_t> flat = flatLineCodes();
  EXPECT_EQ(std::memcmp(lineCode.data(), flat.data(), lineCode.size()), 0) << what;
  EXPECT_EQ(std::memcmp(cellClassBytes.data(), &InForce->cellClass[0][0], cellClassBytes.size()), 0) << what;
  EXPECT_EQ(int16Mismatches(readBytes(out / "eval_score.bin"), &InForce->evalScore[0][0], 2 * 104976), 0)
      << what;
  EXPECT_EQ(int16Mismatches(readBytes(out / "move_score.bin"), &InForce->moveScore[0][0], 2 * 104976), 0)
      << what;
}

TEST(EvalFileTool, DefaultEvalReadsBackAsTheDefaults) {
  TempDir withFile("file"), without("none");
  ASSERT_EQ(toolStatus(std::string("default-eval > ") + shellQuoted(withFile.path() / "AIEval.txt")), 0);
  for (int rule : Rules) {
    EvalParams = kesta::EvalParameters{};
    build(rule, without);
    const Combos defaultCombos = Combos::take();
    const Tables defaults = Tables::take();

    EvalParams = kesta::EvalParameters{};
    ASSERT_EQ(loadEvalFile(withFile.evalFile()), FileRead::Read);
    EXPECT_EQ(fileOrder(EvalParams), fileOrder(kesta::defaultEvalParameters()));
    EXPECT_EQ(Combos::take().eval, defaultCombos.eval);
    EXPECT_EQ(Combos::take().move, defaultCombos.move);
    build(rule, withFile);
    expectSameTables(Tables::take(), defaults, ruleName(rule));
  }
}

TEST(EvalFileTool, TablesFilesEqualTheInProcessTables) {
  TempDir dir;
  std::vector<long long> numbers = fileOrder(kesta::defaultEvalParameters());
  numbers[0] = -777;
  numbers[size_t(evalSingleAt(3) - 1)] = 11;
  numbers[size_t(movePairAt(pairIndex(4, 9)) - 1)] = 3;
  dir.writeEvalFile(fileText(numbers));
  for (const char* rule : {"freestyle", "exact5", "renju"}) {
    const std::filesystem::path out = dir.path() / rule;
    ASSERT_EQ(toolStatus(std::string("tables --rule ") + rule + " --out " + shellQuoted(out) + " --eval " +
                         shellQuoted(dir.evalFile())),
              0)
        << rule;
    EvalParams = kesta::EvalParameters{};
    build(rule[0] == 'f' ? kesta::Freestyle : rule[0] == 'e' ? kesta::ExactFiveRule : kesta::RenjuRule, dir);
    expectFilesMatchTables(out, rule);
  }

  // Without --eval the tool reads AIEval.txt next to itself, like the brain.
  if (!kesta_test::toolHasOwnTextFiles()) {
    TempDir none("none");
    const std::filesystem::path out = dir.path() / "defaults";
    ASSERT_EQ(toolStatus(std::string("tables --rule renju --out ") + shellQuoted(out)), 0);
    EvalParams = kesta::EvalParameters{};
    build(kesta::RenjuRule, none);
    expectFilesMatchTables(out, "renju without --eval");
  }
}

TEST(EvalFileTool, BadTablesArgumentsFail) {
  TempDir dir;
  const std::string out = shellQuoted(dir.path() / "out");
  EXPECT_NE(toolStatus(std::string("tables --rule renju --out ") + out + " --eval " +
                       shellQuoted(dir.path() / "missing.txt") + " 2>/dev/null"),
            0);
  EXPECT_NE(toolStatus(std::string("tables --rule gomoku --out ") + out + " 2>/dev/null"), 0);
  EXPECT_NE(toolStatus("tables --rule renju 2>/dev/null"), 0);
}

#endif  // _WIN32

}  // namespace
