// The analysis GUI's commands beyond YXSTOP: a position loaded without a think, an emptied table,
// Black's forbidden cells, the brain's limits, a think for several best lines and the stones that
// balance a position.
#include <algorithm>
#include <cstdio>

#include "protocol/command_loop.h"
#include "rules/rules.h"
#include "search/proof_search.h"
#include "search/swap2.h"

namespace kesta {

bool CommandLoop::onYxBoard() {
  return readBoardStones();
}

void CommandLoop::onHashClear() {
  clearTable(*engine_->TransTable);
  clearProofCache(*engine_);
}

void CommandLoop::onShowForbid() {
  // "FORBID " then four digits a cell (x, then y, two each) and a full stop.
  std::string line = "FORBID ";
  if (hasForbiddenMoves(ruleOf(*engine_), Black)) {
    for (const CellIndex cell : forbiddenCells(*engine_)) {
      char digits[8];
      std::snprintf(digits, sizeof digits, "%02d%02d", cellX(cell), cellY(cell));
      line += digits;
    }
  }
  reply(line + ".");
}

bool CommandLoop::onNBest() {
  int32_t n = 0;
  if (const Read r = readArgument(n); r != Read::Ok) return r == Read::Failed;
  Engine& e = *engine_;
  e.BestLines = std::clamp(n, 1, MaxBestLines);
  e.LinesHook = [this](Worker& w, int32_t depth, const BestLine* lines, int count) {
    out_ << formatBestLines(w, depth, lines, count);
    out_.flush();
    linesShown_ = true;
  };
  const bool more = thinkAndReply();
  e.BestLines = 1;
  e.LinesHook = nullptr;
  return more;
}

bool CommandLoop::onBalance(int stones) {
  int32_t target = 0;
  if (const Read r = readArgument(target); r != Read::Ok) return r == Read::Failed;
  fitTableToLimits();
  // Its many searches report nothing: the answer is the cells.
  Engine& e = *engine_;
  const uint8_t searchInfo = e.SearchInfo;
  e.SearchInfo = 0;
  input_.beginThink();
  const std::vector<CellIndex> cells = balanceStones(e, stones, target);
  const bool end = input_.endThink();
  e.SearchInfo = searchInfo;
  if (end) return false;
  if (cells.empty()) {
    reply("ERROR no cell to place");
    return true;
  }
  reply(cellListText(cells.data(), cells.size()));
  return true;
}

void CommandLoop::onShowInfo() {
  reply("MESSAGE INFO MAX_THREAD_NUM " + std::to_string(MaxThreads));
  reply("MESSAGE INFO MAX_HASH_SIZE " + std::to_string(MaxTableLog2Kb));
}

}  // namespace kesta
