#include "search/trans_table.h"

#include <cstring>
#include <new>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
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
#ifdef KESTA_TT_HUGEPAGES
  madvise(p, bytes, MADV_HUGEPAGE);
#endif
  return p;
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

// Gives the pages back so they read as zero again; touched pages only cost their release.
void rezero(void* p, size_t bytes) {
#if !defined(_WIN32) && defined(MADV_DONTNEED)
  if (madvise(p, bytes, MADV_DONTNEED) == 0) return;
#endif
  std::memset(p, 0, bytes);
}

}  // namespace

uint32_t tableBucketsFor(int64_t limitBytes) {
  uint32_t n = MaxTableBuckets;
  while (n > MinTableBuckets && int64_t(n) * int64_t(sizeof(TTBucket)) > limitBytes - NonTableBytes) n >>= 1;
  return n;
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
    if (t.bytes)
      rezero(t.buckets, t.bytes);
    else
      std::memset(static_cast<void*>(t.buckets), 0, size_t(t.count) * sizeof(TTBucket));
    t.dirty = false;
  }
  t.generation = 0;
}

}  // namespace kesta
