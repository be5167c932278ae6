#include "search/trans_table.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace kesta {

namespace {

// Memory that the system hands out zeroed and commits on first touch, so a fresh table costs
// nothing until the search writes to it.
void* allocateZeroed(size_t bytes) {
#if defined(_WIN32)
  return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  return p;
#endif
}

// Asks the system to back the memory with large pages (2 MiB on x86-64 Linux) or with the usual
// ones, for the pages faulted in from now on. Where the system has no such advice, it does nothing.
void adviseLargePages(void* p, size_t bytes, bool large) {
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  madvise(p, bytes, large ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
#else
  (void)p, (void)bytes, (void)large;
#endif
}

void releaseZeroed(void* p, size_t bytes) {
#if defined(_WIN32)
  (void)bytes;
  VirtualFree(p, 0, MEM_RELEASE);
#else
  munmap(p, bytes);
#endif
}

#if !defined(_WIN32)
// True when every page of the range is in memory.
bool allResident(char* p, size_t bytes) {
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pageSize <= 0) return false;
  const size_t page = size_t(pageSize);
  // One byte of residency per page, read in blocks so that no large buffer is needed.
  unsigned char resident[4096];
  for (size_t first = 0; first < bytes; first += sizeof resident * page) {
    const size_t span = std::min(bytes - first, sizeof resident * page);
    if (mincore(p + first, span, resident) != 0) return false;
    for (size_t i = 0; i * page < span; ++i)
      if (!(resident[i] & 1)) return false;
  }
  return true;
}
#endif

// Zeroes the table for a new game. When every page is in memory, as after a game at any usual time
// control, they are zeroed in place: handing them back would make the next game fault each one in
// again during its first thinks, and in place the memory in use
// cannot grow. Otherwise the pages go back to the system, so that the memory in use falls to what
// the next game touches, as a fresh table's does.
void rezero(void* p, size_t bytes) {
#if !defined(_WIN32)
  if (!allResident(static_cast<char*>(p), bytes)) {
#if defined(MADV_DONTNEED)
    if (madvise(p, bytes, MADV_DONTNEED) == 0) return;
#endif
  }
#endif
  std::memset(p, 0, bytes);
}

}  // namespace

namespace {

// The largest power of two from MinTableBuckets to MaxTableBuckets whose table fits in bytes, or
// MinTableBuckets when none does.
uint32_t bucketsFitting(int64_t bytes) {
  uint32_t n = MaxTableBuckets;
  while (n > MinTableBuckets && int64_t(n) * int64_t(sizeof(TTBucket)) > bytes) n >>= 1;
  return n;
}

}  // namespace

uint32_t tableBucketsFor(int64_t limitBytes, int32_t threads) {
  return bucketsFitting(limitBytes - NonTableBytes - int64_t(std::max(threads, 1) - 1) * HelperThreadBytes);
}

uint32_t tableBucketsForKb(int64_t kb) {
  return bucketsFitting(kb * 1024);
}

TranspositionTable::TranspositionTable(uint32_t wantedBuckets) {
  for (uint32_t n = wantedBuckets; n >= MinTableBuckets; n >>= 1) {
    void* p = allocateZeroed(size_t(n) * sizeof(TTBucket));
    if (p) {
      buckets = static_cast<TTBucket*>(p);
      count = n;
      mask = n - 1;
      bytes = size_t(n) * sizeof(TTBucket);
      return;
    }
  }
  // Even the smallest table failed: keep playing with a heap table of the minimum size.
  count = MinTableBuckets;
  mask = count - 1;
  bytes = 0;
  buckets = new (std::nothrow) TTBucket[count]();
  if (!buckets) throw std::bad_alloc();
}

TranspositionTable::~TranspositionTable() {
  if (bytes)
    releaseZeroed(buckets, bytes);
  else
    delete[] buckets;
}

void clearTable(TranspositionTable& t) {
  if (t.dirty) {
    // Only the buckets in use can hold anything (see fitTable).
    const size_t bytes = (size_t(t.mask) + 1) * sizeof(TTBucket);
    if (t.bytes)
      rezero(t.buckets, bytes);
    else
      std::memset(static_cast<void*>(t.buckets), 0, bytes);
    t.dirty = false;
  }
  t.generation = 0;
}

void fitTable(TranspositionTable& t, uint32_t wanted, bool largePages) {
  if (t.dirty) return;
  uint32_t n = t.count;
  while (n > MinTableBuckets && n > wanted) n >>= 1;
  t.mask = n - 1;
  if (t.bytes && largePages != t.largePages) {
    adviseLargePages(t.buckets, t.bytes, largePages);
    t.largePages = largePages;
  }
}

}  // namespace kesta
