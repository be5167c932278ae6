// Transposition table: up to 2^22 buckets of 64 bytes (one cache line), four 16-byte slots each,
// aged by a generation counter and shared by the search threads without locks. Entry points: probe,
// cutoffTest, store, clearTable, fitTable, tableBucketsFor.
#pragma once

#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "core/types.h"

namespace kesta {

// What one slot holds, as a probe reads it:
// key   u32  upper 32 bits of the position hash
// score i16  result; decided scores relative to the storing node
// depth i8   rounded depth (0 for threat-space results)
// genBound u8  bits 0-1 bound (0 empty, 1 upper, 2 lower, 3 exact), bits 2-7 generation
// move  u16  best move, 0 = none
struct TTEntry {
  uint32_t key;
  int16_t score;
  int8_t depth;
  uint8_t genBound;
  uint16_t move;
};

// One slot as the search threads share it, without locks: two words, each read and written whole.
// data packs score, depth, genBound and move; check is data XOR the key shifted into the upper
// half. A reader that meets two writers' halves (one thread's data with another's check) sees a
// check that does not match any key, and takes the slot for an empty one: a torn slot costs a
// probe, never a wrong result.
struct TTSlot {
  std::atomic<uint64_t> check;
  std::atomic<uint64_t> data;
};

constexpr int BucketSlots = 4;
struct alignas(64) TTBucket {
  TTSlot slots[BucketSlots];
};
static_assert(sizeof(TTSlot) == 16 && sizeof(TTBucket) == 64);

inline uint64_t packEntry(const TTEntry& e) {
  return uint64_t(uint16_t(e.score)) | uint64_t(uint8_t(e.depth)) << 16 | uint64_t(e.genBound) << 24 |
         uint64_t(e.move) << 32;
}

// The slot's entry; a torn or empty slot reads as an empty entry of key 0 (valid false when torn).
inline TTEntry readSlot(const TTSlot& s, bool& valid) {
  const uint64_t data = s.data.load(std::memory_order_relaxed);
  const uint64_t mixed = s.check.load(std::memory_order_relaxed) ^ data;
  valid = uint32_t(mixed) == 0;
  if (!valid) return TTEntry{};
  return TTEntry{uint32_t(mixed >> 32), int16_t(uint16_t(data)), int8_t(uint8_t(data >> 16)),
                 uint8_t(data >> 24), uint16_t(data >> 32)};
}

inline void writeSlot(TTSlot& s, const TTEntry& e) {
  const uint64_t data = packEntry(e);
  s.data.store(data, std::memory_order_relaxed);
  s.check.store(data ^ uint64_t(e.key) << 32, std::memory_order_relaxed);
}

constexpr uint32_t MinTableBuckets = 1u << 15;
constexpr uint32_t MaxTableBuckets = 1u << 22;

// What the brain process needs besides the table, with a margin: the pattern and score tables,
// the proof cache (1 MiB), code, libraries, stacks (the input thread's reservation among them) and
// buffers, so that a table sized with this reserve keeps even the address space under the limit
// (ulimit -v). The measured sizes are in docs/experiments.md.
constexpr int64_t NonTableBytes = int64_t(24) << 20;

// What the process needs for each search thread besides the first: its stack's reservation
// (8 MiB, the usual default), its Board, Worker and move lists (about 1.5 MiB), and a margin.
constexpr int64_t HelperThreadBytes = int64_t(10) << 20;

// The bucket count for a memory limit of limitBytes on the whole process searching with threads
// threads: the largest power of two from MinTableBuckets to MaxTableBuckets whose table fits in
// limitBytes - NonTableBytes - (threads - 1) * HelperThreadBytes, or MinTableBuckets when none does.
uint32_t tableBucketsFor(int64_t limitBytes, int32_t threads = 1);

// The bucket count of a table of at most kb KB: the largest power of two from MinTableBuckets to
// MaxTableBuckets that fits, or MinTableBuckets when none does.
uint32_t tableBucketsForKb(int64_t kb);

// The largest table as the log2 of its size in KB, as the analysis GUI asks for it: 256 MiB, 18.
constexpr int MaxTableLog2Kb = std::bit_width(uint64_t(MaxTableBuckets) * sizeof(TTBucket) / 1024) - 1;

enum Bound : uint8_t { BoundNone = 0, BoundUpper = 1, BoundLower = 2, BoundExact = 3 };

struct TranspositionTable {
  uint32_t count = 0;  // buckets allocated
  uint32_t mask = 0;   // buckets in use, less one: a power of two up to count (see fitTable)
  TTBucket* buckets = nullptr;
  uint8_t generation = 0;
  // Something was written since the memory was last zeroed. Any search thread may set it; it is
  // read only between thinks.
  std::atomic<bool> dirty{false};
  bool largePages = false;  // the system was asked for large pages (see fitTable)
  size_t bytes = 0;

  // Allocates zeroed buckets: wantedBuckets of them (a power of two), or the largest smaller power
  // of two (down to MinTableBuckets) that the system grants.
  explicit TranspositionTable(uint32_t wantedBuckets = MaxTableBuckets);
  ~TranspositionTable();
  TranspositionTable(const TranspositionTable&) = delete;
  TranspositionTable& operator=(const TranspositionTable&) = delete;
};

// A probe's answer: whether the key was found, a copy of what the slot held, and the slot a store
// should use (the found one, else the least worth keeping). Another thread may write the slot
// before the store does; the store then replaces that result as it would an older one.
struct ProbeResult {
  bool found;
  TTEntry entry;
  TTSlot* slot;
};

inline int entryAge(const TranspositionTable& t, const TTEntry& e) {
  return ((t.generation - e.genBound + 3) & 255) & 252;
}
inline int entryWorth(const TranspositionTable& t, const TTEntry& e) { return e.depth - 2 * entryAge(t, e); }

inline void markDirty(TranspositionTable& t) {
  if (!t.dirty.load(std::memory_order_relaxed)) t.dirty.store(true, std::memory_order_relaxed);
}

// Starts loading the bucket of hash into the cache, so that a probe a little later finds it there.
inline void prefetchBucket(const TranspositionTable& t, uint64_t hash) {
#if defined(__GNUC__)
  __builtin_prefetch(&t.buckets[hash & t.mask]);
#else
  (void)t, (void)hash;
#endif
}

// Writes to the bucket of hash before anything reads it. A table page that nothing has touched yet
// is then mapped once, as a page of its own, instead of first as the system's shared zero page and
// again as a private copy at the store that follows the probe. The word written back is the one
// just read; a store of another thread in between is lost, as a torn slot is.
inline void claimBucket(TranspositionTable& t, uint64_t hash) {
  std::atomic<uint64_t>& word = t.buckets[hash & t.mask].slots[BucketSlots - 1].check;
  word.store(word.load(std::memory_order_relaxed), std::memory_order_relaxed);
}

// Finds the entry of hash, refreshing its generation; otherwise the slot a store should use: an
// empty (or torn) one, else the one least worth keeping.
inline ProbeResult probe(TranspositionTable& t, uint64_t hash) {
  const uint32_t key = uint32_t(hash >> 32);
  TTSlot* bucket = t.buckets[hash & t.mask].slots;
  TTSlot* candidate = nullptr;
  TTEntry candidateEntry{};
  for (int i = 0; i < BucketSlots; ++i) {
    TTSlot* s = bucket + i;
    bool valid;
    TTEntry e = readSlot(*s, valid);
    if (valid && e.key == key) {
      if ((e.genBound & 252) != t.generation) {
        e.genBound = uint8_t((e.genBound & 3) | t.generation);
        writeSlot(*s, e);
        markDirty(t);
      }
      return {true, e, s};
    }
    if ((e.genBound & 3) == BoundNone || candidate == nullptr ||
        ((candidateEntry.genBound & 3) != BoundNone && entryWorth(t, e) < entryWorth(t, candidateEntry))) {
      candidate = s;
      candidateEntry = e;
    }
  }
  return {false, TTEntry{}, candidate};
}

// The entry of hash, if the table holds one. Unlike probe it changes nothing, not even the entry's
// generation.
inline bool findEntry(const TranspositionTable& t, uint64_t hash, TTEntry& out) {
  const uint32_t key = uint32_t(hash >> 32);
  const TTSlot* bucket = t.buckets[hash & t.mask].slots;
  for (int i = 0; i < BucketSlots; ++i) {
    bool valid;
    const TTEntry e = readSlot(bucket[i], valid);
    if (valid && e.key == key && (e.genBound & 3) != BoundNone) {
      out = e;
      return true;
    }
  }
  return false;
}

inline bool hasEntry(const TranspositionTable& t, uint64_t hash) {
  TTEntry unused;
  return findEntry(t, hash, unused);
}

// Decided scores are stored relative to the storing node and read back relative to the root.
inline int32_t toTable(int32_t score, int32_t ply) {
  if (isWin(score)) return score + ply;
  if (isLoss(score)) return score - ply;
  return score;
}
inline int32_t fromTable(int32_t score, int32_t ply) {
  if (isWin(score)) return score - ply;
  if (isLoss(score)) return score + ply;
  return score;
}

// True when the entry decides the node: decided scores at any depth, others at requiredDepth.
inline bool cutoffTest(const TTEntry& e, int32_t requiredDepth, int32_t alpha, int32_t beta, int32_t ply) {
  if (!isDecided(e.score) && e.depth < requiredDepth) return false;
  const int32_t s = fromTable(e.score, ply);
  switch (e.genBound & 3) {
    case BoundExact: return true;
    case BoundUpper: return s <= alpha;
    case BoundLower: return s >= beta;
    default: return false;
  }
}

// Writes the result into slot unless slot holds the same position at a greater depth. A score
// that does not fit the 16-bit field is not stored.
inline void store(TranspositionTable& t, TTSlot* slot, uint64_t hash, int32_t score, int32_t depth,
                  uint8_t bound, uint16_t move) {
  const uint32_t key = uint32_t(hash >> 32);
  bool valid;
  const TTEntry held = readSlot(*slot, valid);
  if (valid && held.key == key && depth < held.depth) return;
  if (score < -32768 || score > 32767) return;
  if (depth > 127) depth = 127;
  if (depth < -128) depth = -128;
  writeSlot(*slot, TTEntry{key, int16_t(score), int8_t(depth), uint8_t(bound | t.generation), move});
  markDirty(t);
}

// Empties every entry and sets the generation to 0.
void clearTable(TranspositionTable& t);

// Puts a table that holds nothing to use with wanted buckets: the largest power of two not above
// wanted, from MinTableBuckets up to the buckets allocated. The buckets beyond stay untouched, so
// their pages cost nothing. A table that holds entries keeps its size, so everything written since
// the last emptying lies in the buckets in use.
//
// largePages asks the system to back the table with large pages from then on. A search that reaches
// all over a large table then faults in 2 MiB at a time instead of 4 KiB, and misses the address
// cache far less. But each first touch then zeroes 2 MiB and may wait for the kernel to compact
// memory, which a short move cannot afford (brains started per game at short clocks lost games on
// time; docs/experiments.md). So only thinks that no clock limits ask for them.
void fitTable(TranspositionTable& t, uint32_t wanted, bool largePages = false);

// Starts a new think: generation + 4, wrapping from 252 to 0.
inline void ageTable(TranspositionTable& t) { t.generation = uint8_t(t.generation + 4); }

}  // namespace kesta
