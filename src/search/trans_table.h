// Transposition table: up to 2^23 buckets of 32 bytes, three packed 10-byte entries each, aged by
// a generation counter. Entry points: probe, cutoffTest, store, clearTable, fitTable,
// tableBucketsFor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/types.h"

namespace kesta {

#pragma pack(push, 1)
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
struct TTBucket {
  TTEntry entries[3];
  uint8_t unused[2];
};
#pragma pack(pop)
static_assert(sizeof(TTEntry) == 10 && sizeof(TTBucket) == 32);

constexpr uint32_t MinTableBuckets = 1u << 16;
constexpr uint32_t MaxTableBuckets = 1u << 23;

// What the brain process needs besides the table, with a margin: the pattern and score tables,
// the proof cache (1 MiB), code, libraries, stacks (the input thread's reservation among them) and
// buffers, so that a table sized with this reserve keeps even the address space under the limit
// (ulimit -v). The measured sizes are in docs/experiments.md.
constexpr int64_t NonTableBytes = int64_t(24) << 20;

// The bucket count for a memory limit of limitBytes on the whole process: the largest power of two
// from MinTableBuckets to MaxTableBuckets whose table fits in limitBytes - NonTableBytes, or
// MinTableBuckets when none does.
uint32_t tableBucketsFor(int64_t limitBytes);

enum Bound : uint8_t { BoundNone = 0, BoundUpper = 1, BoundLower = 2, BoundExact = 3 };

struct TranspositionTable {
  uint32_t count = 0;  // buckets allocated
  uint32_t mask = 0;   // buckets in use, less one: a power of two up to count (see fitTable)
  TTBucket* buckets = nullptr;
  uint8_t generation = 0;
  bool dirty = false;  // something was written since the memory was last zeroed
  bool largePages = false;  // the system was asked for large pages (see fitTable)
  size_t bytes = 0;

  // Allocates zeroed buckets: wantedBuckets of them (a power of two), or the largest smaller power
  // of two (down to MinTableBuckets) that the system grants.
  explicit TranspositionTable(uint32_t wantedBuckets = MaxTableBuckets);
  ~TranspositionTable();
  TranspositionTable(const TranspositionTable&) = delete;
  TranspositionTable& operator=(const TranspositionTable&) = delete;
};

struct ProbeResult {
  bool found;
  TTEntry* slot;
};

inline int entryAge(const TranspositionTable& t, const TTEntry& e) {
  return ((t.generation - e.genBound + 3) & 255) & 252;
}
inline int entryWorth(const TranspositionTable& t, const TTEntry& e) { return e.depth - 2 * entryAge(t, e); }

// Starts loading the bucket of hash into the cache, so that a probe a little later finds it there.
inline void prefetchBucket(const TranspositionTable& t, uint64_t hash) {
#if defined(__GNUC__)
  __builtin_prefetch(&t.buckets[hash & t.mask]);
#else
  (void)t, (void)hash;
#endif
}

// Writes to the bucket of hash (its unused bytes) before anything reads it. A table page that
// nothing has touched yet is then mapped once, as a page of its own, instead of first as the
// system's shared zero page and again as a private copy at the store that follows the probe.
inline void claimBucket(TranspositionTable& t, uint64_t hash) { t.buckets[hash & t.mask].unused[0] = 0; }

// Finds the entry of hash, refreshing its generation; otherwise the slot a store should use.
inline ProbeResult probe(TranspositionTable& t, uint64_t hash) {
  const uint32_t key = uint32_t(hash >> 32);
  TTEntry* bucket = t.buckets[hash & t.mask].entries;
  TTEntry* candidate = nullptr;
  for (int i = 0; i < 3; ++i) {
    TTEntry* e = bucket + i;
    if (e->key == key) {
      if ((e->genBound & 252) != t.generation) {
        e->genBound = uint8_t((e->genBound & 3) | t.generation);
        t.dirty = true;
      }
      return {true, e};
    }
    if ((e->genBound & 3) == BoundNone || candidate == nullptr ||
        ((candidate->genBound & 3) != BoundNone && entryWorth(t, *e) < entryWorth(t, *candidate)))
      candidate = e;
  }
  return {false, candidate};
}

// The entry of hash, or null. Unlike probe it changes nothing, not even the entry's generation.
inline const TTEntry* findEntry(const TranspositionTable& t, uint64_t hash) {
  const uint32_t key = uint32_t(hash >> 32);
  const TTEntry* bucket = t.buckets[hash & t.mask].entries;
  for (int i = 0; i < 3; ++i)
    if (bucket[i].key == key && (bucket[i].genBound & 3) != BoundNone) return bucket + i;
  return nullptr;
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
inline void store(TranspositionTable& t, TTEntry* slot, uint64_t hash, int32_t score, int32_t depth,
                  uint8_t bound, uint16_t move) {
  const uint32_t key = uint32_t(hash >> 32);
  if (slot->key == key && depth < slot->depth) return;
  if (score < -32768 || score > 32767) return;
  if (depth > 127) depth = 127;
  if (depth < -128) depth = -128;
  slot->key = key;
  slot->score = int16_t(score);
  slot->depth = int8_t(depth);
  slot->genBound = uint8_t(bound | t.generation);
  slot->move = move;
  t.dirty = true;
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
