#include "tools/lib/problem_file.h"

#include <cstdlib>
#include <sstream>
#include <string>

namespace kesta::tool {

bool parseProblem(const std::string& line, Problem& p) {
  const size_t a = line.find('|'), b = line.find('|', a + 1);
  if (a == std::string::npos || b == std::string::npos) return false;
  std::istringstream head(line.substr(0, a));
  if (!(head >> p.rule >> p.size)) return false;
  p.moves = line.substr(a + 1, b - a - 1);
  p.plies = std::atoi(line.c_str() + b + 1);
  return true;
}

bool setUpProblem(const Problem& p, Position& pos) {
  Options o;
  o.values["rule"] = p.rule;
  o.values["size"] = std::to_string(p.size);
  o.values["moves"] = p.moves;
  return setUpPosition(o, pos, true, 1u << 22);
}

}  // namespace kesta::tool
