// Layer 1 of 8 (tools/check-layers.sh): core/ includes only core/.
// Shared vocabulary of the engine: cell numbering on the padded 32x32 board, line directions,
// cell codes, the rule values and the score constants that every subsystem agrees on.
#pragma once

#include <cstdint>

namespace kesta {

// Cell number (y + 5) * 32 + (x + 5) on the padded board; 0 is never a board cell and means "none".
using CellIndex = uint16_t;

// Cell codes. A stone's code equals the number of the side that owns it.
enum CellCode : uint8_t { Black = 0, White = 1, Wall = 2, Empty = 3 };

constexpr int BoardSpan = 32;
constexpr int BoardCells = BoardSpan * BoardSpan;
constexpr int BorderWidth = 5;
constexpr int MinBoardSize = 6;
constexpr int MaxBoardSize = 22;

// CellIndex steps of the four lines: horizontal, anti-diagonal (x-1, y+1), vertical, diagonal (x+1, y+1).
constexpr int DirectionStep[4] = {1, 31, 32, 33};

// Cell of protocol coordinates (x, y); each sum is taken modulo 256 as the protocol layer requires.
constexpr CellIndex cellOf(int x, int y) {
  return static_cast<CellIndex>(((y + 5) & 255) * 32 + ((x + 5) & 255));
}
constexpr int cellX(CellIndex c) { return (c & 31) - 5; }
constexpr int cellY(CellIndex c) { return (c >> 5) - 5; }

// The rule a game is played under. Each position carries its rule with its pattern tables
// (rules/rule_tables.h); what each rule means is in rules/.
// Caro: a five wins only when it is not blocked at both ends by the opponent's stones (the board's
// edge never blocks); standard caro also wants exactly five, caro with overlines lets six or more win.
enum Rule : uint8_t { Freestyle = 0, ExactFiveRule = 1, RenjuRule = 2, CaroRule = 3, CaroOverlineRule = 4 };
constexpr int RuleCount = 5;

constexpr bool isCaro(Rule rule) { return rule == CaroRule || rule == CaroOverlineRule; }

// A line code: what one direction through an empty cell makes for one side if it plays there.
// The line tables never produce the spare codes; the class rule counts 8 and 9 as CodeOpenTwo, 11 and
// 12 as CodeClosedThree and 14 as CodeOpenThree.
enum LineCode : uint8_t {
  CodeLongLine = 0,         // six or more in a row where that does not win (exact five; Black in renju)
  CodeBlackDoubleFour = 1,  // Black: two fours on one line
  CodeNone = 2,             // none of the codes that follow
  CodeClosedOne = 3,        // one more stone gives CodeClosedTwo
  CodeOpenOne = 4,          // one more stone gives CodeOpenTwo
  CodeClosedTwo = 5,        // one more stone gives CodeClosedThree
  CodeSpare6 = 6,           // never produced
  CodeOpenTwo = 7,          // one more stone gives CodeOpenThree
  CodeSpare8 = 8,           // never produced
  CodeSpare9 = 9,           // never produced
  CodeClosedThree = 10,     // one more stone gives CodeFour
  CodeSpare11 = 11,         // never produced
  CodeSpare12 = 12,         // never produced
  CodeOpenThree = 13,       // one more stone in the window can give CodeOpenFour
  CodeSpare14 = 14,         // never produced
  CodeFour = 15,            // a four with exactly one completing cell
  CodeOpenFour = 16,        // a four with two completing cells; also White's double four on one line
  CodeFive = 17,            // five; also six or more where that wins
  LineCodeCount = 18
};

// A cell's class for one side: what playing the cell makes, from the four line codes through it.
// Classes 0 to 2 are Black's forbidden or doubtful cells; the class rule is in eval/patterns.
enum CellClass : uint8_t {
  ClassBlackDoubleThree = 0,  // Black under renju: a double three candidate (the forbidden test decides)
  ClassBlackDoubleFour = 1,   // Black under renju: a double four
  ClassBlackLongLine = 2,     // Black: an overline (renju), or a long line that does not win (exact five)
  ClassNone = 3,              // none of the classes above
  ClassTwos = 4,              // two or more twos, and no three
  ClassClosedThrees = 5,      // two closed threes, or a closed three and a two
  ClassOpenThree = 6,         // a lone open three
  ClassOpenThreePlus = 7,     // an open three with a closed three or a two
  ClassDoubleThree = 8,       // two open threes
  ClassFour = 9,              // a lone four
  ClassFourPlus = 10,         // a four with a closed three or a two
  ClassFourThree = 11,        // a four with an open three
  ClassOpenFour = 12,         // an open four, or two fours: wins unless the opponent has a five
  ClassFive = 13,             // makes five
  CellClassCount = 14
};

// Number of distinct PatternKeys: four line codes of 18 values each.
constexpr int PatternKeyCount = LineCodeCount * LineCodeCount * LineCodeCount * LineCodeCount;
constexpr int patternKey(int c0, int c1, int c2, int c3) {
  return ((c0 * LineCodeCount + c1) * LineCodeCount + c2) * LineCodeCount + c3;
}

// Scores seen from the side to move. DecidedScore and above is a proven win; a five made at ply p
// (counted from the root) scores winIn(p) = WinScore - p, and the five the opponent makes there
// lossIn(p). Nearer wins score higher, nearer losses lower.
constexpr int32_t WinScore = 20000;
constexpr int32_t DecidedScore = 19000;
constexpr int32_t winIn(int32_t ply) { return WinScore - ply; }
constexpr int32_t lossIn(int32_t ply) { return ply - WinScore; }
constexpr bool isWin(int32_t score) { return score >= DecidedScore; }
constexpr bool isLoss(int32_t score) { return score <= -DecidedScore; }
constexpr bool isDecided(int32_t score) { return isWin(score) || isLoss(score); }
constexpr int32_t NoScore = -32768;            // start value of a node's best score
constexpr int32_t InfiniteScore = 2147483646;  // root search window
constexpr int32_t UnknownScore = -2147483646;  // an interrupted root move
constexpr int16_t ForbiddenMoveScore = -29000;

}  // namespace kesta
