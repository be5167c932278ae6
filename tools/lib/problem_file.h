// Problem files: positions won by threats, one a line, "RULE SIZE | x,y x,y ... | PLIES", the moves
// in the order of play, PLIES the length of the shortest proof known (0 when unknown). Entry points:
// parseProblem reads a line, setUpProblem builds the engine holding its position.
#pragma once

#include <string>

#include "tools/lib/tool_common.h"

namespace kesta::tool {

// One problem line.
struct Problem {
  std::string rule;
  int size = 15;
  std::string moves;
  int plies = 0;
};

// Reads a problem line into p; false when it lacks the two '|' or the rule and size.
bool parseProblem(const std::string& line, Problem& p);
// A fresh engine holding the problem's position. Prints the reason and returns false when the
// position is bad.
bool setUpProblem(const Problem& p, Position& pos);

}  // namespace kesta::tool
