// kesta-tool: the developer tool. Every subcommand runs the same library code as the brain.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "core/types.h"
#include "diag/dump.h"
#include "eval/eval_tables.h"
#include "protocol/version.h"
#include "search/engine.h"
#include "search/threat_search.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

int usage() {
  std::cerr << "usage: kesta-tool <command> [options]\n"
               "       kesta-tool --version\n"
               "commands:\n"
               "  tables --rule freestyle|exact5|renju --out DIR [--eval FILE]\n"
               "  default-eval\n"
               "  state --rule R --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")\n"
               "  forbidden --size N --black \"x,y ...\" --white \"x,y ...\"\n"
               "  dump --rule R --size N (--moves ... | --black ... --white ...)\n"
               "  threat --rule R --size N --moves \"x,y ...\" [--kind vcf|vct] [--plies P] [--nodes N]\n"
               "  solve --rule R --size N --moves \"x,y ...\" [--turn-time MS] [--time-left MS]\n"
               "        [--verbose]\n"
               "  bench [--depth D] [--compare OTHER_KESTA_TOOL [--runs N]]\n"
               "  selfplay --rule R --size N [--turn-time MS]\n"
               "  soak --games N [--rule R] [--size N] [--turn-time MS] [--match-time MS]\n"
               "       [--memory-limit MIB] [--suspend] [--cpu-competition [--cpu K]] [--stop-after MS]\n"
               "       [--tolerance MS] [--seed S] [--brain PATH] [--reuse]\n"
               "  match --engine CMD --engine CMD [--openings FILE] [--rule R] [--size N] [--games N]\n"
               "        [--turn-time MS] [--match-time MS] [--nodes N] [--depth D] [--concurrency K]\n"
               "        [--sprt ELO0,ELO1] [--pgn FILE] [--times FILE] [--seed S] [--tolerance MS]\n"
               "        [--board-every-move] [--reuse]\n"
               "  make-openings --rule R [--size N] [--count K] [--min-stones A] [--max-stones B]\n"
               "        [--depth D] [--band S] [--spread R] [--seed S]\n"
               "  gen-data --rule R --out FILE [--size N] [--openings FILE] [--nodes N] [--games N]\n"
               "        [--positions P] [--per-game K] [--concurrency K] [--seed S] [--eval FILE] [--append]\n"
               "  tune --rule R --data FILE [--data FILE ...] --out FILE [--eval FILE] [--epochs E] [--rate A]\n"
               "        [--reg L] [--holdout PERCENT] [--fixed CLASSES] [--only singles|pairs] [--quiet]\n"
               "        [--blend B] [--scale K] [--no-tempo]\n"
               "  prove-check --rule R [--size N] [--games G] [--turn-time MS] [--check-time MS] [--seed S]\n"
               "        [--positions FILE]\n"
               "  make-problems --rule R [--size N] [--count K] [--min-plies P] [--nodes N] [--seed S]\n"
               "  problems --file FILE [--turn-time MS] [--every-move]\n";
  return 2;
}

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

int cmdTables(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("tables: --rule must be freestyle, exact5 or renju");
  if (!opt.has("out")) return fail("tables: --out DIR is required");
  RuleMode = uint8_t(rule);
  if (opt.has("eval")) {
    const std::string path = opt.get("eval");
    if (buildEvalTablesFromFile(path) != FileRead::Read)
      return fail("tables: cannot read 305 numbers from " + path);
  } else {
    buildEvalTables(ExeDirectory);
  }
  const std::filesystem::path dir(opt.get("out"));
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  bool ok = true;
  std::vector<uint8_t> lineCodes;
  for (int side = 0; side < 2; ++side)
    for (unsigned own = 0; own < 1024; ++own)
      for (unsigned opponent = 0; opponent < 1024; ++opponent) lineCodes.push_back(lineCodeOf(side, own, opponent));
  ok = ok && writeFile(dir / "line_code.bin", lineCodes.data(), lineCodes.size());
  ok = ok && writeFile(dir / "cell_class.bin", &CellClassTable[0][0], size_t(2) * PatternKeyCount);
  ok = ok && writeFile(dir / "eval_score.bin", &EvalScoreTable[0][0], size_t(2) * PatternKeyCount);
  ok = ok && writeFile(dir / "move_score.bin", &MoveScoreTable[0][0], size_t(2) * PatternKeyCount);
  if (!ok) return fail("tables: cannot write into " + dir.string());
  return 0;
}

int cmdDefaultEval() {
  std::cout << formatEvalFile(defaultEvalParameters());
  return 0;
}

int cmdState(const Options& opt) {
  Position pos;
  if (!setUpPosition(opt, pos, true)) return 1;
  const Engine& e = *pos.engine;
  const Board& b = *pos.board;
  std::ostringstream out;
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x) {
      const CellIndex t = cellOf(x, y);
      if (b.cells[t] != Empty) continue;
      const CellInfo& c = e.cellInfo[t];
      out << "cell " << x << ' ' << y;
      for (int s = 0; s < 2; ++s)
        for (int k = 0; k < 4; ++k) out << ' ' << int(c.lineCode[s][k]);
      out << ' ' << c.moveScore[0] << ' ' << c.moveScore[1] << ' ' << c.evalScore[0] << ' ' << c.evalScore[1]
          << ' ' << int(c.cellClass[0]) << ' ' << int(c.cellClass[1]) << ' ' << int(c.nearCount) << '\n';
    }
  out << "evalsum " << e.evalSum[0] << ' ' << e.evalSum[1] << '\n';
  for (int s = 0; s < 2; ++s) {
    out << "classcount " << s;
    for (int k = 0; k < 14; ++k) out << ' ' << e.classCount[s][k];
    out << '\n';
  }
  std::cout << out.str();
  return 0;
}

}  // namespace

int dispatch(const std::string& command, const Options& opt) {
  if (command == "tables") return cmdTables(opt);
  if (command == "default-eval") return cmdDefaultEval();
  if (command == "state") return cmdState(opt);
  return extraDispatch(command, opt);
}

}  // namespace kesta::tool

int main(int argc, char** argv) {
  using namespace kesta::tool;
  kesta::ExeDirectory = executableDirectory(argv[0]);
  // As in the brain, a four without a five cell prints the evaluation dump.
  kesta::setMissingFiveCellHook(kesta::printMessageDump);
  if (argc < 2) return usage();
  if (std::string(argv[1]) == "--version") {
    std::cout << "kesta-tool " << kesta::Version << "\n";
    return 0;
  }
  Options opt;
  std::string error;
  if (!parseOptions(argc, argv, 2, opt, error)) {
    std::cerr << "kesta-tool: " << error << "\n";
    return 2;
  }
  const int rc = dispatch(argv[1], opt);
  if (rc == 2) usage();
  return rc;
}
