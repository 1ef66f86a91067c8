#include "engine/scancode_map.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Words = std::vector<uint32_t>;
using Bytes = std::vector<uint8_t>;

Bytes ToBytes(const Words& words) {
  Bytes out;
  for (uint32_t w : words) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(w >> shift));
  }
  return out;
}

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
  uint16_t Code(uint16_t scanCode) { return FindKey(keys, kKeyTableCount, scanCode)->hardwareCode; }
  bool Decode(const Bytes& value) {
    // Exactly sized, so that a read past the value's end is caught by the sanitizers.
    uint8_t* copy = static_cast<uint8_t*>(malloc(value.size() + !value.size()));
    if (!value.empty()) memcpy(copy, value.data(), value.size());
    const bool taken = DecodeScancodeMap(copy, static_cast<uint32_t>(value.size()), keys, kKeyTableCount, &foreign);
    free(copy);
    return taken;
  }
  Words Encode(bool mapRead, MapEncoding expected = MapEncoding::kValue) {
    uint8_t* value = nullptr;
    uint32_t size = 1;
    EXPECT_EQ(EncodeScancodeMap(keys, kKeyTableCount, mapRead, foreign, &value, &size), expected);
    Words out;
    for (uint32_t i = 0; i + 4 <= size; i += 4)
      out.push_back(value[i] | value[i + 1] << 8 | value[i + 2] << 16 | static_cast<uint32_t>(value[i + 3]) << 24);
    if (expected != MapEncoding::kValue) {
      EXPECT_TRUE(value == nullptr && size == 0);
    }
    free(value);
    return out;
  }
};

TEST(DecodeScancodeMap, MalformedValuesChangeNothing) {
  const struct {
    const char* name;
    Bytes value;
  } cases[] = {
      {"header only", ToBytes({0, 0, 2})},
      {"count 0", ToBytes({0, 0, 0, 0x001E0030, 0})},
      {"only the end", ToBytes(Map({}))},
      {"end missing", ToBytes({0, 0, 2, 0x001E0030})},
      {"truncated", ToBytes({0, 0, 3, 0x001E0030, 0})},
      {"count near 2^32", ToBytes({0, 0, 0xFFFFFFFF, 0x001E0030, 0})},
      {"4n+12 wraps to 28", ToBytes({0, 0, 0x40000004, 0x001E0030, 0x00540030, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    EXPECT_FALSE(t.Decode(c.value));
    EXPECT_EQ(t.Code(0x1E), 0);
    EXPECT_EQ(t.foreign.count, 0u);
  }
  Table t;
  const Bytes valid = ToBytes(Map({0x001E0030}));
  EXPECT_FALSE(DecodeScancodeMap(nullptr, 20, t.keys, kKeyTableCount, &t.foreign));
  EXPECT_FALSE(DecodeScancodeMap(valid.data(), 20, nullptr, kKeyTableCount, &t.foreign));
  EXPECT_FALSE(DecodeScancodeMap(valid.data(), 20, t.keys, 0, &t.foreign));
}

TEST(DecodeScancodeMap, TakesKnownKeysAndKeepsForeignOnesFromZeroHeaderOnly) {
  const Words entries = {0x001E0030, 0x001F0000, 0xE05BE05C, 0x00200020, 0x00540031, 0x002100FF, 0x00000022};
  const struct {
    uint32_t version, flags;
    bool keepsForeign;
  } headers[] = {{0, 0, true}, {1, 0, false}, {0, 1, false}};
  for (const auto& h : headers) {
    SCOPED_TRACE(testing::Message() << h.version << "/" << h.flags);
    Words map = Map(entries);
    map[0] = h.version;
    map[1] = h.flags;
    map.back() = 0x12345678;  // the end word is not examined
    map.push_back(0xFFFFFFFF);  // nor bytes past it
    Table t;
    ASSERT_TRUE(t.Decode(ToBytes(map)));
    EXPECT_EQ(t.Code(0x1E), 0x30);
    EXPECT_EQ(t.Code(0x1F), 255);  // sends nothing: switched off
    EXPECT_EQ(t.Code(0xE05B), 0xE05C);
    EXPECT_EQ(t.Code(0x20), 0);  // sent as itself: normalised away
    EXPECT_EQ(t.Code(0x21), 0);  // sending 255 is not "switched off"
    const Words kept = h.keepsForeign ? Words{0x00540031, 0x002100FF} : Words{};
    EXPECT_EQ(Words(t.foreign.entries, t.foreign.entries + t.foreign.count), kept);
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

  t.keys[5].hardwareCode = 255;                                    // key 6, off: written as 0
  FindKey(t.keys, kKeyTableCount, 0xE05D)->hardwareCode = 0xE01D;  // E0 key
  FindKey(t.keys, kKeyTableCount, 0x02)->hardwareCode = 0x03;      // overrides foreign 0x000200FF
  EXPECT_EQ(t.Encode(false), Map({0x00020003, 0x00060000, 0xE05DE01D, 0x00540031, 0x0059003A}));

  t.foreign.incomplete = true;
  t.Encode(true, MapEncoding::kFailed);
  t.foreign.incomplete = false;
  t.foreign.count = 0x3FFFFFFD;  // with ours and the end, 12 + 4 * entries passes 2^32
  t.Encode(true, MapEncoding::kFailed);
  t.foreign = ScancodeMapExtras();
}

TEST(ScancodeMap, RoundTrip) {
  const Words written = Map({0x00010000, 0x001E0030, 0xE11D0046, 0x00540031, 0x002100FF});
  Table first;
  ASSERT_TRUE(first.Decode(ToBytes(written)));
  EXPECT_EQ(first.Encode(true), written);
  Table second;
  ASSERT_TRUE(second.Decode(ToBytes(first.Encode(false))));
  for (int i = 0; i < kKeyTableCount; ++i) EXPECT_EQ(first.keys[i].hardwareCode, second.keys[i].hardwareCode) << i;
  EXPECT_EQ(second.Encode(false), written);
}

}  // namespace
