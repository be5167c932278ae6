#include "tools/lib/openings.h"

#include <fstream>
#include <set>

#include "core/number_scan.h"

namespace kesta::tool {

bool parseOpening(const std::string& line, int size, Opening& opening, std::string& error) {
  opening.clear();
  std::vector<long long> numbers;
  const char* p = line.c_str();
  for (;;) {
    long long v = 0;
    if (!scanDecimal(p, v)) {
      error = "expected a number at '" + std::string(p) + "'";
      return false;
    }
    numbers.push_back(v);
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    if (*p == '\0') break;
    if (*p != ',') {
      error = "expected ',' at '" + std::string(p) + "'";
      return false;
    }
    ++p;
  }
  if (numbers.size() % 2 != 0) {
    error = "an odd count of numbers";
    return false;
  }
  std::set<Cell> used;
  const int centre = size / 2;
  for (size_t i = 0; i < numbers.size(); i += 2) {
    const long long x = centre + numbers[i], y = centre + numbers[i + 1];
    if (x < 0 || y < 0 || x >= size || y >= size) {
      error = "offset " + std::to_string(numbers[i]) + "," + std::to_string(numbers[i + 1]) + " is off the " +
              std::to_string(size) + "x" + std::to_string(size) + " board";
      return false;
    }
    if (!used.insert({int(x), int(y)}).second) {
      error = "two stones on one cell";
      return false;
    }
    opening.push_back({int(x), int(y)});
  }
  return true;
}

bool readOpenings(const std::string& path, int size, std::vector<Opening>& openings, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    Opening opening;
    if (!parseOpening(line, size, opening, error)) {
      error = path + " line " + std::to_string(number) + ": " + error;
      return false;
    }
    openings.push_back(opening);
  }
  return true;
}

Opening transformOpening(const Opening& opening, int size, int symmetry) {
  Opening out;
  for (auto [x, y] : opening) {
    if (symmetry & 1) x = size - 1 - x;
    if (symmetry & 2) y = size - 1 - y;
    if (symmetry & 4) std::swap(x, y);
    out.push_back({x, y});
  }
  return out;
}

std::string formatOpening(const Opening& opening, int size) {
  std::string line;
  const int centre = size / 2;
  for (const Cell& c : opening) {
    if (!line.empty()) line += ", ";
    line += std::to_string(c.first - centre) + "," + std::to_string(c.second - centre);
  }
  return line;
}

}  // namespace kesta::tool
