// Live search reports for GUIs: a MESSAGE line after each completed iteration of depth 4 or more
// and one when a search ends, at most ten a second. Entry points: formatSearchInfo,
// SearchInfoPrinter.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "search/engine.h"

namespace kesta {

// Principal variations shown are at most this long.
constexpr int MaxShownVariation = 20;

// "depth D score S nodes N nps X time T pv x,y x,y ...", without the MESSAGE prefix. A proven
// result shows as "score win in P" or "score loss in P": P plies up to and with the five (win in
// 1: the move makes five). The variation starts with the report's move and follows the
// transposition table (see principalVariation).
std::string formatSearchInfo(Worker& e, const SearchReport& r);

// Prints reports on out as flushed MESSAGE lines, at most ten in any second: a report of an
// iteration only while fewer than nine lines went out in the last second, so that the line that
// ends a think still fits. A search that completed no iteration (stopped at once, a forced move)
// ends without a line.
class SearchInfoPrinter {
 public:
  explicit SearchInfoPrinter(std::ostream& out) : out_(out) {}
  void report(Worker& e, const SearchReport& r);

 private:
  static constexpr int MaxLinesPerSecond = 10;
  std::ostream& out_;
  int32_t printedAt_[MaxLinesPerSecond] = {};  // clock readings of the last lines, oldest first
  int printed_ = 0;                            // how many of them are set
};

}  // namespace kesta
