// The referee's board and rules, written from the rules of the game and nothing else, so that it
// can judge the engine: fives under each rule and Black's forbidden moves under renju.
#pragma once

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kesta::tool {

constexpr int RuleFreestyle = 0, RuleExactFive = 1, RuleRenju = 2, RuleCaro = 3, RuleCaroOverline = 4;
constexpr int RefereeRules = 5;
extern const char* const RuleNames[RefereeRules];
// The manager's INFO rule value for each rule.
extern const int RuleInfoValue[RefereeRules];

constexpr int NoStone = -1, OffBoard = -2;

struct RefBoard {
  int n = 15;
  std::vector<int> cells;  // NoStone, or the colour (0 Black, 1 White) of the stone
  explicit RefBoard(int size) : n(size), cells(size_t(size * size), NoStone) {}
  int at(int x, int y) const {
    return x < 0 || y < 0 || x >= n || y >= n ? OffBoard : cells[size_t(y * n + x)];
  }
  void set(int x, int y, int v) { cells[size_t(y * n + x)] = v; }
};

using Cell = std::pair<int, int>;

// "x,y".
std::string cellText(int x, int y);

// The move (x, y) by colour wins: five or more in freestyle, exactly five in exact five, under
// renju exactly five for Black and five or more for White; under caro exactly five (or, with
// overlines, five or more) whose two cells beyond its ends do not both hold the opponent's stones
// (the edge blocks nothing), an overline winning whatever lies beyond it.
bool isWinningMove(const RefBoard& b, int x, int y, int colour, int rule);

// Black playing the empty cell (x, y) is forbidden under renju: it makes no exact five and makes
// an overline, two or more fours, or two or more threes. The board is restored.
bool renjuFoul(RefBoard& b, int x, int y);

// Up to four stones near the centre, alternately Black and White: no five and no renju foul can
// arise from so few.
std::vector<Cell> randomOpening(std::mt19937_64& rng, int size);

}  // namespace kesta::tool
