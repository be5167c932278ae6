// Developer-tool subcommand `make-openings`: draws random short openings near the centre and
// keeps those the engine itself judges balanced, so that matches over them measure the engines
// and not the openings. An opening is kept when a search of the position to a fixed depth scores
// it within a band around 0 for the side to move, and no symmetric copy of it is kept already.
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/clock.h"
#include "search/search.h"
#include "search/think.h"
#include "search/threat_search.h"
#include "tools/commands/commands.h"
#include "tools/lib/openings.h"
#include "tools/lib/tool_common.h"

namespace kesta::tool {

namespace {

// The smallest of the opening's eight symmetric copies as a sorted list of (colour, cell), so
// that copies compare equal.
std::vector<int> canonicalForm(const Opening& opening, int size) {
  std::vector<int> best;
  for (int symmetry = 0; symmetry < 8; ++symmetry) {
    const Opening t = transformOpening(opening, size, symmetry);
    std::vector<int> key;
    for (size_t i = 0; i < t.size(); ++i) key.push_back(int(i % 2) * 1000 + t[i].second * size + t[i].first);
    std::sort(key.begin(), key.end());
    if (best.empty() || key < best) best = key;
  }
  return best;
}

// A random opening of the given stone count: the first stone within `spread` cells of the centre,
// every later one within two cells of a stone already placed.
Opening drawOpening(std::mt19937_64& rng, int size, int stones, int spread) {
  Opening o;
  const int c = size / 2;
  auto taken = [&](int x, int y) { return std::find(o.begin(), o.end(), Cell{x, y}) != o.end(); };
  while (int(o.size()) < stones) {
    int x, y;
    if (o.empty()) {
      x = c + int(rng() % unsigned(2 * spread + 1)) - spread;
      y = c + int(rng() % unsigned(2 * spread + 1)) - spread;
    } else {
      const Cell near = o[rng() % o.size()];
      x = near.first + int(rng() % 5) - 2;
      y = near.second + int(rng() % 5) - 2;
    }
    if (std::abs(x - c) > spread || std::abs(y - c) > spread || taken(x, y)) continue;
    o.push_back({x, y});
  }
  return o;
}

// The engine's score of the position after the opening, for the side to move, searched to depth.
bool scoreOpening(const Options& opt, const Opening& opening, int depth, int32_t& score) {
  Options o;
  o.values["rule"] = opt.get("rule");
  o.values["size"] = opt.get("size", "15");
  std::string moves;
  for (const Cell& c : opening) moves += std::to_string(c.first) + "," + std::to_string(c.second) + " ";
  o.values["moves"] = moves;
  Position pos;
  if (!setUpPosition(o, pos, true, 1u << 20)) return false;
  Engine& e = *pos.engine;
  e.Settings.TimeoutTurn = std::numeric_limits<int32_t>::max();
  e.Settings.TimeLeft = std::numeric_limits<int32_t>::max();
  e.MaxDepth = depth;
  seedAllGenerators(e, 1);
  resetSearchCountdowns(e);
  score = searchPosition(e).score;
  return true;
}

}  // namespace

int cmdMakeOpenings(const Options& opt) {
  int rule = 0;
  if (!parseRule(opt.get("rule"), rule)) return fail("make-openings: --rule must be freestyle, exact5, renju, caro or caro8");
  long long size = 15, count = 100, minStones = 3, maxStones = 5, depth = 6, band = 60, spread = 3, seed = 1;
  if (!readInt(opt, "size", 15, MinBoardSize, MaxBoardSize, size) || !readInt(opt, "count", 100, 1, 100000, count) ||
      !readInt(opt, "min-stones", 3, 1, 10, minStones) || !readInt(opt, "max-stones", 5, 1, 10, maxStones) ||
      !readInt(opt, "depth", 6, 2, 20, depth) || !readInt(opt, "band", 60, 0, 10000, band) ||
      !readInt(opt, "spread", 3, 1, 10, spread) || !readInt(opt, "seed", 1, 0, 1000000000, seed))
    return 1;
  if (minStones > maxStones) return fail("make-openings: --min-stones is above --max-stones");
  if (2 * spread + 1 > size) return fail("make-openings: --spread does not fit the board");
  std::mt19937_64 rng{uint64_t(seed)};
  std::set<std::vector<int> > seen;
  int kept = 0, tried = 0;
  while (kept < count) {
    if (++tried > 1000 * count) return fail("make-openings: too few balanced openings; widen --band");
    const int stones = int(minStones + int64_t(rng() % uint64_t(maxStones - minStones + 1)));
    const Opening o = drawOpening(rng, int(size), stones, int(spread));
    if (!seen.insert(canonicalForm(o, int(size))).second) continue;
    int32_t score = 0;
    if (!scoreOpening(opt, o, int(depth), score)) return 1;
    if (opt.has("verbose")) std::cerr << "score " << score << ": " << formatOpening(o, int(size)) << "\n";
    if (std::abs(score) > band) continue;
    std::cout << formatOpening(o, int(size)) << std::endl;
    ++kept;
  }
  std::cerr << "make-openings: kept " << kept << " of " << tried << " drawn\n";
  return 0;
}

}  // namespace kesta::tool
