#include "strings/utf8.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Utf8Codec, CountAndDecodeAgree) {
  struct Row {
    const char* bytes;
    int count;    // sequences by lead byte
    int decoded;  // units, or -1 when the text is refused
  } rows[] = {
      {"abc", 3, 3},
      {"\xC3\xA9", 1, 1},
      {"\xE2\x82\xAC", 1, 1},
      {"\xF0\x9F\x98\x80", 1, -1},  // 4-byte sequences have no single unit
      {"\xE2\x82", 1, -1},          // cut off by the end
      {"a\xC3", 2, -1},
      {"\x80", 1, -1},              // continuation where a lead belongs
      {"\xC3\x28", 1, -1},          // bad continuation byte
      {"\xE2\x28\xA1", 1, -1},
      {"\xF8", 1, -1},
      {"\xED\xA0\xBD", 1, 1},       // a lone surrogate decodes to its unit
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.bytes);
    const int n = static_cast<int>(strlen(r.bytes));
    EXPECT_EQ(Utf8Count(r.bytes, n), r.count);
    WChar out[8] = {};
    EXPECT_EQ(Utf8Decode(r.bytes, n, out, 8), r.decoded);
  }
}

TEST(Utf8Codec, DecodeNeverWritesPastItsRoom) {
  WChar out[3] = {0x1111, 0x2222, 0x3333};
  EXPECT_EQ(Utf8Decode("abc", 3, out, 2), -1);
  EXPECT_EQ(out[2], 0x3333);
}

TEST(Utf8Codec, EveryUnitRoundTrips) {
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    const WChar unit = static_cast<WChar>(u);
    char bytes[3];
    const int size = Utf8Encode(&unit, 1, bytes);
    ASSERT_EQ(size, Utf8Size(&unit, 1));
    ASSERT_EQ(Utf8Count(bytes, size), 1);
    WChar back = 0;
    ASSERT_EQ(Utf8Decode(bytes, size, &back, 1), 1) << u;
    ASSERT_EQ(back, unit);
  }
}

TEST(Utf8Skip, StepsByLeadBytes) {
  const char* text = "a\xC3\xA9" "b\xE2\x82\xAC" "c";
  EXPECT_EQ(Utf8Skip(text, -1, 0), text);
  EXPECT_EQ(Utf8Skip(text, -1, 1), text + 1);
  EXPECT_EQ(Utf8Skip(text, -1, 2), text + 3);
  EXPECT_EQ(Utf8Skip(text, -1, 4), text + 7);
  EXPECT_EQ(Utf8Skip(text, -1, 5), nullptr);  // the whole text fits
  EXPECT_EQ(Utf8Skip(text, -1, -1), nullptr);
  EXPECT_EQ(Utf8Skip(text, 0, 1), nullptr);
  // A byte that cannot lead ends the walk four bytes on, never past the end.
  const char* damaged = "a\x80zzzzz";
  EXPECT_EQ(Utf8Skip(damaged, -1, 3), damaged + 5);
  const char* shortBad = "a\x80z";
  EXPECT_EQ(Utf8Skip(shortBad, 3, 2), nullptr);
}

}  // namespace
