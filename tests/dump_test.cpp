// The evaluation dump: its exact layout (one printed line per board column, scores five wide,
// class letters), the last-move line, colour codes only when asked for, and the developer tool's
// dump of the same position.
#include "diag/dump.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/position.h"
#include "support/processes.h"

namespace kesta {
namespace {

using testpos::fromArt;
using testpos::fromMoves;
using testpos::Position;
using testpos::sameState;
using testpos::StateSnapshot;

// The text without ANSI colour sequences (ESC '[' digits and semicolons 'm').
std::string withoutColour(const std::string& text) {
  std::string plain;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
      i += 2;
      while (i < text.size() && text[i] != 'm') ++i;
      continue;
    }
    plain += text[i];
  }
  return plain;
}

std::string dumpOf(const Engine& e, const std::string& prefix, DumpColour colour = DumpColour::None) {
  std::ostringstream out;
  writeEvaluationDump(e, prefix, out, colour);
  return out.str();
}

TEST(Dump, ExactLayoutOnASmallBoard) {
  // Black (1,2), then White (3,3) as the last move. The dump only formats what it finds, so the
  // scores, classes and one proven-lost root cell are set by hand to make every column tell.
  auto p = fromMoves(Freestyle, {{1, 2}, {3, 3}}, 6);
  Engine& e = p->e();
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) {
      CellInfo& c = e.cellInfo[cellOf(x, y)];
      if (p->b().cells[cellOf(x, y)] != Empty) continue;
      c.moveScore[Black] = int16_t(10 * x + y);
      c.moveScore[White] = 0;
      c.cellClass[Black] = uint8_t((x + 2 * y) % 14);
      c.cellClass[White] = uint8_t(13 - c.cellClass[Black]);
    }
  e.cellInfo[cellOf(5, 5)].moveScore[Black] = -29000;  // wider than five characters
  e.cellInfo[cellOf(5, 5)].moveScore[White] = -3000;
  e.cellInfo[cellOf(2, 0)].rootLoss = 1;

  const StateSnapshot before(e);
  const std::string expected =
      "MESSAGE LastPos:D12 \n"
      "MESSAGE * * * * * . 1 \n"
      "MESSAGE * * X * * * 2 \n"
      "MESSAGE L * * * * * 3 \n"
      "MESSAGE * * * O * * 4 \n"
      "MESSAGE . * * * * * 5 \n"
      "MESSAGE . * * * * * 6\n"
      "MESSAGE A B C D E F \n"
      "MESSAGE ---Score-------------\n"
      "MESSAGE     0    1    2    3    4    .\n"
      "MESSAGE    10   11    X   13   14   15\n"
      "MESSAGE    20   21   22   23   24   25\n"
      "MESSAGE    30   31   32    O   34   35\n"
      "MESSAGE     .   41   42   43   44   45\n"
      "MESSAGE     .   51   52   53   54-32000\n"
      "MESSAGE ---Pattern4--Black------\n"
      "MESSAGE . . . H F D \n"
      "MESSAGE . . . G E C \n"
      "MESSAGE . . H F D B \n"
      "MESSAGE . I G . C A \n"
      "MESSAGE . H F D B . \n"
      "MESSAGE I G E C A .\n"
      "MESSAGE ---Pattern4--White------\n"
      "MESSAGE A C E G I . \n"
      "MESSAGE B D . H . . \n"
      "MESSAGE C E G I . . \n"
      "MESSAGE D F H . . . \n"
      "MESSAGE E G I . . A \n"
      "MESSAGE F H . . . B\n"
      "MESSAGE ===============================\n";
  EXPECT_EQ(dumpOf(e, "MESSAGE "), expected);
  EXPECT_TRUE(sameState(before, StateSnapshot(e)));

  // Without colour requested, printEvaluationDump gives the same text on a stream that is not a
  // terminal.
  std::ostringstream out;
  setDiagnosticStream(&out);
  printEvaluationDump(e, "MESSAGE ");
  setDiagnosticStream(nullptr);
  EXPECT_EQ(out.str(), expected);
}

TEST(Dump, EmptyBoardHasNoLastMoveLine) {
  auto p = fromMoves(RenjuRule, {}, 6);
  const std::string text = dumpOf(p->e(), ">");
  EXPECT_EQ(text.find("LastPos"), std::string::npos);
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), ">. . . . . . 1 \n");
  // No cell is near a stone: '.' on the board, "    ." in the scores, '.' for classes 0 to 4.
  EXPECT_NE(text.find(">    .    .    .    .    .    .\n"), std::string::npos);
  EXPECT_EQ(text.find('*'), std::string::npos);
}

TEST(Dump, LastMoveInLetterNumberForm) {
  auto p = fromMoves(Freestyle, {{7, 7}});
  const std::string text = dumpOf(p->e(), "");
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), "LastPos:H8 \n");
  EXPECT_NE(text.find("\nA B C D E F G H I J K L M N O \n"), std::string::npos);
  // The row number is 15 - y on every board size.
  auto q = fromMoves(Freestyle, {{10, 10}, {2, 19}}, 20);
  const std::string wide = dumpOf(q->e(), "");
  EXPECT_EQ(wide.substr(0, wide.find('\n') + 1), "LastPos:C-4 \n");
}

TEST(Dump, ColourCodesOnlyWhenAskedFor) {
  auto p = fromArt(RenjuRule, R"(
    . . . . . . . .
    . . X X . X . .
    . . . O O . . .
  )");
  const std::string plain = dumpOf(p->e(), "MESSAGE ");
  EXPECT_EQ(plain.find('\x1b'), std::string::npos);
  const std::string ansi = dumpOf(p->e(), "MESSAGE ", DumpColour::Ansi);
  // Red for Black, green for White; the last move (White's) alone gets a background.
  EXPECT_NE(ansi.find("\x1b[31mX\x1b[0m"), std::string::npos);
  EXPECT_NE(ansi.find("\x1b[32mO\x1b[0m"), std::string::npos);
  EXPECT_EQ(ansi.find("\x1b[100m"), ansi.rfind("\x1b[100m"));
  EXPECT_NE(ansi.find("\x1b[32m\x1b[100mO"), std::string::npos);
  // The colour codes are the only difference.
  EXPECT_EQ(withoutColour(ansi), plain);
  // Console colour is a Windows console call; elsewhere it writes plain text.
#ifndef _WIN32
  EXPECT_EQ(dumpOf(p->e(), "MESSAGE ", DumpColour::Console), plain);
#endif
}

#ifndef _WIN32
TEST(DumpTool, SameTextAsTheLibraryDump) {
  if (kesta_test::toolHasOwnTextFiles()) GTEST_SKIP() << "the tool's directory holds its own AIEval.txt";
  auto free = fromMoves(Freestyle, {{7, 7}, {8, 8}, {6, 8}, {8, 6}, {9, 9}});
  EXPECT_EQ(kesta_test::runTool("dump --rule freestyle --moves \"7,7 8,8 6,8 8,6 9,9\""),
            dumpOf(free->e(), ""));

  // --black then --white, Black to move: Black's forbidden cells carry their -29000 weights.
  auto renju = fromArt(RenjuRule, R"(
    . . . . . . . . . .
    . . . . . . . . . .
    . . . . . X . . . .
    . . . . . X . . . .
    . . . X X . . . . .
    . . . . . . . O . .
  )",
                       {.size = 10});
  const std::string tool =
      kesta_test::runTool("dump --rule renju --size 10 --black \"5,2 5,3 3,4 4,4\" --white \"7,5\"");
  EXPECT_EQ(tool, dumpOf(renju->e(), ""));
  EXPECT_TRUE(tool.find("-28") != std::string::npos || tool.find("-29") != std::string::npos) << tool;
}
#endif

}  // namespace
}  // namespace kesta
