// The position record: coordinates, the padded layout, the box, push/pop and the hash.
#include "board/board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kesta {
namespace {

std::string boxText(const Board& b) {
  return std::to_string(b.box.xMin) + ".." + std::to_string(b.box.xMax) + " x " + std::to_string(b.box.yMin) +
         ".." + std::to_string(b.box.yMax);
}

int countCells(const Board& b, uint8_t code) {
  return int(std::count(std::begin(b.cells), std::end(b.cells), code));
}

// Compares everything that describes the position. Entries of moves and boxHistory beyond
// moveCount are scratch space that popStone leaves behind, so only the live prefix counts.
void expectSamePosition(const Board& a, const Board& b) {
  EXPECT_TRUE(std::equal(std::begin(a.cells), std::end(a.cells), std::begin(b.cells)));
  EXPECT_EQ(a.size, b.size);
  EXPECT_EQ(a.centre, b.centre);
  EXPECT_EQ(a.firstCell, b.firstCell);
  EXPECT_EQ(a.lastCell, b.lastCell);
  EXPECT_EQ(a.cellCount, b.cellCount);
  ASSERT_EQ(a.moveCount, b.moveCount);
  EXPECT_TRUE(std::equal(a.moves.begin(), a.moves.begin() + a.moveCount, b.moves.begin()));
  EXPECT_TRUE(std::equal(a.boxHistory.begin(), a.boxHistory.begin() + a.moveCount, b.boxHistory.begin()));
  EXPECT_EQ(a.sideToMove, b.sideToMove);
  EXPECT_EQ(a.opponent, b.opponent);
  EXPECT_EQ(a.hash, b.hash);
  EXPECT_EQ(boxWord(a.box), boxWord(b.box));
  EXPECT_EQ(a.moves.size(), b.moves.size());
  EXPECT_EQ(a.boxHistory.size(), b.boxHistory.size());
}

// The box from its definition: the union of the 7x7 squares around the stones, clipped to the
// board and stretched to at least 5 cells on each axis.
uint32_t expectedBoxWord(const Board& b) {
  if (b.moveCount == 0) return EmptyBoxWord;
  const int n = b.size;
  int xLo = n, yLo = n, xHi = -1, yHi = -1;
  for (int i = 0; i < b.moveCount; ++i) {
    const int x = cellX(b.moves[i]), y = cellY(b.moves[i]);
    xLo = std::min(xLo, std::max(x - 3, 0));
    yLo = std::min(yLo, std::max(y - 3, 0));
    xHi = std::max(xHi, std::min(x + 3, n - 1));
    yHi = std::max(yHi, std::min(y + 3, n - 1));
  }
  xLo = std::min(xLo, n - 5);
  yLo = std::min(yLo, n - 5);
  xHi = std::max(xHi, 4);
  yHi = std::max(yHi, 4);
  return boxWord(Box{uint8_t(xLo), uint8_t(yLo), uint8_t(xHi), uint8_t(yHi)});
}

uint64_t stoneKeys(const Board& b) {
  uint64_t h = 0;
  for (int t = 0; t < BoardCells; ++t)
    if (b.cells[t] == Black || b.cells[t] == White) h ^= Zobrist.stone[b.cells[t]][t];
  return h;
}

TEST(BoardCoordinates, CellIndexOfProtocolCoordinates) {
  EXPECT_EQ(cellOf(7, 7), 396);
  EXPECT_EQ(cellOf(14, 0), 179);
  EXPECT_EQ(cellOf(0, 14), 613);
  EXPECT_EQ(cellOf(0, 0), 165);
  EXPECT_EQ(cellOf(21, 21), 858);
  // Every cell of the padded array converts both ways, border included.
  for (int y = -5; y < BoardSpan - 5; ++y) {
    for (int x = -5; x < BoardSpan - 5; ++x) {
      const CellIndex c = cellOf(x, y);
      ASSERT_LT(c, BoardCells);
      EXPECT_EQ(cellX(c), x);
      EXPECT_EQ(cellY(c), y);
    }
  }
  // The protocol sums wrap modulo 256, so no coordinate can name a cell outside the array.
  EXPECT_EQ(cellOf(256 + 7, 7), cellOf(7, 7));
  EXPECT_LT(cellOf(255, 255), BoardCells);
}

TEST(BoardCoordinates, DirectionSteps) {
  const CellIndex c = cellOf(7, 7);
  EXPECT_EQ(c + DirectionStep[0], cellOf(8, 7));
  EXPECT_EQ(c + DirectionStep[1], cellOf(6, 8));
  EXPECT_EQ(c + DirectionStep[2], cellOf(7, 8));
  EXPECT_EQ(c + DirectionStep[3], cellOf(8, 8));
}

TEST(BoardLayout, FifteenAndTwenty) {
  const auto b15 = std::make_unique<Board>(15);
  EXPECT_EQ(b15->size, 15);
  EXPECT_EQ(b15->centre, 7);
  EXPECT_EQ(b15->firstCell, 165);
  EXPECT_EQ(b15->lastCell, 627);
  EXPECT_EQ(b15->lastCell, cellOf(14, 14));
  EXPECT_EQ(b15->cellCount, 225);
  EXPECT_EQ(countCells(*b15, Empty), 225);
  EXPECT_EQ(countCells(*b15, Wall), 799);
  EXPECT_EQ(b15->moveCount, 0);
  EXPECT_EQ(b15->sideToMove, 0);
  EXPECT_EQ(b15->opponent, 1);
  EXPECT_EQ(boxWord(b15->box), EmptyBoxWord);

  const auto b20 = std::make_unique<Board>(20);
  EXPECT_EQ(b20->lastCell, 792);
  EXPECT_EQ(b20->lastCell, cellOf(19, 19));
  EXPECT_EQ(b20->centre, 10);
  EXPECT_EQ(b20->cellCount, 400);
  EXPECT_EQ(countCells(*b20, Empty), 400);
}

TEST(BoardLayout, EveryLegalSizeIsWalledOnAllSides) {
  for (int n = MinBoardSize; n <= MaxBoardSize; ++n) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const auto b = std::make_unique<Board>(n);
    EXPECT_EQ(b->centre, n / 2);
    EXPECT_EQ(b->lastCell, cellOf(n - 1, n - 1));
    EXPECT_EQ(b->moves.size(), size_t(n * n));
    EXPECT_EQ(b->boxHistory.size(), size_t(n * n));
    EXPECT_TRUE(std::all_of(b->boxHistory.begin(), b->boxHistory.end(),
                            [](int32_t w) { return w == int32_t(EmptyBoxWord); }));
    int empty = 0;
    for (int t = 0; t < BoardCells; ++t) {
      const int x = cellX(CellIndex(t)), y = cellY(CellIndex(t));
      const bool inside = x >= 0 && y >= 0 && x < n && y < n;
      ASSERT_EQ(b->cells[t], inside ? Empty : Wall) << "x " << x << " y " << y;
      EXPECT_EQ(insideBoard(*b, x, y), inside);
      if (!inside) continue;
      ++empty;
      // A window of five cells either way along every line stays inside the array.
      for (int step : DirectionStep) {
        EXPECT_GE(t - 5 * step, 0);
        EXPECT_LT(t + 5 * step, BoardCells);
      }
    }
    EXPECT_EQ(empty, n * n);
  }
}

TEST(BoardLayout, BoxWordPacking) {
  const Box empty = boxOf(EmptyBoxWord);
  EXPECT_EQ(empty.xMin, 255);
  EXPECT_EQ(empty.yMin, 255);
  EXPECT_EQ(empty.xMax, 0);
  EXPECT_EQ(empty.yMax, 0);
  const Box b{1, 2, 3, 4};
  EXPECT_EQ(boxWord(b), 0x04030201u);
  EXPECT_EQ(boxWord(boxOf(0x0d0c0b0au)), 0x0d0c0b0au);
}

TEST(BoardBox, EdgesAndGrowth) {
  {
    Board b(15);
    pushStone(b, cellOf(0, 0));
    EXPECT_EQ(boxText(b), "0..4 x 0..4");
    pushStone(b, cellOf(7, 7));
    EXPECT_EQ(boxText(b), "0..10 x 0..10");
    popStone(b);
    EXPECT_EQ(boxText(b), "0..4 x 0..4");
  }
  {
    Board b(15);
    pushStone(b, cellOf(14, 14));
    EXPECT_EQ(boxText(b), "10..14 x 10..14");
  }
  {
    Board b(15);
    pushStone(b, cellOf(7, 7));
    EXPECT_EQ(boxText(b), "4..10 x 4..10");
    pushStone(b, cellOf(14, 0));
    EXPECT_EQ(boxText(b), "4..14 x 0..10");
  }
  {
    // The smallest board: a corner stone still gets a 5-wide box.
    Board b(6);
    pushStone(b, cellOf(5, 5));
    EXPECT_EQ(boxText(b), "1..5 x 1..5");
  }
}

// Random games on every size: each push is undone by a pop to the exact earlier position,
// and the derived fields (turn, box, hash) follow their definitions along the way.
TEST(BoardPushPop, RandomSequencesRestoreEveryField) {
  std::mt19937 rng(20240611);
  for (int n = MinBoardSize; n <= MaxBoardSize; ++n) {
    SCOPED_TRACE("n = " + std::to_string(n));
    const auto b = std::make_unique<Board>(n);
    const uint64_t hash0 = b->hash;
    std::vector<Board> history;  // history[k] is the position with k stones
    history.reserve(size_t(n * n) + 1);
    history.push_back(*b);
    for (int round = 0; round < 200; ++round) {
      const bool push = b->moveCount == 0 || (b->moveCount < b->cellCount && rng() % 3 != 0);
      if (push) {
        CellIndex cell;
        do {
          cell = cellOf(int(rng() % unsigned(n)), int(rng() % unsigned(n)));
        } while (b->cells[cell] != Empty);
        const uint8_t side = b->sideToMove;
        pushStone(*b, cell);
        history.push_back(*b);
        EXPECT_EQ(b->cells[cell], side);
        EXPECT_EQ(b->moves[b->moveCount - 1], cell);
        EXPECT_EQ(uint32_t(b->boxHistory[b->moveCount - 1]), boxWord(history[history.size() - 2].box));
      } else {
        popStone(*b);
        history.pop_back();
        expectSamePosition(*b, history.back());
      }
      ASSERT_EQ(b->moveCount + 1, int(history.size()));
      EXPECT_EQ(b->sideToMove, b->moveCount % 2);
      EXPECT_EQ(b->opponent, 1 - b->sideToMove);
      EXPECT_EQ(boxWord(b->box), expectedBoxWord(*b));
      EXPECT_EQ(b->hash, hash0 ^ stoneKeys(*b));
      if (HasFailure()) return;
    }
    while (b->moveCount > 0) {
      popStone(*b);
      history.pop_back();
      expectSamePosition(*b, history.back());
    }
    EXPECT_EQ(b->hash, hash0);
    EXPECT_EQ(countCells(*b, Empty), n * n);
  }
}

TEST(BoardPushPop, FillWholeBoardAndEmptyIt) {
  const auto b = std::make_unique<Board>(6);
  const Board start = *b;
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) pushStone(*b, cellOf(x, y));
  EXPECT_EQ(b->moveCount, 36);
  EXPECT_EQ(countCells(*b, Empty), 0);
  EXPECT_EQ(countCells(*b, Black), 18);
  EXPECT_EQ(countCells(*b, White), 18);
  EXPECT_EQ(boxText(*b), "0..5 x 0..5");
  while (b->moveCount > 0) popStone(*b);
  expectSamePosition(*b, start);
}

TEST(BoardHash, OrderFreeButColourAware) {
  const auto b = std::make_unique<Board>(15);
  const uint64_t h0 = b->hash;
  const CellIndex a = cellOf(3, 4), c = cellOf(9, 2), d = cellOf(7, 7);

  // Black a, White c, Black d in either Black order.
  pushStone(*b, a);
  pushStone(*b, c);
  pushStone(*b, d);
  const uint64_t first = b->hash;
  popStone(*b);
  popStone(*b);
  popStone(*b);
  EXPECT_EQ(b->hash, h0);
  pushStone(*b, d);
  pushStone(*b, c);
  pushStone(*b, a);
  EXPECT_EQ(b->hash, first);
  popStone(*b);
  popStone(*b);
  popStone(*b);

  // The same two cells with the colours swapped hash differently.
  pushStone(*b, a);
  pushStone(*b, c);
  const uint64_t blackA = b->hash;
  popStone(*b);
  popStone(*b);
  pushStone(*b, c);
  pushStone(*b, a);
  EXPECT_NE(b->hash, blackA);
  popStone(*b);
  popStone(*b);

  // A Black and a White stone on one cell have different keys everywhere on the board.
  for (int t = b->firstCell; t <= b->lastCell; ++t) {
    if (b->cells[t] == Empty) {
      EXPECT_NE(Zobrist.stone[0][t], Zobrist.stone[1][t]) << t;
    }
  }
}

TEST(BoardHash, OneSetOfKeysDrawnInFixedOrder) {
  // The keys of a seed are the generator's draws in order: Black's cells, then White's.
  drawZobristKeys(20261210);
  std::mt19937_64 predicted(20261210);
  for (int s = 0; s < 2; ++s)
    for (int t = 0; t < BoardCells; ++t) ASSERT_EQ(Zobrist.stone[s][t], predicted()) << s << " " << t;

  // Every board hashes with them, whatever its size: the same stones hash alike.
  const auto small = std::make_unique<Board>(6), large = std::make_unique<Board>(22);
  for (Board* b : {small.get(), large.get()}) {
    pushStone(*b, cellOf(2, 3));
    pushStone(*b, cellOf(4, 1));
  }
  EXPECT_EQ(small->hash, large->hash);
  EXPECT_EQ(small->hash, Zobrist.stone[Black][cellOf(2, 3)] ^ Zobrist.stone[White][cellOf(4, 1)]);

  // New keys change the hash of the stones, which rehash recomputes.
  drawZobristKeys(7);
  rehash(*small);
  EXPECT_EQ(small->hash, Zobrist.stone[Black][cellOf(2, 3)] ^ Zobrist.stone[White][cellOf(4, 1)]);
  EXPECT_NE(small->hash, large->hash);
}

TEST(BoardClear, EmptiesTheBoard) {
  const auto b = std::make_unique<Board>(9);
  const auto fresh = std::make_unique<Board>(*b);
  pushStone(*b, cellOf(0, 0));
  pushStone(*b, cellOf(8, 8));
  pushStone(*b, cellOf(4, 4));
  clearBoard(*b);
  EXPECT_TRUE(std::equal(std::begin(b->cells), std::end(b->cells), std::begin(fresh->cells)));
  EXPECT_EQ(b->moveCount, 0);
  EXPECT_EQ(b->sideToMove, 0);
  EXPECT_EQ(b->opponent, 1);
  EXPECT_EQ(b->hash, 0u);
  EXPECT_EQ(boxWord(b->box), EmptyBoxWord);
  EXPECT_EQ(b->moves.size(), 81u);
}

}  // namespace
}  // namespace kesta
