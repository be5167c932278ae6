// Cost of one full pattern-table build (the work done when an Engine takes weights of its own or a
// rule's built-in tables are first asked for), from the built-in weights, for each rule.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "core/types.h"
#include "rules/rule_tables.h"

namespace {

void BM_BuildEvalTables(benchmark::State& state) {
  const int rule = int(state.range(0));
  for (auto _ : state) {
    auto tables = kesta::buildPatternTables(kesta::Rule(rule), kesta::defaultEvalParameters());
    benchmark::DoNotOptimize(tables.get());
    benchmark::ClobberMemory();
  }
  state.SetLabel(rule == kesta::Freestyle ? "freestyle" : rule == kesta::ExactFiveRule ? "exact5" : "renju");
}

BENCHMARK(BM_BuildEvalTables)
    ->Arg(kesta::Freestyle)
    ->Arg(kesta::ExactFiveRule)
    ->Arg(kesta::RenjuRule)
    ->Unit(benchmark::kMillisecond);

}  // namespace
