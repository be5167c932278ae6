// kesta-tool tables: the line codes and the cell class, evaluation and move-order tables of a rule,
// written as little-endian binary files into a folder.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "core/types.h"
#include "eval/eval_tables.h"
#include "rules/rule_tables.h"
#include "search/engine.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

template <typename T>
bool writeFile(const std::filesystem::path& path, const T* data, size_t count) {
  std::ofstream out(path, std::ios::binary);
  // Tables are written little-endian whatever the host.
  for (size_t i = 0; i < count; ++i) {
    const auto v = static_cast<std::make_unsigned_t<T>>(data[i]);
    for (size_t byte = 0; byte < sizeof(T); ++byte) out.put(char((v >> (8 * byte)) & 0xFF));
  }
  return bool(out);
}

}  // namespace

int cmdTables(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("tables: --rule must be freestyle, exact5, renju, caro or caro8");
  if (!opt.has("out")) return fail("tables: --out DIR is required");
  EvalParameters weights = defaultEvalParameters();
  if (opt.has("eval")) {
    const std::string path = opt.get("eval");
    if (loadEvalFile(path, weights) != FileRead::Read) return fail("tables: cannot read 305 numbers from " + path);
  } else {
    loadEvalFile(ExeDirectory + "AIEval.txt", weights);
  }
  const std::shared_ptr<const PatternTables> tables = patternTables(Rule(rule), weights);
  const std::filesystem::path dir(opt.get("out"));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  bool ok = true;
  std::vector<uint8_t> lineCodes;
  for (int side = 0; side < 2; ++side)
    for (unsigned own = 0; own < 1024; ++own)
      for (unsigned opponent = 0; opponent < 1024; ++opponent) lineCodes.push_back(tables->lineCodeOf(side, own, opponent));
  ok = ok && writeFile(dir / "line_code.bin", lineCodes.data(), lineCodes.size());
  ok = ok && writeFile(dir / "cell_class.bin", &tables->cellClass[0][0], size_t(2) * PatternKeyCount);
  ok = ok && writeFile(dir / "eval_score.bin", &tables->evalScore[0][0], size_t(2) * PatternKeyCount);
  ok = ok && writeFile(dir / "move_score.bin", &tables->moveScore[0][0], size_t(2) * PatternKeyCount);
  if (!ok) return fail("tables: cannot write into " + dir.string());
  return 0;
}

}  // namespace kesta::tool
