#include "diag/dump.h"

#include <iomanip>
#include <iostream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kesta {

namespace {

std::ostream* diagnosticStream = nullptr;

// Console attributes: 4 red (Black), 2 green (White), 7 default; 128 intensified background.
constexpr int AttrBlack = 4, AttrWhite = 2, AttrDefault = 7, AttrLastMove = 128;

class Painter {
 public:
  Painter(std::ostream& out, DumpColour colour) : out_(out), colour_(colour) {}

  void set(int attr) {
    if (colour_ == DumpColour::Ansi) {
      if (attr == AttrDefault) {
        out_ << "\x1b[0m";
        return;
      }
      out_ << ((attr & 7) == AttrBlack ? "\x1b[31m" : (attr & 7) == AttrWhite ? "\x1b[32m" : "\x1b[37m");
      if (attr & AttrLastMove) out_ << "\x1b[100m";
    }
#if defined(_WIN32)
    if (colour_ == DumpColour::Console) {
      out_.flush();
      SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), WORD(attr));
    }
#endif
  }

  void stone(char symbol, int attr) {
    set(attr);
    out_ << symbol;
    set(AttrDefault);
  }

 private:
  std::ostream& out_;
  DumpColour colour_;
};

}  // namespace

void setDiagnosticStream(std::ostream* out) { diagnosticStream = out; }

void writeEvaluationDump(const Position& e, const std::string& prefix, std::ostream& out, DumpColour colour) {
  const Board& b = *e.board;
  const int n = b.size;
  Painter paint(out, colour);
  auto lineBreak = [&] {
    out << '\n';
    out.flush();
    out << prefix;
  };
  const CellIndex last = b.moveCount > 0 ? b.moves[b.moveCount - 1] : 0;
  auto stoneAttr = [&](int code) { return code == Black ? AttrBlack : AttrWhite; };
  auto stoneChar = [&](int code) { return code == Black ? 'X' : 'O'; };

  // 1. The last move, in letter-number form.
  out << prefix;
  if (b.moveCount > 0) {
    out << "LastPos:" << char('A' + cellX(last)) << 15 - cellY(last) << ' ';
    lineBreak();
  }
  // A spaced section: one printed line per column x, cells separated by a space, and the space
  // before each line break; `lineEnd` adds what follows a line's last cell.
  auto spacedSection = [&](auto&& writeCell, auto&& lineEnd) {
    for (int x = 0; x < n; ++x) {
      if (x > 0) {
        out << ' ';
        lineBreak();
      }
      for (int y = 0; y < n; ++y) {
        if (y > 0) out << ' ';
        writeCell(cellOf(x, y));
      }
      lineEnd(x);
    }
  };
  // 2. Board section, each line numbered.
  spacedSection(
      [&](CellIndex t) {
        const CellInfo& c = e.cellInfo[t];
        const int code = b.cells[t];
        if (code == Empty)
          out << (c.rootLoss ? 'L' : c.nearCount != 0 ? '*' : '.');
        else
          paint.stone(stoneChar(code), stoneAttr(code) | (t == last ? AttrLastMove : 0));
      },
      [&](int x) { out << ' ' << x + 1; });
  // 3. Letters.
  lineBreak();
  for (int y = 0; y < n; ++y) out << char('A' + y) << ' ';
  lineBreak();
  out << "---Score-------------";
  lineBreak();
  // 4. Score section.
  for (int x = 0; x < n; ++x) {
    if (x > 0) lineBreak();
    for (int y = 0; y < n; ++y) {
      const CellIndex t = cellOf(x, y);
      const CellInfo& c = e.cellInfo[t];
      const int code = b.cells[t];
      if (code != Empty) {
        out << "    ";
        paint.stone(stoneChar(code), stoneAttr(code));
      } else if (c.nearCount != 0) {
        out << std::setw(5) << c.moveScore[Black] + c.moveScore[White];
      } else {
        out << "    .";
      }
    }
  }
  // 5-8. Class sections.
  static constexpr char ClassLetter[CellClassCount] = {'.', '.', '.', '.', '.', 'I', 'H',
                                                       'G', 'F', 'E', 'D', 'C', 'B', 'A'};
  for (int side = 0; side < 2; ++side) {
    lineBreak();
    out << (side == Black ? "---Pattern4--Black------" : "---Pattern4--White------");
    lineBreak();
    spacedSection(
        [&](CellIndex t) {
          const int code = b.cells[t];
          if (code == Empty)
            out << ClassLetter[e.cellInfo[t].cellClass[side]];
          else
            paint.stone('.', stoneAttr(code));
        },
        [](int) {});
  }
  // 9. Closing rule.
  lineBreak();
  out << "===============================" << '\n';
  out.flush();
}

void printEvaluationDump(const Position& e, const std::string& prefix) {
  std::ostream& out = diagnosticStream ? *diagnosticStream : std::cout;
  DumpColour colour = DumpColour::None;
  if (&out == &std::cout) {
#if defined(_WIN32)
    DWORD mode = 0;
    if (GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) colour = DumpColour::Console;
#else
    if (isatty(STDOUT_FILENO)) colour = DumpColour::Ansi;
#endif
  }
  writeEvaluationDump(e, prefix, out, colour);
}

void printMessageDump(const Position& e) {
  printEvaluationDump(e, "MESSAGE ");
}

}  // namespace kesta
