// Shared pieces of the developer tool: option parsing and position set-up from move lists.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "board/board.h"
#include "search/engine.h"
#include "search/search.h"
#include "search/think.h"

namespace kesta::tool {

struct Options {
  std::map<std::string, std::string> values;                  // the last value of each key
  std::vector<std::pair<std::string, std::string> > ordered;  // every key and value as given
  bool has(const std::string& k) const { return values.count(k) != 0; }
  std::string get(const std::string& k, const std::string& fallback = "") const {
    auto it = values.find(k);
    return it == values.end() ? fallback : it->second;
  }
  // Every value given for a key that may repeat, in order.
  std::vector<std::string> getAll(const std::string& k) const {
    std::vector<std::string> all;
    for (const auto& [key, value] : ordered)
      if (key == k) all.push_back(value);
    return all;
  }
};

// Parses "--key value" pairs (and bare "--flag") from argv[first..].
bool parseOptions(int argc, char** argv, int first, Options& opt, std::string& error);
bool parseRule(const std::string& name, int& rule);
// Reads --key as a whole number from lo to hi into value, or fallback when it is absent. Prints
// the reason and returns false when it is not such a number.
bool readInt(const Options& opt, const std::string& key, long long fallback, long long lo, long long hi,
             long long& value);
// Parses "x,y x,y ..." into coordinate pairs.
bool parseCells(const std::string& text, std::vector<std::pair<int, int>>& cells);
// Prints "kesta-tool: message" on standard error; returns 1.
int fail(const std::string& message);
std::string executableDirectory(const char* argv0);

struct Position {
  std::unique_ptr<Board> board;
  std::unique_ptr<Engine> engine;
};

// Builds the Engine as the brain does for --rule (or renju when ruleRequired is false and no rule
// is given) and --size, and plays --moves in order or --black/--white. With --black/--white Black is
// to move, or with sideFromCounts the side a game would have to move: White when Black has one stone
// more (other counts are then an error). Prints the reason and returns false on bad arguments.
bool setUpPosition(const Options& opt, Position& pos, bool ruleRequired, uint32_t tableBuckets = 1u << 16,
                   bool sideFromCounts = false);

// One think of e with the settings it holds, timed; the engine is left stopped.
struct TimedThink {
  CellIndex move;
  int32_t tookMs;
  ThinkResult report;
};
TimedThink timedThink(Engine& e);

}  // namespace kesta::tool
