// Whole games over pipes: two real brains play each other under a small referee that speaks the
// protocol as a tournament manager does (START, INFO rule, INFO timeout_turn, INFO time_left before
// every move, BEGIN, TURN, and BOARD to resume a game from its move list). The referee keeps its own
// board and its own renju judge, rejects moves on occupied or off-board cells, ends a game on a
// five, a foul or a full board, and records each move's time.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "rules/forbidden.h"
#include "support/position.h"
#include "tools/lib/brain_process.h"

#if defined(__SANITIZE_ADDRESS__)
#define KESTA_REFEREE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTA_REFEREE_SANITIZED 1
#endif
#endif

namespace kesta {
namespace {

#ifdef KESTA_REFEREE_SANITIZED
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

// ---------------------------------------------------------------------------------------------
// The referee's board and rules, written from the rules of the game alone.

enum ProtocolRule { FreestyleGame = 0, ExactFiveGame = 1, RenjuGame = 4 };
enum Stone { None = 0, BlackStone = 1, WhiteStone = 2 };
enum class Foul { None, Overline, DoubleFour, DoubleThree };

const char* foulName(Foul f) {
  switch (f) {
    case Foul::Overline:
      return "overline";
    case Foul::DoubleFour:
      return "double four";
    case Foul::DoubleThree:
      return "double three";
    default:
      return "none";
  }
}

constexpr int Lines[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};

class RefereeBoard {
 public:
  explicit RefereeBoard(int n) : n_(n), cells_(size_t(n * n), None) {}

  int size() const { return n_; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < n_ && y < n_; }
  int at(int x, int y) const { return inside(x, y) ? cells_[size_t(y * n_ + x)] : -1; }
  void set(int x, int y, int stone) { cells_[size_t(y * n_ + x)] = stone; }
  bool full() const { return std::find(cells_.begin(), cells_.end(), None) == cells_.end(); }

  // The stones of the colour at (x, y) in an unbroken row through it along line d: the first and
  // the last offset from (x, y).
  void run(int x, int y, int d, int& lo, int& hi) const {
    const int colour = at(x, y), dx = Lines[d][0], dy = Lines[d][1];
    lo = 0;
    while (at(x + (lo - 1) * dx, y + (lo - 1) * dy) == colour) --lo;
    hi = 0;
    while (at(x + (hi + 1) * dx, y + (hi + 1) * dy) == colour) ++hi;
  }
  int runLength(int x, int y, int d) const {
    int lo, hi;
    run(x, y, d, lo, hi);
    return hi - lo + 1;
  }

 private:
  int n_;
  std::vector<int> cells_;
};

// The stone just placed at (x, y) wins: five or more in a row in freestyle, exactly five in exact
// five, and under renju exactly five for Black and five or more for White.
bool wins(const RefereeBoard& b, int x, int y, int rule) {
  const bool exact = rule == ExactFiveGame || (rule == RenjuGame && b.at(x, y) == BlackStone);
  for (int d = 0; d < 4; ++d) {
    const int n = b.runLength(x, y, d);
    if (n == 5 || (n > 5 && !exact)) return true;
  }
  return false;
}

Foul renjuFoul(RefereeBoard& b, int x, int y, int depth);

// Offsets t along line d (|t| <= 4) of the empty cells where one more Black stone makes exactly five
// together with the Black stone at (x, y).
std::vector<int> fiveCompletions(RefereeBoard& b, int x, int y, int d) {
  std::vector<int> points;
  const int dx = Lines[d][0], dy = Lines[d][1];
  for (int t = -4; t <= 4; ++t) {
    const int ex = x + t * dx, ey = y + t * dy;
    if (t == 0 || b.at(ex, ey) != None) continue;
    b.set(ex, ey, BlackStone);
    int lo, hi;
    b.run(ex, ey, d, lo, hi);
    // The run from (ex, ey) covers offsets t + lo .. t + hi from (x, y).
    if (hi - lo + 1 == 5 && t + lo <= 0 && t + hi >= 0) points.push_back(t);
    b.set(ex, ey, None);
  }
  return points;
}

// Fours through (x, y) along d: a straight four (two completions five apart) counts once; two
// completions otherwise are two fours on one line.
int foursAlong(RefereeBoard& b, int x, int y, int d) {
  const std::vector<int> p = fiveCompletions(b, x, y, d);
  if (p.size() == 2 && p[1] - p[0] == 5) return 1;
  return int(p.size());
}

// A straight four through (x, y) along d: four Black stones in a row, each end an empty cell that
// completes exactly five.
bool straightFour(RefereeBoard& b, int x, int y, int d) {
  int lo, hi;
  b.run(x, y, d, lo, hi);
  if (hi - lo + 1 != 4) return false;
  const std::vector<int> p = fiveCompletions(b, x, y, d);
  return std::count(p.begin(), p.end(), lo - 1) == 1 && std::count(p.begin(), p.end(), hi + 1) == 1;
}

// The Black stone at (x, y) makes a real three along d: one more stone, itself allowed, makes a
// straight four.
bool realThree(RefereeBoard& b, int x, int y, int d, int depth) {
  const int dx = Lines[d][0], dy = Lines[d][1];
  for (int t = -4; t <= 4; ++t) {
    const int ex = x + t * dx, ey = y + t * dy;
    if (t == 0 || b.at(ex, ey) != None) continue;
    b.set(ex, ey, BlackStone);
    const bool four = straightFour(b, x, y, d);
    b.set(ex, ey, None);
    if (four && (depth >= 4 || renjuFoul(b, ex, ey, depth + 1) == Foul::None)) return true;
  }
  return false;
}

// Black's move at the empty cell (x, y) under renju: exactly five wins whatever else it makes;
// otherwise six or more, two fours, or two real threes are fouls.
Foul renjuFoul(RefereeBoard& b, int x, int y, int depth) {
  b.set(x, y, BlackStone);
  Foul result = Foul::None;
  bool five = false, overline = false;
  for (int d = 0; d < 4; ++d) {
    const int n = b.runLength(x, y, d);
    five = five || n == 5;
    overline = overline || n > 5;
  }
  if (!five) {
    int fours = 0, threes = 0;
    for (int d = 0; d < 4; ++d) {
      const int f = foursAlong(b, x, y, d);
      fours += f;
      if (f == 0 && realThree(b, x, y, d, depth)) ++threes;
    }
    if (overline)
      result = Foul::Overline;
    else if (fours >= 2)
      result = Foul::DoubleFour;
    else if (threes >= 2)
      result = Foul::DoubleThree;
  }
  b.set(x, y, None);
  return result;
}

// A referee board from an ASCII picture ('X' Black, 'O' White, '.' empty).
RefereeBoard pictureBoard(int n, const std::string& art) {
  RefereeBoard b(n);
  std::istringstream in(art);
  std::string line;
  int y = 0;
  while (std::getline(in, line)) {
    int x = 0;
    for (char c : line) {
      if (c == ' ') continue;
      if (c == 'X') b.set(x, y, BlackStone);
      if (c == 'O') b.set(x, y, WhiteStone);
      ++x;
    }
    if (x > 0) ++y;
  }
  return b;
}

// The referee's judge against the engine's own forbidden test, cell by cell, on positions that show
// each kind of foul and the cases that are no foul.
TEST(RefereeRules, RenjuFoulsAgreeWithTheEngine) {
  struct Case {
    const char* art;
    int x, y;
    Foul foul;
  };
  const Case cases[] = {
      // Six in a row.
      {". X X X . X X . . .", 4, 0, Foul::Overline},
      // Exactly five wins, although the same stone makes six in its column.
      {". X X X X . . .\n. . . . . X . .\n. . . . . X . .\n. . . . . X . .\n. . . . . X . .\n"
       ". . . . . X . .",
       5, 0, Foul::None},
      // Two fours on two lines.
      {". . . . . . . . .\n. X X X . . . . .\n. . . . . . . . .\n. . . . X . . . .\n. . . . X . . . .\n"
       ". . . . X . . . .",
       4, 1, Foul::DoubleFour},
      // Two fours on one line: X X X . m . X X X.
      {"X X X . . . X X X . .", 4, 0, Foul::DoubleFour},
      // Two open threes.
      {". . . . . . . .\n. . . . . . . .\n. . . X . . . .\n. . . X . . . .\n. X X . . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       3, 4, Foul::DoubleThree},
      // A four and an open three are allowed.
      {". . . . . . . .\n. . . . . . . .\n. . . . X . . .\n. . . . X . . .\nO X X X . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       4, 4, Foul::None},
      // One of the threes is closed by White: a single open three.
      {". . . . . . . .\n. . . O . . . .\n. . . X . . . .\n. . . X . . . .\n. X X . . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       3, 4, Foul::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.art);
    RefereeBoard ref = pictureBoard(15, c.art);
    EXPECT_EQ(foulName(renjuFoul(ref, c.x, c.y, 0)), std::string(foulName(c.foul)));
    // The engine sees the same position with Black to move.
    testpos::Game g(15, RenjuRule);
    g.draw(c.art, Black);
    EXPECT_EQ(isForbidden(g.e(), cellOf(c.x, c.y)), c.foul != Foul::None) << "the engine's test disagrees";
  }
}

// ---------------------------------------------------------------------------------------------
// Games

struct GameSetup {
  const char* name;
  int rule;  // as INFO rule sends it
  int size;
  bool resumeWithBoard;  // each brain is handed the game once as a BOARD move list
};

struct MoveRecord {
  int x, y;
  long long ms;
};

struct GameOutcome {
  std::vector<MoveRecord> moves;
  std::string result;
  std::vector<std::string> fouls;
  int messageLines = 0;
  long long maxMs = 0;
};

constexpr int TurnMs = 100;
constexpr int StartingTimeLeftMs = 6000;
// Under the sanitizers the brains run several times slower; their games are cut short.
constexpr int MoveCap = Sanitized ? 30 : 100;
constexpr int ReplyDeadlineMs = Sanitized ? 60000 : 20000;

std::string moveText(int x, int y) {
  return std::to_string(x) + "," + std::to_string(y);
}

bool parseMove(const std::string& line, int& x, int& y) {
  const size_t comma = line.find(',');
  if (comma == std::string::npos || comma == 0 || comma + 1 == line.size()) return false;
  for (size_t i = 0; i < line.size(); ++i)
    if (i != comma && (line[i] < '0' || line[i] > '9')) return false;
  if (comma > 6 || line.size() - comma > 7) return false;
  x = std::stoi(line.substr(0, comma));
  y = std::stoi(line.substr(comma + 1));
  return true;
}

class Referee {
 public:
  explicit Referee(const GameSetup& setup) : setup_(setup), board_(setup.size) {}

  // Plays one game to its end or to the move cap. Test failures record what went wrong.
  GameOutcome play() {
    GameOutcome out;
    for (Player& p : players_) {
      if (!p.brain.spawn(KESTA_BRAIN_PATH)) {
        ADD_FAILURE() << "cannot start " << KESTA_BRAIN_PATH;
        return out;
      }
      p.timeLeft = StartingTimeLeftMs;
      send(p, "START " + std::to_string(setup_.size));
      const std::optional<std::string> ok = reply(p, out);
      if (ok != "OK") {
        ADD_FAILURE() << "START answered " << ok.value_or("nothing") << crashReport(p);
        return out;
      }
      send(p, "INFO rule " + std::to_string(setup_.rule));
      send(p, "INFO timeout_turn " + std::to_string(TurnMs));
      send(p, "INFO timeout_match 1000000");
    }
    for (int n = 0;; ++n) {
      if (n >= MoveCap) {
        out.result = "unfinished after " + std::to_string(n) + " moves";
        break;
      }
      Player& p = players_[n % 2];
      const int colour = n % 2 == 0 ? BlackStone : WhiteStone;
      send(p, "INFO time_left " + std::to_string(std::max(1, p.timeLeft)));
      std::string command;
      if (n == 0) {
        command = "BEGIN";
      } else if (setup_.resumeWithBoard && n >= 8 && !p.resumed) {
        command = boardCommand(colour, out);
        p.resumed = true;
      } else {
        const MoveRecord& last = out.moves.back();
        command = "TURN " + moveText(last.x, last.y);
      }
      const auto start = std::chrono::steady_clock::now();
      send(p, command);
      const std::optional<std::string> line = reply(p, out);
      const long long ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
      if (!line) {
        ADD_FAILURE() << setup_.name << ": no reply to move " << n + 1 << " (" << command.substr(0, 5) << ")"
                      << crashReport(p) << transcript(out);
        break;
      }
      int x = -1, y = -1;
      if (!parseMove(*line, x, y)) {
        ADD_FAILURE() << setup_.name << ": move " << n + 1 << " answered \"" << *line << "\""
                      << transcript(out);
        break;
      }
      if (!board_.inside(x, y) || board_.at(x, y) != None) {
        ADD_FAILURE() << setup_.name << ": move " << n + 1 << " at " << *line
                      << (board_.inside(x, y) ? " is an occupied cell" : " is off the board")
                      << transcript(out);
        break;
      }
      p.timeLeft -= int(ms);
      out.moves.push_back({x, y, ms});
      out.maxMs = std::max(out.maxMs, ms);
      const Foul foul =
          setup_.rule == RenjuGame && colour == BlackStone ? renjuFoul(board_, x, y, 0) : Foul::None;
      board_.set(x, y, colour);
      const char* side = colour == BlackStone ? "Black" : "White";
      if (wins(board_, x, y, setup_.rule)) {
        out.result = std::string(side) + " wins with five at " + *line + ", move " + std::to_string(n + 1);
        break;
      }
      if (foul != Foul::None) {
        out.fouls.push_back(std::string(foulName(foul)) + " at " + *line + ", move " + std::to_string(n + 1));
        out.result = "White wins by Black's " + std::string(foulName(foul)) + " at " + *line;
        break;
      }
      if (board_.full()) {
        out.result = "draw, board full";
        break;
      }
    }
    for (Player& p : players_) {
      if (!p.brain.started()) continue;
      send(p, "END");
      const std::optional<ExitStatus> status = p.brain.waitExit(ReplyDeadlineMs);
      if (!status) {
        ADD_FAILURE() << setup_.name << ": a brain did not end after END";
      } else {
        EXPECT_TRUE(status->cleanExit()) << setup_.name << ": " << status->describe();
      }
    }
    return out;
  }

 private:
  struct Player {
    BrainProcess brain;
    int timeLeft = 0;
    bool resumed = false;
  };

  void send(Player& p, const std::string& text) {
    if (!p.brain.writeLine(text, ReplyDeadlineMs)) ADD_FAILURE() << setup_.name << ": cannot send " << text;
  }

  // The next reply line, skipping and counting diagnostic MESSAGE lines.
  std::optional<std::string> reply(Player& p, GameOutcome& out) {
    for (;;) {
      std::optional<std::string> line = p.brain.readLine(ReplyDeadlineMs);
      if (!line || line->rfind("MESSAGE", 0) != 0) return line;
      out.messageLines += 1;
    }
  }

  // The whole game so far as BOARD lines: 1 for the mover's own stones, 2 for the opponent's.
  std::string boardCommand(int mover, const GameOutcome& out) const {
    std::string text = "BOARD";
    for (size_t i = 0; i < out.moves.size(); ++i) {
      const int colour = i % 2 == 0 ? BlackStone : WhiteStone;
      text += "\n" + moveText(out.moves[i].x, out.moves[i].y) + "," + (colour == mover ? "1" : "2");
    }
    return text + "\nDONE";
  }

  std::string crashReport(Player& p) {
    const std::optional<ExitStatus> status = p.brain.waitExit(100);
    return status ? " (the brain ended: " + status->describe() + ")" : " (the brain still runs)";
  }

  static std::string transcript(const GameOutcome& out) {
    std::string text = "\nmoves:";
    for (const MoveRecord& m : out.moves) {
      text += ' ';
      text += moveText(m.x, m.y);
    }
    return text;
  }

  GameSetup setup_;
  RefereeBoard board_;
  Player players_[2];
};

void playAndReport(const GameSetup& setup) {
  Referee referee(setup);
  const GameOutcome out = referee.play();
  if (::testing::Test::HasFailure()) return;
  std::printf("[referee] %s on %dx%d: %s; %zu moves, longest %lld ms, %zu fouls, %d MESSAGE lines\n",
              setup.name, setup.size, setup.size, out.result.c_str(), out.moves.size(), out.maxMs,
              out.fouls.size(), out.messageLines);
  for (const std::string& f : out.fouls) std::printf("[referee]   foul: %s\n", f.c_str());
  ::testing::Test::RecordProperty("moves", int(out.moves.size()));
  ::testing::Test::RecordProperty("longest_ms", int(out.maxMs));
  ::testing::Test::RecordProperty("fouls", int(out.fouls.size()));
  EXPECT_FALSE(out.result.empty());
  // Only a gross overrun of the turn limit fails; the turn time itself is the brain's business.
  const long long limit = 2 * TurnMs + 100;
  EXPECT_LE(out.maxMs, Sanitized ? 3 * limit : limit) << "a move took " << out.maxMs << " ms";
}

TEST(RefereeGames, FreestyleOn15) {
  playAndReport({"freestyle", FreestyleGame, 15, false});
}

TEST(RefereeGames, ExactFiveOn20ResumedFromBoard) {
  playAndReport({"exact five", ExactFiveGame, 20, true});
}

TEST(RefereeGames, RenjuOn15) {
  playAndReport({"renju", RenjuGame, 15, false});
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
