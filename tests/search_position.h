// Positions for the search and think tests: a Board and an Engine over it with the built-in weights
// and search parameters (an empty directory stands in for the executable's), stones taken from ASCII
// art or from a move list, and the per-think set-up that lets a test call rootSearch directly.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/line_state.h"
#include "core/clock.h"
#include "core/types.h"
#include "eval/eval_tables.h"
#include "search/engine.h"
#include "search/trans_table.h"
#include "support/temp_dir.h"

namespace kesta::searchtest {

inline std::string at(CellIndex c) {
  return std::to_string(cellX(c)) + "," + std::to_string(cellY(c));
}

// A Board of the given side and an Engine over it, built for rule, with an empty table.
struct Game {
  kesta_test::TempExeDir dir;
  std::unique_ptr<Board> board;
  std::unique_ptr<Engine> engine;

  Game(int size, uint8_t rule) {
    board = std::make_unique<Board>(size);
    engine = std::make_unique<Engine>(*board, Rule(rule), 1u << 18);
    clearTable(*engine->TransTable);
  }

  Engine& e() { return *engine; }
  Board& b() { return *board; }

  // Plays "x,y x,y ..." in order, colours alternating from Black.
  void play(const std::string& moves) {
    std::istringstream in(moves);
    std::string token;
    while (in >> token) {
      const size_t comma = token.find(',');
      ASSERT_NE(comma, std::string::npos) << token;
      const int x = std::stoi(token.substr(0, comma)), y = std::stoi(token.substr(comma + 1));
      ASSERT_TRUE(insideBoard(*board, x, y)) << token;
      ASSERT_EQ(board->cells[cellOf(x, y)], Empty) << token;
      makeMove(*engine, cellOf(x, y));
    }
    engine->ply = 0;
  }

  // Sets the stones of an ASCII picture ('X' Black, 'O' White, '.' empty; blanks ignored), anchored
  // at (0, 0), row by row; then toMove is the side to move. Each stone goes through makeMove.
  void draw(const std::string& art, uint8_t toMove) {
    std::istringstream in(art);
    std::string line;
    int y = 0;
    while (std::getline(in, line)) {
      int x = 0;
      bool any = false;
      for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r') continue;
        any = true;
        if (c == 'X' || c == 'O') {
          ASSERT_TRUE(insideBoard(*board, x, y)) << "stone off the board at " << x << "," << y;
          board->sideToMove = c == 'X' ? Black : White;
          board->opponent = board->sideToMove ^ 1;
          makeMove(*engine, cellOf(x, y));
        } else {
          ASSERT_EQ(c, '.') << "unexpected character in the picture";
        }
        ++x;
      }
      if (any) ++y;
    }
    board->sideToMove = toMove;
    board->opponent = toMove ^ 1;
    engine->ply = 0;
  }

  // The per-think state of the think entry and the deepening loop, for calling rootSearch alone.
  void startThink() {
    Engine& en = *engine;
    en.ThinkStartMs = nowMs();
    en.Stopped = 0;
    en.SearchCounter = 0;
    en.ply = 0;
    for (int t = board->firstCell; t <= board->lastCell; ++t)
      if (board->cells[t] != Wall) en.cellInfo[t].rootLoss = 0;
    ageTable(*en.TransTable);
    MovePicker& root = en.PlyLists[0];
    root.moves.clear();
    root.stage = 1;
    root.index = 0;
  }

  bool emptyCell(CellIndex c) const { return c < BoardCells && board->cells[c] == Empty; }
};

}  // namespace kesta::searchtest
