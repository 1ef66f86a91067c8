#include "strings/search.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include <gtest/gtest.h>

namespace {

// The first n elements of s (at most up to and including its terminator), widened to T, in a
// heap block of exactly that size: under ASan any read past them is reported. With n = INT_MAX
// the whole literal is there, so text past a given length can be (wrongly) matched.
template <typename T>
std::unique_ptr<T[]> Copy(const char* s, int n) {
  n = std::max(0, std::min(n, static_cast<int>(std::strlen(s)) + 1));
  std::unique_ptr<T[]> block(new T[n]);
  for (int i = 0; i < n; ++i) block[i] = static_cast<T>(static_cast<unsigned char>(s[i]));
  return block;
}

struct FindRow {
  const char* name;
  const char* data;
  int dataLen;
  const char* pattern;
  int patLen;
  int from;     // also the low bound of the reverse search
  int forward;  // FindBytes and FindUnits
  int reverse;  // FindBytesReverse
};

TEST(Find, ForwardAndReverse) {
  const FindRow kRows[] = {
      {"match ending at the last byte", "abcdefghij", 10, "ij", 2, 8, 8, 8},
      {"from leaves no room for the pattern", "abcdefghij", 10, "ij", 2, 9, -1, -1},
      {"from is past the only match", "abcdefghij", 10, "ab", 2, 1, -1, -1},
      {"several matches", "abcabcab", 8, "ab", 2, 0, 0, 6},
      {"from skips the first match", "abcabcab", 8, "ab", 2, 1, 3, 6},
      {"match exactly at the bound", "xxabxx", 6, "ab", 2, 2, 2, 2},
      {"bound one past the match", "xxabxx", 6, "ab", 2, 3, -1, -1},
      {"overlapping matches", "aaaa", 4, "aa", 2, 0, 0, 2},
      {"partial match just before the real one", "ababaab", 7, "aab", 3, 0, 4, 4},
      {"pattern is the whole range", "abc", 3, "abc", 3, 0, 0, 0},
      {"pattern longer than the range", "ab", 2, "abc", 3, 0, -1, -1},
      {"bytes from 0x80 up", "\x80\xff\x80\x7f", 4, "\xff\x80", 2, 0, 1, 1},
      {"match needs the byte past the range", "xxxab", 4, "ab", 2, 0, -1, -1},
      {"pattern text beyond patLen ignored", "xxaxx", 5, "ab", 1, 0, 2, 2},
      {"empty pattern is not found", "abc", 3, "abc", 0, 0, -1, -1},
      {"empty range", "abc", 0, "a", 1, 0, -1, -1},
      {"negative from", "abc", 3, "a", 1, -1, -1, -1},
      {"from near INT_MAX", "abc", 3, "a", 1, INT_MAX, -1, -1},
      {"from + patLen overflows", "abc", 3, "ab", 2, INT_MAX - 1, -1, -1},
      {"patLen near INT_MAX", "abc", 3, "ab", INT_MAX, 1, -1, -1},
  };
  for (const FindRow& row : kRows) {
    SCOPED_TRACE(row.name);
    for (int dataCopy : {INT_MAX, row.dataLen}) {
      for (int patCopy : {INT_MAX, row.patLen}) {
        const auto d = Copy<unsigned char>(row.data, dataCopy);
        const auto p = Copy<unsigned char>(row.pattern, patCopy);
        EXPECT_EQ(FindBytes(d.get(), p.get(), row.dataLen, row.patLen, row.from), row.forward);
        EXPECT_EQ(FindBytesReverse(d.get(), p.get(), row.dataLen, row.patLen, row.from),
                  row.reverse);
        const auto t = Copy<WChar>(row.data, dataCopy), u = Copy<WChar>(row.pattern, patCopy);
        EXPECT_EQ(FindUnits(t.get(), u.get(), row.dataLen, row.patLen, row.from), row.forward);
      }
    }
  }
}

struct ElementRow {
  const char* name;
  const char* data;
  int dataLen;
  int value;
  int lowBound;
  int expected;
};

TEST(Find, LastElement) {
  const ElementRow kRows[] = {
      {"at the last position", "abcab", 5, 'b', 0, 4},
      {"value only past the range", "abcab", 4, 'b', 0, 1},
      {"at the low bound", "bxx", 3, 'b', 0, 0},
      {"only below the low bound", "bxx", 3, 'b', 1, -1},
      {"low bound at the last position", "xxb", 3, 'b', 2, 2},
      {"low bound equal to the length", "abcab", 4, 'b', 4, -1},
      {"negative low bound", "abc", 3, 'a', -1, -1},
      {"empty range", "abc", 0, 'a', 0, -1},
      {"high byte", "a\xff" "b", 3, 0xFF, 0, 1},
  };
  for (const ElementRow& row : kRows) {
    SCOPED_TRACE(row.name);
    for (int copy : {INT_MAX, row.dataLen}) {
      const auto d = Copy<unsigned char>(row.data, copy);
      EXPECT_EQ(FindByteReverse(d.get(), row.value, row.dataLen, row.lowBound), row.expected);
      const auto t = Copy<WChar>(row.data, copy);
      EXPECT_EQ(FindUnitReverse(t.get(), static_cast<WChar>(row.value), row.dataLen, row.lowBound),
                row.expected);
    }
  }
  // Only the low 8 bits of the value count.
  const unsigned char data[] = {0x00, 0x61, 0xFF, 0x00};
  EXPECT_EQ(FindByteReverse(data, 0x161, 4, 0), 1);
  EXPECT_EQ(FindByteReverse(data, -1, 4, 0), 2);
  EXPECT_EQ(FindByteReverse(data, 0x100, 4, 0), 3);
  // Units are whole 16-bit values, not their low bytes.
  const WChar units[] = {0xFF41, 0x0041, 0x8041};
  EXPECT_EQ(FindUnitReverse(units, 0xFF41, 3, 0), 0);
}

struct CompareRow {
  const char* name;
  const char* a;
  int lenA;
  const char* b;
  int lenB;
  int expected;
};

TEST(Compare, LengthThenContent) {
  const CompareRow kRows[] = {
      {"shorter orders first whatever its content", "zz", 2, "aaa", 3, -1},
      {"equal length, second element decides", "ab", 2, "aa", 2, 1},
      {"last element decides", "abc", 3, "abd", 3, -1},
      {"equal", "abc", 3, "abc", 3, 0},
      {"both empty", "a", 0, "b", 0, 0},
      {"empty against non-empty", "", 0, "a", 1, -1},
      {"negative length is empty", "a", -5, "", 0, 0},
      {"bytes from 0x80 up are larger", "\x80", 1, "\x7f", 1, 1},
      {"0xff is the largest byte", "a\xff", 2, "a\x01", 2, 1},
      {"content past the lengths ignored", "abX", 2, "abY", 2, 0},
  };
  for (const CompareRow& row : kRows) {
    SCOPED_TRACE(row.name);
    for (bool exact : {false, true}) {
      const auto a = Copy<unsigned char>(row.a, exact ? row.lenA : INT_MAX);
      const auto b = Copy<unsigned char>(row.b, exact ? row.lenB : INT_MAX);
      EXPECT_EQ(CompareBytes(a.get(), b.get(), row.lenA, row.lenB), row.expected);
      EXPECT_EQ(CompareBytes(b.get(), a.get(), row.lenB, row.lenA), -row.expected);
      if (row.lenA < 0 || row.lenB < 0) continue;  // unit lengths that are negative are measured
      const auto ua = Copy<WChar>(row.a, exact ? row.lenA : INT_MAX);
      const auto ub = Copy<WChar>(row.b, exact ? row.lenB : INT_MAX);
      EXPECT_EQ(CompareUnits(ua.get(), ub.get(), row.lenA, row.lenB), row.expected);
      EXPECT_EQ(CompareUnits(ub.get(), ua.get(), row.lenB, row.lenA), -row.expected);
    }
  }
  const WChar high[] = {0x8000}, low[] = {0x7FFF};
  EXPECT_EQ(CompareUnits(high, low, 1, 1), 1);
}

TEST(Search, NullPointersAreEmpty) {
  const unsigned char bytes[] = {'a', 'b'};
  const WChar units[] = {'a', 'b'};
  EXPECT_EQ(FindBytes(nullptr, bytes, 5, 1, 0), -1);
  EXPECT_EQ(FindBytes(bytes, nullptr, 2, 5, 0), -1);
  EXPECT_EQ(FindBytesReverse(nullptr, bytes, 5, 1, 0), -1);
  EXPECT_EQ(FindBytesReverse(bytes, nullptr, 2, 5, 0), -1);
  EXPECT_EQ(FindByteReverse(nullptr, 'a', 5, 0), -1);
  EXPECT_EQ(CompareBytes(nullptr, bytes, 5, 2), -1);
  EXPECT_EQ(CompareBytes(bytes, nullptr, 2, 5), 1);
  EXPECT_EQ(CompareBytes(nullptr, nullptr, 5, 5), 0);
  EXPECT_EQ(FindUnits(nullptr, units, 5, 1, 0), -1);
  EXPECT_EQ(FindUnits(units, nullptr, 2, -1, 0), -1);
  EXPECT_EQ(FindUnitReverse(nullptr, 'a', 5, 0), -1);
  EXPECT_EQ(CompareUnits(units, nullptr, 2, -1), 1);
  EXPECT_EQ(CompareUnits(nullptr, units, -1, 2), -1);
  EXPECT_EQ(CompareUnits(nullptr, nullptr, 5, -1), 0);
  EXPECT_EQ(FindBytesSz(nullptr, "a", -1, -1, 0), -1);
  EXPECT_EQ(FindBytesReverseSz("a", nullptr, -1, 3, 0), -1);
  EXPECT_EQ(FindByteReverseSz(nullptr, 'a', 3, 0), -1);
  EXPECT_EQ(CompareBytesSz(nullptr, "", 3, -1), 0);
}

TEST(Search, NegativeLengthsMeasureOnlyWhereDocumented) {
  // Copies ending at the terminator, so ASan shows the measuring stops there.
  const auto bytes = Copy<char>("c:\\dir\\file", INT_MAX);
  const auto units = Copy<WChar>("c:\\dir\\file", INT_MAX);
  const auto slash = Copy<WChar>("\\", INT_MAX);
  const char* path = bytes.get();
  EXPECT_EQ(FindBytesSz(path, "\\", -1, -1, 3), 6);
  EXPECT_EQ(FindBytesReverseSz(path, "\\", -1, -1, 0), 6);
  EXPECT_EQ(FindByteReverseSz(path, '\\', -1, 0), 6);
  EXPECT_EQ(FindByteReverseSz(path, '\\', 5, 0), 2);
  EXPECT_EQ(FindByteReverseSz(path, 0, -1, 0), -1);
  EXPECT_EQ(CompareBytesSz("zz", "aaa", -1, -1), -1);
  EXPECT_EQ(CompareBytesSz("abX", "abY", 2, -1), -1);
  EXPECT_EQ(FindUnits(units.get(), slash.get(), -1, -1, 3), 6);
  EXPECT_EQ(FindUnitReverse(units.get(), '\\', -1, 0), 6);
  EXPECT_EQ(FindUnitReverse(units.get(), 'e', -1, 11), -1);
  EXPECT_EQ(CompareUnits(units.get(), units.get(), -1, 11), 0);
  EXPECT_EQ(CompareUnits(units.get(), units.get(), -1, 10), 1);
  // The exact forms take a negative length as an empty range.
  const auto* raw = reinterpret_cast<const unsigned char*>(path);
  EXPECT_EQ(FindBytes(raw, raw, -1, 1, 0), -1);
  EXPECT_EQ(FindBytesReverse(raw, raw, 11, -1, 0), -1);
  EXPECT_EQ(FindByteReverse(raw, 'c', -1, 0), -1);
}

}  // namespace
