// Test positions: a Board and an Engine over it with the tables of a chosen rule and the built-in
// weights and search parameters (an empty directory stands in for the executable's), stones set
// from ASCII art or from a move list, the per-think set-up that lets a test call rootSearch
// directly, and snapshots of the whole line state for byte-identical restore checks.
//
// Art: one text row per board row y, one character per column x (blanks are ignored):
//   X Black stone, O White stone, . or + empty, a..z a labelled empty cell (see Position::at),
//   any other capital an empty cell with a mark (Position::marks), which tests give a meaning.
// Stones are made with makeMove in scan order (Black's first, then White's), each with the colour
// forced through sideToMove; a stone given as lastMove is made last.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/line_state.h"
#include "core/clock.h"
#include "core/types.h"
#include "search/engine.h"
#include "search/trans_table.h"
#include "temp_dir.h"

namespace kesta::testpos {

inline std::string coord(CellIndex c) {
  return std::to_string(cellX(c)) + "," + std::to_string(cellY(c));
}

struct ArtOptions {
  int size = 15;
  int originX = 0;  // board coordinates of the art's first character
  int originY = 0;
  int sideToMove = Black;
  CellIndex lastMove = 0;  // a stone of the art to make last (0: scan order)
};

inline std::vector<std::string> artRows(const std::string& art) {
  std::vector<std::string> rows;
  std::string row;
  auto flush = [&] {
    if (!row.empty()) rows.push_back(row);
    row.clear();
  };
  for (char c : art) {
    if (c == '\n')
      flush();
    else if (c != ' ' && c != '\t' && c != '\r')
      row += c;
  }
  flush();
  return rows;
}

// A Board of the given side and an Engine over it, with the tables built for rule and an empty
// transposition table of tableBuckets buckets.
struct Position {
  kesta_test::TempExeDir dir;
  std::unique_ptr<Board> board;
  std::unique_ptr<Engine> engine;
  std::map<char, CellIndex> labels;               // lower-case letters: one empty cell each
  std::vector<std::pair<char, CellIndex>> marks;  // other capitals: empty cells, may repeat
  int artX = 0, artY = 0, artWidth = 0, artHeight = 0;

  explicit Position(uint8_t rule, int size = 15, uint32_t tableBuckets = 1u << 16)
      : board(std::make_unique<Board>(size)),
        engine(std::make_unique<Engine>(*board, Rule(rule), tableBuckets)) {
    clearTable(*engine->TransTable);
  }

  Engine& e() { return *engine; }
  Board& b() { return *board; }

  // The labelled empty cell of the art.
  CellIndex at(char label) const {
    const auto it = labels.find(label);
    EXPECT_NE(it, labels.end()) << "no cell labelled " << label;
    return it == labels.end() ? CellIndex(0) : it->second;
  }

  // Makes a stone of the given colour whatever the side to move; the turn passes as usual.
  void play(int colour, int x, int y) {
    Board& bd = *board;
    EXPECT_TRUE(insideBoard(bd, x, y)) << x << "," << y;
    const CellIndex c = cellOf(x, y);
    EXPECT_EQ(bd.cells[c], Empty) << "occupied twice: " << coord(c);
    bd.sideToMove = uint8_t(colour);
    bd.opponent = uint8_t(colour ^ 1);
    makeMove(*engine, c);
  }

  // Plays the moves in order, colours alternating from the side to move, as the protocol's BOARD
  // would; then ply is 0.
  void play(const std::vector<std::pair<int, int>>& moves) {
    for (const auto& [x, y] : moves) {
      const bool free = insideBoard(*board, x, y) && board->cells[cellOf(x, y)] == Empty;
      EXPECT_TRUE(free) << "no free cell at " << x << "," << y;
      if (!free) break;
      makeMove(*engine, cellOf(x, y));
    }
    engine->ply = 0;
  }

  // The same with the moves given as "x,y x,y ...".
  void play(const std::string& moves) {
    std::istringstream in(moves);
    std::vector<std::pair<int, int>> cells;
    for (std::string token; in >> token;) {
      const size_t comma = token.find(',');
      ASSERT_NE(comma, std::string::npos) << token;
      cells.emplace_back(std::stoi(token.substr(0, comma)), std::stoi(token.substr(comma + 1)));
    }
    play(cells);
  }

  // Sets up the art (see the file comment) on this position, anchored at opt's origin; then
  // opt.sideToMove is to move and ply is 0. opt.size is fromArt's.
  void draw(const std::string& art, const ArtOptions& opt = {}) {
    const std::vector<std::string> rows = artRows(art);
    artX = opt.originX;
    artY = opt.originY;
    artHeight = int(rows.size());
    std::vector<std::pair<int, CellIndex>> stones;
    for (size_t r = 0; r < rows.size(); ++r) {
      artWidth = std::max(artWidth, int(rows[r].size()));
      for (size_t col = 0; col < rows[r].size(); ++col) {
        const int x = opt.originX + int(col), y = opt.originY + int(r);
        const char ch = rows[r][col];
        EXPECT_TRUE(insideBoard(*board, x, y)) << "art runs off the board at " << x << "," << y;
        if (ch == 'X' || ch == 'O') {
          stones.emplace_back(ch == 'X' ? Black : White, cellOf(x, y));
        } else if (std::islower(static_cast<unsigned char>(ch))) {
          EXPECT_EQ(labels.count(ch), 0u) << "label used twice: " << ch;
          labels[ch] = cellOf(x, y);
        } else if (std::isupper(static_cast<unsigned char>(ch))) {
          marks.emplace_back(ch, cellOf(x, y));
        } else {
          EXPECT_TRUE(ch == '.' || ch == '+') << "unknown art character " << ch;
        }
      }
    }
    std::stable_sort(stones.begin(), stones.end(), [&](const auto& a, const auto& b) {
      const int ka = a.second == opt.lastMove ? 2 : a.first, kb = b.second == opt.lastMove ? 2 : b.first;
      return ka < kb;
    });
    if (opt.lastMove != 0) {
      EXPECT_TRUE(!stones.empty() && stones.back().second == opt.lastMove)
          << "lastMove is not a stone of the art";
    }
    for (const auto& [colour, cell] : stones) play(colour, cellX(cell), cellY(cell));
    setSideToMove(opt.sideToMove);
    engine->ply = 0;
  }
  void draw(const std::string& art, int sideToMove) {
    ArtOptions opt;
    opt.sideToMove = sideToMove;
    draw(art, opt);
  }

  void setSideToMove(int side) {
    board->sideToMove = uint8_t(side);
    board->opponent = uint8_t(side ^ 1);
  }

  // The per-think state of the think entry and the deepening loop, for calling rootSearch alone.
  void startThink() {
    Engine& en = *engine;
    en.ThinkStartMs = nowMs();
    en.Stopped = 0;
    en.SearchCounter = 0;
    en.otherNodes = 0;
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

// The search and think tests' position: side first, and a larger table.
struct Game : Position {
  Game(int size, uint8_t rule) : Position(rule, size, 1u << 18) {}
};

// A fresh Engine on an empty board of the given size, with the tables built for rule.
inline std::unique_ptr<Position> emptyPosition(uint8_t rule, int size = 15) {
  return std::make_unique<Position>(rule, size);
}

// Sets up the art (see the file comment) and returns the position with ply 0.
inline std::unique_ptr<Position> fromArt(uint8_t rule, const std::string& art, const ArtOptions& opt = {}) {
  auto p = emptyPosition(rule, opt.size);
  p->draw(art, opt);
  return p;
}

// Sets up a move list played in order, Black first, as the protocol's BOARD would.
inline std::unique_ptr<Position> fromMoves(uint8_t rule, const std::vector<std::pair<int, int>>& moves,
                                           int size = 15) {
  auto p = emptyPosition(rule, size);
  p->play(moves);
  return p;
}

// Everything make and unmake keep: the CellInfo records byte for byte, the sums and counters,
// ply, and the Board (cells, moves played, side to move, hash, box).
struct StateSnapshot {
  std::vector<CellInfo> cellInfo;  // copied byte for byte
  int32_t evalSum[2] = {};
  int32_t classCount[2][14] = {};
  int32_t ply = 0;
  std::vector<uint8_t> cells;
  std::vector<uint16_t> moves;
  int32_t moveCount = 0;
  uint8_t sideToMove = 0, opponent = 0;
  uint64_t hash = 0;
  uint32_t box = 0;

  explicit StateSnapshot(const Engine& e) {
    cellInfo.resize(BoardCells);
    std::memcpy(cellInfo.data(), e.cellInfo, sizeof e.cellInfo);
    std::memcpy(evalSum, e.evalSum, sizeof evalSum);
    std::memcpy(classCount, e.classCount, sizeof classCount);
    ply = e.ply;
    const Board& b = *e.board;
    cells.assign(b.cells, b.cells + BoardCells);
    moves.assign(b.moves.begin(), b.moves.begin() + b.moveCount);
    moveCount = b.moveCount;
    sideToMove = b.sideToMove;
    opponent = b.opponent;
    hash = b.hash;
    box = boxWord(b.box);
  }
};

// Success when after equals before in every field; otherwise names the first difference.
inline ::testing::AssertionResult sameState(const StateSnapshot& before, const StateSnapshot& after) {
  const auto* was = reinterpret_cast<const unsigned char*>(before.cellInfo.data());
  const auto* is = reinterpret_cast<const unsigned char*>(after.cellInfo.data());
  for (size_t i = 0; i < sizeof(CellInfo) * BoardCells; ++i)
    if (was[i] != is[i])
      return ::testing::AssertionFailure() << "CellInfo of " << coord(CellIndex(i / sizeof(CellInfo)))
                                           << " differs at byte " << i % sizeof(CellInfo);
  if (std::memcmp(before.evalSum, after.evalSum, sizeof before.evalSum) != 0)
    return ::testing::AssertionFailure() << "evalSum differs";
  for (int s = 0; s < 2; ++s)
    for (int c = 0; c < 14; ++c)
      if (before.classCount[s][c] != after.classCount[s][c])
        return ::testing::AssertionFailure() << "classCount[" << s << "][" << c << "] "
                                             << before.classCount[s][c] << " -> " << after.classCount[s][c];
  if (before.ply != after.ply)
    return ::testing::AssertionFailure() << "ply " << before.ply << " -> " << after.ply;
  if (before.cells != after.cells) return ::testing::AssertionFailure() << "board cells differ";
  if (before.moveCount != after.moveCount || before.moves != after.moves)
    return ::testing::AssertionFailure() << "move list differs";
  if (before.sideToMove != after.sideToMove || before.opponent != after.opponent)
    return ::testing::AssertionFailure() << "side to move differs";
  if (before.hash != after.hash) return ::testing::AssertionFailure() << "hash differs";
  if (before.box != after.box) return ::testing::AssertionFailure() << "box differs";
  return ::testing::AssertionSuccess();
}

// White's four on the anti-diagonal (last stone 7,5) can only be completed at b, since Black
// closes its other end; b is Black's double four (two open fours), so under renju the only
// block is forbidden.
inline const char* const WhiteFourBlockedOnBlackDoubleFour = R"(
    . . . . . . . . . . . . .
    . . . . . . . . . . . X .
    . . . . . . . . . . O . .
    . . . . . . X . . O . . .
    . . . . . . X . O . . . .
    . . . . . . X O . . . . .
    . . . X X X b . . . . . .
    . . . . . . . . . . . . .
  )";

}  // namespace kesta::testpos
