// Line codes of hand-drawn windows, the double-four shapes, and the cell-class rule, read from the
// built tables for every rule and both sides.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "core/types.h"
#include "eval/eval_tables.h"
#include "rules/patterns.h"
#include "rules/rule_tables.h"
#include "support/temp_dir.h"

namespace {

using kesta::Black;
using kesta::patternKey;
using kesta::White;

constexpr int Rules[3] = {kesta::Freestyle, kesta::ExactFiveRule, kesta::RenjuRule};

const char* ruleName(int rule) {
  return rule == kesta::Freestyle ? "freestyle" : rule == kesta::ExactFiveRule ? "exact5" : "renju";
}

using kesta_test::TempDir;

// The tables the tests below read: those of the last buildTables.
std::shared_ptr<const kesta::PatternTables> tables;

// Tables for rule from the built-in weights.
void buildTables(int rule, const TempDir&) {
  tables = kesta::defaultPatternTables(kesta::Rule(rule));
}

struct Masks {
  unsigned own = 0;
  unsigned opponent = 0;
};

// Window text from p = -5 to +5: 'X' own stone, 'O' opponent stone, '#' Wall, '_' empty, 'C' the
// centre. Bits 9..5 hold p = -5..-1 and bits 4..0 hold p = +1..+5; a Wall is set in both masks.
Masks masksOf(std::string_view window) {
  EXPECT_EQ(window.size(), 11u) << window;
  EXPECT_EQ(window[5], 'C') << window;
  Masks m;
  for (size_t i = 0; i < 11 && i < window.size(); ++i) {
    if (i == 5) continue;
    const unsigned bit = 1u << (i < 5 ? 9 - i : 10 - i);
    switch (window[i]) {
      case 'X':
        m.own |= bit;
        break;
      case 'O':
        m.opponent |= bit;
        break;
      case '#':
        m.own |= bit;
        m.opponent |= bit;
        break;
      case '_':
        break;
      default:
        ADD_FAILURE() << "bad window cell '" << window[i] << "' in " << window;
    }
  }
  return m;
}

int lineCode(int side, std::string_view window) {
  const Masks m = masksOf(window);
  return tables->lineCodeOf(side, m.own, m.opponent);
}

std::string mirrored(std::string_view window) {
  return std::string(window.rbegin(), window.rend());
}

TEST(PatternWindows, WindowTextFollowsTheLineBitNumbering) {
  EXPECT_EQ(masksOf("X____C_____").own, 1u << 9);
  EXPECT_EQ(masksOf("____XC_____").own, 1u << 5);
  EXPECT_EQ(masksOf("_____CX____").own, 1u << 4);
  EXPECT_EQ(masksOf("_____C____X").own, 1u << 0);
  const Masks wall = masksOf("#____C____O");
  EXPECT_EQ(wall.own, 1u << 9);
  EXPECT_EQ(wall.opponent, (1u << 9) | 1u);
}

struct WindowCase {
  const char* window;
  int code[3][2];  // [rule][side]
};

constexpr WindowCase Windows[] = {
    // Five in every rule.
    {"_XXXXC_____", {{17, 17}, {17, 17}, {17, 17}}},
    {"#XXXXC#####", {{17, 17}, {17, 17}, {17, 17}}},
    // Six: wins in freestyle and for White under renju.
    {"_XXXXCX____", {{17, 17}, {0, 0}, {0, 17}}},
    {"XXXXXC_____", {{17, 17}, {0, 0}, {0, 17}}},
    {"__XXXC_____", {{16, 16}, {16, 16}, {16, 16}}},
    {"_OXXXC_____", {{15, 15}, {15, 15}, {15, 15}}},
    {"_#XXXC_____", {{15, 15}, {15, 15}, {15, 15}}},
    {"___XXC_____", {{13, 13}, {13, 13}, {13, 13}}},
    {"_OXX_C_____", {{10, 10}, {10, 10}, {10, 10}}},
    {"____XC_____", {{7, 7}, {7, 7}, {7, 7}}},
    // An empty line still has room for a five; only a cramped one is worth nothing.
    {"_____C_____", {{4, 4}, {4, 4}, {4, 4}}},
    {"##OXXC#####", {{2, 2}, {2, 2}, {2, 2}}},
    {"_OXXXCO____", {{2, 2}, {2, 2}, {2, 2}}},
    {"#####C#####", {{2, 2}, {2, 2}, {2, 2}}},
    // Two fours on one line; with an own stone beyond the shape the lower passes decide.
    {"_X_XXC_X___", {{1, 16}, {1, 16}, {1, 16}}},
    {"XX_XXC_X___", {{16, 16}, {15, 15}, {15, 16}}},
};

TEST(PatternWindows, DrawnWindowsAndTheirMirrorImages) {
  TempDir dir;
  for (int rule : Rules) {
    buildTables(rule, dir);
    for (const WindowCase& c : Windows)
      for (int side : {Black, White}) {
        const int expected = c.code[rule][side];
        EXPECT_EQ(lineCode(side, c.window), expected)
            << c.window << " side " << side << " " << ruleName(rule);
        EXPECT_EQ(lineCode(side, mirrored(c.window)), expected)
            << mirrored(c.window) << " side " << side << " " << ruleName(rule);
      }
  }
}

// Calls visit for every filling of the window: '?' cells take every content, 'o' cells (the outer
// cells of a shape) every content but an own stone.
template <typename Visit>
void forEachFilling(std::string window, size_t from, const Visit& visit) {
  for (size_t i = from; i < window.size(); ++i) {
    if (window[i] != '?' && window[i] != 'o') continue;
    const std::string choices = window[i] == '?' ? "_XO#" : "_O#";
    for (char ch : choices) {
      window[i] = ch;
      forEachFilling(window, i + 1, visit);
    }
    return;
  }
  visit(window);
}

// The six placements of the new stone on X_XXX_X, XX_XX_XX and XXX_X_XXX; 'o' marks the outer cells.
constexpr const char* DoubleFourShapes[6] = {
    "??oX_CXX_Xo",  // X_CXX_X
    "?oX_XCX_Xo?",  // X_XCX_X
    "oX_XXC_Xo??",  // X_XXC_X
    "oXX_XC_XXo?",  // XX_XC_XX
    "?oXX_CX_XXo",  // XX_CX_XX
    "oXXX_C_XXXo",  // XXX_C_XXX
};

TEST(PatternWindows, DoubleFourShapesWhateverLiesOutside) {
  TempDir dir;
  for (int rule : Rules) {
    buildTables(rule, dir);
    for (const char* shape : DoubleFourShapes) {
      int windows = 0;
      forEachFilling(shape, 0, [&](const std::string& w) {
        ++windows;
        const Masks m = masksOf(w);
        EXPECT_TRUE(kesta::isLineDoubleFour(m.own, m.opponent)) << w;
        EXPECT_EQ(lineCode(Black, w), 1) << w << " " << ruleName(rule);
        EXPECT_EQ(lineCode(White, w), 16) << w << " " << ruleName(rule);
        EXPECT_EQ(lineCode(Black, mirrored(w)), 1) << mirrored(w) << " " << ruleName(rule);
      });
      EXPECT_GE(windows, 9) << shape;
    }
  }
}

TEST(PatternWindows, OwnStoneInAnOuterCellBreaksTheShape) {
  TempDir dir;
  for (int rule : Rules) {
    buildTables(rule, dir);
    for (const char* shape : DoubleFourShapes) {
      const std::string text = shape;
      for (size_t outer = 0; outer < text.size(); ++outer) {
        if (text[outer] != 'o') continue;
        std::string blocked = text;
        blocked[outer] = 'X';
        forEachFilling(blocked, 0, [&](const std::string& w) {
          const Masks m = masksOf(w);
          EXPECT_FALSE(kesta::isLineDoubleFour(m.own, m.opponent)) << w;
          EXPECT_NE(lineCode(Black, w), 1) << w << " " << ruleName(rule);
        });
      }
    }
  }
}

TEST(PatternClasses, ScoringClassOfCodes) {
  for (int rule : Rules) {
    EXPECT_EQ(kesta::scoringClassOf(0, kesta::Rule(rule)), rule == kesta::ExactFiveRule ? 2 : 17)
        << ruleName(rule);
    EXPECT_EQ(kesta::scoringClassOf(1, kesta::Rule(rule)), 16) << ruleName(rule);
    for (int code = 2; code < 18; ++code)
      EXPECT_EQ(kesta::scoringClassOf(code, kesta::Rule(rule)), code) << ruleName(rule);
  }
}

struct ClassCase {
  int codes[4];
  int cls[3][2];  // [rule][side]
};

constexpr ClassCase Classes[] = {
    {{2, 2, 2, 2}, {{3, 3}, {3, 3}, {3, 3}}},
    {{3, 4, 5, 2}, {{3, 3}, {3, 3}, {3, 3}}},
    {{7, 2, 2, 2}, {{3, 3}, {3, 3}, {3, 3}}},
    {{10, 2, 2, 2}, {{3, 3}, {3, 3}, {3, 3}}},
    {{7, 7, 2, 2}, {{4, 4}, {4, 4}, {4, 4}}},
    {{8, 9, 2, 2}, {{4, 4}, {4, 4}, {4, 4}}},
    {{10, 10, 2, 2}, {{5, 5}, {5, 5}, {5, 5}}},
    {{10, 7, 2, 2}, {{5, 5}, {5, 5}, {5, 5}}},
    {{11, 12, 2, 2}, {{5, 5}, {5, 5}, {5, 5}}},
    {{13, 2, 2, 2}, {{6, 6}, {6, 6}, {6, 6}}},
    {{14, 2, 2, 2}, {{6, 6}, {6, 6}, {6, 6}}},
    {{13, 10, 2, 2}, {{7, 7}, {7, 7}, {7, 7}}},
    {{13, 9, 2, 2}, {{7, 7}, {7, 7}, {7, 7}}},
    {{13, 13, 2, 2}, {{8, 8}, {8, 8}, {0, 8}}},
    {{13, 14, 2, 2}, {{8, 8}, {8, 8}, {0, 8}}},
    {{15, 2, 2, 2}, {{9, 9}, {9, 9}, {9, 9}}},
    {{15, 10, 2, 2}, {{10, 10}, {10, 10}, {10, 10}}},
    {{15, 7, 2, 2}, {{10, 10}, {10, 10}, {10, 10}}},
    {{15, 12, 2, 2}, {{10, 10}, {10, 10}, {10, 10}}},
    {{15, 13, 2, 2}, {{11, 11}, {11, 11}, {11, 11}}},
    {{15, 14, 2, 2}, {{11, 11}, {11, 11}, {11, 11}}},
    // A four with two open threes: a double-three candidate for Black under renju.
    {{15, 13, 13, 2}, {{11, 11}, {11, 11}, {0, 11}}},
    {{16, 2, 2, 2}, {{12, 12}, {12, 12}, {12, 12}}},
    {{15, 15, 2, 2}, {{12, 12}, {12, 12}, {1, 12}}},
    {{15, 16, 2, 2}, {{12, 12}, {12, 12}, {1, 12}}},
    {{16, 16, 2, 2}, {{12, 12}, {12, 12}, {1, 12}}},
    {{1, 2, 2, 2}, {{12, 12}, {12, 12}, {1, 12}}},
    {{17, 2, 2, 2}, {{13, 13}, {13, 13}, {13, 13}}},
    // A five wins over every forbidden shape.
    {{17, 0, 2, 2}, {{13, 13}, {13, 13}, {13, 13}}},
    {{17, 1, 15, 15}, {{13, 13}, {13, 13}, {13, 13}}},
    {{17, 13, 13, 2}, {{13, 13}, {13, 13}, {13, 13}}},
    // A long line: five in freestyle; under exact five it forbids Black only when nothing else is there.
    {{0, 2, 2, 2}, {{13, 13}, {2, 3}, {2, 3}}},
    {{0, 13, 2, 2}, {{13, 13}, {6, 6}, {2, 6}}},
    {{0, 15, 2, 2}, {{13, 13}, {9, 9}, {2, 9}}},
};

TEST(PatternClasses, ClassRuleInEveryDirectionOrder) {
  TempDir dir;
  for (int rule : Rules) {
    buildTables(rule, dir);
    for (const ClassCase& c : Classes) {
      int codes[4] = {c.codes[0], c.codes[1], c.codes[2], c.codes[3]};
      std::sort(codes, codes + 4);
      for (int side : {Black, White}) {
        const int expected = c.cls[rule][side];
        const std::string what = std::string(ruleName(rule)) + " side " + std::to_string(side) + " codes " +
                                 std::to_string(c.codes[0]) + "," + std::to_string(c.codes[1]) + "," +
                                 std::to_string(c.codes[2]) + "," + std::to_string(c.codes[3]);
        EXPECT_EQ(kesta::cellClassOf(side, kesta::Rule(rule), c.codes[0], c.codes[1], c.codes[2], c.codes[3]),
                  expected)
            << what;
        do {
          EXPECT_EQ(tables->cellClass[side][patternKey(codes[0], codes[1], codes[2], codes[3])], expected)
              << what;
        } while (std::next_permutation(codes, codes + 4));
      }
    }
  }
}

// Black's forbidden classes 0..2 carry the forbidden scores (move -29000, evaluation the low 16
// bits of ForbiddenEval); no other entry does, and the direction order never matters.
TEST(PatternClasses, ForbiddenOverrideAndDirectionOrder) {
  TempDir dir;
  for (int rule : Rules) {
    kesta::EvalParameters weights = kesta::defaultEvalParameters();
    weights.ForbiddenEval = 0x2ABCD;  // low 16 bits 0xABCD = -21555
    tables = kesta::buildPatternTables(kesta::Rule(rule), weights);
    int forbidden = 0, badOverride = 0, badOther = 0, badOrder = 0;
    for (int side : {Black, White})
      for (int c0 = 0; c0 < 18; ++c0)
        for (int c1 = 0; c1 < 18; ++c1)
          for (int c2 = 0; c2 < 18; ++c2)
            for (int c3 = 0; c3 < 18; ++c3) {
              const int key = patternKey(c0, c1, c2, c3);
              const int cls = tables->cellClass[side][key];
              if (cls <= 2) {
                ++forbidden;
                if (side != Black || tables->moveScore[side][key] != -29000 ||
                    tables->evalScore[side][key] != -21555)
                  ++badOverride;
              } else if (tables->moveScore[side][key] < 0 || tables->evalScore[side][key] < 0) {
                ++badOther;
              }
              int sorted[4] = {c0, c1, c2, c3};
              std::sort(sorted, sorted + 4);
              const int base = patternKey(sorted[0], sorted[1], sorted[2], sorted[3]);
              if (tables->cellClass[side][base] != cls ||
                  tables->moveScore[side][base] != tables->moveScore[side][key] ||
                  tables->evalScore[side][base] != tables->evalScore[side][key])
                ++badOrder;
            }
    EXPECT_EQ(forbidden > 0, rule != kesta::Freestyle) << ruleName(rule);
    EXPECT_EQ(badOverride, 0) << ruleName(rule);
    EXPECT_EQ(badOther, 0) << ruleName(rule);
    EXPECT_EQ(badOrder, 0) << ruleName(rule);
  }
}

}  // namespace
