// Millisecond clock for the time budget. Readings come from a monotonic clock and wrap in 32 bits;
// elapsed times are taken in unsigned arithmetic, so no subtraction can overflow.
#pragma once

#include <chrono>
#include <cstdint>

namespace kesta {

inline int32_t nowMs() {
  const auto t = std::chrono::steady_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t).count();
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(ms)));
}

// Milliseconds from start to now (correct across the 32-bit wrap for spans under 24 days).
inline int32_t elapsedMs(int32_t start, int32_t now) {
  return static_cast<int32_t>(static_cast<uint32_t>(now) - static_cast<uint32_t>(start));
}
inline int32_t elapsedMs(int32_t start) { return elapsedMs(start, nowMs()); }

}  // namespace kesta
