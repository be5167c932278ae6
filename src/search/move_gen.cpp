#include "search/move_gen.h"

#include <algorithm>

#include "board/line_state.h"
#include "rules/rules.h"

namespace kesta {

bool isCandidate(Worker& e, CellIndex cell) {
  const Board& b = *e.board;
  if (b.cells[cell] != Empty || e.cellInfo[cell].nearCount == 0) return false;
  return !isForbiddenFor(e, b.sideToMove, cell);
}

void generateAllMoves(Worker& e, std::vector<MoveEntry>& list) {
  forEachBoxCell(*e.board, [&](CellIndex t) {
    if (isCandidate(e, t)) list.push_back({t, orderScore(e, t)});
  });
}

int32_t generateThreatMoves(Worker& e, std::vector<MoveEntry>& list) {
  const int s = e.board->sideToMove, o = e.board->opponent;
  int32_t appended = 0;
  forEachBoxCell(*e.board, [&](CellIndex t) {
    const CellInfo& c = e.cellInfo[t];
    if (e.board->cells[t] != Empty || (c.cellClass[o] < ClassFour && c.cellClass[s] < ClassFour)) return;
    if (!isCandidate(e, t)) return;
    list.push_back({t, orderScore(e, t)});
    ++appended;
  });
  return appended;
}

CellIndex findClassCell(const Worker& e, int side, int cls) {
  const Board& b = *e.board;
  for (int y = b.box.yMin; y <= b.box.yMax; ++y)
    for (int x = b.box.xMin; x <= b.box.xMax; ++x) {
      const CellIndex t = CellIndex((y + 5) * 32 + x + 5);
      const CellInfo& c = e.cellInfo[t];
      if (b.cells[t] == Empty && c.nearCount != 0 && c.cellClass[side] == cls) return t;
    }
  return 0;
}

int fiveBlocks(Worker& e, int attacker, CellIndex* out) {
  const int fives = e.classCount[attacker][ClassFive];
  if (fives == 0) return 0;
  if (!isCaro(ruleOf(e))) {
    if (fives >= 2) return 0;
    out[0] = findClassCell(e, attacker, ClassFive);
    return out[0] != 0 ? 1 : 0;
  }
  // Under caro: the cells of the attacker's fives and of their lines' windows, each tried.
  const Board& b = *e.board;
  CellIndex candidates[64];
  int candidateCount = 0;
  auto add = [&](CellIndex t) {
    if (b.cells[t] != Empty || candidateCount == 64) return;
    for (int i = 0; i < candidateCount; ++i)
      if (candidates[i] == t) return;
    candidates[candidateCount++] = t;
  };
  forEachBoxCell(b, [&](CellIndex g) {
    const CellInfo& c = e.cellInfo[g];
    if (b.cells[g] != Empty || c.cellClass[attacker] != ClassFive) return;
    add(g);
    for (int k = 0; k < 4; ++k) {
      if (c.lineCode[attacker][k] != CodeFive) continue;
      for (int m = 1; m <= 5; ++m) {
        add(CellIndex(g + m * DirectionStep[k]));
        add(CellIndex(g - m * DirectionStep[k]));
      }
    }
  });
  int n = 0;
  for (int i = 0; i < candidateCount && n < MaxFiveBlocks; ++i) {
    makeScratchAs(e, candidates[i], uint8_t(attacker ^ 1));
    const bool stops = e.classCount[attacker][ClassFive] == 0;
    unmakeScratch(e);
    if (stops) out[n++] = candidates[i];
  }
  return n;
}

namespace {

// Higher scores first; equal scores in cell order, which is the order of generation. The order is
// total, so every way of sorting gives the same list, whatever the library's sort does with ties.
// Both keys in one number, so that a comparison has no branch of its own; a lambda rather than a
// function, so that the sort inlines it instead of calling through a pointer.
constexpr auto ranksBefore = [](const MoveEntry& a, const MoveEntry& b) {
  const auto rank = [](const MoveEntry& m) { return int64_t(m.score) * 65536 + (65535 - m.cell); };
  return rank(a) > rank(b);
};

// Moves the best entry of [first, end) to first.
inline void selectBest(std::vector<MoveEntry>& list, size_t first) {
  size_t best = first;
  for (size_t i = first + 1; i < list.size(); ++i)
    if (ranksBefore(list[i], list[best])) best = i;
  std::swap(list[first], list[best]);
}

// A node's first few moves are picked one at a time: most nodes that cut off do so within them,
// and never pay for sorting the rest. The rest is sorted once, when the search gets that far.
constexpr size_t PickedOneByOne = 3;

}  // namespace

void sortByScore(std::vector<MoveEntry>& list) {
  std::sort(list.begin(), list.end(), ranksBefore);
}

void stableSortByScore(std::vector<MoveEntry>& list) {
  // Insertion sort: stable and allocation-free; the root list is re-sorted once per iteration.
  for (size_t i = 1; i < list.size(); ++i) {
    const MoveEntry m = list[i];
    size_t j = i;
    while (j > 0 && list[j - 1].score < m.score) {
      list[j] = list[j - 1];
      --j;
    }
    list[j] = m;
  }
}

namespace {

// The generated list of a node: threat moves when the opponent threatens an open four, else all.
void generateNodeMoves(Worker& e, std::vector<MoveEntry>& list) {
  const int o = e.board->opponent;
  // Against a threat of an open four the defences are the cells of fours, except under caro, where
  // a stone that closes a five at its far end may defend too: there every candidate is searched.
  if (e.classCount[o][ClassOpenFour] > 0 && !isCaro(ruleOf(e)) && generateThreatMoves(e, list) > 0) return;
  generateAllMoves(e, list);
}

}  // namespace

int32_t prepareRootMoves(Worker& e, MovePicker& picker) {
  if (picker.stage == 2) {
    if (!picker.moves.empty()) {
      stableSortByScore(picker.moves);
      return RootSearch;
    }
    picker.stage = 1;
  }
  if (picker.stage != 1) return RootSearch;
  const int s = e.board->sideToMove, o = e.board->opponent;
  if (e.classCount[s][ClassFive] > 0) {
    picker.moves.push_back({findClassCell(e, s, ClassFive), winIn(0)});
    return RootWin;
  }
  if (e.classCount[o][ClassFive] >= 1) {
    // Every stone that stops the opponent's fives is a root move; none, or only one that is
    // forbidden to Black: lost.
    CellIndex blocks[MaxFiveBlocks];
    const int n = fiveBlocks(e, o, blocks);
    if (n == 0) {
      picker.moves.push_back({findClassCell(e, o, ClassFive), lossIn(1)});
      return RootLoss;
    }
    if (n == 1) {
      const bool foul = isForbiddenFor(e, s, blocks[0]);
      picker.moves.push_back({blocks[0], foul ? lossIn(0) : 0});
      return foul ? RootLoss : RootSearch;
    }
    for (int i = 0; i < n; ++i) picker.moves.push_back({blocks[i], orderScore(e, blocks[i])});
    stableSortByScore(picker.moves);
    return RootSearch;
  }
  if (e.classCount[s][ClassOpenFour] > 0) {
    picker.moves.push_back({findClassCell(e, s, ClassOpenFour), winIn(2)});
    return RootWin;
  }
  generateNodeMoves(e, picker.moves);
  if (e.board->cells[picker.ttMove] == Empty) {
    for (MoveEntry& m : picker.moves)
      if (m.cell == picker.ttMove) {
        m.score += 3000;
        break;
      }
  }
  sortByScore(picker.moves);
  picker.stage = 2;
  return RootSearch;
}

bool nextMove(Worker& e, MovePicker& picker, CellIndex& cell) {
  switch (picker.stage) {
    case 0:
      picker.stage = 1;
      if (e.board->cells[picker.ttMove] == Empty) {
        cell = picker.ttMove;
        return true;
      }
      [[fallthrough]];
    case 1: {
      picker.stage = 2;
      const int o = e.board->opponent;
      if (e.classCount[o][ClassFive] > 0) {
        // The stones that stop the opponent's fives, best first; outside caro one cell at most.
        CellIndex blocks[MaxFiveBlocks];
        const int n = fiveBlocks(e, o, blocks);
        if (n <= 1) {
          cell = n == 1 ? blocks[0] : findClassCell(e, o, ClassFive);
          return cell != 0;
        }
        picker.moves.clear();
        for (int i = 0; i < n; ++i) picker.moves.push_back({blocks[i], orderScore(e, blocks[i])});
      } else {
        generateNodeMoves(e, picker.moves);
      }
      if (picker.moves.empty()) return false;
      selectBest(picker.moves, 0);
      cell = picker.moves[0].cell;
      return true;
    }
    case 2:
      picker.index += 1;
      if (picker.index >= picker.moves.size()) return false;
      if (picker.index < PickedOneByOne)
        selectBest(picker.moves, picker.index);
      else if (picker.index == PickedOneByOne)
        std::sort(picker.moves.begin() + PickedOneByOne, picker.moves.end(), ranksBefore);
      cell = picker.moves[picker.index].cell;
      return true;
    default: return false;
  }
}

}  // namespace kesta
