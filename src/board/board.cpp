#include "board/board.h"

#include <ctime>
#include <random>

namespace kesta {

namespace {

ZobristKeys keysFrom(uint64_t seed) {
  ZobristKeys keys;
  std::mt19937_64 rng(seed);
  for (int s = 0; s < 2; ++s)
    for (int i = 0; i < BoardCells; ++i) keys.stone[s][i] = rng();
  return keys;
}

}  // namespace

ZobristKeys Zobrist = keysFrom(static_cast<uint64_t>(std::time(nullptr)));

void drawZobristKeys(uint64_t seed) {
  Zobrist = keysFrom(seed);
}

static bool insideSquare(int i, int n) {
  // The differences are taken as unsigned bytes, so the negative border compares as 251 or more.
  return uint8_t((i & 31) - 5) < n && uint8_t((i >> 5) - 5) < n;
}

Board::Board(int n) {
  moveCount = 0;
  sideToMove = 0;
  opponent = 1;
  box = boxOf(EmptyBoxWord);
  cellCount = n * n;
  centre = uint8_t(n >> 1);
  size = uint8_t(n);
  firstCell = 165;
  lastCell = uint16_t((n + 4) * 33);
  for (int i = 0; i < BoardCells; ++i) cells[i] = insideSquare(i, n) ? Empty : Wall;
  hash = 0;
  moves.assign(size_t(cellCount), 0);
  boxHistory.assign(size_t(cellCount), int32_t(EmptyBoxWord));
}

void rehash(Board& b) {
  b.hash = 0;
  for (int i = 0; i < BoardCells; ++i)
    if (b.cells[i] == Black || b.cells[i] == White) b.hash ^= Zobrist.stone[b.cells[i]][i];
}

void clearBoard(Board& b) {
  for (int i = 0; i < BoardCells; ++i) b.cells[i] = insideSquare(i, b.size) ? Empty : Wall;
  b.moveCount = 0;
  b.sideToMove = 0;
  b.opponent = 1;
  b.hash = 0;
  b.box = boxOf(EmptyBoxWord);
}

}  // namespace kesta
