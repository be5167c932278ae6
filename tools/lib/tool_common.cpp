#include "tools/lib/tool_common.h"

#include <iostream>
#include <sstream>

#include "board/line_state.h"
#include "core/clock.h"
#include "core/number_scan.h"
#include "core/types.h"
#include "eval/eval_tables.h"
#include "protocol/restart.h"
#include "search/think.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kesta::tool {

bool parseOptions(int argc, char** argv, int first, Options& opt, std::string& error) {
  for (int i = first; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--", 0) != 0) {
      error = "unexpected argument '" + a + "'";
      return false;
    }
    a = a.substr(2);
    const std::string value = i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0 ? argv[++i] : "";
    opt.values[a] = value;
    opt.ordered.emplace_back(a, value);
  }
  return true;
}

bool parseRule(const std::string& name, int& rule) {
  if (name == "freestyle") rule = Freestyle;
  else if (name == "exact5") rule = ExactFiveRule;
  else if (name == "renju") rule = RenjuRule;
  else if (name == "caro") rule = CaroRule;
  else if (name == "caro8") rule = CaroOverlineRule;
  else return false;
  return true;
}

bool readInt(const Options& opt, const std::string& key, long long fallback, long long lo, long long hi,
             long long& value) {
  if (!opt.has(key)) {
    value = fallback;
    return true;
  }
  const std::string text = opt.get(key);
  const char* p = text.c_str();
  if (!scanDecimal(p, value) || *p != '\0' || value < lo || value > hi) {
    fail("--" + key + " must be a number from " + std::to_string(lo) + " to " + std::to_string(hi));
    return false;
  }
  return true;
}

bool parseCells(const std::string& text, std::vector<std::pair<int, int>>& cells) {
  std::istringstream in(text);
  std::string token;
  while (in >> token) {
    const char* p = token.c_str();
    long long x = 0, y = 0;
    if (!scanDecimal(p, x) || *p != ',') return false;
    ++p;
    if (!scanDecimal(p, y) || *p != '\0') return false;
    if (x < -1000 || x > 1000 || y < -1000 || y > 1000) return false;
    cells.emplace_back(int(x), int(y));
  }
  return true;
}

int fail(const std::string& message) {
  std::cerr << "kesta-tool: " << message << "\n";
  return 1;
}

std::string executableDirectory(const char* argv0) {
#if defined(_WIN32)
  (void)argv0;
  char path[261] = {};
  GetModuleFileNameA(nullptr, path, 260);
  std::string full(path);
  const size_t cut = full.find_last_of('\\');
#else
  char path[4097] = {};
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  std::string full = n > 0 ? std::string(path, size_t(n)) : std::string(argv0);
  const size_t cut = full.find_last_of('/');
#endif
  if (cut == std::string::npos) return "./";
  return full.substr(0, cut + 1);
}

bool setUpPosition(const Options& opt, Position& pos, bool ruleRequired, uint32_t tableBuckets,
                   bool sideFromCounts) {
  int rule = RenjuRule;
  if (opt.has("rule") || ruleRequired) {
    if (!parseRule(opt.get("rule"), rule)) {
      fail("--rule must be freestyle, exact5, renju, caro or caro8");
      return false;
    }
  }
  const std::string sizeText = opt.get("size", "15");
  const char* p = sizeText.c_str();
  long long size = 0;
  if (!scanDecimal(p, size) || *p != '\0' || size < MinBoardSize || size > MaxBoardSize) {
    fail("--size must be a number from 6 to 22");
    return false;
  }
  std::vector<std::pair<int, int>> moves, black, white;
  const bool byOrder = opt.has("moves");
  if (!parseCells(opt.get("moves"), moves) || !parseCells(opt.get("black"), black) ||
      !parseCells(opt.get("white"), white)) {
    fail("cells are written \"x,y x,y ...\"");
    return false;
  }
  if (byOrder && (opt.has("black") || opt.has("white"))) {
    fail("give either --moves or --black/--white");
    return false;
  }
  pos.board = std::make_unique<Board>(int(size));
  pos.engine = std::make_unique<Engine>(*pos.board, Rule(rule), tableBuckets);
  Board& b = *pos.board;
  Engine& e = *pos.engine;
  clearTable(*e.TransTable);
  auto play = [&](std::pair<int, int> xy, int colour) {
    if (!insideBoard(b, xy.first, xy.second)) {
      fail("cell " + std::to_string(xy.first) + "," + std::to_string(xy.second) + " is off the board");
      return false;
    }
    const CellIndex c = cellOf(xy.first, xy.second);
    if (b.cells[c] != Empty) {
      fail("cell " + std::to_string(xy.first) + "," + std::to_string(xy.second) + " is occupied twice");
      return false;
    }
    if (colour >= 0 && b.sideToMove != colour) {
      b.sideToMove = uint8_t(colour);
      b.opponent = uint8_t(colour ^ 1);
    }
    makeMove(e, c);
    return true;
  };
  if (byOrder) {
    for (auto xy : moves)
      if (!play(xy, -1)) return false;
  } else {
    for (auto xy : black)
      if (!play(xy, Black)) return false;
    for (auto xy : white)
      if (!play(xy, White)) return false;
    int toMove = Black;
    if (sideFromCounts) {
      // As in a game: White is to move when Black has one stone more.
      if (black.size() == white.size() + 1) {
        toMove = White;
      } else if (black.size() != white.size()) {
        fail("Black must have as many stones as White or one more, not " + std::to_string(black.size()) +
             " and " + std::to_string(white.size()));
        return false;
      }
    }
    b.sideToMove = uint8_t(toMove);
    b.opponent = uint8_t(toMove ^ 1);
  }
  e.ply = 0;
  return true;
}

TimedThink timedThink(Engine& e) {
  const int32_t start = nowMs();
  const ThinkResult r = think(e);
  return {r.move, elapsedMs(start), r};
}

}  // namespace kesta::tool
