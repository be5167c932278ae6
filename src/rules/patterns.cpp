#include "rules/patterns.h"

#include <memory>

namespace kesta {

namespace {

// Window position p (-5..-1, +1..+5) to its bit in a line mask.
constexpr int bitOf(int p) { return p > 0 ? 5 - p : 4 - p; }

constexpr int Pow3[11] = {1, 3, 9, 27, 81, 243, 729, 2187, 6561, 19683, 59049};

enum WindowCell : uint8_t { CellEmpty = 0, CellOwn = 1, CellBlocked = 2 };

struct Shape {
  int own[6];
  int ownCount;
  int empty[2];
  int outer[2];
};

// The six placements of the new stone that give two fours on one line (X_XXX_X, XX_XX_XX, XXX_X_XXX).
constexpr Shape DoubleFourShapes[6] = {
    {{-2, 1, 2, 4}, 4, {-1, 3}, {-3, 5}},
    {{-3, -1, 1, 3}, 4, {-2, 2}, {-4, 4}},
    {{-4, -2, -1, 2}, 4, {-3, 1}, {-5, 3}},
    {{-4, -3, -1, 2, 3}, 5, {-2, 1}, {-5, 4}},
    {{-3, -2, 1, 3, 4}, 5, {-1, 2}, {-4, 5}},
    {{-4, -3, -2, 2, 3, 4}, 6, {-1, 1}, {-5, 5}},
};

int digitAt(int window, int bit) { return window / Pow3[bit] % 3; }

bool windowDoubleFour(const uint8_t cell[10]) {
  for (const Shape& s : DoubleFourShapes) {
    bool ok = true;
    for (int i = 0; i < s.ownCount && ok; ++i) ok = cell[bitOf(s.own[i])] == CellOwn;
    for (int i = 0; i < 2 && ok; ++i) ok = cell[bitOf(s.empty[i])] == CellEmpty;
    for (int i = 0; i < 2 && ok; ++i) ok = cell[bitOf(s.outer[i])] != CellOwn;
    if (ok) return true;
  }
  return false;
}

// Own stones adjacent to the centre in unbroken runs on both sides, at most `limit` per side.
int runThroughCentre(const uint8_t cell[10], int limit) {
  int r = 0;
  for (int p = -1; p >= -limit && cell[bitOf(p)] == CellOwn; --p) ++r;
  for (int p = 1; p <= limit && cell[bitOf(p)] == CellOwn; ++p) ++r;
  return r;
}

// Own stones next to the centre in an unbroken run on one side (direction +1 or -1), at most five.
int runFromCentre(const uint8_t cell[10], int direction) {
  int r = 0;
  for (int p = direction; r < 5 && cell[bitOf(p)] == CellOwn; p += direction) ++r;
  return r;
}

struct LevelBuilder {
  int side;
  Rule rule;
  unsigned walls = 0;  // window bits that are the board's edge (caro only)
  uint8_t* levels;
  uint8_t known[WindowCount] = {};

  // The level of a window depends only on windows with one more own stone, so a memoised
  // recursion gives exactly what the passes 11..1 give when run over the whole table.
  int level(int w) {
    if (known[w]) return levels[w];
    uint8_t cell[10];
    for (int b = 0; b < 10; ++b) cell[b] = uint8_t(digitAt(w, b));
    int result = base(cell);
    if (result == 0) {
      int fives = 0;
      bool found[12] = {};
      for (int b = 0; b < 10; ++b) {
        if (cell[b] != CellEmpty) continue;
        const int next = level(w + Pow3[b]);
        if (next == 9) ++fives;
        found[next] = true;
      }
      if (fives >= 2) {
        result = isCaro(rule) && oneStoneStopsEveryFive(w, cell) ? 7 : 8;
      } else if (fives == 1) {
        result = 7;
      } else {
        for (int k = 6; k >= 1 && result == 0; --k)
          if (found[k + 2]) result = k;
      }
    }
    levels[w] = uint8_t(result);
    known[w] = 1;
    return result;
  }

  // Caro: a stone of the opponent on one empty cell leaves no five to make, as one stone does
  // against O.XXXX. (it closes the five at the left). Such two fives are a four, not an open four.
  bool oneStoneStopsEveryFive(int w, const uint8_t cell[10]) {
    for (int b = 0; b < 10; ++b)
      if (cell[b] == CellEmpty && level(w + 2 * Pow3[b]) < 7) return true;
    return false;
  }

  // An opponent stone, not the edge, lies at window position p (-5..-1, +1..+5).
  bool opponentAt(const uint8_t cell[10], int p) const {
    return cell[bitOf(p)] == CellBlocked && (walls >> bitOf(p) & 1) == 0;
  }

  // Caro: a run through the centre of exactly five (or more, with overlines) wins unless opponent
  // stones block both of its ends.
  int caroBase(const uint8_t cell[10]) const {
    const int minus = runFromCentre(cell, -1), plus = runFromCentre(cell, +1);
    const int run = minus + plus + 1;
    if (run > 5) return rule == CaroOverlineRule ? 9 : 10;
    if (run < 5) return 0;
    const bool blockedBoth = opponentAt(cell, -(minus + 1)) && opponentAt(cell, plus + 1);
    return blockedBoth ? 0 : 9;
  }

  // Passes 11, 10 and 9: the levels that need no look-ahead.
  int base(const uint8_t cell[10]) const {
    if (isCaro(rule)) return caroBase(cell);
    if (windowDoubleFour(cell)) return side == Black ? 11 : 8;
    const int r = runThroughCentre(cell, 5);
    if (r >= 5) {
      if (rule == Freestyle) return 9;
      if (rule == ExactFiveRule) return 10;
      return side == Black ? 10 : 9;
    }
    const int r4 = runThroughCentre(cell, 4);
    if (rule == Freestyle ? r4 >= 4 : r4 == 4) return 9;
    return 0;
  }
};

}  // namespace

int windowOfMasks(unsigned own, unsigned opponent) {
  int w = 0;
  for (int b = 0; b < 10; ++b) {
    const int digit = (opponent >> b & 1) ? CellBlocked : (own >> b & 1) ? CellOwn : CellEmpty;
    w += digit * Pow3[b];
  }
  return w;
}

bool isLineDoubleFour(unsigned own, unsigned opponent) {
  const int w = windowOfMasks(own, opponent);
  uint8_t cell[10];
  for (int b = 0; b < 10; ++b) cell[b] = uint8_t(digitAt(w, b));
  return windowDoubleFour(cell);
}

void computeWindowLevels(int side, Rule rule, uint8_t levels[WindowCount]) {
  auto builder = std::make_unique<LevelBuilder>();
  builder->side = side;
  builder->rule = rule;
  builder->levels = levels;
  for (int w = WindowCount - 1; w >= 0; --w) builder->level(w);
}

unsigned edgeWallBits(int wallsPlus, int wallsMinus) {
  unsigned bits = 0;
  for (int i = 0; i < wallsPlus; ++i) bits |= 1u << bitOf(5 - i);
  for (int i = 0; i < wallsMinus; ++i) bits |= 1u << bitOf(-5 + i);
  return bits;
}

void computeEdgeWindowLevels(int side, Rule rule, int wallsPlus, int wallsMinus, uint8_t levels[WindowCount]) {
  auto builder = std::make_unique<LevelBuilder>();
  builder->side = side;
  builder->rule = rule;
  builder->walls = edgeWallBits(wallsPlus, wallsMinus);
  builder->levels = levels;
  for (int w = WindowCount - 1; w >= 0; --w) {
    bool edgeBlocked = true;
    for (int b = 0; b < 10 && edgeBlocked; ++b)
      if (builder->walls >> b & 1) edgeBlocked = digitAt(w, b) == CellBlocked;
    if (edgeBlocked) builder->level(w);
  }
}

int lineCodeOfLevel(int level) {
  static constexpr int Codes[12] = {CodeNone,     CodeClosedOne,   CodeOpenOne,   CodeClosedTwo,
                                    CodeOpenTwo,  CodeClosedThree, CodeOpenThree, CodeFour,
                                    CodeOpenFour, CodeFive,        CodeLongLine,  CodeBlackDoubleFour};
  return Codes[level];
}

int scoringClassOf(int code, Rule rule) {
  // Scoring classes share the numbers of the codes they are scored as.
  if (code == CodeLongLine) return rule == ExactFiveRule || rule == CaroRule ? CodeNone : CodeFive;
  if (code == CodeBlackDoubleFour) return CodeOpenFour;
  return code;
}

namespace {

int generalClass(const int n[LineCodeCount]) {
  const int open3 = n[CodeOpenThree] + n[CodeSpare14];
  const int three = n[CodeClosedThree] + n[CodeSpare11] + n[CodeSpare12];
  const int two = n[CodeOpenTwo] + n[CodeSpare8] + n[CodeSpare9];
  if (n[CodeBlackDoubleFour] >= 1 || n[CodeFour] >= 2 || n[CodeOpenFour] >= 1) return ClassOpenFour;
  if (n[CodeFour] == 1)
    return open3 >= 1 ? ClassFourThree : (three >= 1 || two >= 1) ? ClassFourPlus : ClassFour;
  if (open3 >= 2) return ClassDoubleThree;
  if (open3 == 1) return (three >= 1 || two >= 1) ? ClassOpenThreePlus : ClassOpenThree;
  if (three >= 2 || (three == 1 && two >= 1)) return ClassClosedThrees;
  if (two >= 2) return ClassTwos;
  return ClassNone;
}

}  // namespace

int cellClassOf(int side, Rule rule, int c0, int c1, int c2, int c3) {
  int n[LineCodeCount] = {};
  ++n[c0];
  ++n[c1];
  ++n[c2];
  ++n[c3];
  if (rule == Freestyle) {
    if (n[CodeLongLine] >= 1 || n[CodeFive] >= 1) return ClassFive;
    return generalClass(n);
  }
  if (n[CodeFive] >= 1) return ClassFive;
  // Caro judges both sides alike: a line that cannot win counts as nothing.
  if (isCaro(rule)) return generalClass(n);
  if (rule == ExactFiveRule) {
    const int g = generalClass(n);
    if (g == ClassNone && side == Black && n[CodeLongLine] >= 1) return ClassBlackLongLine;
    return g;
  }
  if (side == Black) {
    if (n[CodeLongLine] >= 1) return ClassBlackLongLine;
    if (n[CodeBlackDoubleFour] >= 1 || n[CodeFour] + n[CodeOpenFour] >= 2) return ClassBlackDoubleFour;
    if (n[CodeOpenThree] + n[CodeSpare14] >= 2) return ClassBlackDoubleThree;
  }
  return generalClass(n);
}

}  // namespace kesta
