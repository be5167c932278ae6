// Developer-tool subcommands that run the threat analysis and the searches.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "board/forbidden.h"
#include "board/line_state.h"
#include "core/clock.h"
#include "core/number_scan.h"
#include "diag/dump.h"
#include "protocol/restart.h"
#include "protocol/search_info.h"
#include "search/proof_search.h"
#include "search/search.h"
#include "search/think.h"
#include "search/threat_search.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

int cmdSoak(const Options& opt);
int cmdMatch(const Options& opt);
int cmdMakeOpenings(const Options& opt);
int cmdGenData(const Options& opt);
int cmdTune(const Options& opt);
int cmdProveCheck(const Options& opt);
int cmdMakeProblems(const Options& opt);
int cmdProblems(const Options& opt);

namespace {

constexpr int32_t NoLimit = std::numeric_limits<int32_t>::max();

std::string coords(CellIndex c) {
  if (c == 0) return "-";
  return std::to_string(cellX(c)) + "," + std::to_string(cellY(c));
}

int cmdForbidden(const Options& opt) {
  Options renju = opt;
  renju.values["rule"] = "renju";
  Position pos;
  if (!setUpPosition(renju, pos, true)) return 1;
  Engine& e = *pos.engine;
  const Board& b = *pos.board;
  std::ostringstream line;
  bool any = false;
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x)
      if (b.cells[cellOf(x, y)] == Empty && isForbidden(e, cellOf(x, y))) {
        line << (any ? " " : "") << x << ',' << y;
        any = true;
      }
  std::cout << (any ? line.str() : "none") << "\n";
  return 0;
}

int cmdDump(const Options& opt) {
  Position pos;
  if (!setUpPosition(opt, pos, true)) return 1;
  writeEvaluationDump(*pos.engine, "", std::cout, DumpColour::None);
  return 0;
}

int cmdThreat(const Options& opt) {
  const std::string kind = opt.get("kind", "vcf");
  if (kind != "vcf" && kind != "vct") return fail("threat: --kind must be vcf or vct");
  long long plies = 0, budget = 0;
  if (!readInt(opt, "plies", 31, 1, 99, plies) || !readInt(opt, "nodes", 10000000, 1, 2000000000, budget)) return 1;
  Position pos;
  if (!setUpPosition(opt, pos, true, 1u << 16, true)) return 1;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = NoLimit;
  e.Settings.TimeLeft = NoLimit;
  e.ThinkStartMs = nowMs();
  e.Stopped = 0;
  e.SearchCounter = 0;
  e.ply = 0;
  if (kind == "vct") {
    const ProofResult r = proveWin(e, ProofKind::Threats, int32_t(plies), budget);
    std::cout << "score " << (r.proven ? proofScore(r, 0) : 0) << " move " << coords(r.move) << " nodes "
              << r.nodes << (r.proven || r.complete ? "" : " (budget spent)") << "\n";
    return 0;
  }
  e.threatAttacker = pos.board->sideToMove;
  e.threatPlyLimit = e.ThreatSearchPlies;
  CellIndex best = 0;
  const int32_t score = threatSearch(e, best);
  std::cout << "score " << score << " move " << coords(best) << " nodes " << e.SearchCounter << "\n";
  return 0;
}

int cmdSolve(const Options& opt) {
  long long turn = 0, left = 0;
  if (!readInt(opt, "turn-time", 5000, 1, NoLimit, turn)) return 1;
  if (!readInt(opt, "time-left", 1000000000, 1, NoLimit, left)) return 1;
  Position pos;
  if (!setUpPosition(opt, pos, true, 1u << 23, true)) return 1;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = int32_t(turn);
  e.Settings.TimeLeft = int32_t(left);
  // --verbose: the search's progress, as the brain reports it to a GUI.
  SearchInfoPrinter info(std::cout);
  if (opt.has("verbose"))
    e.InfoHook = [&info](Engine& engine, const SearchReport& r) { info.report(engine, r); };
  const TimedThink t = timedThink(e);
  const CellIndex move = t.move;
  const DeepeningReport& r = t.report;
  std::cout << "move " << (move < BoardCells && pos.board->cells[move] == Empty ? coords(move) : "-")
            << " score " << r.score << " depth " << r.depth << " nodes " << e.SearchCounter << " time " << t.tookMs
            << (r.proof ? std::string(" proof ") + r.proof : std::string()) << "\n";
  return 0;
}

struct BenchPosition {
  const char* rule;
  int size;
  const char* moves;
};

// Openings, middle games and tactical positions for all three rules on 15 and 20 boards.
const BenchPosition BenchPositions[] = {
    {"freestyle", 15, "7,7 8,8 6,8"},
    {"freestyle", 15, "7,7 8,7 7,8 8,8 6,9 9,6"},
    {"freestyle", 15, "7,7 8,7 8,8 6,6 9,9 10,10 7,9 6,10 7,8 7,10"},
    {"freestyle", 20, "10,10 11,11 11,10 9,10 10,9 12,12"},
    {"freestyle", 20, "10,10 11,11 9,11 11,9 11,10 9,10 12,12 8,8 10,12 10,11 12,10"},
    {"exact5", 15, "7,7 8,8 7,9 8,7 6,8 9,9"},
    {"exact5", 15, "7,7 6,6 8,8 9,9 8,6 6,8 7,5"},
    {"exact5", 20, "10,10 9,11 11,9 10,12 12,10 11,11"},
    {"exact5", 20, "10,10 9,9 11,9 11,11 12,8 13,7 10,8 9,8 10,9 10,7"},
    {"renju", 15, "7,7 7,8 8,8 6,6 9,9 10,10 8,6"},
    {"renju", 15, "7,7 8,6 6,8 8,8 9,7 7,9"},
    {"renju", 15, "7,7 6,7 8,8 9,9 8,6 7,6 9,7 10,8"},
    {"renju", 20, "10,10 11,9 9,11 11,11 10,12 9,9"},
    {"renju", 20, "10,10 11,10 10,11 9,9 10,12 10,13 11,12 12,13 9,11 8,10"},
};

// The "nodes N" and "nps X" lines of a bench run by another tool; false when they are missing.
bool runOtherBench(const std::string& command, int64_t& nodes, int64_t& nps) {
#ifdef _WIN32
  (void)command, (void)nodes, (void)nps;
  return false;
#else
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return false;
  std::string output;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  const int status = pclose(pipe);
  nodes = nps = -1;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("nodes ", 0) == 0) nodes = std::atoll(line.c_str() + 6);
    if (line.rfind("nps ", 0) == 0) nps = std::atoll(line.c_str() + 4);
  }
  return status == 0 && nodes >= 0 && nps > 0;
#endif
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs this tool's bench and another build's, alternately, and reports both speeds and their ratio;
// the machine's load changes from minute to minute, so only the medians of interleaved runs count.
int compareBench(const Options& opt, long long depth) {
  long long runs = 5;
  if (!readInt(opt, "runs", 5, 1, 1000, runs)) return 1;
  const std::string other = opt.get("compare");
  if (other.empty()) return fail("bench: --compare needs the path of another build's kesta-tool");
  const std::string self = executableDirectory("") + "kesta-tool";
  const std::string suffix = " bench --depth " + std::to_string(depth) + " 2>/dev/null";
  std::vector<double> baseNps, ownNps, ratios;
  int64_t baseNodes = -1, ownNodes = -1;
  for (long long i = 0; i < runs; ++i) {
    int64_t nodes[2], nps[2];
    // Alternate which goes first, so that neither always runs on the warmer machine.
    for (int k = 0; k < 2; ++k) {
      const int which = (k + int(i)) % 2;
      const std::string& tool = which == 0 ? other : self;
      if (!runOtherBench("'" + tool + "'" + suffix, nodes[which], nps[which]))
        return fail("bench: no nodes and nps lines from " + tool + " bench");
    }
    baseNodes = nodes[0];
    ownNodes = nodes[1];
    baseNps.push_back(double(nps[0]));
    ownNps.push_back(double(nps[1]));
    ratios.push_back(double(nps[1]) / double(nps[0]));
    std::cout << "run " << i + 1 << " baseline nps " << nps[0] << " current nps " << nps[1] << " ratio " << std::fixed
              << std::setprecision(3) << ratios.back() << std::endl;
  }
  std::cout << "baseline nps " << int64_t(median(baseNps)) << " (median of " << runs << ")\n";
  std::cout << "current nps " << int64_t(median(ownNps)) << " (median of " << runs << ")\n";
  std::cout << "ratio " << std::fixed << std::setprecision(3) << median(ratios) << " (median of " << runs
            << " interleaved pairs)\n";
  std::cout << "nodes " << ownNodes << " baseline " << baseNodes << (ownNodes == baseNodes ? " (same)" : " (differ)")
            << "\n";
  return 0;
}

int cmdBench(const Options& opt) {
  long long depth = 0;
  if (!readInt(opt, "depth", 7, 2, 60, depth)) return 1;
  if (opt.has("compare")) return compareBench(opt, depth);
  int64_t totalNodes = 0;
  double totalSeconds = 0;
  int index = 0;
  for (const BenchPosition& p : BenchPositions) {
    seedAllGenerators(20261208);
    resetSearchCountdowns();
    Options o;
    o.values["rule"] = p.rule;
    o.values["size"] = std::to_string(p.size);
    o.values["moves"] = p.moves;
    Position pos;
    if (!setUpPosition(o, pos, true, 1u << 23)) return 1;
    Engine& e = *pos.engine;
    e.Settings.TimeoutTurn = NoLimit;
    e.Settings.TimeLeft = NoLimit;
    e.MaxDepth = int32_t(depth);
    clearDeepeningReport();
    const auto start = std::chrono::steady_clock::now();
    e.ThinkStartMs = nowMs();
    e.Stopped = 0;
    const CellIndex move = searchPosition(e);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    e.Stopped = 1;
    const DeepeningReport& r = lastDeepeningReport();
    totalNodes += e.SearchCounter;
    totalSeconds += seconds;
    std::cout << "position " << ++index << " " << p.rule << " " << p.size << " move " << coords(move) << " score "
              << r.score << " depth " << r.depth << " nodes " << e.SearchCounter << " ms "
              << int64_t(seconds * 1000) << "\n";
  }
  std::cout << "nodes " << totalNodes << "\n";
  std::cout << "nps " << int64_t(totalSeconds > 0 ? double(totalNodes) / totalSeconds : 0) << "\n";
  return 0;
}

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

int cmdSelfplay(const Options& opt) {
  long long turn = 0;
  if (!readInt(opt, "turn-time", 1000, 1, NoLimit, turn)) return 1;
  Options o = opt;
  o.values.erase("moves");
  o.values.erase("black");
  o.values.erase("white");
  Position pos;
  if (!setUpPosition(o, pos, true, 1u << 23)) return 1;
  Engine& e = *pos.engine;
  Board& b = *pos.board;
  e.Settings.TimeoutTurn = int32_t(turn);
  for (;;) {
    const int32_t start = nowMs();
    const CellIndex move = think(e);
    const int32_t took = elapsedMs(start);
    e.Stopped = 1;
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

}  // namespace

int extraDispatch(const std::string& command, const Options& opt) {
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

}  // namespace kesta::tool
