// kesta-tool selfplay: the engine plays itself from the empty board, each move printed with the board.
#include <iomanip>
#include <iostream>

#include "core/clock.h"
#include "search/think.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

void printBoard(const Board& b, CellIndex last, std::ostream& out) {
  out << "   ";
  for (int x = 0; x < b.size; ++x) out << std::setw(3) << x;
  out << "\n";
  for (int y = 0; y < b.size; ++y) {
    out << std::setw(3) << y;
    for (int x = 0; x < b.size; ++x) {
      const CellIndex t = cellOf(x, y);
      const char c = b.cells[t] == Black ? 'X' : b.cells[t] == White ? 'O' : '.';
      out << (t == last ? " [" : "  ") << c;
      if (t == last) out << "]";
    }
    out << "\n";
  }
}

}  // namespace

int cmdSelfplay(const Options& opt) {
  long long turn = 0;
  if (!readInt(opt, "turn-time", 1000, 1, NoLimit, turn)) return 1;
  Options o = opt;
  o.values.erase("moves");
  o.values.erase("black");
  o.values.erase("white");
  Position pos;
  if (!setUpPosition(o, pos, true, MaxTableBuckets)) return 1;
  Engine& e = *pos.engine;
  Board& b = *pos.board;
  e.Settings.TimeoutTurn = int32_t(turn);
  for (;;) {
    const int32_t start = nowMs();
    const CellIndex move = think(e).move;
    const int32_t took = elapsedMs(start);
    if (move >= BoardCells || b.cells[move] != Empty) {
      std::cout << "result draw (board full)\n";
      return 0;
    }
    const char* who = b.sideToMove == Black ? "Black" : "White";
    const int judged = applyAndJudge(e, cellX(move), cellY(move));
    std::cout << "move " << b.moveCount << " " << who << " " << coords(move) << " (" << took << " ms)\n";
    printBoard(b, move, std::cout);
    if (judged == 1) {
      std::cout << "result " << who << " wins with five\n";
      return 0;
    }
    if (judged == -1) {
      std::cout << "result White wins (Black's forbidden move)\n";
      return 0;
    }
    if (b.moveCount == b.cellCount) {
      std::cout << "result draw (board full)\n";
      return 0;
    }
  }
}

}  // namespace kesta::tool
