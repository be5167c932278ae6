// Transposition table: probe and replacement by worth, the cutoff test, decided scores relative to
// the storing node, the store rules, ageing with wrap-around, and emptying.
#include "search/trans_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

namespace kesta {
namespace {

constexpr uint32_t Buckets = 1u << 16;

// A hash whose bucket is `bucket` and whose key (upper 32 bits) is `key`. Bits 16..31 take part in
// neither for this table size; they are filled in to show it.
uint64_t hashOf(uint32_t bucket, uint32_t key) {
  return uint64_t(key) << 32 | 0xABCD0000u | bucket;
}

TTSlot* bucketEntries(TranspositionTable& t, uint64_t hash) {
  return t.buckets[hash & t.mask].slots;
}

// What the slot holds, as a probe reads it.
TTEntry at(const TTSlot& s) {
  bool valid;
  const TTEntry e = readSlot(s, valid);
  EXPECT_TRUE(valid) << "a torn slot";
  return e;
}

int boundOf(const TTSlot& s) {
  return at(s).genBound & 3;
}
int generationOf(const TTSlot& s) {
  return at(s).genBound & 252;
}
int entryAge(const TranspositionTable& t, const TTSlot& s) {
  return entryAge(t, at(s));
}
int entryWorth(const TranspositionTable& t, const TTSlot& s) {
  return entryWorth(t, at(s));
}
bool cutoffTest(const TTSlot& s, int32_t requiredDepth, int32_t alpha, int32_t beta, int32_t ply) {
  return cutoffTest(at(s), requiredDepth, alpha, beta, ply);
}

class TransTable : public ::testing::Test {
 protected:
  void SetUp() override { clearTable(table); }

  // Probes and stores as a search node does.
  void put(uint64_t hash, int32_t score, int32_t depth, uint8_t bound, uint16_t move) {
    const ProbeResult r = probe(table, hash);
    store(table, r.slot, hash, score, depth, bound, move);
  }

  TranspositionTable table{Buckets};
};

TEST_F(TransTable, SmallTableHasMatchingCountAndMask) {
  EXPECT_EQ(Buckets, table.count);
  EXPECT_EQ(Buckets - 1, table.mask);
  EXPECT_NE(nullptr, table.buckets);
}

TEST_F(TransTable, EmptyTableFindsNothing) {
  std::mt19937_64 rng(1);
  for (int i = 0; i < 2000; ++i) {
    uint64_t hash = rng();
    if ((hash >> 32) == 0) hash |= uint64_t(1) << 40;
    const ProbeResult r = probe(table, hash);
    ASSERT_FALSE(r.found);
    ASSERT_EQ(BoundNone, boundOf(*r.slot));
  }
  // The key test ignores the bound: a zero key meets the cleared slot, whose bound 0 the cutoff
  // test rejects.
  const ProbeResult zero = probe(table, hashOf(5, 0));
  EXPECT_TRUE(zero.found);
  EXPECT_EQ(BoundNone, boundOf(*zero.slot));
  EXPECT_FALSE(cutoffTest(*zero.slot, -100, -30000, 30000, 0));
}

// Every empty slot replaces the candidate found so far, so an empty bucket offers its last entry
// and a bucket fills from the back.
TEST_F(TransTable, EmptySlotsFillFromTheBack) {
  constexpr int Last = BucketSlots - 1;
  std::mt19937_64 rng(3);
  for (int i = 0; i < 2000; ++i) {
    const uint64_t hash = rng() | uint64_t(1) << 63;
    const ProbeResult r = probe(table, hash);
    ASSERT_FALSE(r.found);
    ASSERT_EQ(&bucketEntries(table, hash)[Last], r.slot);
  }
  const uint32_t b = 4321;
  TTSlot* e = bucketEntries(table, hashOf(b, 1));
  for (uint32_t key = 1; key <= BucketSlots; ++key) {
    const ProbeResult r = probe(table, hashOf(b, key));
    ASSERT_FALSE(r.found);
    ASSERT_EQ(&e[BucketSlots - key], r.slot) << "key " << key;
    store(table, r.slot, hashOf(b, key), 0, 1, BoundExact, 0);
  }
  clearTable(table);
  EXPECT_EQ(&e[Last], probe(table, hashOf(b, 9)).slot);
}

TEST_F(TransTable, ClearTableAfterStoresEmptiesEverything) {
  std::mt19937_64 rng(2);
  std::vector<uint64_t> hashes;
  for (int i = 0; i < 3000; ++i) {
    hashes.push_back(rng() | uint64_t(1) << 63);
    put(hashes.back(), i, 5, BoundExact, uint16_t(i + 1));
  }
  ageTable(table);
  ASSERT_TRUE(probe(table, hashes.back()).found);  // a hit also writes: it refreshes the generation
  clearTable(table);
  EXPECT_EQ(0, table.generation);
  for (uint64_t h : hashes) {
    ASSERT_FALSE(probe(table, h).found);
  }
  // Every byte, whether the pages were handed back or, all of them in memory, zeroed in place.
  auto* bytes = reinterpret_cast<unsigned char*>(table.buckets);
  const size_t size = size_t(table.count) * sizeof(TTBucket);
  EXPECT_EQ(std::count(bytes, bytes + size, 0), ptrdiff_t(size));
  std::fill(bytes, bytes + size, uint8_t(0x5A));
  table.dirty = true;
  clearTable(table);
  EXPECT_EQ(std::count(bytes, bytes + size, 0), ptrdiff_t(size));
  for (uint32_t b = 0; b < table.count; ++b)
    for (const TTSlot& slot : table.buckets[b].slots) {
      const TTEntry e = at(slot);
      ASSERT_EQ(0u, uint32_t(e.key)) << "bucket " << b;
      ASSERT_EQ(0, int(e.genBound)) << "bucket " << b;
      ASSERT_EQ(0, int(e.move)) << "bucket " << b;
    }
}

TEST_F(TransTable, StoreAndProbeRoundTrip) {
  const uint64_t h = hashOf(77, 0x12345678);
  put(h, -1234, 9, BoundUpper, 396);
  const ProbeResult r = probe(table, h);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(0x12345678u, uint32_t(at(*r.slot).key));
  EXPECT_EQ(-1234, int(at(*r.slot).score));
  EXPECT_EQ(9, int(at(*r.slot).depth));
  EXPECT_EQ(BoundUpper, boundOf(*r.slot));
  EXPECT_EQ(396, int(at(*r.slot).move));
  // Hashes that differ only in bits the bucket and key do not use meet the same entry.
  EXPECT_TRUE(probe(table, h ^ 0x00FF0000u).found);
  EXPECT_FALSE(probe(table, h ^ (uint64_t(1) << 32)).found);
}

// A bucket holding a depth-10 entry from the previous think and current entries of depth 3, 5
// and 6.
TEST_F(TransTable, ReplacesTheEntryOfLeastWorth) {
  static_assert(BucketSlots == 4);
  const uint32_t b = 300;
  TTSlot* e = bucketEntries(table, hashOf(b, 1));
  store(table, &e[0], hashOf(b, 1), 10, 10, BoundExact, 1);
  ageTable(table);
  store(table, &e[1], hashOf(b, 2), 20, 3, BoundExact, 2);
  store(table, &e[2], hashOf(b, 3), 30, 5, BoundExact, 3);
  store(table, &e[3], hashOf(b, 5), 30, 6, BoundExact, 3);
  ASSERT_EQ(1u, uint32_t(at(e[0]).key));
  ASSERT_EQ(2u, uint32_t(at(e[1]).key));
  ASSERT_EQ(3u, uint32_t(at(e[2]).key));
  EXPECT_EQ(2, entryWorth(table, e[0]));  // 10 - 2 * 4
  EXPECT_EQ(3, entryWorth(table, e[1]));
  const ProbeResult r = probe(table, hashOf(b, 4));
  EXPECT_FALSE(r.found);
  EXPECT_EQ(&e[0], r.slot);

  // Found again, the old entry is refreshed to the current think and keeps its bound.
  ASSERT_TRUE(probe(table, hashOf(b, 1)).found);
  EXPECT_EQ(table.generation, generationOf(e[0]));
  EXPECT_EQ(BoundExact, boundOf(e[0]));
  EXPECT_EQ(10, entryWorth(table, e[0]));
  EXPECT_EQ(&e[1], probe(table, hashOf(b, 4)).slot);
}

TEST_F(TransTable, EmptySlotsAndTiesInReplacement) {
  const uint32_t b = 999;
  TTSlot* e = bucketEntries(table, hashOf(b, 1));
  static_assert(BucketSlots == 4);
  // Equal worth everywhere: the earliest entry.
  for (int i = 0; i < BucketSlots; ++i) store(table, &e[i], hashOf(b, uint32_t(i + 1)), 0, 4, BoundLower, 0);
  EXPECT_EQ(&e[0], probe(table, hashOf(b, 9)).slot);

  // A later empty slot wins over any occupied candidate...
  clearTable(table);
  store(table, &e[0], hashOf(b, 1), 0, 1, BoundLower, 0);
  store(table, &e[1], hashOf(b, 2), 0, 9, BoundLower, 0);
  store(table, &e[3], hashOf(b, 4), 0, 9, BoundLower, 0);
  EXPECT_EQ(&e[2], probe(table, hashOf(b, 9)).slot);
  // ...and an earlier empty slot is kept against later occupied ones, even of less worth.
  clearTable(table);
  store(table, &e[1], hashOf(b, 2), 0, -5, BoundLower, 0);
  store(table, &e[2], hashOf(b, 3), 0, -9, BoundLower, 0);
  store(table, &e[3], hashOf(b, 4), 0, -7, BoundLower, 0);
  EXPECT_EQ(&e[0], probe(table, hashOf(b, 9)).slot);
  // Among occupied entries the least worth wins wherever it stands.
  store(table, &e[0], hashOf(b, 1), 0, 7, BoundLower, 0);
  EXPECT_EQ(&e[2], probe(table, hashOf(b, 9)).slot);
}

TEST_F(TransTable, LowerBoundCutoff) {
  TTSlot* e = bucketEntries(table, hashOf(1, 1));
  store(table, e, hashOf(1, 1), 100, 6, BoundLower, 0);
  EXPECT_TRUE(cutoffTest(*e, 6, 0, 100, 0));   // depth enough, score >= beta
  EXPECT_TRUE(cutoffTest(*e, 5, 0, 50, 7));    // ply plays no part in ordinary scores
  EXPECT_FALSE(cutoffTest(*e, 6, 0, 101, 0));  // score below beta
  EXPECT_FALSE(cutoffTest(*e, 7, 0, 100, 0));  // too shallow
  EXPECT_FALSE(cutoffTest(*e, 7, 200, 300, 0));
  EXPECT_FALSE(cutoffTest(*e, 6, 150, 300, 0));  // a lower bound says nothing about alpha
}

TEST_F(TransTable, UpperExactAndEmptyBounds) {
  TTSlot* e = bucketEntries(table, hashOf(2, 1));
  store(table, e, hashOf(2, 1), -40, 3, BoundUpper, 0);
  EXPECT_TRUE(cutoffTest(*e, 3, -40, 100, 0));
  EXPECT_FALSE(cutoffTest(*e, 3, -41, 100, 0));
  EXPECT_FALSE(cutoffTest(*e, 4, 0, 100, 0));
  store(table, e, hashOf(2, 1), -40, 3, BoundExact, 0);
  EXPECT_TRUE(cutoffTest(*e, 3, 500, 600, 0));
  EXPECT_TRUE(cutoffTest(*e, -2, -600, -500, 0));
  EXPECT_FALSE(cutoffTest(*e, 4, 500, 600, 0));
  // Bound 0 never cuts, not even with a decided score.
  TTEntry empty{};
  empty.score = 19990;
  EXPECT_FALSE(cutoffTest(empty, 0, -30000, 0, 0));
}

// Decided scores are stored relative to the storing node and read back relative to the reader.
TEST_F(TransTable, DecidedScoresFollowThePly) {
  // A node at ply 3 whose side completes five at ply 7 scores 20000 - 7 and stores 20000 - 4.
  const uint64_t h = hashOf(44, 0xBEEF);
  put(h, 20000 - 7 + 3, 2, BoundLower, 0);
  const ProbeResult r = probe(table, h);
  ASSERT_TRUE(r.found);
  EXPECT_EQ(20000 - 4, int(at(*r.slot).score));
  // Read at ply 2 it is 20000 - 6: a cutoff for beta up to that value, at any required depth.
  EXPECT_TRUE(cutoffTest(*r.slot, 40, 0, 20000 - 6, 2));
  EXPECT_FALSE(cutoffTest(*r.slot, 40, 0, 20000 - 5, 2));
  // Losses move the other way: stored -19996 at ply 2 reads -19994, an upper bound <= alpha.
  store(table, r.slot, h, -(20000 - 4), 2, BoundUpper, 0);
  EXPECT_TRUE(cutoffTest(*r.slot, 40, -(20000 - 6), 0, 2));
  EXPECT_FALSE(cutoffTest(*r.slot, 40, -(20000 - 5), 0, 2));
  // 19000 is decided, 18999 is not.
  store(table, r.slot, h, 19000, 2, BoundExact, 0);
  EXPECT_TRUE(cutoffTest(*r.slot, 9, 0, 1, 0));
  store(table, r.slot, h, 18999, 2, BoundExact, 0);
  EXPECT_FALSE(cutoffTest(*r.slot, 9, 0, 1, 0));
}

TEST_F(TransTable, ShallowerStoreOverTheSamePositionIsIgnored) {
  const uint64_t h = hashOf(12, 0x77);
  put(h, 50, 8, BoundExact, 100);
  TTSlot* slot = probe(table, h).slot;
  store(table, slot, h, 70, 4, BoundLower, 200);
  EXPECT_EQ(50, int(at(*slot).score));
  EXPECT_EQ(8, int(at(*slot).depth));
  EXPECT_EQ(BoundExact, boundOf(*slot));
  EXPECT_EQ(100, int(at(*slot).move));
  // Equal depth replaces.
  store(table, slot, h, 71, 8, BoundUpper, 201);
  EXPECT_EQ(71, int(at(*slot).score));
  EXPECT_EQ(BoundUpper, boundOf(*slot));
  EXPECT_EQ(201, int(at(*slot).move));
  // Another position overwrites whatever depth the slot holds.
  store(table, slot, hashOf(12, 0x78), -5, 0, BoundLower, 7);
  EXPECT_EQ(0x78u, uint32_t(at(*slot).key));
  EXPECT_EQ(-5, int(at(*slot).score));
  EXPECT_EQ(0, int(at(*slot).depth));
  EXPECT_EQ(BoundLower, boundOf(*slot));
  EXPECT_EQ(7, int(at(*slot).move));
}

// Scores outside the 16-bit field are not stored at all.
TEST_F(TransTable, ScoresThatDoNotFitAreSkipped) {
  const uint64_t h = hashOf(3, 0x99);
  TTSlot* slot = probe(table, h).slot;
  store(table, slot, h, 40000, 5, BoundExact, 1);
  EXPECT_FALSE(probe(table, h).found);
  store(table, slot, h, -32769, 5, BoundExact, 1);
  EXPECT_FALSE(probe(table, h).found);
  store(table, slot, h, 32767, 5, BoundExact, 1);
  ASSERT_TRUE(probe(table, h).found);
  EXPECT_EQ(32767, int(at(*slot).score));
  store(table, slot, h, -32768, 5, BoundLower, 2);
  EXPECT_EQ(-32768, int(at(*slot).score));
  // An existing entry is left as it was.
  store(table, slot, h, 1 << 20, 9, BoundUpper, 3);
  EXPECT_EQ(-32768, int(at(*slot).score));
  EXPECT_EQ(5, int(at(*slot).depth));
  EXPECT_EQ(2, int(at(*slot).move));
}

// Two writers' halves in one slot (one thread's data with another's check) read as an empty slot:
// the probe misses and offers the slot to a store, which makes it whole again.
TEST_F(TransTable, ATornSlotIsAMissAndFreeForTheNextStore) {
  const uint64_t h = hashOf(21, 0x4242);
  put(h, 75, 6, BoundExact, 300);
  const ProbeResult hit = probe(table, h);
  ASSERT_TRUE(hit.found);
  hit.slot->data.store(packEntry(TTEntry{0x4242, -75, 2, BoundUpper, 17}), std::memory_order_relaxed);
  bool valid = true;
  readSlot(*hit.slot, valid);
  EXPECT_FALSE(valid);
  TTEntry found;
  EXPECT_FALSE(findEntry(table, h, found));
  const ProbeResult miss = probe(table, h);
  EXPECT_FALSE(miss.found);
  EXPECT_EQ(hit.slot, miss.slot);
  store(table, miss.slot, h, 80, 1, BoundLower, 301);
  ASSERT_TRUE(findEntry(table, h, found));
  EXPECT_EQ(80, int(found.score));
  EXPECT_EQ(301, int(found.move));
}

TEST_F(TransTable, GenerationWrapsAfter64Thinks) {
  EXPECT_EQ(0, table.generation);
  for (int i = 1; i <= 63; ++i) {
    ageTable(table);
    ASSERT_EQ(4 * i, table.generation);
  }
  // Stored at generation 252, one think before the wrap.
  const uint64_t h = hashOf(8, 0x5);
  put(h, 0, 6, BoundLower, 0);
  TTSlot* e = probe(table, h).slot;
  EXPECT_EQ(252, generationOf(*e));
  EXPECT_EQ(0, entryAge(table, *e));
  ageTable(table);
  EXPECT_EQ(0, table.generation);
  EXPECT_EQ(4, entryAge(table, *e));
  EXPECT_EQ(6 - 8, entryWorth(table, *e));
  for (int i = 0; i < 9; ++i) ageTable(table);
  EXPECT_EQ(40, entryAge(table, *e));
  // A hit brings it back to the present.
  ASSERT_TRUE(probe(table, h).found);
  EXPECT_EQ(36, generationOf(*e));
  EXPECT_EQ(BoundLower, boundOf(*e));
  EXPECT_EQ(0, entryAge(table, *e));
}

}  // namespace
}  // namespace kesta

namespace kesta {
namespace {

// The table for a memory limit: the largest power of two that leaves NonTableBytes of the limit
// to the rest of the process, within 2^15..2^22.
TEST(TableSize, FromTheMemoryLimit) {
  constexpr int64_t MiB = int64_t(1) << 20;
  EXPECT_EQ(tableBucketsFor(2147483647), MaxTableBuckets);
  EXPECT_EQ(tableBucketsFor(350 * MiB), MaxTableBuckets);  // the main tournaments' limit
  EXPECT_EQ(tableBucketsFor(256 * MiB + NonTableBytes), MaxTableBuckets);
  EXPECT_EQ(tableBucketsFor(256 * MiB + NonTableBytes - 1), MaxTableBuckets / 2);
  EXPECT_EQ(tableBucketsFor(64 * MiB), 1u << 19);  // 32 MiB
  EXPECT_EQ(tableBucketsFor(NonTableBytes + 4 * MiB), 1u << 16);
  EXPECT_EQ(tableBucketsFor(NonTableBytes), MinTableBuckets);  // nothing fits: the smallest table
  EXPECT_EQ(tableBucketsFor(1), MinTableBuckets);
  for (int64_t limit = 30 * MiB; limit < 600 * MiB; limit += 7 * MiB + 12345) {
    const int64_t bytes = int64_t(tableBucketsFor(limit)) * int64_t(sizeof(TTBucket));
    EXPECT_LE(bytes + NonTableBytes, limit) << limit;
    EXPECT_TRUE(bytes == 256 * MiB || 2 * bytes + NonTableBytes > limit) << limit;
  }
}

}  // namespace
}  // namespace kesta
