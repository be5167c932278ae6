#include "tools/lib/referee.h"

#include <algorithm>
#include <cstdlib>

namespace kesta::tool {

const char* const RuleNames[RefereeRules] = {"freestyle", "exact5", "renju", "caro", "caro8"};
const int RuleInfoValue[RefereeRules] = {0, 1, 4, 9, 8};

namespace {

const int LineDx[4] = {1, 0, 1, 1};
const int LineDy[4] = {0, 1, 1, -1};

// Length of the unbroken row of colour through (x, y) along direction k; (x, y) counts as one of
// them whatever it holds.
int rowThrough(const RefBoard& b, int x, int y, int k, int colour) {
  int length = 1;
  for (int sign : {1, -1}) {
    int cx = x + sign * LineDx[k], cy = y + sign * LineDy[k];
    while (b.at(cx, cy) == colour) {
      ++length;
      cx += sign * LineDx[k];
      cy += sign * LineDy[k];
    }
  }
  return length;
}

bool makesExactFive(const RefBoard& b, int x, int y, int colour) {
  for (int k = 0; k < 4; ++k)
    if (rowThrough(b, x, y, k, colour) == 5) return true;
  return false;
}

// Caro: a row through (x, y) of exactly five that opponent stones do not close at both ends, or,
// with overlines, any row of six or more.
bool makesCaroFive(const RefBoard& b, int x, int y, int colour, bool overlines) {
  for (int k = 0; k < 4; ++k) {
    int ends[2][2];
    for (int side = 0; side < 2; ++side) {
      const int sign = side == 0 ? 1 : -1;
      int cx = x + sign * LineDx[k], cy = y + sign * LineDy[k];
      while (b.at(cx, cy) == colour) {
        cx += sign * LineDx[k];
        cy += sign * LineDy[k];
      }
      ends[side][0] = cx;
      ends[side][1] = cy;
    }
    const int length = rowThrough(b, x, y, k, colour);
    if (length > 5 && overlines) return true;
    if (length != 5) continue;
    const int other = 1 - colour;
    if (b.at(ends[0][0], ends[0][1]) != other || b.at(ends[1][0], ends[1][1]) != other) return true;
  }
  return false;
}

bool makesFiveOrMore(const RefBoard& b, int x, int y, int colour) {
  for (int k = 0; k < 4; ++k)
    if (rowThrough(b, x, y, k, colour) >= 5) return true;
  return false;
}

// The number of fours that the Black stone at (x, y) takes part in along line k. An open four has
// two five points five cells apart and is one four; two five points otherwise are two fours on
// one line (as in X.XXX.X).
int foursOnLine(const RefBoard& b, int x, int y, int k) {
  // A five through (x, y) has one empty cell, and it is the first cell past the Black stones
  // that adjoin (x, y) on one side: X.XXX with the stone at the left end has it inside.
  std::vector<int> points;
  for (int sign : {1, -1})
    for (int m = 1; m <= 4; ++m) {
      const int cx = x + sign * m * LineDx[k], cy = y + sign * m * LineDy[k];
      const int c = b.at(cx, cy);
      if (c == 0) continue;
      if (c == NoStone && rowThrough(b, cx, cy, k, 0) == 5) points.push_back(sign * m);
      break;
    }
  int fours = int(points.size());
  if (fours == 2 && std::abs(points[0] - points[1]) == 5) fours = 1;
  return fours;
}

// Black at (x, y) makes a three on line k: some empty cell e of the line joins (x, y) into a
// straight four (four in a row whose both ends complete exactly five), and Black may play e.
bool threeOnLine(RefBoard& b, int x, int y, int k) {
  for (int sign : {1, -1})
    for (int m = 1; m <= 3; ++m) {
      const int ex = x + sign * m * LineDx[k], ey = y + sign * m * LineDy[k];
      const int c = b.at(ex, ey);
      if (c == 0) continue;
      if (c != NoStone) break;
      // e is the first empty cell this way; once it is filled, (x, y)'s row runs through it.
      b.set(ex, ey, 0);
      bool straight = false;
      if (rowThrough(b, x, y, k, 0) == 4) {
        // Ends of the row of four through (x, y) and e.
        int lo = 0, hi = 0;
        while (b.at(x - (lo + 1) * LineDx[k], y - (lo + 1) * LineDy[k]) == 0) ++lo;
        while (b.at(x + (hi + 1) * LineDx[k], y + (hi + 1) * LineDy[k]) == 0) ++hi;
        const int ax = x - (lo + 1) * LineDx[k], ay = y - (lo + 1) * LineDy[k];
        const int zx = x + (hi + 1) * LineDx[k], zy = y + (hi + 1) * LineDy[k];
        straight = b.at(ax, ay) == NoStone && b.at(zx, zy) == NoStone && rowThrough(b, ax, ay, k, 0) == 5 &&
                   rowThrough(b, zx, zy, k, 0) == 5;
      }
      b.set(ex, ey, NoStone);
      if (straight && !renjuFoul(b, ex, ey)) return true;
      break;
    }
  return false;
}

}  // namespace

bool isWinningMove(const RefBoard& b, int x, int y, int colour, int rule) {
  if (rule == RuleCaro || rule == RuleCaroOverline) return makesCaroFive(b, x, y, colour, rule == RuleCaroOverline);
  if (rule == RuleFreestyle || (rule == RuleRenju && colour == 1)) return makesFiveOrMore(b, x, y, colour);
  return makesExactFive(b, x, y, colour);
}

bool renjuFoul(RefBoard& b, int x, int y) {
  if (b.at(x, y) != NoStone) return false;
  if (makesExactFive(b, x, y, 0)) return false;
  b.set(x, y, 0);
  bool foul = false;
  int fours = 0, threes = 0;
  for (int k = 0; k < 4 && !foul; ++k) {
    if (rowThrough(b, x, y, k, 0) >= 6) foul = true;
    fours += foursOnLine(b, x, y, k);
  }
  if (!foul && fours >= 2) foul = true;
  for (int k = 0; k < 4 && !foul; ++k) {
    if (threeOnLine(b, x, y, k)) ++threes;
    if (threes >= 2) foul = true;
  }
  b.set(x, y, NoStone);
  return foul;
}

std::string cellText(int x, int y) { return std::to_string(x) + "," + std::to_string(y); }

std::vector<Cell> randomOpening(std::mt19937_64& rng, int size) {
  std::vector<Cell> moves;
  RefBoard board(size);
  const int stones = int(rng() % 5);
  const int lo = std::max(0, size / 2 - 3), hi = std::min(size - 1, size / 2 + 3);
  while (int(moves.size()) < stones) {
    const int x = lo + int(rng() % unsigned(hi - lo + 1));
    const int y = lo + int(rng() % unsigned(hi - lo + 1));
    if (board.at(x, y) != NoStone) continue;
    board.set(x, y, int(moves.size() % 2));
    moves.push_back({x, y});
  }
  return moves;
}

}  // namespace kesta::tool
