// Cost of one make and unmake pair (full and scratch) on middle-game positions: about 30 stones
// around the centre of a 15x15 board, every empty cell of the box tried in turn.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "board/board.h"
#include "board/line_state.h"
#include "core/types.h"
#include "search/engine.h"

namespace kesta {
namespace {

struct Position {
  std::unique_ptr<Board> board;
  std::unique_ptr<Engine> engine;
};

// Positions and the moves to try on them, interleaved across the positions so that the sequence
// of cells is long and irregular; all four positions stay warm in the cache.
struct Workload {
  std::vector<Position> positions;
  std::vector<std::pair<Engine*, CellIndex>> moves;
};

Workload middleGames(uint8_t rule) {
  // A directory without text files: built-in weights and search parameters.
  ExeDirectory = (std::filesystem::temp_directory_path() / "kesta-bench-no-such-dir" / "").string();
  Workload w;
  std::vector<std::vector<CellIndex>> perPosition;
  for (uint32_t seed = 1; seed <= 4; ++seed) {
    Position p;
    p.board = std::make_unique<Board>(15);
    p.engine = std::make_unique<Engine>(*p.board, Rule(rule), 1u << 16);
    Board& b = *p.board;
    std::mt19937 rng(seed);
    while (b.moveCount < 30) {
      const CellIndex c = cellOf(3 + int(rng() % 9), 3 + int(rng() % 9));
      if (b.cells[c] == Empty) makeMove(*p.engine, c);
    }
    std::vector<CellIndex> cells;
    for (int y = b.box.yMin; y <= b.box.yMax; ++y)
      for (int x = b.box.xMin; x <= b.box.xMax; ++x)
        if (b.cells[cellOf(x, y)] == Empty) cells.push_back(cellOf(x, y));
    perPosition.push_back(std::move(cells));
    w.positions.push_back(std::move(p));
  }
  for (size_t i = 0;; ++i) {
    bool any = false;
    for (size_t k = 0; k < perPosition.size(); ++k)
      if (i < perPosition[k].size()) {
        w.moves.emplace_back(w.positions[k].engine.get(), perPosition[k][i]);
        any = true;
      }
    if (!any) break;
  }
  return w;
}

void BM_MakeUnmakePair(benchmark::State& state, uint8_t rule) {
  Workload w = middleGames(rule);
  size_t i = 0;
  for (auto _ : state) {
    const auto [engine, cell] = w.moves[i];
    if (++i == w.moves.size()) i = 0;
    makeMove(*engine, cell);
    unmakeMove(*engine);
    benchmark::DoNotOptimize(engine->evalSum);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_ScratchPair(benchmark::State& state, uint8_t rule) {
  Workload w = middleGames(rule);
  size_t i = 0;
  for (auto _ : state) {
    const auto [engine, cell] = w.moves[i];
    if (++i == w.moves.size()) i = 0;
    makeScratch(*engine, cell);
    unmakeScratch(*engine);
    benchmark::DoNotOptimize(engine->classCount);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

BENCHMARK_CAPTURE(BM_MakeUnmakePair, freestyle, uint8_t(Freestyle));
BENCHMARK_CAPTURE(BM_MakeUnmakePair, renju, uint8_t(RenjuRule));
BENCHMARK_CAPTURE(BM_ScratchPair, freestyle, uint8_t(Freestyle));
BENCHMARK_CAPTURE(BM_ScratchPair, renju, uint8_t(RenjuRule));

}  // namespace
}  // namespace kesta
