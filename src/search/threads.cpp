#include "search/threads.h"

#include <exception>

#include "search/search.h"

namespace kesta {

SearchThreads::~SearchThreads() {
  resize(0);
}

void SearchThreads::resize(int count) {
  if (count < int(helpers_.size())) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    for (auto& h : helpers_) h->thread.join();
    helpers_.clear();
    quit_ = false;
  }
  // A system that grants no more memory or threads (an address-space limit, say) leaves the
  // think with the helpers made so far.
  while (int(helpers_.size()) < count) {
    try {
      auto h = std::make_unique<Helper>(shared_, *shared_.Workers.front()->board);
      h->worker.mainThread = false;
      h->worker.threadIndex = int32_t(helpers_.size() + 1);
      Helper& made = *h;
      h->thread = std::thread([this, &made, seen = thinks_] { run(made, seen); });
      helpers_.push_back(std::move(h));
    } catch (const std::exception&) {
      return;
    }
  }
}

void SearchThreads::run(Helper& h, uint64_t seen) {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      changed_.wait(lock, [&] { return quit_ || thinks_ != seen; });
      if (quit_) return;
      seen = thinks_;
    }
    helperDeepening(h.worker);
    h.worker.publishedNodes.store(h.worker.SearchCounter, std::memory_order_relaxed);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--running_ == 0) changed_.notify_all();
    }
  }
}

void SearchThreads::start(const Worker& main) {
  for (auto& hp : helpers_) {
    Helper& h = *hp;
    Worker& w = h.worker;
    h.board = *main.board;
    copyPositionState(w, main);
    std::memcpy(w.diffHistory, main.diffHistory, sizeof w.diffHistory);
    w.SearchCounter = 0;
    w.otherNodes = 0;
    w.publishedNodes.store(0, std::memory_order_relaxed);
    w.countdowns = SearchCountdowns{};
    w.report = DeepeningReport{};
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = int(helpers_.size());
    ++thinks_;
  }
  changed_.notify_all();
}

void SearchThreads::finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return running_ == 0; });
}

void prepareThreads(SharedState& s, Worker& main) {
  const int helpers = threadCountOf(s.Settings.ThreadCount) - 1;
  s.Workers.reserve(MaxThreads);
  s.Workers.clear();
  s.Workers.push_back(&main);
  if (helpers > 0 && !s.Helpers) s.Helpers = std::make_unique<SearchThreads>(s);
  if (s.Helpers) {
    s.Helpers->resize(helpers);
    for (int i = 0; i < s.Helpers->count(); ++i) s.Workers.push_back(&s.Helpers->worker(i));
  }
  s.CompletedDepth.store(0, std::memory_order_relaxed);
  main.publishedNodes.store(0, std::memory_order_relaxed);
}

namespace {

// Whether this think has helpers for the main thread to start and end.
bool helpersFor(const Worker& main) {
  return main.mainThread && severalThreads(main.shared) && main.shared.Helpers;
}

}  // namespace

void startHelpers(Worker& main) {
  if (helpersFor(main)) main.shared.Helpers->start(main);
}

void finishHelpers(Worker& main) {
  if (!helpersFor(main)) return;
  SharedState& s = main.shared;
  // Whatever a helper stopped for (the node limit, the hard limit, a stop request), the main
  // thread's next clock check sees too, so the flag can go back to what it was.
  const uint8_t was = s.Stopped.exchange(1);
  s.Helpers->finish();
  s.Stopped = was;
  // Each helper published its last count before it returned.
  exchangeNodes(main);
}

void exchangeNodes(Worker& e) {
  e.publishedNodes.store(e.SearchCounter, std::memory_order_relaxed);
  int64_t others = 0;
  for (const Worker* w : e.shared.Workers)
    if (w != &e) others += w->publishedNodes.load(std::memory_order_relaxed);
  e.otherNodes = others;
}

}  // namespace kesta
