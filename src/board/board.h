// The Board: stones, side to move, move list, hash, and the box of candidate cells; and the
// process-wide Zobrist keys. Entry points: Board construction, pushStone, popStone, updateBox.
#pragma once

#include <cstdint>
#include <vector>

#include "core/types.h"

namespace kesta {

// Search window in board coordinates; packed as one 32-bit word with xMin in the lowest byte.
struct Box {
  uint8_t xMin, yMin, xMax, yMax;
};
constexpr uint32_t EmptyBoxWord = 0x0000FFFF;  // xMin = yMin = 255, xMax = yMax = 0

inline uint32_t boxWord(Box b) {
  return uint32_t(b.xMin) | uint32_t(b.yMin) << 8 | uint32_t(b.xMax) << 16 | uint32_t(b.yMax) << 24;
}
inline Box boxOf(uint32_t w) {
  return Box{uint8_t(w), uint8_t(w >> 8), uint8_t(w >> 16), uint8_t(w >> 24)};
}

// The Zobrist key of a stone of each colour on each cell, one set for the whole process, so that
// every board (and every search thread's board) hashes a position alike. Drawn at start-up from
// the calendar time, and again only by drawZobristKeys, between games.
struct ZobristKeys {
  uint64_t stone[2][BoardCells];
};
extern ZobristKeys Zobrist;

// Draws the keys from a generator seeded with seed, black's cells first, then white's. Only while
// no search runs: every board's hash must then be recomputed (rehash).
void drawZobristKeys(uint64_t seed);

struct Board {
  uint8_t cells[BoardCells];
  uint8_t size;
  uint8_t centre;
  uint16_t firstCell;
  uint16_t lastCell;
  int32_t cellCount;
  int32_t moveCount;
  std::vector<uint16_t> moves;  // cellCount entries, moves[moveCount - 1] is the last move
  uint8_t sideToMove;
  uint8_t opponent;
  uint64_t hash;  // the keys of the stones on the board, XORed
  Box box;
  std::vector<int32_t> boxHistory;  // box word before each ply's stone

  // Builds an empty board of side n (6..22; the caller validates).
  explicit Board(int n);
};

// True when (x, y) lies on an n-by-n board; the whole range is checked before any cell is read.
inline bool insideBoard(const Board& b, int x, int y) { return x >= 0 && y >= 0 && x < b.size && y < b.size; }

// Widens the box around a new stone at cell.
inline void updateBox(Board& b, CellIndex cell) {
  const int x = cellX(cell), y = cellY(cell), n = b.size;
  auto mn = [](int a, int c) { return a < c ? a : c; };
  auto mx = [](int a, int c) { return a > c ? a : c; };
  b.box.xMin = uint8_t(mn(mn(b.box.xMin, mx(x - 3, 0)), n - 5));
  b.box.yMin = uint8_t(mn(mn(b.box.yMin, mx(y - 3, 0)), n - 5));
  b.box.xMax = uint8_t(mx(mx(b.box.xMax, mn(x + 3, n - 1)), 4));
  b.box.yMax = uint8_t(mx(mx(b.box.yMax, mn(y + 3, n - 1)), 4));
}

// Places a stone of sideToMove on an Empty cell and passes the turn.
inline void pushStone(Board& b, CellIndex cell) {
  b.cells[cell] = b.sideToMove;
  b.hash ^= Zobrist.stone[b.sideToMove][cell];
  b.moves[b.moveCount] = cell;
  b.boxHistory[b.moveCount] = int32_t(boxWord(b.box));
  updateBox(b, cell);
  b.sideToMove ^= 1;
  b.opponent ^= 1;
  b.moveCount += 1;
}

// Removes the last stone and gives the turn back. Requires moveCount > 0.
inline void popStone(Board& b) {
  b.moveCount -= 1;
  const CellIndex cell = b.moves[b.moveCount];
  b.hash ^= Zobrist.stone[b.cells[cell]][cell];
  b.cells[cell] = Empty;
  b.box = boxOf(uint32_t(b.boxHistory[b.moveCount]));
  b.sideToMove ^= 1;
  b.opponent ^= 1;
}

// Recomputes the hash of the stones on the board from the keys in force.
void rehash(Board& b);

// Empties the board for a new game; keeps the arrays.
void clearBoard(Board& b);

}  // namespace kesta
