// Match parameters sent by the manager with INFO. The command loop remembers them across games;
// the Engine keeps a copy, whose time limits the think reads.
#pragma once

#include <cstdint>

namespace kesta {

struct MatchSettings {
  int32_t TimeoutTurn = 5000;         // ms for one move
  int32_t TimeoutMatch = 1000000000;  // ms for the match; kept only
  int32_t TimeLeft = 1000000000;      // ms left in the match
  int32_t MaxMemory = 2147483647;     // bytes; kept only
  uint8_t ExactFive = 0;
  uint8_t Renju = 0;
};

}  // namespace kesta
