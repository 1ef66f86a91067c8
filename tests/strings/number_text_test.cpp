#include "strings/number_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/strings/text_helpers.h"

namespace {

int Length16(const WChar* p) {
  int n = 0;
  while (p[n] != 0) ++n;
  return n;
}

struct HexRow {
  const WChar* text;
  bool ok;
  uint32_t value;
};

TEST(ReadHexNumber, ReadsAsScanfHexDoes) {
  const HexRow rows[] = {
      {U16("0415"), true, 0x415},
      {U16("0409"), true, 0x409},
      {U16("ffff"), true, 0xffff},
      {U16("AbCd"), true, 0xabcd},
      {U16("  \t\r\n 12"), true, 0x12},
      {U16("0x1F"), true, 0x1f},
      {U16("0X1f"), true, 0x1f},
      {U16("+7"), true, 7},
      {U16("-1"), true, 0xFFFFFFFFu},
      {U16("-10"), true, 0xFFFFFFF0u},
      {U16("415 trailing"), true, 0x415},
      {U16("12g4"), true, 0x12},
      {U16("0xg"), true, 0},  // the "0" before the "x" is the number
      {U16("0x"), true, 0},
      {U16("FFFFFFFF"), true, 0xFFFFFFFFu},
      {U16("00000000FFFFFFFF"), true, 0xFFFFFFFFu},  // leading zeros never overflow
      {U16("100000000"), true, 0xFFFFFFFFu},         // past 32 bits: the largest value
      {U16("-100000000"), true, 0xFFFFFFFFu},
      {U16(""), false, 0},
      {U16("   "), false, 0},
      {U16("x12"), false, 0},
      {U16("-"), false, 0},
      {U16("+x"), false, 0},
      {U16("- 1"), false, 0},
      {U16("\x0410"), false, 0},  // a non-Latin letter is no digit
  };
  for (const HexRow& row : rows) {
    uint32_t value = 0xDEADBEEF;
    EXPECT_EQ(ReadHexNumber(row.text, &value), row.ok) << Utf8Of(row.text, Length16(row.text));
    EXPECT_EQ(value, row.ok ? row.value : 0xDEADBEEF) << Utf8Of(row.text, Length16(row.text));
  }
}

TEST(ReadHexNumber, NullArguments) {
  uint32_t value = 5;
  EXPECT_FALSE(ReadHexNumber(nullptr, &value));
  EXPECT_EQ(value, 5u);
  EXPECT_FALSE(ReadHexNumber(U16("12"), nullptr));
}

}  // namespace
