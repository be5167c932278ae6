// Whole games over pipes: two real brains play each other under a small referee that speaks the
// protocol as a tournament manager does (START, INFO rule, INFO timeout_turn, INFO time_left before
// every move, BEGIN, TURN, and BOARD to resume a game from its move list). The referee keeps its own
// board, judges with the tool library's rules (tools/lib/referee.h), rejects moves on occupied or
// off-board cells, ends a game on a five, a foul or a full board, and records each move's time.
#ifndef _WIN32

#include "tools/lib/referee.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "rules/forbidden.h"
#include "support/position.h"
#include "support/processes.h"

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
// The referee's rules: the tool library's, written from the rules of the game alone.

// The referee's board with the stones of the engine's.
tool::RefBoard refereeBoard(const Board& b) {
  tool::RefBoard ref(b.size);
  for (int y = 0; y < b.size; ++y)
    for (int x = 0; x < b.size; ++x) {
      const uint8_t c = b.cells[cellOf(x, y)];
      if (c == Black || c == White) ref.set(x, y, c);
    }
  return ref;
}

// The referee's judge against the engine's own forbidden test, cell by cell, on positions that show
// each kind of foul and the cases that are no foul.
TEST(RefereeRules, RenjuFoulsAgreeWithTheEngine) {
  struct Case {
    const char* art;
    int x, y;
    bool foul;
  };
  const Case cases[] = {
      // Six in a row.
      {". X X X . X X . . .", 4, 0, true},
      // Exactly five wins, although the same stone makes six in its column.
      {". X X X X . . .\n. . . . . X . .\n. . . . . X . .\n. . . . . X . .\n. . . . . X . .\n"
       ". . . . . X . .",
       5, 0, false},
      // Two fours on two lines.
      {". . . . . . . . .\n. X X X . . . . .\n. . . . . . . . .\n. . . . X . . . .\n. . . . X . . . .\n"
       ". . . . X . . . .",
       4, 1, true},
      // Two fours on one line: X X X . m . X X X.
      {"X X X . . . X X X . .", 4, 0, true},
      // Two open threes.
      {". . . . . . . .\n. . . . . . . .\n. . . X . . . .\n. . . X . . . .\n. X X . . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       3, 4, true},
      // A four and an open three are allowed.
      {". . . . . . . .\n. . . . . . . .\n. . . . X . . .\n. . . . X . . .\nO X X X . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       4, 4, false},
      // One of the threes is closed by White: a single open three.
      {". . . . . . . .\n. . . O . . . .\n. . . X . . . .\n. . . X . . . .\n. X X . . . . .\n"
       ". . . . . . . .\n. . . . . . . .",
       3, 4, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.art);
    testpos::Game g(15, RenjuRule);
    g.draw(c.art, Black);
    tool::RefBoard ref = refereeBoard(g.b());
    EXPECT_EQ(tool::renjuFoul(ref, c.x, c.y), c.foul);
    // The engine sees the same position with Black to move.
    EXPECT_EQ(isForbidden(g.e(), cellOf(c.x, c.y)), c.foul) << "the engine's test disagrees";
  }
}

// ---------------------------------------------------------------------------------------------
// Games

struct GameSetup {
  const char* name;
  int rule;  // tool::RuleFreestyle, RuleExactFive or RuleRenju
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
      const std::optional<std::string> ok =
          kesta_test::replyLine(p.brain, ReplyDeadlineMs, &out.messageLines);
      if (ok != "OK") {
        ADD_FAILURE() << "START answered " << ok.value_or("nothing") << crashReport(p);
        return out;
      }
      send(p, "INFO rule " + std::to_string(tool::RuleInfoValue[setup_.rule]));
      send(p, "INFO timeout_turn " + std::to_string(TurnMs));
      send(p, "INFO timeout_match 1000000");
    }
    for (int n = 0;; ++n) {
      if (n >= MoveCap) {
        out.result = "unfinished after " + std::to_string(n) + " moves";
        break;
      }
      Player& p = players_[n % 2];
      const int colour = n % 2;  // 0 Black, 1 White
      send(p, "INFO time_left " + std::to_string(std::max(1, p.timeLeft)));
      std::string command;
      if (n == 0) {
        command = "BEGIN";
      } else if (setup_.resumeWithBoard && n >= 8 && !p.resumed) {
        command = boardCommand(colour, out);
        p.resumed = true;
      } else {
        const MoveRecord& last = out.moves.back();
        command = "TURN " + tool::cellText(last.x, last.y);
      }
      const auto start = std::chrono::steady_clock::now();
      send(p, command);
      const std::optional<std::string> line =
          kesta_test::replyLine(p.brain, ReplyDeadlineMs, &out.messageLines);
      const long long ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
              .count();
      if (!line) {
        ADD_FAILURE() << setup_.name << ": no reply to move " << n + 1 << " (" << command.substr(0, 5) << ")"
                      << crashReport(p) << transcript(out);
        break;
      }
      const auto move = kesta_test::parseMove(*line);
      if (!move) {
        ADD_FAILURE() << setup_.name << ": move " << n + 1 << " answered \"" << *line << "\""
                      << transcript(out);
        break;
      }
      const auto [x, y] = *move;
      if (board_.at(x, y) != tool::NoStone) {
        ADD_FAILURE() << setup_.name << ": move " << n + 1 << " at " << *line
                      << (board_.at(x, y) == tool::OffBoard ? " is off the board" : " is an occupied cell")
                      << transcript(out);
        break;
      }
      p.timeLeft -= int(ms);
      out.moves.push_back({x, y, ms});
      out.maxMs = std::max(out.maxMs, ms);
      const bool foul = setup_.rule == tool::RuleRenju && colour == Black && tool::renjuFoul(board_, x, y);
      board_.set(x, y, colour);
      const char* side = colour == Black ? "Black" : "White";
      if (tool::isWinningMove(board_, x, y, colour, setup_.rule)) {
        out.result = std::string(side) + " wins with five at " + *line + ", move " + std::to_string(n + 1);
        break;
      }
      if (foul) {
        out.fouls.push_back("forbidden move at " + *line + ", move " + std::to_string(n + 1));
        out.result = "White wins by Black's forbidden move at " + *line;
        break;
      }
      if (int(out.moves.size()) == setup_.size * setup_.size) {
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

  // The whole game so far as BOARD lines: 1 for the mover's own stones, 2 for the opponent's.
  std::string boardCommand(int mover, const GameOutcome& out) const {
    std::string text = "BOARD";
    for (size_t i = 0; i < out.moves.size(); ++i) {
      text += "\n" + tool::cellText(out.moves[i].x, out.moves[i].y) + "," + (int(i % 2) == mover ? "1" : "2");
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
      text += tool::cellText(m.x, m.y);
    }
    return text;
  }

  GameSetup setup_;
  tool::RefBoard board_;
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
  playAndReport({"freestyle", tool::RuleFreestyle, 15, false});
}

TEST(RefereeGames, ExactFiveOn20ResumedFromBoard) {
  playAndReport({"exact five", tool::RuleExactFive, 20, true});
}

TEST(RefereeGames, RenjuOn15) {
  playAndReport({"renju", tool::RuleRenju, 15, false});
}

}  // namespace
}  // namespace kesta

#endif  // _WIN32
