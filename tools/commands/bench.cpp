// kesta-tool bench: fixed positions searched to a fixed depth with fixed seeds; the total node count
// is the search's signature, and nps its speed. --compare runs another build's bench interleaved
// with this one's and reports the median speed ratio.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/clock.h"
#include "search/search.h"
#include "search/think.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

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
// With --threads the current build searches with that many threads and the other with one, so
// that the ratio is the gain of the threads when other is this build.
int compareBench(const Options& opt, long long depth, long long threads) {
  long long runs = 5;
  if (!readInt(opt, "runs", 5, 1, 1000, runs)) return 1;
  const std::string other = opt.get("compare");
  if (other.empty()) return fail("bench: --compare needs the path of another build's kesta-tool");
  const std::string self = executableDirectory("") + "kesta-tool";
  const std::string suffix = " bench --depth " + std::to_string(depth) + " 2>/dev/null";
  const std::string ownSuffix =
      " bench --depth " + std::to_string(depth) + " --threads " + std::to_string(threads) + " 2>/dev/null";
  std::vector<double> baseNps, ownNps, ratios;
  int64_t baseNodes = -1, ownNodes = -1;
  for (long long i = 0; i < runs; ++i) {
    int64_t nodes[2], nps[2];
    // Alternate which goes first, so that neither always runs on the warmer machine.
    for (int k = 0; k < 2; ++k) {
      const int which = (k + int(i)) % 2;
      const std::string& tool = which == 0 ? other : self;
      if (!runOtherBench("'" + tool + "'" + (which == 0 ? suffix : ownSuffix), nodes[which], nps[which]))
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

}  // namespace

int cmdBench(const Options& opt) {
  long long depth = 0, threads = 1;
  if (!readInt(opt, "depth", 7, 2, 60, depth)) return 1;
  if (!readInt(opt, "threads", 1, 1, MaxThreads, threads)) return 1;
  if (opt.has("compare")) return compareBench(opt, depth, threads);
  int64_t totalNodes = 0;
  double totalSeconds = 0;
  int index = 0;
  for (const BenchPosition& p : BenchPositions) {
    drawZobristKeys(20261208);
    Options o;
    o.values["rule"] = p.rule;
    o.values["size"] = std::to_string(p.size);
    o.values["moves"] = p.moves;
    Position pos;
    if (!setUpPosition(o, pos, true, MaxTableBuckets)) return 1;
    Engine& e = *pos.engine;
    e.Settings.TimeoutTurn = NoLimit;
    e.Settings.TimeLeft = NoLimit;
    e.MaxDepth = int32_t(depth);
    e.Settings.ThreadCount = int32_t(threads);
    const auto start = std::chrono::steady_clock::now();
    const ThinkResult r = searchPosition(e);
    const CellIndex move = r.move;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    totalNodes += r.nodes;
    totalSeconds += seconds;
    std::cout << "position " << ++index << " " << p.rule << " " << p.size << " move " << coords(move)
              << " score " << r.score << " depth " << r.depth << " nodes " << r.nodes << " ms "
              << int64_t(seconds * 1000) << "\n";
  }
  // The time to search every position to the depth; the signature and the speed come last.
  std::cout << "time " << int64_t(totalSeconds * 1000) << " ms\n";
  std::cout << "nodes " << totalNodes << "\n";
  std::cout << "nps " << int64_t(totalSeconds > 0 ? double(totalNodes) / totalSeconds : 0) << "\n";
  return 0;
}

}  // namespace kesta::tool
