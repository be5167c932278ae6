// The searches read the clock only through per-function countdowns.
#pragma once

#include <algorithm>

#include "core/clock.h"
#include "search/engine.h"
#include "search/threads.h"
#include "search/time_manager.h"

namespace kesta {

// True when the think has searched its node limit (the nodes of all its threads). Otherwise counts countdown
// down; when it falls below 0 it is reloaded, and the think ends when a stop was requested (YXSTOP from the
// manager) or it has run past its hard limit.
inline bool clockCheck(Worker& e, int32_t& countdown, int32_t reload) {
  if (e.shared.Settings.NodeLimit > 0 && e.SearchCounter + e.otherNodes >= e.shared.Settings.NodeLimit)
    return true;
  countdown -= 1;
  if (countdown >= 0) return false;
  countdown = reload;
  if (severalThreads(e.shared)) exchangeNodes(e);
  if (e.shared.StopRequest != nullptr && e.shared.StopRequest->load(std::memory_order_relaxed)) return true;
  return elapsedMs(e.shared.ThinkStartMs) > hardTimeLimit(e);
}

// Countdown reloads: the node searches read the clock every 256 nodes and the threat search every
// 1024, so readings come well under a millisecond apart, far inside the time reserve, and a stop
// request is seen as fast, while reading the clock stays a small part of the nodes' work.
constexpr int32_t NodeClockInterval = 255;
constexpr int32_t ThreatClockInterval = 1023;

}  // namespace kesta
