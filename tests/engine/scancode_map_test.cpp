#include "engine/scancode_map.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

using Words = std::vector<uint32_t>;

// A well-formed map: zero header, the count, the entries, the zero end.
Words Map(const Words& entries) {
  Words out = {0, 0, static_cast<uint32_t>(entries.size() + 1)};
  out.insert(out.end(), entries.begin(), entries.end());
  out.push_back(0);
  return out;
}

struct Table {
  KeyEntry* keys = NewKeyTableCopy();
  ScancodeMapExtras foreign;
  ~Table() {
    free(keys);
    FreeScancodeMapExtras(&foreign);
  }
  uint16_t& Code(uint16_t scanCode) { return FindKey(keys, kKeyTableCount, scanCode)->hardwareCode; }
  // Little-endian bytes in an exactly sized buffer, so that the sanitizers catch a read past it.
  bool Decode(const Words& map, uint32_t cut = 0) {
    const uint32_t size = static_cast<uint32_t>(map.size() * 4) - cut;
    uint8_t* value = static_cast<uint8_t*>(malloc(size));
    for (uint32_t i = 0; i < size; ++i) value[i] = static_cast<uint8_t>(map[i / 4] >> (i % 4 * 8));
    const bool taken = DecodeScancodeMap(value, size, keys, kKeyTableCount, &foreign);
    free(value);
    return taken;
  }
  Words Encode(bool mapRead, MapEncoding expected = MapEncoding::kValue) {
    uint8_t* value = nullptr;
    uint32_t size = 1;
    EXPECT_EQ(EncodeScancodeMap(keys, kKeyTableCount, mapRead, foreign, &value, &size), expected);
    EXPECT_EQ(value == nullptr && size == 0, expected != MapEncoding::kValue);
    Words out(size / 4);
    for (uint32_t i = 0; i < size; ++i) out[i / 4] |= static_cast<uint32_t>(value[i]) << (i % 4 * 8);
    free(value);
    return out;
  }
};

TEST(DecodeScancodeMap, MalformedValuesChangeNothing) {
  const struct {
    const char* name;
    Words map;
    uint32_t cut;
  } cases[] = {
      {"header only", {0, 0, 2}, 0},
      {"count 0", {0, 0, 0, 0x001E0030, 0}, 0},
      {"only the end", Map({}), 0},
      {"end missing", Map({0x001E0030}), 1},
      {"truncated", {0, 0, 3, 0x001E0030, 0}, 0},
      {"count near 2^32", {0, 0, 0xFFFFFFFF, 0x001E0030, 0}, 0},
      {"4n+12 wraps to 28", {0, 0, 0x40000004, 0x001E0030, 0x00540031, 0}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    EXPECT_FALSE(t.Decode(c.map, c.cut));
    EXPECT_EQ(t.Code(0x1E), 0);
    EXPECT_EQ(t.foreign.count, 0u);
  }
  // No value, no table, an empty table.
  Table t;
  uint8_t valid[20] = {0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0x30, 0, 0x1E, 0, 0, 0, 0, 0};
  EXPECT_FALSE(DecodeScancodeMap(nullptr, 20, t.keys, kKeyTableCount, &t.foreign));
  EXPECT_FALSE(DecodeScancodeMap(valid, 20, nullptr, kKeyTableCount, &t.foreign));
  EXPECT_FALSE(DecodeScancodeMap(valid, 20, t.keys, 0, &t.foreign));
  EXPECT_EQ(t.Code(0x1E), 0);
}

TEST(DecodeScancodeMap, TakesKnownKeysAndKeepsForeignOnesFromZeroHeaderOnly) {
  const struct {
    uint32_t version, flags;
    Words foreign;
  } headers[] = {{0, 0, {0x00540031, 0x002100FF}}, {1, 0, {}}, {0, 1, {}}};
  for (const auto& h : headers) {
    SCOPED_TRACE(testing::Message() << h.version << "/" << h.flags);
    Words map = Map({0x001E0030, 0x001F0000, 0xE05BE05C, 0x00200020, 0x00540031, 0x002100FF, 0x00000022});
    map[0] = h.version;
    map[1] = h.flags;
    map.back() = 0x12345678;    // the end word is not examined
    map.push_back(0xFFFFFFFF);  // nor bytes past it
    Table t;
    ASSERT_TRUE(t.Decode(map));
    EXPECT_EQ(t.Code(0x1E), 0x30);
    EXPECT_EQ(t.Code(0x1F), 255);  // sends nothing: switched off
    EXPECT_EQ(t.Code(0xE05B), 0xE05C);
    EXPECT_EQ(t.Code(0x20), 0);  // sent as itself: normalised away
    EXPECT_EQ(t.Code(0x21), 0);  // sending 255 is not "switched off"
    EXPECT_EQ(Words(t.foreign.entries, t.foreign.entries + t.foreign.count), h.foreign);
  }
}

TEST(EncodeScancodeMap, WritesOursInTableOrderThenForeign) {
  Table t;
  t.Encode(false, MapEncoding::kNothingToWrite);
  EXPECT_EQ(t.Encode(true), Map({}));
  uint32_t foreign[] = {0x00540031, 0x000200FF, 0x0059003A};
  t.foreign.entries = foreign;
  t.foreign.count = 3;
  EXPECT_EQ(t.Encode(false), Map({0x00540031, 0x000200FF, 0x0059003A}));

  t.Code(0x06) = 255;  // off: written as 0
  t.Code(0xE05D) = 0xE01D;
  t.Code(0x02) = 0x03;  // overrides foreign 0x000200FF
  EXPECT_EQ(t.Encode(false), Map({0x00020003, 0x00060000, 0xE05DE01D, 0x00540031, 0x0059003A}));

  t.foreign.incomplete = true;
  t.Encode(true, MapEncoding::kFailed);
  t.foreign.incomplete = false;
  t.foreign.count = 0x3FFFFFFD;  // with ours and the end, 12 + 4 * entries passes 2^32
  t.Encode(true, MapEncoding::kFailed);
  t.foreign = ScancodeMapExtras();
}

TEST(ScancodeMap, RoundTrip) {
  const Words map = Map({0x00010000, 0x001E0030, 0xE11D0046, 0x00540031, 0x002100FF});
  Table first, second;
  ASSERT_TRUE(first.Decode(map));
  EXPECT_EQ(first.Encode(true), map);
  ASSERT_TRUE(second.Decode(first.Encode(false)));
  for (int i = 0; i < kKeyTableCount; ++i) EXPECT_EQ(first.keys[i].hardwareCode, second.keys[i].hardwareCode) << i;
  EXPECT_EQ(second.Encode(false), map);
}

}  // namespace
