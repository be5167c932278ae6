// The analysis GUI's commands beyond YXSTOP: a position loaded without a think, an emptied table,
// Black's forbidden cells and the brain's limits.
#include <cstdio>

#include "protocol/command_loop.h"
#include "rules/rules.h"
#include "search/proof_search.h"

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

void CommandLoop::onShowInfo() {
  reply("MESSAGE INFO MAX_THREAD_NUM " + std::to_string(MaxThreads));
  reply("MESSAGE INFO MAX_HASH_SIZE " + std::to_string(MaxTableLog2Kb));
}

}  // namespace kesta
