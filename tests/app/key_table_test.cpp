#include "app/key_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// The installer's copy, freed at the end of the test.
struct Copy {
  KeyEntry* keys = NewKeyTableCopy();
  ~Copy() { free(keys); }
  KeyEntry& At(uint32_t scanCode) {
    KeyEntry* e = FindKey(keys, kKeyTableCount, scanCode);
    EXPECT_NE(e, nullptr) << std::hex << scanCode;
    return *e;
  }
};

int IndexOf(const KeyEntry* table, const KeyEntry* entry) { return entry ? static_cast<int>(entry - table) : -1; }

uint8_t* MallocBytes(const Bytes& b) {
  uint8_t* p = static_cast<uint8_t*>(malloc(b.empty() ? 1 : b.size()));
  if (!b.empty()) memcpy(p, b.data(), b.size());
  return p;
}

Bytes Pair(uint16_t scanCode, uint16_t keyCode) {
  return {static_cast<uint8_t>(scanCode), static_cast<uint8_t>(scanCode >> 8), static_cast<uint8_t>(keyCode),
          static_cast<uint8_t>(keyCode >> 8)};
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

bool SameEntry(const KeyEntry& a, const KeyEntry& b) {
  return a.scanCode == b.scanCode && a.virtualKey == b.virtualKey && a.captionText == b.captionText &&
         a.hardwareCode == b.hardwareCode;
}

TEST(DefaultKeys, EndMarkAndZeroEntryCloseTheTable) {
  EXPECT_EQ(kKeyTableCount, 146);
  EXPECT_EQ(sizeof(kDefaultKeys), 146u * 8u);
  const KeyEntry& end = kDefaultKeys[kKeyEndMarkIndex];
  EXPECT_EQ(end.scanCode, 0);
  EXPECT_EQ(end.virtualKey, 0);
  EXPECT_EQ(end.captionText, 154);
  EXPECT_EQ(end.hardwareCode, 0);
  const KeyEntry zero{0, 0, 0, 0};
  EXPECT_TRUE(SameEntry(kDefaultKeys[145], zero));

  std::set<uint16_t> scanCodes;
  for (int i = 0; i < kKeyEndMarkIndex; ++i) {
    SCOPED_TRACE(i);
    const KeyEntry& k = kDefaultKeys[i];
    EXPECT_NE(k.scanCode, 0);
    EXPECT_NE(k.virtualKey, 0);
    EXPECT_EQ(k.hardwareCode, 0);
    EXPECT_GE(k.captionText, 162);
    EXPECT_LE(k.captionText, 326);
    EXPECT_TRUE(scanCodes.insert(k.scanCode).second) << "scan code repeated";
  }
  EXPECT_EQ(scanCodes.size(), 144u);
}

TEST(DefaultKeys, ListedEntriesInTheirPositions) {
  // Entries from every line of the listing, by position.
  const struct {
    int index;
    uint16_t scanCode, virtualKey, captionText;
  } rows[] = {
      {0, 0x01, 0x01B, 175},    {11, 0x0C, 0x0BD, 308},   {23, 0x18, 0x04F, 216},   {28, 0x1D, 0x0A2, 282},
      {38, 0x27, 0x0BA, 305},   {41, 0x2A, 0x0A0, 280},   {53, 0x36, 0x1A1, 281},   {57, 0x3A, 0x014, 174},
      {70, 0x47, 0xC24, 180},   {75, 0x4C, 0xC0C, 168},   {83, 0x56, 0x0E2, 317},   {86, 0x59, 0x00C, 168},
      {87, 0x63, 0x02F, 191},   {88, 0x64, 0x07C, 261},   {103, 0xFF, 0x0FF, 326},  {104, 0xE010, 0x1B1, 298},
      {118, 0xE046, 0x103, 162}, {120, 0xE048, 0x126, 182}, {129, 0xE05B, 0x15B, 228}, {143, 0xE11D, 0x013, 173},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.index);
    const KeyEntry& k = kDefaultKeys[row.index];
    EXPECT_EQ(k.scanCode, row.scanCode);
    EXPECT_EQ(k.virtualKey, row.virtualKey);
    EXPECT_EQ(k.captionText, row.captionText);
    EXPECT_EQ(k.hardwareCode, 0);
  }
}

TEST(KeyTableCopy, CarriesNoReassignment) {
  Copy copy;
  ASSERT_NE(copy.keys, nullptr);
  for (int i = 0; i < kKeyTableCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(copy.keys[i].scanCode, kDefaultKeys[i].scanCode);
    EXPECT_EQ(copy.keys[i].virtualKey, 0);
    EXPECT_EQ(copy.keys[i].captionText, kDefaultKeys[i].captionText);
    EXPECT_EQ(copy.keys[i].hardwareCode, 0);
  }
}

TEST(FindKey, ComparesTheLow16BitsAndNeverFindsTheEndMark) {
  Copy copy;
  const struct {
    const char* name;
    uint32_t code;
    int index;  // -1: not found
  } rows[] = {
      {"plain key", 0x1E, 29},
      {"high bits ignored", 0x1001E, 29},
      {"all high bits set", 0xFFFF001E, 29},
      {"special key FF", 0xFF, 103},
      {"E0 key", 0xE05B, 129},
      {"E1 key", 0xE11D, 143},
      {"first entry", 0x01, 0},
      {"zero", 0, -1},
      {"zero in the low bits", 0x10000, -1},
      {"gap in the plain keys", 0x54, -1},
      {"above the plain keys", 0x7F, -1},
      {"unknown E0 key", 0xE0FF, -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IndexOf(kDefaultKeys, FindDefaultKey(row.code)), row.index);
    EXPECT_EQ(IndexOf(copy.keys, FindKey(copy.keys, kKeyTableCount, row.code)), row.index);
  }
}

TEST(FindKey, StaysWithinTheCountItIsGiven) {
  Copy copy;
  EXPECT_EQ(FindKey(nullptr, kKeyTableCount, 0x1E), nullptr);
  EXPECT_EQ(FindKey(copy.keys, 0, 0x1E), nullptr);
  EXPECT_EQ(FindKey(copy.keys, -1, 0x1E), nullptr);
  EXPECT_EQ(FindKey(copy.keys, 29, 0x1E), nullptr);
  EXPECT_EQ(FindKey(copy.keys, 30, 0x1E), &copy.keys[29]);

  // A table without an end mark: the walk ends at the count (an exactly sized block, so the
  // sanitizer sees a read past it).
  KeyEntry* three = static_cast<KeyEntry*>(malloc(3 * sizeof(KeyEntry)));
  ASSERT_NE(three, nullptr);
  memcpy(three, kDefaultKeys, 3 * sizeof(KeyEntry));
  EXPECT_EQ(FindKey(three, 3, 0x03), &three[2]);
  EXPECT_EQ(FindKey(three, 3, 0x04), nullptr);
  EXPECT_FALSE(NormaliseKeys(nullptr, 3));
  EXPECT_TRUE(NormaliseKeys(three, 3));
  uint32_t size = 0;
  uint8_t* pairs = ExportKeyPairs(three, 3, &size);
  EXPECT_NE(pairs, nullptr);
  EXPECT_EQ(size, 0u);
  free(pairs);
  free(three);
}

TEST(NormaliseKeys, ClearsWhatEqualsTheDefaultOfThePosition) {
  const struct {
    const char* name;
    int index;
    uint16_t virtualKey, hardwareCode;
    uint16_t wantVirtualKey, wantHardwareCode;
  } rows[] = {
      {"default key code", 57, 0x014, 0, 0, 0},
      {"other key code", 57, 0x0A2, 0, 0x0A2, 0},
      {"own scan code", 57, 0, 0x3A, 0, 0},
      {"other scan code", 57, 0, 0x1D, 0, 0x1D},
      {"switched off", 57, 0, 255, 0, 255},
      {"E0 key sent as itself", 129, 0x15B, 0xE05B, 0, 0},
      {"E0 key code of another key", 129, 0x15C, 0xE05C, 0x15C, 0xE05C},
      {"end mark keeps a stray key code", kKeyEndMarkIndex, 0x20, 0, 0x20, 0},
      {"special key FF", 103, 0x0FF, 0xFF, 0, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Copy copy;
    copy.keys[row.index].virtualKey = row.virtualKey;
    copy.keys[row.index].hardwareCode = row.hardwareCode;
    EXPECT_TRUE(NormaliseKeys(copy.keys, kKeyTableCount));
    EXPECT_EQ(copy.keys[row.index].virtualKey, row.wantVirtualKey);
    EXPECT_EQ(copy.keys[row.index].hardwareCode, row.wantHardwareCode);
  }
}

TEST(NormaliseKeys, ComparesOnlyPositionsTheBuiltInTableHas) {
  Copy copy;
  EXPECT_FALSE(NormaliseKeys(nullptr, kKeyTableCount));
  EXPECT_FALSE(NormaliseKeys(copy.keys, 0));
  EXPECT_FALSE(NormaliseKeys(copy.keys, -5));

  // Positions past the count stay as they are.
  copy.keys[57].virtualKey = 0x014;
  EXPECT_TRUE(NormaliseKeys(copy.keys, 57));
  EXPECT_EQ(copy.keys[57].virtualKey, 0x014);

  // A longer table: entries past the built-in 146 are neither compared nor changed.
  const int longer = kKeyTableCount + 4;
  KeyEntry* big = static_cast<KeyEntry*>(malloc(longer * sizeof(KeyEntry)));
  ASSERT_NE(big, nullptr);
  memcpy(big, kDefaultKeys, sizeof(kDefaultKeys));
  for (int i = kKeyTableCount; i < longer; ++i) big[i] = KeyEntry{0x1E, 0, 202, 0};
  big[kKeyTableCount + 1].hardwareCode = 0x1E;
  EXPECT_TRUE(NormaliseKeys(big, longer));
  EXPECT_EQ(big[0].virtualKey, 0);
  EXPECT_EQ(big[kKeyTableCount + 1].hardwareCode, 0x1E);
  free(big);
}

TEST(MergeKeyPairs, AppliesPairsAndNormalises) {
  const struct {
    const char* name;
    Bytes pairs;
    std::vector<std::pair<uint16_t, uint16_t>> want;  // scan code -> virtualKey afterwards
  } rows[] = {
      {"reassignment", Pair(0x3A, 0x0A2), {{0x3A, 0x0A2}}},
      {"key code 0 leaves the earlier assignment", Pair(0x2A, 0), {{0x2A, 0x1A1}}},
      {"unknown scan code", Pair(0x7F, 0x020), {}},
      {"reassignment to the default reads back as 0", Pair(0x1D, 0x0A2), {}},
      {"default of another key is kept", Pair(0x38, 0x0A2), {{0x38, 0x0A2}}},
      {"E0 key", Pair(0xE05B, 0x15C), {{0xE05B, 0x15C}}},
      {"later pair wins", Join({Pair(0x3A, 0x0A2), Pair(0x3A, 0x020)}), {{0x3A, 0x020}}},
      {"bytes past the last whole pair", Join({Pair(0x3A, 0x0A2), Bytes{0x01, 0x00, 0x20}}), {{0x3A, 0x0A2}}},
      {"several keys", Join({Pair(0x01, 0x0C0), Pair(0x29, 0x01B)}), {{0x01, 0x0C0}, {0x29, 0x01B}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Copy copy;
    copy.At(0x2A).virtualKey = 0x1A1;  // an assignment made before the merge
    Copy want;
    want.At(0x2A).virtualKey = 0x1A1;
    for (const auto& w : row.want) want.At(w.first).virtualKey = w.second;

    EXPECT_TRUE(MergeKeyPairs(copy.keys, kKeyTableCount, MallocBytes(row.pairs),
                              static_cast<uint32_t>(row.pairs.size())));
    for (int i = 0; i < kKeyTableCount; ++i) EXPECT_TRUE(SameEntry(copy.keys[i], want.keys[i])) << i;
  }
}

TEST(MergeKeyPairs, ScanCodeZeroReachesNoEntry) {
  Copy copy;
  EXPECT_TRUE(MergeKeyPairs(copy.keys, kKeyTableCount, MallocBytes(Pair(0, 0x020)), 4));
  EXPECT_EQ(copy.keys[kKeyEndMarkIndex].virtualKey, 0);
  EXPECT_EQ(copy.keys[145].virtualKey, 0);
}

TEST(MergeKeyPairs, RefusesAndStillFreesTheBuffer) {
  // The sanitizer's leak check fails the run when a refused buffer is not freed.
  Copy copy;
  EXPECT_FALSE(MergeKeyPairs(copy.keys, kKeyTableCount, nullptr, 4));
  EXPECT_FALSE(MergeKeyPairs(copy.keys, kKeyTableCount, MallocBytes(Pair(0x3A, 0x0A2)), 0));
  EXPECT_FALSE(MergeKeyPairs(nullptr, kKeyTableCount, MallocBytes(Pair(0x3A, 0x0A2)), 4));
  EXPECT_FALSE(MergeKeyPairs(copy.keys, 0, MallocBytes(Pair(0x3A, 0x0A2)), 4));
  EXPECT_EQ(copy.At(0x3A).virtualKey, 0);
}

TEST(ExportKeyPairs, WritesReassignedKeysInTableOrder) {
  Copy copy;
  copy.At(0xE05B).virtualKey = 0x15C;
  copy.At(0x3A).virtualKey = 0x0A2;
  copy.At(0x01).virtualKey = 0x0C0;
  copy.At(0x1D).virtualKey = 0x0A2;                // its own default: normalised away
  copy.keys[kKeyEndMarkIndex].virtualKey = 0x020;  // behind the walk's end
  copy.keys[145].virtualKey = 0x020;
  copy.keys[145].scanCode = 0x1E;

  uint32_t size = 99;
  uint8_t* pairs = ExportKeyPairs(copy.keys, kKeyTableCount, &size);
  ASSERT_NE(pairs, nullptr);
  const Bytes want = Join({Pair(0x01, 0x0C0), Pair(0x3A, 0x0A2), Pair(0xE05B, 0x15C)});
  EXPECT_EQ(Bytes(pairs, pairs + size), want);
  EXPECT_EQ(copy.At(0x1D).virtualKey, 0);
  free(pairs);

  // Only the first 58 entries: 0x3A is entry 57, 0xE05B lies beyond.
  pairs = ExportKeyPairs(copy.keys, 58, &size);
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(Bytes(pairs, pairs + size), Join({Pair(0x01, 0x0C0), Pair(0x3A, 0x0A2)}));
  free(pairs);
}

TEST(ExportKeyPairs, EmptyExportIsAValidBuffer) {
  Copy copy;
  copy.At(0x3A).virtualKey = 0x014;  // the default: nothing to export
  uint32_t size = 99;
  uint8_t* pairs = ExportKeyPairs(copy.keys, kKeyTableCount, &size);
  EXPECT_NE(pairs, nullptr);
  EXPECT_EQ(size, 0u);
  free(pairs);
}

TEST(ExportKeyPairs, RefusalsReportSizeZero) {
  Copy copy;
  copy.At(0x3A).virtualKey = 0x0A2;
  const struct {
    const char* name;
    KeyEntry* table;
    int32_t count;
  } rows[] = {{"no table", nullptr, kKeyTableCount}, {"count 0", copy.keys, 0}, {"negative count", copy.keys, -1}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    uint32_t size = 99;
    EXPECT_EQ(ExportKeyPairs(row.table, row.count, &size), nullptr);
    EXPECT_EQ(size, 0u);
  }
  EXPECT_EQ(ExportKeyPairs(copy.keys, kKeyTableCount, nullptr), nullptr);
}

TEST(ExportKeyPairs, MergingTheExportRestoresTheTable) {
  Copy source;
  source.At(0x2A).virtualKey = 0x1A1;
  source.At(0xE038).virtualKey = 0x0A4;
  source.At(0xFF).virtualKey = 0x020;
  uint32_t size = 0;
  uint8_t* pairs = ExportKeyPairs(source.keys, kKeyTableCount, &size);
  ASSERT_NE(pairs, nullptr);
  EXPECT_EQ(size, 12u);

  Copy target;
  EXPECT_TRUE(MergeKeyPairs(target.keys, kKeyTableCount, pairs, size));
  for (int i = 0; i < kKeyTableCount; ++i) EXPECT_TRUE(SameEntry(target.keys[i], source.keys[i])) << i;
}

}  // namespace
