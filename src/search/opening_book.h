// The built-in opening book: 54 patterns of two to five stones with their replies, matched under
// the eight symmetries of the square.
#pragma once

#include <cstdint>
#include <random>

#include "search/engine.h"

namespace kesta {

struct BookOffset {
  int8_t a, b;  // column and row offsets
};

struct BookRecord {
  int n;  // stones, listed in the order of play (even index Black)
  int k;  // replies
  BookOffset stones[5];
  BookOffset replies[10];
};

extern const BookRecord OpeningBook[55];  // the last record (n = 0) ends the table

// A book reply for the position, or 0. Consulted only when every stone is at least 5 cells from
// every edge; the offsets are laid against the stones' own extreme columns and rows.
CellIndex bookLookup(const Engine& e, std::mt19937_64& generator);

// A uniform integer in 0..k-1 by rejection from 64-bit draws; no draw for k = 1.
uint64_t uniformDraw(std::mt19937_64& generator, uint64_t k);

}  // namespace kesta
