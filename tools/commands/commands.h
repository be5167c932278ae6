// The subcommands of kesta-tool, one file each in this folder; kesta_tool.cpp's table dispatches to
// them by name. Each takes the parsed options and returns the process's exit status.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "core/types.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

// A time limit that a think never reaches.
constexpr int32_t NoLimit = std::numeric_limits<int32_t>::max();

// A cell as "x,y", or "-" for cell 0 (no move).
inline std::string coords(CellIndex c) {
  if (c == 0) return "-";
  return std::to_string(cellX(c)) + "," + std::to_string(cellY(c));
}

int cmdTables(const Options& opt);
int cmdDefaultEval(const Options& opt);
int cmdState(const Options& opt);
int cmdForbidden(const Options& opt);
int cmdDump(const Options& opt);
int cmdThreat(const Options& opt);
int cmdSolve(const Options& opt);
int cmdNBest(const Options& opt);
int cmdBench(const Options& opt);
int cmdSelfplay(const Options& opt);
int cmdSoak(const Options& opt);
int cmdMatch(const Options& opt);
int cmdMakeOpenings(const Options& opt);
int cmdGenData(const Options& opt);
int cmdTune(const Options& opt);
int cmdProveCheck(const Options& opt);
int cmdMakeProblems(const Options& opt);
int cmdProblems(const Options& opt);

}  // namespace kesta::tool
