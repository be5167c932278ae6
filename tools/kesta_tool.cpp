// kesta-tool: the developer tool. Every subcommand runs the same library code as the brain.
#include <iostream>
#include <string>

#include "diag/dump.h"
#include "protocol/version.h"
#include "search/engine.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
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

int dispatch(const std::string& command, const Options& opt) {
  if (command == "tables") return cmdTables(opt);
  if (command == "default-eval") return cmdDefaultEval(opt);
  if (command == "state") return cmdState(opt);
  if (command == "forbidden") return cmdForbidden(opt);
  if (command == "dump") return cmdDump(opt);
  if (command == "threat") return cmdThreat(opt);
  if (command == "solve") return cmdSolve(opt);
  if (command == "bench") return cmdBench(opt);
  if (command == "selfplay") return cmdSelfplay(opt);
  if (command == "soak") return cmdSoak(opt);
  if (command == "match") return cmdMatch(opt);
  if (command == "make-openings") return cmdMakeOpenings(opt);
  if (command == "gen-data") return cmdGenData(opt);
  if (command == "tune") return cmdTune(opt);
  if (command == "prove-check") return cmdProveCheck(opt);
  if (command == "make-problems") return cmdMakeProblems(opt);
  if (command == "problems") return cmdProblems(opt);
  return 2;
}

}  // namespace

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
