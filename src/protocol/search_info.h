// Live search reports for GUIs: a MESSAGE line after each completed iteration of depth 4 or more
// and one when a search ends, at most ten a second; and the analysis GUI's REALTIME lines. Entry
// points: formatSearchInfo, SearchInfoPrinter, RealtimePrinter.
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

// The analysis GUI's blocks of several best lines at one depth, one block per line i:
// "INFO PV i", "INFO NUMPV n", "INFO DEPTH d", "INFO EVAL e" (the score, or +Mn / -Mn for a win or
// a loss in n moves of the side to move), "INFO WINRATE w" (0 to 1), "INFO BESTLINE x,y ..." (the
// line's variation) and "INFO PV DONE", each line ending in a line feed.
std::string formatBestLines(Worker& e, int32_t depth, const BestLine* lines, int count);

// A line's score as its EVAL shows it: the score, or +Mn / -Mn for a win or a loss in n moves of the
// side to move.
std::string evalText(int32_t score);

// Cells as the replies name them: "x,y x,y ...".
std::string cellListText(const CellIndex* cells, size_t count);

// The variation from the root move first, as "x,y x,y ..." (see principalVariation).
std::string variationText(Worker& e, CellIndex first);

// The side to move's chance of winning that a score stands for, 0 to 1: 1 for a proven win, 0 for
// a proven loss, else logistic in the score.
double winRate(int32_t score);

// The clock readings of the last few lines printed, to hold them to so many in any second.
template <int Lines>
class LineRate {
 public:
  // Lines printed in the second before now.
  int recent(int32_t now) const;
  void printed(int32_t now);

 private:
  int32_t at_[Lines] = {};  // oldest first
  int count_ = 0;           // how many of them are set
};

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
  LineRate<MaxLinesPerSecond> rate_;
};

// The analysis GUI's live lines: "MESSAGE REALTIME BEST x,y" when the best move changes or an
// iteration completes, "LOSE x,y" for a root move proven lost, "POS x,y" and "DONE x,y" around
// the search of a root move. Six lines in any second at most: best and lost moves while fewer went
// out in the last second, a POS only while fewer than two did, a DONE only after its POS. A best
// move held back goes out with the first event that finds room, and the answer's at the end.
class RealtimePrinter {
 public:
  explicit RealtimePrinter(std::ostream& out) : out_(out) {}
  // A think begins: the best move so far is none.
  void startThink();
  void event(RootEvent event, CellIndex cell);
  void iterationDone(CellIndex best);
  // The think is over with move: its BEST line goes out, whatever the rate, unless it was the last.
  void finishThink(CellIndex move);

 private:
  static constexpr int MaxLinesPerSecond = 6;
  static constexpr int MaxSearchLinesPerSecond = 2;
  bool print(const char* word, CellIndex cell, int limit);
  // Prints the best move when it is due and there is room.
  void showBest();
  std::ostream& out_;
  LineRate<MaxLinesPerSecond> rate_;
  CellIndex best_ = 0;
  bool bestDue_ = false;          // best_ has not gone out since it became best or was confirmed
  CellIndex shownBest_ = 0;       // the last BEST line's move
  CellIndex shownSearching_ = 0;  // the root move whose POS went out, until its DONE
};

}  // namespace kesta
