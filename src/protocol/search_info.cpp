#include "protocol/search_info.h"

#include <algorithm>

#include "core/clock.h"
#include "search/search.h"

namespace kesta {

std::string formatSearchInfo(Worker& e, const SearchReport& r) {
  // Appends only: GCC 12 warns falsely about "text" + std::to_string(...).
  std::string line = "depth ";
  line += std::to_string(r.depth);
  line += " score ";
  // A side that has a five to make at ply p scores WinScore - p, so the five itself comes
  // WinScore - |score| + 1 plies from now.
  if (isWin(r.score)) {
    line += "win in ";
    line += std::to_string(WinScore + 1 - r.score);
  } else if (isLoss(r.score)) {
    line += "loss in ";
    line += std::to_string(WinScore + 1 + r.score);
  } else {
    line += std::to_string(r.score);
  }
  const int64_t nps = int64_t(r.nodes) * 1000 / std::max<int64_t>(r.timeMs, 1);
  line += " nodes ";
  line += std::to_string(r.nodes);
  line += " nps ";
  line += std::to_string(nps);
  line += " time ";
  line += std::to_string(r.timeMs);
  line += " pv";
  CellIndex variation[MaxShownVariation];
  const int n = principalVariation(e, r.move, variation, MaxShownVariation);
  for (int i = 0; i < n; ++i) {
    line += ' ';
    line += std::to_string(cellX(variation[i]));
    line += ',';
    line += std::to_string(cellY(variation[i]));
  }
  return line;
}

void SearchInfoPrinter::report(Worker& e, const SearchReport& r) {
  // Nothing to show before the first completed iteration, unless a proof at the root decided.
  if (r.depth <= 0 && !isDecided(r.score)) return;
  const int32_t now = nowMs();
  int recent = 0;
  for (int i = 0; i < printed_; ++i) recent += elapsedMs(printedAt_[i], now) < 1000;
  if (recent >= (r.final ? MaxLinesPerSecond : MaxLinesPerSecond - 1)) return;
  out_ << "MESSAGE " << formatSearchInfo(e, r) << '\n';
  out_.flush();
  if (printed_ == MaxLinesPerSecond) {
    std::copy(printedAt_ + 1, printedAt_ + MaxLinesPerSecond, printedAt_);
    --printed_;
  }
  printedAt_[printed_++] = now;
}

}  // namespace kesta
