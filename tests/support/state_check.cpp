#include "state_check.h"

#include <array>
#include <memory>
#include <sstream>
#include <vector>

#include "board/board.h"
#include "eval/eval_tables.h"

namespace kesta::check {

namespace {

constexpr int MaxReported = 8;

std::string cellName(int t) {
  std::ostringstream out;
  out << '(' << cellX(CellIndex(t)) << ',' << cellY(CellIndex(t)) << ')';
  return out.str();
}

// Bit of window position p (-5..-1, +1..+5): bit 9 is t - 5d, bit 0 is t + 5d.
int windowBit(int p) {
  return p > 0 ? 5 - p : 4 - p;
}

// The cells whose nearCount a stone raises: the 5x5 square without its centre, and the cells at
// distance 3 on the four lines.
bool inNeighbourhood(int dx, int dy) {
  if (dx == 0 && dy == 0) return false;
  const bool square = dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2;
  const bool ray = (dx == 0 || dx == 3 || dx == -3) && (dy == 0 || dy == 3 || dy == -3);
  return square || ray;
}

bool isStone(uint8_t c) {
  return c == Black || c == White;
}

// The line state straight from the stones: every field of the Empty cells' records, nearCount of
// every cell, and the sums over the Empty cells.
struct Rebuilt {
  std::array<CellInfo, BoardCells> info{};
  int32_t evalSum[2] = {0, 0};
  int32_t classCount[2][CellClassCount] = {};
};

std::unique_ptr<Rebuilt> rebuild(const Board& b, const PatternTables& tables) {
  auto x = std::make_unique<Rebuilt>();
  for (int c = 0; c < BoardCells; ++c) {
    if (!isStone(b.cells[c])) continue;
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx)
        if (inNeighbourhood(dx, dy)) x->info[size_t(c + dy * BoardSpan + dx)].nearCount += 1;
  }
  for (int t = 0; t < BoardCells; ++t) {
    if (b.cells[t] != Empty) continue;
    CellInfo& r = x->info[size_t(t)];
    for (int k = 0; k < 4; ++k) {
      uint16_t bits[2] = {0, 0};
      int wallsPlus = 0, wallsMinus = 0;  // the edge's cells on each side, for caro
      for (int p = -5; p <= 5; ++p) {
        if (p == 0) continue;
        const uint8_t code = b.cells[t + p * DirectionStep[k]];
        const uint16_t bit = uint16_t(1u << windowBit(p));
        if (code == Wall) {
          bits[0] |= bit;
          bits[1] |= bit;
          (p > 0 ? wallsPlus : wallsMinus) += 1;
        } else if (isStone(code)) {
          bits[code] |= bit;
        }
      }
      for (int s = 0; s < 2; ++s) {
        const unsigned own = bits[s], other = bits[s ^ 1];
        r.lineWindow[k][s] = uint16_t(TernaryOfMask[own & ~other] + 2 * TernaryOfMask[other]);
        r.lineCode[s][k] = tables.edgeAware
                               ? tables.edgeLineCodeOf(edgeConfigOf(wallsPlus, wallsMinus), s, own, other)
                               : tables.lineCodeOf(s, own, other);
      }
    }
    for (int s = 0; s < 2; ++s) {
      const int key = patternKey(r.lineCode[s][0], r.lineCode[s][1], r.lineCode[s][2], r.lineCode[s][3]);
      r.codeKey[s] = codeKeyOf(r.lineCode[s]);
      r.moveScore[s] = tables.moveScore[s][key];
      r.evalScore[s] = tables.evalScore[s][key];
      r.cellClass[s] = tables.cellClass[s][key];
      x->evalSum[s] += r.evalScore[s];
      x->classCount[s][r.cellClass[s]] += 1;
    }
  }
  return x;
}

class Report {
 public:
  template <typename... Parts>
  void add(const Parts&... parts) {
    ++count_;
    if (count_ > MaxReported) return;
    ((out_ << parts), ...);
    out_ << "\n";
  }
  std::string text() const {
    if (count_ == 0) return "";
    std::string t = out_.str();
    if (count_ > MaxReported) t += "... " + std::to_string(count_ - MaxReported) + " more\n";
    return t;
  }
  bool empty() const { return count_ == 0; }

 private:
  int count_ = 0;
  std::ostringstream out_;
};

void checkBoard(const Board& b, const StateCheck& how, Report& r) {
  const int n = b.size;
  if (n < MinBoardSize || n > MaxBoardSize) {
    r.add("board side ", n, " out of range");
    return;
  }
  if (b.cellCount != n * n) r.add("cellCount ", b.cellCount, " for side ", n);
  if (b.moveCount < 0 || b.moveCount > b.cellCount) {
    r.add("moveCount ", b.moveCount, " out of range");
    return;
  }
  int stones = 0;
  for (int t = 0; t < BoardCells; ++t) {
    const int x = (t & 31) - 5, y = (t >> 5) - 5;
    const bool inside = x >= 0 && y >= 0 && x < n && y < n;
    const uint8_t c = b.cells[t];
    if (!inside && c != Wall) r.add("cell ", t, " outside the board holds ", int(c));
    if (inside && c == Wall) r.add("board cell ", cellName(t), " is a Wall");
    if (inside && isStone(c)) ++stones;
  }
  if (stones != b.moveCount) r.add(stones, " stones on the board, moveCount ", b.moveCount);
  std::vector<bool> seen(BoardCells, false);
  uint64_t hash = 0;
  for (int i = 0; i < b.moveCount; ++i) {
    const CellIndex m = b.moves[size_t(i)];
    if (m >= BoardCells) {
      r.add("move ", i, " is cell ", m);
      continue;
    }
    if (seen[m]) r.add("move ", i, " repeats cell ", cellName(m));
    seen[m] = true;
    if (how.anyColours ? !isStone(b.cells[m]) : b.cells[m] != i % 2)
      r.add("move ", i, " at ", cellName(m), " holds ", int(b.cells[m]));
    if (isStone(b.cells[m])) hash ^= Zobrist.stone[b.cells[m]][m];
  }
  if ((!how.anyColours && b.sideToMove != b.moveCount % 2) || b.opponent != (b.sideToMove ^ 1))
    r.add("sideToMove ", int(b.sideToMove), " opponent ", int(b.opponent), " after ", b.moveCount, " moves");
  if (hash != b.hash) r.add("hash differs from the XOR of the stones' keys");
}

void checkLineState(const Position& p, const StateCheck& how, Report& r) {
  const Board& b = *p.board;
  const auto x = rebuild(b, *p.tables);
  for (int t = 0; t < BoardCells; ++t) {
    const CellInfo& got = p.cellInfo[t];
    const CellInfo& want = x->info[size_t(t)];
    if (how.exactNearCount ? got.nearCount != want.nearCount
                           : b.cells[t] == Empty && got.nearCount < want.nearCount)
      r.add(cellName(t), " nearCount ", int(got.nearCount), " for ", int(want.nearCount), " stones near");
    if (b.cells[t] != Empty) continue;
    for (int k = 0; k < 4; ++k)
      for (int s = 0; s < 2; ++s)
        if (got.lineWindow[k][s] != want.lineWindow[k][s])
          r.add(cellName(t), " lineWindow[", k, "][", s, "] holds bits ", lineBitsOf(got, k, s), " want ",
                lineBitsOf(want, k, s));
    for (int s = 0; s < 2; ++s) {
      for (int k = 0; k < 4; ++k)
        if (got.lineCode[s][k] != want.lineCode[s][k])
          r.add(cellName(t), " lineCode[", s, "][", k, "] ", int(got.lineCode[s][k]), " want ",
                int(want.lineCode[s][k]));
      const int16_t wantEval = how.evalCells != nullptr ? how.evalCells[t].evalScore[s] : want.evalScore[s];
      if (got.codeKey[s] != want.codeKey[s])
        r.add(cellName(t), " codeKey[", s, "] ", got.codeKey[s], " want ", want.codeKey[s]);
      if (got.moveScore[s] != want.moveScore[s])
        r.add(cellName(t), " moveScore[", s, "] ", got.moveScore[s], " want ", want.moveScore[s]);
      if (got.evalScore[s] != wantEval)
        r.add(cellName(t), " evalScore[", s, "] ", got.evalScore[s], " want ", wantEval);
      if (got.cellClass[s] != want.cellClass[s])
        r.add(cellName(t), " cellClass[", s, "] ", int(got.cellClass[s]), " want ", int(want.cellClass[s]));
    }
  }
  for (int s = 0; s < 2; ++s) {
    const int32_t wantSum = how.evalSums != nullptr ? how.evalSums[s] : x->evalSum[s];
    if (p.evalSum[s] != wantSum) r.add("evalSum[", s, "] ", p.evalSum[s], " want ", wantSum);
    for (int c = 0; c < CellClassCount; ++c)
      if (p.classCount[s][c] != x->classCount[s][c])
        r.add("classCount[", s, "][", c, "] ", p.classCount[s][c], " want ", x->classCount[s][c]);
  }
}

}  // namespace

std::string stateDifference(const Position& p, const StateCheck& how) {
  Report r;
  checkBoard(*p.board, how, r);
  // The line state is only meaningful over a sound board.
  if (r.empty()) checkLineState(p, how, r);
  return r.text();
}

}  // namespace kesta::check
