#include "state_check.h"

#include <cstdint>
#include <sstream>
#include <vector>

#include "board/board.h"
#include "eval/eval_tables.h"

namespace kesta::fuzz {

namespace {

constexpr int MaxReported = 8;

std::string cellName(int t) {
  return "(" + std::to_string(cellX(CellIndex(t))) + "," + std::to_string(cellY(CellIndex(t))) + ")";
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

void checkBoard(const Board& b, Report& r) {
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
    if (inside && (c == Black || c == White)) ++stones;
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
    if (b.cells[m] != i % 2)
      r.add("move ", i, " at ", cellName(m), " holds ", int(b.cells[m]), ", not ", i % 2);
    if (b.cells[m] == Black || b.cells[m] == White) hash ^= Zobrist.stone[b.cells[m]][m];
  }
  if (b.sideToMove != b.moveCount % 2 || b.opponent != (b.sideToMove ^ 1))
    r.add("sideToMove ", int(b.sideToMove), " opponent ", int(b.opponent), " after ", b.moveCount, " moves");
  if (hash != b.hash) r.add("hash differs from the XOR of the stones' keys");
}

void checkLineState(const Engine& e, Report& r) {
  const Board& b = *e.board;
  int32_t evalSum[2] = {0, 0};
  int32_t classCount[2][14] = {};
  for (int t = 0; t < BoardCells; ++t) {
    if (b.cells[t] != Empty) continue;
    const CellInfo& got = e.cellInfo[t];
    int near = 0;
    for (int dy = -3; dy <= 3; ++dy)
      for (int dx = -3; dx <= 3; ++dx) {
        const int u = t + dy * BoardSpan + dx;
        if (inNeighbourhood(dx, dy) && (b.cells[u] == Black || b.cells[u] == White)) ++near;
      }
    if (got.nearCount < near)
      r.add(cellName(t), " nearCount ", int(got.nearCount), " below ", near, " stones near");
    uint8_t code[2][4];
    for (int k = 0; k < 4; ++k) {
      uint16_t bits[2] = {0, 0};
      for (int p = -5; p <= 5; ++p) {
        if (p == 0) continue;
        const uint8_t c = b.cells[t + p * DirectionStep[k]];
        const uint16_t bit = uint16_t(1u << windowBit(p));
        if (c == Wall) {
          bits[0] |= bit;
          bits[1] |= bit;
        } else if (c == Black || c == White) {
          bits[c] |= bit;
        }
      }
      for (int s = 0; s < 2; ++s)
        if (lineBitsOf(got, k, s) != bits[s])
          r.add(cellName(t), " line bits [", k, "][", s, "] ", lineBitsOf(got, k, s), " want ", bits[s]);
      code[0][k] = e.tables->lineCodeOf(0, bits[0], bits[1]);
      code[1][k] = e.tables->lineCodeOf(1, bits[1], bits[0]);
    }
    for (int s = 0; s < 2; ++s) {
      for (int k = 0; k < 4; ++k)
        if (got.lineCode[s][k] != code[s][k])
          r.add(cellName(t), " lineCode[", s, "][", k, "] ", int(got.lineCode[s][k]), " want ",
                int(code[s][k]));
      const int key = patternKey(code[s][0], code[s][1], code[s][2], code[s][3]);
      if (got.moveScore[s] != e.tables->moveScore[s][key])
        r.add(cellName(t), " moveScore[", s, "] ", got.moveScore[s], " want ", e.tables->moveScore[s][key]);
      if (got.evalScore[s] != e.tables->evalScore[s][key])
        r.add(cellName(t), " evalScore[", s, "] ", got.evalScore[s], " want ", e.tables->evalScore[s][key]);
      if (got.cellClass[s] != e.tables->cellClass[s][key])
        r.add(cellName(t), " cellClass[", s, "] ", int(got.cellClass[s]), " want ",
              int(e.tables->cellClass[s][key]));
      evalSum[s] += e.tables->evalScore[s][key];
      classCount[s][e.tables->cellClass[s][key]] += 1;
    }
  }
  for (int s = 0; s < 2; ++s) {
    if (e.evalSum[s] != evalSum[s]) r.add("evalSum[", s, "] ", e.evalSum[s], " want ", evalSum[s]);
    for (int c = 0; c < 14; ++c)
      if (e.classCount[s][c] != classCount[s][c])
        r.add("classCount[", s, "][", c, "] ", e.classCount[s][c], " want ", classCount[s][c]);
  }
}

}  // namespace

std::string stateDifference(const Engine& e) {
  Report r;
  checkBoard(*e.board, r);
  // The line state is only meaningful over a sound board.
  if (r.empty()) checkLineState(e, r);
  return r.text();
}

}  // namespace kesta::fuzz
