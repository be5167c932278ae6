// kesta-tool: the developer tool. Every subcommand runs the same library code as the brain.
//
// The tool's sources:
//   tools/lib/       the tool library (kesta-toollib), which the tests link too: option parsing and
//                    position set-up (tool_common), a brain run over pipes, the game runner and its
//                    referee, match statistics, and the opening, problem and training data files
//                    and the evaluation tuner.
//   tools/commands/  one file per subcommand, each a cmd function declared in commands.h.
//   this file        the one table of the subcommands: name, summary, usage lines, the options each
//                    accepts, handler. The usage text is written from it, and an option that the
//                    command does not accept is refused before the command runs.
// The scripts beside this file (baseline builds, the layer check, the opening suites, the demo)
// run the tool and the brain from outside.
#include <iostream>
#include <string>
#include <string_view>

#include "diag/dump.h"
#include "protocol/version.h"
#include "search/engine.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

// A subcommand. usage holds its forms, one a line ('\n' between them), each starting with the
// command's name; a line starting with spaces continues the form above it. options lists every
// --option the command reads, separated by spaces: "name=" for one followed by a value, "name" for
// a bare flag.
struct Command {
  std::string_view name;
  std::string_view summary;
  std::string_view usage;
  std::string_view options;
  int (*run)(const Options& opt);
};

int cmdHelp(const Options& opt);

constexpr Command Commands[] = {
    {"tables", "writes line_code.bin, cell_class.bin, eval_score.bin and move_score.bin (side 0 then 1)",
     "tables --rule freestyle|exact5|renju|caro|caro8 --out DIR [--eval FILE]",
     "rule= out= eval=", cmdTables},
    {"default-eval", "prints an AIEval.txt holding the built-in weights", "default-eval", "", cmdDefaultEval},
    {"state",
     "per empty cell: line codes, move and eval scores, classes, nearCount; then evalsum, classcount",
     "state --rule R --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")",
     "rule= size= moves= black= white=", cmdState},
    {"forbidden", "the renju-forbidden cells for Black, or \"none\"",
     "forbidden --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")",
     "size= moves= black= white=", cmdForbidden},
    {"dump", "the evaluation dump of the position",
     "dump --rule R --size N (--moves ... | --black ... --white ...)",
     "rule= size= moves= black= white=", cmdDump},
    {"threat", "threat-space search for the side to move (vcf: fours; vct: fours and threes)",
     "threat --rule R --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")\n"
     "       [--kind vcf|vct] [--plies P] [--nodes N]",
     "rule= size= moves= black= white= kind= plies= nodes=", cmdThreat},
    {"solve", "thinks as the brain would: move, score, depth, nodes and time",
     "solve --rule R --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")\n"
     "      [--turn-time MS] [--time-left MS] [--threads N] [--verbose]",
     "rule= size= moves= black= white= turn-time= time-left= threads= verbose", cmdSolve},
    {"nbest", "thinks for the K best lines, as the brain's yxnbest: each line's move, eval and variation",
     "nbest --rule R --size N (--moves \"x,y ...\" | --black \"x,y ...\" --white \"x,y ...\")\n"
     "      [--lines K] [--turn-time MS] [--threads N]",
     "rule= size= moves= black= white= lines= turn-time= threads=", cmdNBest},
    {"bench", "fixed positions to a fixed depth: the \"nodes N\" signature and \"nps X\"",
     "bench [--depth D] [--threads N] [--compare OTHER_KESTA_TOOL [--runs N]]",
     "depth= threads= compare= runs=", cmdBench},
    {"selfplay", "one game of the engine against itself", "selfplay --rule R --size N [--turn-time MS]",
     "rule= size= turn-time=", cmdSelfplay},
    {"soak", "pbrain-kesta processes against each other over pipes under a referee, with a summary",
     "soak --games N [--rule R] [--size N] [--turn-time MS] [--match-time MS]\n"
     "     [--memory-limit MIB] [--suspend] [--cpu-competition [--cpu K]] [--stop-after MS]\n"
     "     [--tolerance MS] [--seed S] [--threads N] [--brain PATH] [--record DIR] [--verbose] [--reuse]",
     "games= rule= size= turn-time= match-time= memory-limit= suspend cpu-competition cpu= stop-after= "
     "tolerance= seed= threads= brain= record= verbose reuse",
     cmdSoak},
    {"match", "two brains against each other, each opening with both colours: Elo and an SPRT",
     "match --engine CMD --engine CMD [--openings FILE] [--rule R] [--size N] [--games N]\n"
     "      [--turn-time MS] [--match-time MS] [--nodes N] [--depth D] [--concurrency K]\n"
     "      [--sprt ELO0,ELO1] [--pgn FILE] [--times FILE] [--seed S] [--tolerance MS]\n"
     "      [--threads N] [--board-every-move] [--reuse]",
     "engine= openings= rule= size= games= turn-time= match-time= nodes= depth= threads= concurrency= sprt= "
     "pgn= times= seed= tolerance= board-every-move reuse",
     cmdMatch},
    {"make-openings", "random short openings that a depth-D search scores within S of 0",
     "make-openings --rule R [--size N] [--count K] [--min-stones A] [--max-stones B]\n"
     "              [--depth D] [--band S] [--spread R] [--seed S] [--verbose]",
     "rule= size= count= min-stones= max-stones= depth= band= spread= seed= verbose", cmdMakeOpenings},
    {"gen-data", "self-play training data for tune",
     "gen-data --rule R --out FILE [--size N] [--openings FILE] [--nodes N] [--games N]\n"
     "         [--positions P] [--per-game K] [--concurrency K] [--seed S] [--eval FILE] [--append]",
     "rule= out= size= openings= nodes= games= positions= per-game= concurrency= seed= eval= append",
     cmdGenData},
    {"tune", "fits the evaluation weights to the games' results and writes an AIEval.txt",
     "tune --rule R --data FILE [--data FILE ...] --out FILE [--eval FILE] [--epochs E] [--rate A]\n"
     "     [--reg L] [--holdout PERCENT] [--fixed CLASSES] [--only singles|pairs] [--quiet]\n"
     "     [--blend B] [--scale K] [--no-tempo]",
     "rule= data= out= eval= epochs= rate= reg= holdout= fixed= only= quiet blend= scale= no-tempo", cmdTune},
    {"prove-check", "plays out every win the engine claims, in self-play games or from a file",
     "prove-check --rule R [--size N] [--games G] [--turn-time MS] [--check-time MS] [--seed S]\n"
     "            [--check-nodes N] [--positions FILE] [--lost-moves K] [--threads N] [--verbose]",
     "rule= size= games= turn-time= check-time= seed= check-nodes= positions= lost-moves= threads= verbose",
     cmdProveCheck},
    {"make-problems", "positions won by threats, made from self-play",
     "make-problems --rule R [--size N] [--count K] [--min-plies P] [--nodes N] [--seed S]\n"
     "              [--turn-time MS]",
     "rule= size= count= min-plies= nodes= seed= turn-time=", cmdMakeProblems},
    {"problems", "the engine's share of proven wins on the positions of a problem file",
     "problems --file FILE [--turn-time MS] [--every-move]", "file= turn-time= every-move", cmdProblems},
    {"help", "prints this text", "help", "", cmdHelp},
};

// Cuts the first piece up to sep (or the end) off text and returns it.
constexpr std::string_view cutPiece(std::string_view& text, char sep) {
  const size_t end = text.find(sep);
  const std::string_view piece = text.substr(0, end);
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  return piece;
}

// Whether command accepts --key; takesValue tells whether a value follows it.
constexpr bool accepts(const Command& command, std::string_view key, bool& takesValue) {
  for (std::string_view rest = command.options; !rest.empty();) {
    std::string_view name = cutPiece(rest, ' ');
    takesValue = name.ends_with('=');
    if (takesValue) name.remove_suffix(1);
    if (name == key) return true;
  }
  return false;
}

constexpr bool isNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Calls visit(name, valueShown) for each --option that text shows; valueShown tells whether a value
// follows it (a word after a space that does not start another option or group).
template <typename Visit>
constexpr void forEachShownOption(std::string_view text, Visit visit) {
  for (size_t at = text.find("--"); at != std::string_view::npos; at = text.find("--", at)) {
    at += 2;
    size_t end = at;
    while (end < text.size() && isNameChar(text[end])) ++end;
    const bool valueShown = end + 1 < text.size() && text[end] == ' ' &&
                            std::string_view("[(|-").find(text[end + 1]) == std::string_view::npos;
    visit(text.substr(at, end - at), valueShown);
    at = end;
  }
}

// The table keeps itself honest: every command has a one-line summary and a usage line starting
// with its name, no name comes twice, every --option in the usage lines is one the command accepts
// and the other way round, and a value follows an option in the usage lines exactly when it takes
// one.
constexpr bool tableAgrees() {
  for (const Command& c : Commands) {
    const size_t n = c.name.size();
    const bool named =
        c.usage.starts_with(c.name) && (c.usage.size() == n || c.usage[n] == ' ' || c.usage[n] == '\n');
    if (!named || c.summary.empty() || c.summary.find('\n') != std::string_view::npos) return false;
    for (const Command& other : Commands)
      if (&other != &c && other.name == c.name) return false;
    bool agrees = true;
    forEachShownOption(c.usage, [&](std::string_view name, bool valueShown) {
      bool takesValue = false;
      agrees = agrees && accepts(c, name, takesValue) && takesValue == valueShown;
    });
    for (std::string_view rest = c.options; !rest.empty();) {
      std::string_view option = cutPiece(rest, ' ');
      if (option.ends_with('=')) option.remove_suffix(1);
      bool shown = false;
      forEachShownOption(c.usage, [&](std::string_view name, bool) { shown = shown || name == option; });
      agrees = agrees && shown;
    }
    if (!agrees) return false;
  }
  return true;
}
static_assert(tableAgrees(), "a command's usage lines and its option list disagree");

const Command* findCommand(std::string_view name) {
  for (const Command& c : Commands)
    if (c.name == name) return &c;
  return nullptr;
}

// The command's usage lines after lead, continuation lines indented as far again.
void printUsageLines(const Command& command, std::string_view lead, std::ostream& out) {
  for (std::string_view rest = command.usage; !rest.empty();) {
    const std::string_view line = cutPiece(rest, '\n');
    if (line.starts_with(' '))
      out << std::string(lead.size(), ' ') << line << '\n';
    else
      out << lead << line << '\n';
  }
}

void printUsage(std::ostream& out) {
  out << "usage: kesta-tool <command> [options]\n"
         "       kesta-tool --version\n"
         "commands:\n";
  for (const Command& c : Commands) {
    out << "  " << c.name << ": " << c.summary << '\n';
    printUsageLines(c, "    ", out);
  }
}

int cmdHelp(const Options&) {
  printUsage(std::cout);
  return 0;
}

}  // namespace

}  // namespace kesta::tool

int main(int argc, char** argv) {
  using namespace kesta::tool;
  kesta::ExeDirectory = executableDirectory(argv[0]);
  // As in the brain, a four without a five cell prints the evaluation dump.
  kesta::setMissingFiveCellHook(kesta::printMessageDump);
  if (argc < 2) {
    printUsage(std::cerr);
    return 2;
  }
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
  const Command* command = findCommand(argv[1]);
  if (command == nullptr) {
    printUsage(std::cerr);
    return 2;
  }
  // An option the command would not read is a typo or a misunderstanding; refuse it rather than
  // run the command without it.
  for (const auto& given : opt.ordered) {
    bool takesValue = false;
    if (!accepts(*command, given.first, takesValue)) {
      std::cerr << "kesta-tool " << command->name << ": unknown option --" << given.first << "\n";
      printUsageLines(*command, "usage: kesta-tool ", std::cerr);
      return 2;
    }
  }
  const int rc = command->run(opt);
  if (rc == 2) printUsageLines(*command, "usage: kesta-tool ", std::cerr);
  return rc;
}
