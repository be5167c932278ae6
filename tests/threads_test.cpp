// Thinks on several search threads: the node limit over all of them, a stop request and the clock
// ending every thread, thread counts changing between thinks, and the helpers filling the one
// table. Run under ThreadSanitizer by make tsan.
#include "search/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <thread>

#include "core/clock.h"
#include "search/search_clock.h"
#include "search/think.h"
#include "support/position.h"

namespace kesta {
namespace {

using testpos::Game;

constexpr int32_t NoLimit = std::numeric_limits<int32_t>::max();
// A middle game that no opening rule answers.
constexpr const char* MiddleGame = "7,7 8,7 7,8 8,8 6,9 9,6";

void expectLegal(Game& g, const ThinkResult& r) {
  ASSERT_LT(r.move, BoardCells);
  EXPECT_EQ(g.b().cells[r.move], Empty) << testpos::coord(r.move);
}

// The limit holds for the sum: each thread sees the others' nodes at its clock checks, so the sum
// passes the limit by at most a clock interval of each.
TEST(Threads, NodeLimitCountsTheNodesOfEveryThread) {
  Game g(15, Freestyle);
  g.play(MiddleGame);
  Engine& e = g.e();
  e.Settings.ThreadCount = 2;
  e.Settings.NodeLimit = 30000;
  e.Settings.TimeoutTurn = NoLimit;
  const ThinkResult r = searchPosition(e);
  expectLegal(g, r);
  EXPECT_GT(e.otherNodes, 0) << "the helper searched";
  EXPECT_EQ(r.nodes, e.SearchCounter + e.otherNodes);
  EXPECT_GE(r.nodes, 30000);
  EXPECT_LE(r.nodes, 30000 + 2 * (ThreatClockInterval + 1));
  EXPECT_TRUE(e.Stopped);
  EXPECT_EQ(g.b().moveCount, 6) << "the position is as it was";
}

// A think without limits ends, helpers included, at a stop request from another thread, and at
// the hard limit of a timed think.
TEST(Threads, StopRequestAndClockEndEveryThread) {
  Game g(15, RenjuRule);
  g.play(MiddleGame);
  Engine& e = g.e();
  e.Settings.ThreadCount = 3;
  e.Settings.TimeoutTurn = NoLimit;
  e.UseOpeningBook = 0;
  std::atomic<bool> stop{false};
  e.StopRequest = &stop;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    stop = true;
  });
  const int32_t start = nowMs();
  const ThinkResult r = think(e);
  stopper.join();
  expectLegal(g, r);
  EXPECT_LT(elapsedMs(start), 5000) << "the think ended after the stop request";
  EXPECT_GT(e.otherNodes, 0);
  e.StopRequest = nullptr;

  e.Settings.TimeoutTurn = 300;
  const int32_t timed = nowMs();
  expectLegal(g, think(e));
  EXPECT_LE(elapsedMs(timed), 300 + 100) << "within the turn and a scheduling margin";
}

// Between thinks the helpers follow the thread count, up and down; every think answers legally,
// and a think of one thread after them searches alone.
TEST(Threads, ThreadCountChangesBetweenThinks) {
  Game g(20, Freestyle);
  g.play("10,10 11,11 11,10 9,10");
  Engine& e = g.e();
  e.Settings.NodeLimit = 5000;
  e.Settings.TimeoutTurn = NoLimit;
  for (const int threads : {2, 4, 1, 3, 1}) {
    SCOPED_TRACE(threads);
    e.Settings.ThreadCount = threads;
    const ThinkResult r = searchPosition(e);
    expectLegal(g, r);
    ASSERT_TRUE(e.Helpers);
    EXPECT_EQ(e.Helpers->count(), threads - 1);
    EXPECT_EQ(int(e.Workers.size()), threads);
    if (threads == 1) {
      EXPECT_EQ(e.otherNodes, 0);
    }
    makeMove(e, r.move);
    e.ply = 0;
  }
}

// With one thread the helpers' machinery is idle: a fixed-node think gives the move and the node
// count of an engine that never had helpers.
TEST(Threads, OneThreadAfterSeveralSearchesAsBefore) {
  auto searched = [](bool helpersBefore) {
    Game g(15, Freestyle);
    g.play(MiddleGame);
    Engine& e = g.e();
    e.Settings.NodeLimit = 8000;
    e.Settings.TimeoutTurn = NoLimit;
    if (helpersBefore) {
      e.Settings.ThreadCount = 2;
      searchPosition(e);
      clearTable(*e.TransTable);
      e.Settings.ThreadCount = 1;
    }
    const ThinkResult r = searchPosition(e);
    return std::make_pair(r.move, r.nodes);
  };
  EXPECT_EQ(searched(false), searched(true));
}

}  // namespace
}  // namespace kesta
