// Match parameters sent by the manager with INFO. The command loop remembers them across games;
// the Engine keeps a copy, whose time limits the think reads.
#pragma once

#include <cstdint>

#include "core/types.h"

namespace kesta {

// The match time that stands for no match clock: the manager sent none, or timeout_match 0.
constexpr int32_t NoMatchClock = 1000000000;

struct MatchSettings {
  int32_t TimeoutTurn = 5000;         // ms for one move
  int32_t TimeoutMatch = NoMatchClock;  // ms for the match (a game, in Gomocup's terms)
  int32_t TimeLeft = NoMatchClock;      // ms left in the match
  int32_t MaxMemory = 2147483647;     // bytes; kept only
  Rule GameRule = Freestyle;          // from INFO rule; it holds across RESTART and START
  int32_t NodeLimit = 0;   // nodes one think may search; 0 no limit
  int32_t DepthLimit = 0;  // last iteration of the deepening; 0 no limit
  int32_t ThreadCount = 1;  // search threads of a think, from INFO thread_num: 1..MaxThreads
  int32_t TimeIncrement = 0;  // ms the match clock gains with each move, from INFO time_increment
};

// The most search threads a think may use.
constexpr int32_t MaxThreads = 64;

// The thread count for a thread_num value: 1 for 0 or less, MaxThreads at most.
inline int32_t threadCountOf(int64_t requested) {
  if (requested < 1) return 1;
  return requested > MaxThreads ? MaxThreads : int32_t(requested);
}

// The deepening's last iteration when nothing limits the depth.
constexpr int32_t DeepestIteration = 64;

// The deepening's last iteration under the settings: DepthLimit within 2..64, or 64.
inline int32_t maxDepthOf(const MatchSettings& s) {
  if (s.DepthLimit <= 0 || s.DepthLimit > DeepestIteration) return DeepestIteration;
  return s.DepthLimit < 2 ? 2 : s.DepthLimit;
}

}  // namespace kesta
