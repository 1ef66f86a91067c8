#include "package/guard.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/package/package_test_util.h"

namespace {

constexpr int kLastWindow = kKeyBlockLength - kKeyWindowLength;

// The whole rearranged block, seen through two key windows: one at the start, one at the end.
std::vector<uint8_t> Rearranged(GuardLayout layout, const std::vector<uint8_t>& stored) {
  std::vector<uint8_t> block;
  for (int32_t offset : {0, kLastWindow}) {
    layout.keyOffset = offset;
    CGuard guard(layout);
    EXPECT_TRUE(guard.Load(stored.data(), static_cast<int>(stored.size())));
    if (!guard.IsLoaded()) return block;
    const uint8_t* key = guard.Key();
    block.resize(offset);
    block.insert(block.end(), key, key + kKeyWindowLength);
  }
  return block;
}

// Stored block whose byte i is 1 + i % 251: no zeros, and no two bytes alike within 251.
std::vector<uint8_t> Numbered() {
  std::vector<uint8_t> block(kKeyBlockLength);
  for (int i = 0; i < kKeyBlockLength; ++i) block[i] = static_cast<uint8_t>(1 + i % 251);
  return block;
}

struct Copy {
  int dest;
  int source;
  int count;
};

struct MoveRow {
  const char* name;
  GuardLayout layout;
  std::vector<Copy> copies;  // the effect, applied in order to the stored block; none: unchanged
  int xorStart;              // the XOR run expected after the copies, as start, count, pos
  int xorCount;
  int xorPos;
};

TEST(GuardLoad, MovesAndXorRun) {
  // keyOffset, move1 source/dest/length, move2 source/dest/length, xor pos/start/length
  const MoveRow kRows[] = {
      {"nothing to do", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"dest before source", {0, 100, 10, 20, 0, 0, 0, 0, 0, 0}, {{10, 100, 20}}, 0, 0, 0},
      {"dest after source", {0, 10, 100, 20, 0, 0, 0, 0, 0, 0}, {{100, 10, 20}}, 0, 0, 0},
      {"overlap, dest after source", {0, 100, 104, 20, 0, 0, 0, 0, 0, 0}, {{104, 100, 20}}, 0, 0, 0},
      {"overlap, dest before source", {0, 104, 100, 20, 0, 0, 0, 0, 0, 0}, {{100, 104, 20}}, 0, 0, 0},
      {"source runs off the end", {0, 960, 0, 100, 0, 0, 0, 0, 0, 0}, {{0, 960, 8}}, 0, 0, 0},
      {"dest runs off the end", {0, 0, 960, 100, 0, 0, 0, 0, 0, 0}, {{960, 0, 8}}, 0, 0, 0},
      {"overlap at the end", {0, 966, 967, 5, 0, 0, 0, 0, 0, 0}, {{967, 966, 1}}, 0, 0, 0},
      {"second move sees the first", {0, 0, 500, 10, 500, 900, 10, 0, 0, 0}, {{500, 0, 10}, {900, 500, 10}}, 0, 0, 0},
      {"negative source", {0, -1, 10, 20, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"negative dest", {0, 10, -5, 20, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"source at the end", {0, 968, 10, 20, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"dest at the end", {0, 10, 968, 20, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"negative count", {0, 10, 20, -5, 0, 0, 0, 0, 0, 0}, {}, 0, 0, 0},
      {"xor with pos before the run", {0, 0, 0, 0, 0, 0, 0, 5, 300, 40}, {}, 300, 40, 5},
      {"xor with pos inside the run", {0, 0, 0, 0, 0, 0, 0, 310, 300, 40}, {}, 300, 40, 310},
      {"xor run clipped at the end", {0, 0, 0, 0, 0, 0, 0, 3, 950, 100}, {}, 950, 18, 3},
      {"xor after the moves", {0, 7, 600, 1, 0, 0, 0, 600, 0, 968}, {{600, 7, 1}}, 0, 968, 600},
      {"xor pos out of range", {0, 0, 0, 0, 0, 0, 0, 968, 0, 10}, {}, 0, 0, 0},
      {"xor pos negative", {0, 0, 0, 0, 0, 0, 0, -1, 0, 10}, {}, 0, 0, 0},
      {"xor start out of range", {0, 0, 0, 0, 0, 0, 0, 3, 968, 10}, {}, 0, 0, 0},
      {"xor start negative", {0, 0, 0, 0, 0, 0, 0, 3, -2, 10}, {}, 0, 0, 0},
      {"xor negative count", {0, 0, 0, 0, 0, 0, 0, 3, 0, -10}, {}, 0, 0, 0},
  };
  const std::vector<uint8_t> stored = Numbered();
  for (const MoveRow& row : kRows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> expected = stored;
    for (const Copy& copy : row.copies) {
      const std::vector<uint8_t> before = expected;
      for (int i = 0; i < copy.count; ++i) expected[copy.dest + i] = before[copy.source + i];
    }
    const uint8_t value = expected[row.xorPos];
    for (int i = 0; i < row.xorCount; ++i) expected[row.xorStart + i] ^= value;
    EXPECT_EQ(Rearranged(row.layout, stored), expected);
  }
}

TEST(GuardLoad, RefusesWrongSourcesAndDropsTheOldBlock) {
  const std::vector<uint8_t> stored = RandomBytes(kKeyBlockLength + 1, 1);
  struct Row {
    const char* name;
    const uint8_t* source;
    int length;
  };
  const Row kRows[] = {
      {"one byte short", stored.data(), kKeyBlockLength - 1},
      {"one byte long", stored.data(), kKeyBlockLength + 1},
      {"empty", stored.data(), 0},
      {"negative length", stored.data(), -kKeyBlockLength},
      {"null source", nullptr, kKeyBlockLength},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    CGuard guard(StillLayout(0));
    ASSERT_TRUE(guard.Load(stored.data(), kKeyBlockLength));
    EXPECT_FALSE(guard.Load(row.source, row.length));
    EXPECT_FALSE(guard.IsLoaded());
    EXPECT_EQ(guard.Key(), nullptr);
  }
}

TEST(GuardKey, WindowMustFitTheBlock) {
  const std::vector<uint8_t> stored = RandomBytes(kKeyBlockLength, 2);
  for (int32_t offset : {-1, kLastWindow + 1, kKeyBlockLength, INT32_MAX, INT32_MIN}) {
    SCOPED_TRACE("offset " + std::to_string(offset));
    CGuard guard(StillLayout(offset));
    EXPECT_TRUE(guard.Load(stored.data(), kKeyBlockLength));
    EXPECT_EQ(guard.Key(), nullptr);
  }
  CGuard guard(StillLayout(kLastWindow));
  ASSERT_TRUE(guard.Load(stored.data(), kKeyBlockLength));
  EXPECT_EQ(memcmp(guard.Key(), stored.data() + kLastWindow, kKeyWindowLength), 0);
  guard.Wipe();
  EXPECT_FALSE(guard.IsLoaded());
  EXPECT_EQ(guard.Key(), nullptr);
  guard.Wipe();  // nothing held: nothing happens
}

}  // namespace

namespace {

// Every byte of the range zeroed, at any alignment and length, and nothing beside it.
TEST(WipeBytes, ZeroesExactlyTheRange) {
  for (size_t offset : {0u, 1u, 3u}) {
    for (size_t size : {0u, 1u, 7u, 8u, 33u, 4168u}) {
      std::vector<uint8_t> buffer(size + 8, 0xC3);
      WipeBytes(buffer.data() + offset, size);
      for (size_t i = 0; i < buffer.size(); ++i) {
        const bool inside = i >= offset && i < offset + size;
        ASSERT_EQ(buffer[i], inside ? 0 : 0xC3) << "offset " << offset << " size " << size << " byte " << i;
      }
    }
  }
  WipeBytes(nullptr, 16);  // nothing to wipe
}

}  // namespace
