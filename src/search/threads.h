// The helper threads of a think of several threads (Lazy SMP): each searches the root on its own
// Board and Worker, with the one shared transposition table, so that the main thread finds deeper
// results there. The main thread alone runs the root proofs, reads the clock's plan, reports and
// chooses the move. Entry points: prepareThreads, startHelpers, finishHelpers, exchangeNodes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "search/engine.h"

namespace kesta {

// Each helper thread owns its Board and Worker; the threads wait between thinks.
class SearchThreads {
 public:
  // Room for every helper up front: adding one never moves the others nor fails after its thread
  // has started.
  explicit SearchThreads(SharedState& shared) : shared_(shared) { helpers_.reserve(MaxThreads); }
  ~SearchThreads();
  SearchThreads(const SearchThreads&) = delete;
  SearchThreads& operator=(const SearchThreads&) = delete;

  // Makes or ends threads so that count helpers wait, or as many as the system grants. Only
  // between thinks.
  void resize(int count);
  int count() const { return int(helpers_.size()); }
  Worker& worker(int i) { return helpers_[size_t(i)]->worker; }

  // Gives every helper main's position and starts their deepening; finish waits until all have
  // returned, which they do once Stopped is set.
  void start(const Worker& main);
  void finish();

 private:
  struct Helper {
    Helper(SharedState& s, const Board& b) : board(b), worker(s) { worker.board = &board; }
    Board board;
    Worker worker;
    std::thread thread;
  };
  void run(Helper& h, uint64_t seen);

  SharedState& shared_;
  std::vector<std::unique_ptr<Helper>> helpers_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t thinks_ = 0;  // thinks started; a helper searches once for each
  int running_ = 0;      // helpers still searching the current think
  bool quit_ = false;
};

// Before a think: the helpers its thread count asks for, and the list of its workers.
void prepareThreads(SharedState& s, Worker& main);

// Starts the helpers on the main worker's position (nothing with one thread).
void startHelpers(Worker& main);

// Ends the helpers' search and waits for them. Stopped is set meanwhile and then restored, so the
// main thread may go on (with the proofs after the deepening). Afterwards main.otherNodes holds
// the helpers' nodes exactly.
void finishHelpers(Worker& main);

// Publishes this thread's node count and reads the others' (a worker's clock check does this, when
// the think has several threads).
void exchangeNodes(Worker& e);

// True when the think under way searches on more than one thread.
inline bool severalThreads(const SharedState& s) {
  return s.Workers.size() > 1;
}

// The nodes of every thread of the think so far.
inline int64_t thinkNodes(const Worker& main) {
  return main.SearchCounter + main.otherNodes;
}

}  // namespace kesta
