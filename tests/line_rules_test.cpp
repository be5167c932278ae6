// Every line code of every mask pair, for every rule and both sides, checked against a direct reading of
// the line rules over the eleven cells of the line, plus the left-right symmetry of the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "core/types.h"
#include "eval/eval_tables.h"
#include "rules/rule_tables.h"
#include "support/temp_dir.h"

namespace {

const char* ruleName(int rule) {
  return rule == kesta::Freestyle ? "freestyle" : rule == kesta::ExactFiveRule ? "exact5" : "renju";
}

// The line through the centre: index p + 5 for p = -5..+5. 'X' own stone, '_' empty, '#' blocked
// (opponent stone or Wall). Index 5 is the centre, where the side plays.
using Line = std::array<char, 11>;

// Window position of mask bit b: bits 9..5 are p = -5..-1, bits 4..0 are p = +1..+5.
int positionOfBit(int b) {
  return b >= 5 ? 4 - b : 5 - b;
}

Line lineOfMasks(unsigned own, unsigned opponent) {
  Line line;
  line.fill('_');
  line[5] = 'C';
  for (int b = 0; b < 10; ++b) {
    char& cell = line[size_t(positionOfBit(b) + 5)];
    if (opponent >> b & 1)
      cell = '#';
    else if (own >> b & 1)
      cell = 'X';
  }
  return line;
}

// The window as text from p = -5 to +5, telling opponent stones (O) from Walls (#).
std::string windowText(unsigned own, unsigned opponent) {
  std::string text(11, '_');
  text[5] = 'C';
  for (int b = 0; b < 10; ++b) {
    char& cell = text[size_t(positionOfBit(b) + 5)];
    const bool o = own >> b & 1, x = opponent >> b & 1;
    cell = o && x ? '#' : x ? 'O' : o ? 'X' : '_';
  }
  return text;
}

// A cell of a double-four shape: 'X' must be an own stone, '_' empty, 'o' anything but an own stone.
struct ShapeCell {
  int p;
  char need;
};
using Shape = std::vector<ShapeCell>;

// Every way of seeing the centre as one stone of X_XXX_X, XX_XX_XX or XXX_X_XXX such that the
// pattern and the cell just beyond each end fit in the window.
std::vector<Shape> doubleFourShapes() {
  std::vector<Shape> shapes;
  for (const std::string pattern : {"X_XXX_X", "XX_XX_XX", "XXX_X_XXX"}) {
    const int length = int(pattern.size());
    for (int centre = 0; centre < length; ++centre) {
      if (pattern[size_t(centre)] != 'X') continue;
      const int first = -centre;
      const int last = first + length - 1;
      if (first - 1 < -5 || last + 1 > 5) continue;
      Shape shape{{first - 1, 'o'}, {last + 1, 'o'}};
      for (int i = 0; i < length; ++i)
        if (i != centre) shape.push_back({first + i, pattern[size_t(i)]});
      shapes.push_back(shape);
    }
  }
  return shapes;
}

// Line levels read straight from the rules: a double-four shape, then the length of the run that
// the centre stone joins, then what one more own stone on an empty window cell would give.
class DirectReading {
 public:
  DirectReading(int side, int rule)
      : side_(side), rule_(rule), shapes_(doubleFourShapes()), known_(59049, -1) {}

  int level(Line& line) {
    const size_t index = indexOf(line);
    if (known_[index] >= 0) return known_[index];
    int result = 0;
    if (makesDoubleFour(line)) {
      result = side_ == kesta::Black ? 11 : 8;
    } else if (const int run = runThroughCentre(line); run >= 6) {
      const bool longWins = rule_ == kesta::Freestyle || (rule_ == kesta::RenjuRule && side_ == kesta::White);
      result = longWins ? 9 : 10;
    } else if (run == 5) {
      result = 9;
    } else {
      int fives = 0;
      int best = 0;
      for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '_') continue;
        line[i] = 'X';
        const int next = level(line);
        line[i] = '_';
        if (next == 9) ++fives;
        if (next >= 3 && next <= 8) best = std::max(best, next - 2);
      }
      result = fives >= 2 ? 8 : fives == 1 ? 7 : best;
    }
    known_[index] = int8_t(result);
    return result;
  }

  size_t shapeCount() const { return shapes_.size(); }

 private:
  static size_t indexOf(const Line& line) {
    size_t index = 0;
    for (size_t i = 0; i < line.size(); ++i) {
      if (i == 5) continue;
      index = index * 3 + (line[i] == 'X' ? 1 : line[i] == '#' ? 2 : 0);
    }
    return index;
  }

  bool makesDoubleFour(const Line& line) const {
    for (const Shape& shape : shapes_) {
      const bool fits = std::all_of(shape.begin(), shape.end(), [&](const ShapeCell& c) {
        const char cell = line[size_t(c.p + 5)];
        return c.need == 'o' ? cell != 'X' : cell == c.need;
      });
      if (fits) return true;
    }
    return false;
  }

  // Length of the unbroken run of own stones through the centre once it is played.
  static int runThroughCentre(const Line& line) {
    int run = 1;
    for (int i = 4; i >= 0 && line[size_t(i)] == 'X'; --i) ++run;
    for (int i = 6; i <= 10 && line[size_t(i)] == 'X'; ++i) ++run;
    return run;
  }

  int side_;
  int rule_;
  std::vector<Shape> shapes_;
  std::vector<int8_t> known_;
};

constexpr int CodeOfLevel[12] = {2, 3, 4, 5, 7, 10, 13, 15, 16, 17, 0, 1};

unsigned reversedBits(unsigned mask) {
  unsigned r = 0;
  for (int b = 0; b < 10; ++b)
    if (mask >> b & 1) r |= 1u << (9 - b);
  return r;
}

class LineRules : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { tables_ = kesta::defaultPatternTables(kesta::Rule(GetParam())).get(); }
  int lineCodeOf(int side, unsigned own, unsigned opponent) const {
    return tables_->lineCodeOf(side, own, opponent);
  }
  const kesta::PatternTables* tables_ = nullptr;
};

TEST_P(LineRules, EveryMaskPairMatchesTheDirectReading) {
  const int rule = GetParam();
  for (int side = 0; side < 2; ++side) {
    DirectReading reading(side, rule);
    ASSERT_EQ(reading.shapeCount(), 6u);
    int mismatches = 0;
    for (unsigned own = 0; own < 1024; ++own)
      for (unsigned opponent = 0; opponent < 1024; ++opponent) {
        Line line = lineOfMasks(own, opponent);
        const int expected = CodeOfLevel[reading.level(line)];
        const int got = lineCodeOf(side, own, opponent);
        if (got != expected && ++mismatches <= 20)
          ADD_FAILURE() << windowText(own, opponent) << " side " << side << " " << ruleName(rule)
                        << ": expected code " << expected << ", table has " << got;
      }
    EXPECT_EQ(mismatches, 0) << "side " << side << " " << ruleName(rule);
  }
}

TEST_P(LineRules, MirroredWindowGivesTheSameCode) {
  int mismatches = 0;
  for (int side = 0; side < 2; ++side)
    for (unsigned own = 0; own < 1024; ++own)
      for (unsigned opponent = 0; opponent < 1024; ++opponent) {
        const int code = lineCodeOf(side, own, opponent);
        const int mirrored = lineCodeOf(side, reversedBits(own), reversedBits(opponent));
        if (code != mirrored && ++mismatches <= 20)
          ADD_FAILURE() << windowText(own, opponent) << " side " << side << ": " << code << " but mirrored "
                        << windowText(reversedBits(own), reversedBits(opponent)) << " gives " << mirrored;
      }
  EXPECT_EQ(mismatches, 0);
}

// Codes 6, 8, 9, 11, 12 and 14 are never produced; code 1 is Black's only; a non-winning long line
// (code 0) exists only under exact five and for Black under renju.
TEST_P(LineRules, OnlyTheCodesOfTheRuleOccur) {
  const int rule = GetParam();
  for (int side = 0; side < 2; ++side) {
    bool seen[18] = {};
    int outOfRange = 0;
    for (uint8_t code : tables_->lineCodeByWindow[side]) {
      if (code < 18)
        seen[code] = true;
      else
        ++outOfRange;
    }
    EXPECT_EQ(outOfRange, 0);
    for (int code : {6, 8, 9, 11, 12, 14}) EXPECT_FALSE(seen[code]) << "code " << code << " side " << side;
    EXPECT_EQ(seen[1], side == kesta::Black) << "side " << side;
    const bool longLoses = rule == kesta::ExactFiveRule || (rule == kesta::RenjuRule && side == kesta::Black);
    EXPECT_EQ(seen[0], longLoses) << "side " << side;
    for (int code : {2, 3, 4, 5, 7, 10, 13, 15, 16, 17}) EXPECT_TRUE(seen[code]) << "code " << code;
  }
}

INSTANTIATE_TEST_SUITE_P(AllRules, LineRules,
                         ::testing::Values(int(kesta::Freestyle), int(kesta::ExactFiveRule),
                                           int(kesta::RenjuRule)),
                         [](const ::testing::TestParamInfo<int>& test) {
                           return std::string(ruleName(test.param));
                         });

}  // namespace
