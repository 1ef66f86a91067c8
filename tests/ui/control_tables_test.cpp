#include "ui/control_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(FindPair, StopsAtTheTerminatingPairOrTheCount) {
  KeyPair pairs[] = {{0x2A, 1}, {0x36, 2}, {0x2A, 3}, {0, 0}, {0x1D, 4}};
  // The first match wins; the walk ends at key 0 even when a count would allow more.
  EXPECT_EQ(FindPair(0x2A, pairs, -1), &pairs[0]);
  EXPECT_EQ(FindPair(0x36, pairs, -1), &pairs[1]);
  EXPECT_EQ(FindPair(0x1D, pairs, -1), nullptr);
  EXPECT_EQ(FindPair(0x1D, pairs, 5), nullptr);
  EXPECT_EQ(FindPair(0, pairs, -1), nullptr);
  EXPECT_EQ(FindPair(0x2A, static_cast<KeyPair*>(nullptr), 3), nullptr);

  // Arrays without a terminating pair: the count bounds the walk, never a read past it.
  KeyPair rows[] = {{0x3A, 7}, {0xE068, 8}, {0xE067, 9}};
  EXPECT_EQ(FindPair(0xE067, rows, 3), &rows[2]);
  EXPECT_EQ(FindPair(0xE067, rows, 2), nullptr);
  EXPECT_EQ(FindPair(0x3A, rows, 0), nullptr);
}

TEST(LookupRowKey, FirstRowOfTheComboBox) {
  const KeyRow rows[] = {{1401, 0x2A}, {1402, 0x36}, {1402, 0x1D}, {0, 0x99}, {1403, 0x38}};
  EXPECT_EQ(LookupRowKey(1401, rows), 0x2Au);
  EXPECT_EQ(LookupRowKey(1402, rows), 0x36u);
  EXPECT_EQ(LookupRowKey(1403, rows), 0u);  // behind the end
  EXPECT_EQ(LookupRowKey(0, rows), 0u);     // never the terminating row's key
  EXPECT_EQ(LookupRowKey(1401, nullptr), 0u);
}

TEST(CountComboItems, EntriesBeforeTheEnd) {
  const ComboItem items[] = {{113, 0}, {114, 1}, {115, 2}, {0, 3}, {116, 4}};
  EXPECT_EQ(CountComboItems(items), 3);
  EXPECT_EQ(CountComboItems(nullptr), 0);
}

}  // namespace
