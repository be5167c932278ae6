// Opening files as tournament managers read them: one opening a line, its stones as "x,y" offsets
// from the centre cell (size / 2, size / 2), Black first, separated by ", ". Blank lines and lines
// starting with '#' are skipped.
#pragma once

#include <string>
#include <vector>

#include "tools/lib/referee.h"

namespace kesta::tool {

using Opening = std::vector<Cell>;  // board coordinates, Black first

// Parses one line for a board of side size. False, with the reason, when a number is malformed,
// a stone lies off the board or two stones share a cell.
bool parseOpening(const std::string& line, int size, Opening& opening, std::string& error);

// Reads every opening of a file. False, with the file's line number in the reason, on a bad line
// or an unreadable file.
bool readOpenings(const std::string& path, int size, std::vector<Opening>& openings, std::string& error);

// The opening under one of the eight symmetries of the square board (0 leaves it as it is).
Opening transformOpening(const Opening& opening, int size, int symmetry);

// The line of an opening on a board of side size.
std::string formatOpening(const Opening& opening, int size);

}  // namespace kesta::tool
