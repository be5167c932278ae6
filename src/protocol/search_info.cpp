#include "protocol/search_info.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/clock.h"
#include "search/search.h"

namespace kesta {

namespace {

// The score whose win rate is 1 / (1 + e^-1), about 0.73: a clear advantage by eye, not fitted.
constexpr double WinRateScale = 300.0;

}  // namespace

std::string cellListText(const CellIndex* cells, size_t count) {
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) text += ' ';
    text += std::to_string(cellX(cells[i]));
    text += ',';
    text += std::to_string(cellY(cells[i]));
  }
  return text;
}

std::string variationText(Worker& e, CellIndex first) {
  CellIndex variation[MaxShownVariation];
  const int n = principalVariation(e, first, variation, MaxShownVariation);
  return cellListText(variation, size_t(n));
}

std::string evalText(int32_t score) {
  // A win in P plies takes (P + 1) / 2 moves of the side to move, the five included; a loss in P
  // plies leaves it P / 2 moves before the opponent's five.
  std::string eval;
  if (isWin(score)) {
    eval = "+M";
    eval += std::to_string((WinScore + 2 - score) / 2);
  } else if (isLoss(score)) {
    eval = "-M";
    eval += std::to_string((WinScore + 1 + score) / 2);
  } else {
    eval = std::to_string(score);
  }
  return eval;
}

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
  const std::string variation = variationText(e, r.move);
  if (!variation.empty()) line += ' ' + variation;
  return line;
}

double winRate(int32_t score) {
  if (isWin(score)) return 1.0;
  if (isLoss(score)) return 0.0;
  return 1.0 / (1.0 + std::exp(-double(score) / WinRateScale));
}

std::string formatBestLines(Worker& e, int32_t depth, const BestLine* lines, int count) {
  std::string text;
  const auto add = [&text](const char* key, const std::string& value) {
    text += "INFO ";
    text += key;
    text += value;
    text += '\n';
  };
  for (int i = 0; i < count; ++i) {
    char rate[16];
    std::snprintf(rate, sizeof rate, "%.4f", winRate(lines[i].score));
    add("PV ", std::to_string(i));
    add("NUMPV ", std::to_string(count));
    add("DEPTH ", std::to_string(depth));
    add("EVAL ", evalText(lines[i].score));
    add("WINRATE ", rate);
    add("BESTLINE ", variationText(e, lines[i].move));
    add("PV DONE", "");
  }
  return text;
}

template <int Lines>
int LineRate<Lines>::recent(int32_t now) const {
  int n = 0;
  for (int i = 0; i < count_; ++i) n += elapsedMs(at_[i], now) < 1000;
  return n;
}

template <int Lines>
void LineRate<Lines>::printed(int32_t now) {
  if (count_ == Lines) {
    std::copy(at_ + 1, at_ + Lines, at_);
    --count_;
  }
  at_[count_++] = now;
}

void SearchInfoPrinter::report(Worker& e, const SearchReport& r) {
  // Nothing to show before the first completed iteration, unless a proof at the root decided.
  if (r.depth <= 0 && !isDecided(r.score)) return;
  const int32_t now = nowMs();
  if (rate_.recent(now) >= (r.final ? MaxLinesPerSecond : MaxLinesPerSecond - 1)) return;
  out_ << "MESSAGE " << formatSearchInfo(e, r) << '\n';
  out_.flush();
  rate_.printed(now);
}

void RealtimePrinter::startThink() {
  best_ = shownBest_ = 0;
  bestDue_ = false;
  shownSearching_ = 0;
}

bool RealtimePrinter::print(const char* word, CellIndex cell, int limit) {
  const int32_t now = nowMs();
  if (rate_.recent(now) >= limit) return false;
  out_ << "MESSAGE REALTIME " << word << ' ' << cellX(cell) << ',' << cellY(cell) << '\n';
  out_.flush();
  rate_.printed(now);
  return true;
}

void RealtimePrinter::showBest() {
  if (bestDue_ && print("BEST", best_, MaxLinesPerSecond)) {
    bestDue_ = false;
    shownBest_ = best_;
  }
}

void RealtimePrinter::finishThink(CellIndex move) {
  if (move == shownBest_ || move == 0) return;
  best_ = move;
  bestDue_ = false;
  // Room for one line more than the rate allows.
  if (print("BEST", move, MaxLinesPerSecond + 1)) shownBest_ = move;
}

void RealtimePrinter::event(RootEvent event, CellIndex cell) {
  switch (event) {
    case RootEvent::Searching:
      showBest();
      shownSearching_ = print("POS", cell, MaxSearchLinesPerSecond) ? cell : 0;
      break;
    case RootEvent::Searched:
      if (shownSearching_ == cell) print("DONE", cell, MaxLinesPerSecond);
      shownSearching_ = 0;
      break;
    case RootEvent::Lost:
      print("LOSE", cell, MaxLinesPerSecond);
      break;
    case RootEvent::Best:
      if (cell != best_) {
        best_ = cell;
        bestDue_ = true;
      }
      showBest();
      break;
  }
}

void RealtimePrinter::iterationDone(CellIndex best) {
  best_ = best;
  bestDue_ = true;
  showBest();
}

}  // namespace kesta
