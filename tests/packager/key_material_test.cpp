#include "tools/packager/key_material.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(KeyMaterial, TheSameSeedGivesTheSameMaterial) {
  const KeyMaterial a = MaterialFromSeed("demo-2026-12");
  const KeyMaterial b = MaterialFromSeed("demo-2026-12");
  ASSERT_EQ(a.block.Size(), 968u);
  EXPECT_TRUE(a.block == b.block);
  for (const LayoutField& field : kLayoutFields) EXPECT_EQ(a.layout.*field.member, b.layout.*field.member) << field.name;
}

TEST(KeyMaterial, DifferentSeedsGiveDifferentBlocksAndKeys) {
  const KeyMaterial a = MaterialFromSeed("demo-2026-12");
  const KeyMaterial b = MaterialFromSeed("demo-2026-13");
  EXPECT_TRUE(a.block != b.block);
  KeyBytes keyA, keyB;
  ASSERT_TRUE(KeyFromMaterial(a, &keyA));
  ASSERT_TRUE(KeyFromMaterial(b, &keyB));
  ASSERT_EQ(keyA.Size(), 495u);
  EXPECT_TRUE(keyA != keyB);
}

// Over many seeds every constant stays within the limits the program relies on, and the
// constants do vary (a generator stuck on one value would pass the limits too).
TEST(KeyMaterial, SeededConstantsStayWithinTheLimitsAndVary) {
  std::set<int32_t> seen[10];
  for (int i = 0; i < 2000; ++i) {
    const KeyMaterial material = MaterialFromSeed("seed " + std::to_string(i));
    std::vector<std::string> faults;
    EXPECT_TRUE(CheckLayout(material.layout, &faults)) << i << ": " << (faults.empty() ? "" : faults[0]);
    for (int f = 0; f < 10; ++f) {
      const int32_t value = material.layout.*kLayoutFields[f].member;
      EXPECT_LE(value, kLayoutFields[f].maximum == INT32_MAX ? 968 : kLayoutFields[f].maximum);
      seen[f].insert(value);
    }
  }
  for (int f = 0; f < 10; ++f) EXPECT_GT(seen[f].size(), 300u) << kLayoutFields[f].name;
}

TEST(KeyMaterial, CheckLayoutNamesEveryFieldOutOfItsRange) {
  GuardLayout layout = MaterialFromSeed("x").layout;
  layout.keyOffset = 474;
  layout.move2Dest = 968;
  layout.xorLength = -1;
  std::vector<std::string> faults;
  EXPECT_FALSE(CheckLayout(layout, &faults));
  ASSERT_EQ(faults.size(), 3u);
  EXPECT_EQ(faults[0], "key_offset = 474: must lie in 0..473");
  EXPECT_EQ(faults[1], "move2_dest = 968: must lie in 0..967");
  EXPECT_EQ(faults[2], "xor_length = -1: must not be negative");
}

TEST(KeyMaterial, TheKeyIsTheWindowOfTheRearrangedBlock) {
  // With no moves and an empty XOR run the key is the block's window as stored.
  KeyMaterial material = MaterialFromSeed("plain");
  material.layout = GuardLayout{100, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  KeyBytes key;
  ASSERT_TRUE(KeyFromMaterial(material, &key));
  EXPECT_EQ(std::vector<uint8_t>(key.Data(), key.Data() + key.Size()),
            std::vector<uint8_t>(material.block.Data() + 100, material.block.Data() + 595));
  // A move into the window changes the key.
  material.layout.move1Source = 0;
  material.layout.move1Dest = 100;
  material.layout.move1Length = 8;
  KeyBytes moved;
  ASSERT_TRUE(KeyFromMaterial(material, &moved));
  EXPECT_EQ(std::vector<uint8_t>(moved.Data(), moved.Data() + 8),
            std::vector<uint8_t>(material.block.Data(), material.block.Data() + 8));
}

}  // namespace
