#include "engine/layout_patch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "strings/gstring.h"

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Patterns from their texts ------------------------------------------------------------

TEST(HexTextToBytes, DigitPairs) {
  const struct {
    const WChar* text;
    bool decodes;
    Bytes bytes;
    int32_t count;
  } rows[] = {
      {U16("1D00FF"), true, {0x1D, 0x00, 0xFF}, 3},
      {U16("0A1"), true, {0x0A}, 1},  // an odd last digit is ignored...
      {U16("0Az"), true, {0x0A}, 1},  // ...whatever it is
      {U16("A"), true, {}, 0},        // a buffer with count 0: the caller rejects it
      {U16(""), false, {}, 0},
      {U16("1d00"), false, {}, 2},  // upper case only
      {U16("1G00"), false, {}, 2},
      {U16(" 1D0"), false, {}, 2},
      {U16("00\u00C4"), false, {}, 2},  // counted in the narrow (UTF-8) form: 4 bytes
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "row " << (&row - rows));
    GString text;
    text.AssignWideZ(row.text);
    int32_t count = -7;
    uint8_t* bytes = HexTextToBytes(text, &count);
    EXPECT_EQ(count, row.count);
    ASSERT_EQ(bytes != nullptr, row.decodes);
    if (bytes) {
      EXPECT_EQ(Bytes(bytes, bytes + count), row.bytes);
    }
    free(bytes);
  }
  GString text;
  text.AssignWideZ(U16("00"));
  EXPECT_EQ(HexTextToBytes(text, nullptr), nullptr);
}

// ---- Crafted images -----------------------------------------------------------------------

enum Section { kMain, kE0, kE1, kDecimal, kSections };

// Each section starts with its pattern; 16 filler bytes before the first, 4 after the last.
//   main: 127 u16 entries, 0x00FF, 0x001B, then 0x0200 | n
//   E0:   {1C 0D01} {35 016F} {5B 015B} end, then {47 0124} after the end record
//   E1:   {1D 0013} end
//   decimal: "." "." as u16
Bytes SectionBytes(Section s) {
  switch (s) {
    case kMain: {
      Bytes b = {0xFF, 0x00, 0x1B, 0x00};
      for (int n = 2; n < kMainTableEntries; ++n) b.insert(b.end(), {static_cast<uint8_t>(n), 0x02});
      return b;
    }
    case kE0:
      return {0x1C, 0, 0x0D, 0x01, 0x35, 0, 0x6F, 0x01, 0x5B, 0, 0x5B, 0x01, 0, 0, 0, 0, 0x47, 0, 0x24, 0x01};
    case kE1: return {0x1D, 0, 0x13, 0x00, 0, 0, 0, 0};
    default: return {0x2E, 0x00, 0x2E, 0x00};
  }
}

// Bytes of a section that must lie inside the image (the E0 record after the end is not needed).
uint32_t NeededBytes(Section s) { return s == kMain ? 254 : s == kE0 ? 16 : s == kE1 ? 8 : 4; }

LayoutPatterns PatternsOf(const Bytes (&pattern)[kSections]) {
  LayoutPatterns p;
  p.mainTable = pattern[kMain].data();
  p.mainTableSize = static_cast<int32_t>(pattern[kMain].size());
  p.e0List = pattern[kE0].data();
  p.e0ListSize = static_cast<int32_t>(pattern[kE0].size());
  p.e1List = pattern[kE1].data();
  p.e1ListSize = static_cast<int32_t>(pattern[kE1].size());
  p.decimalKey = pattern[kDecimal].data();
  p.decimalKeySize = static_cast<int32_t>(pattern[kDecimal].size());
  return p;
}

struct Crafted {
  Bytes image;
  uint32_t at[kSections] = {};
  Bytes pattern[kSections] = {{0xFF, 0x00, 0x1B, 0x00}, {0x1C, 0x00, 0x0D, 0x01}, {0x1D, 0x00, 0x13, 0x00},
                              {0x2E, 0x00, 0x2E, 0x00}};

  explicit Crafted(std::vector<Section> order = {kMain, kE0, kE1, kDecimal}) {
    image.assign(16, 0xCC);
    for (Section s : order) {
      at[s] = static_cast<uint32_t>(image.size());
      const Bytes b = SectionBytes(s);
      image.insert(image.end(), b.begin(), b.end());
    }
    image.insert(image.end(), 4, 0xCC);
  }
  LayoutPatterns Patterns() const { return PatternsOf(pattern); }
  bool Patch(const std::vector<KeyEntry>& keys, int32_t decimalKey) {
    return PatchLayoutImage(image.data(), static_cast<uint32_t>(image.size()), Patterns(), keys.data(),
                            static_cast<int32_t>(keys.size()), decimalKey);
  }
};

struct Write {
  Section section;
  uint32_t offset;
  uint16_t value;  // little-endian
};

TEST(PatchLayoutImage, WritesWhatTheRulesSay) {
  const struct {
    const char* name;
    std::vector<KeyEntry> keys;
    int32_t decimalKey;
    std::vector<Write> writes;
  } rows[] = {
      {"main table by scan code",
       {{0x10, 0x0041, 0, 0}, {0x00, 0x0111, 0, 0}, {0x7E, 0x0C2E, 0, 0}},
       1,
       {{kMain, 0x20, 0x0041}, {kMain, 0x00, 0x0111}, {kMain, 0xFC, 0x0C2E}}},
      {"0x7F and above (outside E0/E1), and virtual key 0, change nothing",
       {{0x7F, 1, 0, 0}, {0xFF, 1, 0, 0}, {0xDFFF, 1, 0, 0}, {0xE200, 1, 0, 0}, {0xFFFF, 1, 0, 0}, {0x10, 0, 0, 0}},
       1,
       {}},
      {"the later of two entries wins",
       {{0x10, 0x0041, 0, 0}, {0x10, 0x0042, 0, 0}, {0xE05B, 0x015C, 0, 0}, {0xE05B, 0x015D, 0, 0}},
       1,
       {{kMain, 0x20, 0x0042}, {kE0, 10, 0x015D}}},
      {"E0 records by the low byte", {{0xE01C, 0x0120, 0, 0}, {0xE035, 0x0121, 0, 0}}, 1,
       {{kE0, 2, 0x0120}, {kE0, 6, 0x0121}}},
      {"E0 walk stops at the end record; absent keys change nothing",
       {{0xE047, 0x0122, 0, 0}, {0xE000, 0x0123, 0, 0}, {0xE05C, 0x0124, 0, 0}},
       1,
       {}},
      {"E1 list only for E1 keys",
       {{0xE11D, 0x0091, 0, 0}, {0xE11C, 0x0001, 0, 0}, {0xE01D, 0x0002, 0, 0}},
       1,
       {{kE1, 2, 0x0091}}},
      {"decimal comma without keys", {}, 0, {{kDecimal, 0, 0x002C}, {kDecimal, 2, 0x002C}}},
      {"decimal key other than 0 keeps the characters", {{0x10, 0x0041, 0, 0}}, -1, {{kMain, 0x20, 0x0041}}},
      // Keys that write a copy of a later pattern into the scan-code table do not move that
      // table: every table is found before the first byte changes.
      {"tables are found in the image as it came",
       {{0x05, 0x002E, 0, 0}, {0x06, 0x002E, 0, 0}},
       0,
       {{kMain, 10, 0x002E}, {kMain, 12, 0x002E}, {kDecimal, 0, 0x002C}, {kDecimal, 2, 0x002C}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Crafted c;
    Bytes expected = c.image;
    for (const Write& w : row.writes) {
      expected[c.at[w.section] + w.offset] = static_cast<uint8_t>(w.value);
      expected[c.at[w.section] + w.offset + 1] = static_cast<uint8_t>(w.value >> 8);
    }
    EXPECT_TRUE(c.Patch(row.keys, row.decimalKey));
    EXPECT_EQ(c.image, expected);
  }
}

TEST(PatchLayoutImage, UnreassignedTableAndKeptDecimalKeyLeaveTheImageAlone) {
  KeyEntry* copy = NewKeyTableCopy();
  ASSERT_NE(copy, nullptr);
  Crafted c;
  const Bytes before = c.image;
  EXPECT_TRUE(PatchLayoutImage(c.image.data(), static_cast<uint32_t>(c.image.size()), c.Patterns(), copy,
                               kKeyTableCount, 1));
  EXPECT_EQ(c.image, before);
  // The table patterns must still be found.
  LayoutPatterns noMain = c.Patterns();
  noMain.mainTable = nullptr;
  EXPECT_FALSE(PatchLayoutImage(c.image.data(), static_cast<uint32_t>(c.image.size()), noMain, copy,
                                kKeyTableCount, 1));
  free(copy);
  // Patterns a step does not need may be missing.
  EXPECT_TRUE(PatchLayoutImage(c.image.data(), static_cast<uint32_t>(c.image.size()), LayoutPatterns(), nullptr,
                               0, 1));
  EXPECT_EQ(c.image, before);
}

TEST(PatchLayoutImage, MissingOrUnmatchedPatternFailsWithoutWriting) {
  const struct {
    const char* name;
    Section section;
    Bytes pattern;
  } rows[] = {
      {"main missing", kMain, {}},
      {"main not found", kMain, {0xFF, 0x00, 0x1B, 0x01}},
      {"E0 missing", kE0, {}},
      {"E1 not found", kE1, {0x1D, 0x00, 0x13, 0x01}},
      {"decimal missing", kDecimal, {}},
      {"decimal not found", kDecimal, {0x2C, 0x00}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Crafted c;
    c.pattern[row.section] = row.pattern;
    const Bytes before = c.image;
    EXPECT_FALSE(c.Patch({{0x10, 0x0041, 0, 0}, {0xE05B, 0x015D, 0, 0}, {0xE11D, 0x0091, 0, 0}}, 0));
    EXPECT_EQ(c.image, before);
  }
  uint8_t byte = 0;
  EXPECT_FALSE(PatchLayoutImage(nullptr, 0, LayoutPatterns(), nullptr, 0, 1));
  EXPECT_FALSE(PatchLayoutImage(&byte, 1, LayoutPatterns(), nullptr, 0, 0));
}

// Each section last in the image, cut to exactly what it needs, then one byte less.
TEST(PatchLayoutImage, SectionReachingPastTheEndFailsWithoutWriting) {
  for (Section s : {kMain, kE0, kE1, kDecimal}) {
    for (uint32_t cut : {0u, 1u}) {
      SCOPED_TRACE(testing::Message() << "section " << s << ", cut " << cut);
      std::vector<Section> order;
      for (Section other : {kMain, kE0, kE1, kDecimal})
        if (other != s) order.push_back(other);
      order.push_back(s);
      Crafted c(order);
      c.image.resize(c.at[s] + NeededBytes(s) - cut);
      const Bytes before = c.image;
      EXPECT_EQ(c.Patch({{0x10, 0x0041, 0, 0}, {0xE11D, 0x0091, 0, 0}}, 0), cut == 0);
      if (cut) {
        EXPECT_EQ(c.image, before);
      }
    }
  }
}

// ---- Third-party layout libraries ---------------------------------------------------------

#ifdef SETUP_THIRD_PARTY_LAYOUTS
bool ReadFile(const std::string& path, Bytes* out) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) out->insert(out->end(), chunk, chunk + n);
  fclose(f);
  return true;
}

Bytes Decode(const WChar* hex) {
  GString text;
  text.AssignWideZ(hex);
  int32_t count = 0;
  uint8_t* bytes = HexTextToBytes(text, &count);
  Bytes out = bytes ? Bytes(bytes, bytes + count) : Bytes();
  free(bytes);
  return out;
}

// Plain forward search, independent of the code under test.
int32_t Find(const Bytes& image, const Bytes& pattern) {
  for (size_t i = 0; !pattern.empty() && i + pattern.size() <= image.size(); ++i)
    if (std::equal(pattern.begin(), pattern.end(), image.begin() + i)) return static_cast<int32_t>(i);
  return -1;
}

uint32_t RecordOf(const Bytes& image, int32_t list, uint8_t scanCode) {
  uint32_t at = static_cast<uint32_t>(list);
  while (image.at(at) != scanCode) at += 4;
  return at;
}

TEST(ThirdPartyLayouts, PatternsFoundAndPatchVerified) {
  std::string folder = SETUP_THIRD_PARTY_LAYOUTS;
#ifdef _WIN32
  folder = "Z:" + folder;  // Wine maps the host's root to drive Z
#endif
  const char* files[] = {"ltenh/i386/ltenh.dll",   "ltenh/wow64/ltenh.dll",   "ltenh/amd64/ltenh.dll",
                         "ltenh/ia64/ltenh.dll",   "ltenhd/i386/ltenhd.dll", "ltenhd/wow64/ltenhd.dll",
                         "ltenhd/amd64/ltenhd.dll", "ltenhd/ia64/ltenhd.dll"};
  // The same patterns fit every edition, 32-bit and 64-bit; the decimal pattern is the key's
  // current characters, "." or ",".
  Bytes pattern[kSections] = {Decode(U16("FF001B00310032003300")), Decode(U16("1000B1011900B001")),
                              Decode(U16("1D001300")), {}};
  const Bytes decimals[] = {Decode(U16("2E002E00")), Decode(U16("2C002C00"))};

  KeyEntry* keys = NewKeyTableCopy();
  ASSERT_NE(keys, nullptr);
  const KeyEntry reassigned[] = {{0x10, 0x0041, 0, 0}, {0x3A, 0x00A2, 0, 0}, {0xE05B, 0x015D, 0, 0},
                                 {0xE11D, 0x0091, 0, 0}};
  for (const KeyEntry& r : reassigned) FindKey(keys, kKeyTableCount, r.scanCode)->virtualKey = r.virtualKey;

  for (const char* file : files) {
    SCOPED_TRACE(file);
    Bytes image;
    if (!ReadFile(folder + "/" + file, &image)) {
      free(keys);
      GTEST_SKIP() << "third-party layouts absent: " << folder << "/" << file;
    }
    pattern[kDecimal] = Find(image, decimals[0]) >= 0 ? decimals[0] : decimals[1];
    const LayoutPatterns p = PatternsOf(pattern);
    int32_t at[kSections];
    for (int s = 0; s < kSections; ++s) ASSERT_GE(at[s] = Find(image, pattern[s]), 0) << s;

    Bytes expected = image;
    auto put = [&](uint32_t offset, uint16_t value) {
      expected.at(offset) = static_cast<uint8_t>(value);
      expected.at(offset + 1) = static_cast<uint8_t>(value >> 8);
    };
    put(at[kMain] + 2 * 0x10, 0x0041);
    put(at[kMain] + 2 * 0x3A, 0x00A2);
    put(RecordOf(image, at[kE0], 0x5B) + 2, 0x015D);
    put(RecordOf(image, at[kE1], 0x1D) + 2, 0x0091);
    put(at[kDecimal], ',');
    put(at[kDecimal] + 2, ',');
    size_t changed = 0;
    for (size_t i = 0; i < image.size(); ++i) changed += image[i] != expected[i];

    Bytes unchanged = image;
    KeyEntry* zero = NewKeyTableCopy();
    EXPECT_TRUE(PatchLayoutImage(unchanged.data(), static_cast<uint32_t>(unchanged.size()), p, zero,
                                 kKeyTableCount, 1));
    free(zero);
    EXPECT_EQ(unchanged, image);

    EXPECT_TRUE(PatchLayoutImage(image.data(), static_cast<uint32_t>(image.size()), p, keys, kKeyTableCount, 0));
    EXPECT_EQ(image, expected);
    printf("  %-24s main 0x%X, E0 0x%X, E1 0x%X, decimal 0x%X: %u bytes changed\n", file,
           static_cast<unsigned>(at[kMain]), static_cast<unsigned>(at[kE0]), static_cast<unsigned>(at[kE1]),
           static_cast<unsigned>(at[kDecimal]), static_cast<unsigned>(changed));
  }
  free(keys);
}
#else
TEST(ThirdPartyLayouts, PatternsFoundAndPatchVerified) {
  GTEST_SKIP() << "no folder of third-party layouts configured";
}
#endif

}  // namespace
