// Cost of one full evaluation-table build (the work done at Engine construction and on every rule
// change), from the built-in weights, for each rule.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "core/types.h"
#include "eval/eval_tables.h"

namespace {

void BM_BuildEvalTables(benchmark::State& state) {
#ifdef _WIN32
  const int pid = _getpid();
#else
  const int pid = int(getpid());
#endif
  // An empty directory, so the build takes the built-in weights.
  const auto dir =
      std::filesystem::temp_directory_path() / (std::string("kesta-tables-bench-") + std::to_string(pid));
  std::filesystem::create_directories(dir);
  const std::string prefix = (dir / "").string();
  const int rule = int(state.range(0));
  kesta::RuleMode = uint8_t(rule);
  for (auto _ : state) {
    kesta::buildEvalTables(prefix);
    benchmark::ClobberMemory();
  }
  state.SetLabel(rule == kesta::Freestyle ? "freestyle" : rule == kesta::ExactFiveRule ? "exact5" : "renju");
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
}

BENCHMARK(BM_BuildEvalTables)
    ->Arg(kesta::Freestyle)
    ->Arg(kesta::ExactFiveRule)
    ->Arg(kesta::RenjuRule)
    ->Unit(benchmark::kMillisecond);

}  // namespace
