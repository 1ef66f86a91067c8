#include "strings/gstring.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/strings/text_helpers.h"

namespace {

TEST(GStringStorage, NewStringOwnsNothing) {
  GString s;
  EXPECT_FALSE(s.IsWide());
  EXPECT_EQ(s.BlockSize(), 0);
  EXPECT_STREQ(s.NarrowAt(0), "");
  EXPECT_EQ(s.WideAt(0)[0], 0);
  EXPECT_EQ(s.Terminate(), nullptr);
  EXPECT_EQ(s.SetLength(5), 0);
  EXPECT_EQ(s.Compact(), 0);
  EXPECT_EQ(s.Reserve(0), 0);  // nothing to make room for: stays without a block
  EXPECT_EQ(s.BlockSize(), 0);
}

TEST(GStringStorage, GrowthRule) {
  // First unit of a wide string: target 1, need (1 + 1) * 2 + 4 = 8 bytes, one 64-byte granule.
  GString s;
  ASSERT_TRUE(s.AssignWide(U16("x"), 1));
  EXPECT_EQ(s.BlockSize(), 64);
  EXPECT_EQ(s.Capacity(), 29);

  // 100 units from empty: exactly the request, 101 * 2 + 4 = 206 -> 256 bytes.
  GString w;
  w.AssignWide(U16(""), 0);
  ASSERT_TRUE(w.Reserve(100));
  EXPECT_EQ(w.BlockSize(), 256);
  ASSERT_TRUE(w.AppendRepeated(U16('a'), 100));
  EXPECT_EQ(w.BlockSize(), 256);

  // One more unit for a string of 100 grows by half: target 150, 151 * 2 + 4 = 306 -> 320.
  ASSERT_TRUE(w.Reserve(101));
  EXPECT_EQ(w.BlockSize(), 320);
  EXPECT_EQ(w.Length(), 100);
  EXPECT_EQ(w.WideAt(0)[99], 'a');
  EXPECT_EQ(w.WideAt(0)[100], 0);

  // The same block holds twice as many units once the string is narrow.
  GString narrow;
  ASSERT_TRUE(narrow.AssignNarrow("x", 1, 0));
  EXPECT_EQ(narrow.BlockSize(), 64);
  EXPECT_EQ(narrow.Capacity(), 59);
  ASSERT_TRUE(narrow.AsWide(0));
  EXPECT_EQ(narrow.Capacity(), 29);
}

TEST(GStringStorage, HugeRequestsFailWithoutChange) {
  GString s;
  s.AssignWide(U16("keep"), -1);
  EXPECT_EQ(s.Reserve(0x7FFFFFF0), 0);
  EXPECT_EQ(s.EnsureFree(0x7FFFFFFF), 0);
  EXPECT_EQ(s.WideTail(0x7FFFFFFF), nullptr);
  EXPECT_EQ(Utf8Of(s), "keep");
}

TEST(GStringStorage, EraseFrontMovesNothingUntilGrowthNeedsTheRoom) {
  GString s;
  ASSERT_TRUE(s.AssignNarrow("abcdef", 6, 0));
  const char* before = s.NarrowAt(0);
  ASSERT_TRUE(s.EraseFront(3));
  EXPECT_STREQ(s.NarrowAt(0), "def");
  EXPECT_EQ(s.NarrowAt(0), before + 3);
  EXPECT_EQ(s.Capacity(), 59 - 3);

  // Growth that fits in the block once the front room is reclaimed compacts instead of
  // reallocating.
  const int block = s.BlockSize();
  ASSERT_TRUE(s.AppendRepeated('x', 55));
  EXPECT_EQ(s.BlockSize(), block);
  EXPECT_EQ(s.Length(), 58);
  EXPECT_EQ(std::string(s.NarrowAt(0), 4), "defx");

  GString e;
  ASSERT_TRUE(e.AssignNarrow("abcd", 4, 0));
  ASSERT_TRUE(e.EraseFront(10));
  EXPECT_EQ(e.Length(), 0);
  EXPECT_EQ(e.Capacity(), 59);  // start went back to 0
  EXPECT_EQ(e.EraseFront(0), 0);
}

TEST(GStringStorage, SetLengthAfterAWindowsCallWrote) {
  GString s;
  WChar* tail = s.WideTail(10);
  ASSERT_NE(tail, nullptr);
  tail[0] = 'a';
  tail[1] = 'b';
  tail[2] = 0;
  ASSERT_TRUE(s.SetLength(-1));
  EXPECT_EQ(Utf8Of(s), "ab");

  // No zero within the capacity: the length becomes 0.
  tail = s.WideTail(0);
  const int cap = s.Capacity();
  WChar* text = const_cast<WChar*>(s.WideAt(0));
  for (int i = 0; i < cap; ++i) text[i] = 'z';
  ASSERT_TRUE(s.SetLength(-1));
  EXPECT_EQ(s.Length(), 0);

  // Beyond the capacity is cut to it, and the text is terminated.
  ASSERT_TRUE(s.SetLength(cap + 100));
  EXPECT_EQ(s.Length(), cap);
  EXPECT_EQ(s.WideAt(0)[cap], 0);
}

TEST(GStringConvert, WideToNarrowEncodesEachUnit) {
  struct Row {
    const char* name;
    std::u16string wide;
    const char* hex;
  } rows[] = {
      {"ascii", u"A", "41"},
      {"two bytes", u"\u00E9", "C3 A9"},
      {"three bytes", u"\u20AC", "E2 82 AC"},
      {"embedded zero", std::u16string(u"a\0b", 3), "61 00 62"},
      // Surrogates are not paired: each becomes its own 3-byte sequence.
      {"surrogate pair", u"\U0001F600", "ED A0 BD ED B8 80"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    GString s;
    ASSERT_TRUE(s.AssignWide(reinterpret_cast<const WChar*>(r.wide.data()), static_cast<int>(r.wide.size())));
    ASSERT_NE(s.AsNarrow(0), nullptr);
    EXPECT_FALSE(s.IsWide());
    EXPECT_EQ(HexOf(s.NarrowAt(0), s.Length()), r.hex);

    GString n;  // and through appending to a narrow string
    ASSERT_TRUE(n.AppendWide(reinterpret_cast<const WChar*>(r.wide.data()), static_cast<int>(r.wide.size())));
    EXPECT_EQ(HexOf(n.NarrowAt(0), n.Length()), r.hex);
  }
}

TEST(GStringConvert, InvalidUtf8LeavesTheStringUnchanged) {
  const char* bad[] = {"\xF0\x9F\x98\x80", "\x80", "a\xC3", "\xE2\x82", "\xC3\x41", "\xFF"};
  for (const char* b : bad) {
    SCOPED_TRACE(HexOf(b, static_cast<int>(strlen(b))));
    GString w;
    ASSERT_TRUE(w.AssignWide(U16("keep"), -1));
    EXPECT_EQ(w.AppendNarrow(b, -1, 0), 0);
    EXPECT_EQ(Utf8Of(w), "keep");
    EXPECT_EQ(w.WideAt(0)[4], 0);  // still terminated

    GString n;
    ASSERT_TRUE(n.AssignNarrow(b, -1, 0));
    EXPECT_EQ(n.AsWide(0), nullptr);
    EXPECT_FALSE(n.IsWide());
    EXPECT_EQ(n.Length(), static_cast<int>(strlen(b)));
  }
}

TEST(GStringConvert, NarrowToWideDecodes) {
  GString w;
  w.AssignWide(U16(""), 0);
  ASSERT_TRUE(w.AppendNarrow("\xC3\xA9", 2, 0));
  ASSERT_EQ(w.Length(), 1);
  EXPECT_EQ(w.WideAt(0)[0], 0xE9);

  GString n;
  ASSERT_TRUE(n.AssignNarrow("z\xE2\x82\xAC", -1, 0));
  ASSERT_NE(n.AsWide(0), nullptr);
  EXPECT_TRUE(n.IsWide());
  ASSERT_EQ(n.Length(), 2);
  EXPECT_EQ(n.WideAt(0)[1], 0x20AC);

  // Overlong forms decode as they stand.
  GString o;
  o.AssignWide(U16(""), 0);
  ASSERT_TRUE(o.AppendNarrow("\xC1\x81", 2, 0));
  EXPECT_EQ(o.WideAt(0)[0], 0x41);
}

TEST(GStringAssign, RecordsOfBothWidths) {
  const unsigned char narrow[] = {3, 0, 0, 0x80, 'a', 'b', 'c'};
  GString s;
  ASSERT_TRUE(s.AssignRecord(narrow));
  EXPECT_FALSE(s.IsWide());
  EXPECT_EQ(Utf8Of(s), "abc");

  // Wide text after an odd offset: records need not be aligned.
  unsigned char buffer[1 + 4 + 6] = {0xEE, 3, 0, 0, 0, 'x', 0, 'y', 0, 0xE9, 0};
  ASSERT_TRUE(s.AssignRecord(buffer + 1));
  EXPECT_TRUE(s.IsWide());
  EXPECT_EQ(Utf8Of(s), "xy\xC3\xA9");

  EXPECT_EQ(s.AssignRecord(nullptr), 0);
  EXPECT_EQ(s.Length(), 0);
}

TEST(GStringAssign, FromItselfAndOtherWidths) {
  GString s;
  s.AssignWide(U16("path\\to"), -1);
  ASSERT_TRUE(s.AssignWide(s.WideAt(5), -1));  // a tail of its own text
  EXPECT_EQ(Utf8Of(s), "to");

  GString n;
  n.AssignNarrow("\xC3\xA9t\xC3\xA9", -1, 0);
  GString w;
  ASSERT_TRUE(w.AssignAsWide(&n));
  EXPECT_EQ(w.Length(), 3);
  GString back;
  ASSERT_TRUE(back.AssignAsNarrow(&w));
  EXPECT_EQ(Utf8Of(back), "\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(back.AssignAsWide(nullptr), 0);
  EXPECT_TRUE(back.IsWide());
  EXPECT_EQ(back.Length(), 0);

  GString copy;
  copy.Assign(n);
  EXPECT_FALSE(copy.IsWide());
  EXPECT_EQ(Utf8Of(copy), Utf8Of(n));

  s.Append(s);  // appending to itself doubles the text
  EXPECT_EQ(Utf8Of(s), "toto");
}

TEST(GStringAppend, RepeatedUnitsAcrossWidths) {
  GString n;
  n.AssignNarrow("", 0, 0);
  EXPECT_EQ(n.AppendRepeated(U16('\u00E9'), 2), 0);
  EXPECT_EQ(n.Length(), 0);
  EXPECT_TRUE(n.AppendRepeated(U16('-'), 3));
  EXPECT_EQ(Utf8Of(n), "---");

  GString w(U16('\u00E9'), 0);
  EXPECT_TRUE(w.AppendRepeated(U16('\u00E9'), 2));
  EXPECT_EQ(w.Length(), 2);
  EXPECT_EQ(w.AppendRepeated('\xE9', 1), 0);  // a non-ASCII byte has no unit
  EXPECT_TRUE(w.AppendRepeated('a', 1));
  EXPECT_EQ(Utf8Of(w), "\xC3\xA9\xC3\xA9" "a");
  EXPECT_TRUE(w.AppendRepeated(U16('x'), 0));

  GString comma(U16(','), 1);
  EXPECT_TRUE(comma.IsWide());
  EXPECT_EQ(Utf8Of(comma), ",");

  GString unit;
  EXPECT_EQ(unit.AppendUnit(U16('a')), 0);  // narrow strings take no units
}

TEST(GStringPath, SeparatorsAndSuffixes) {
  struct Row {
    const char* start;
    const char* component;  // null: no component
    const char* expected;
  } rows[] = {
      {"C:\\dir", "/sub", "C:\\dir\\sub"},
      {"C:\\dir", "\\sub", "C:\\dir\\sub"},
      {"C:\\dir\\", "sub", "C:\\dir\\sub"},
      {"C:\\dir", "", "C:\\dir\\"},
      {"C:\\dir", nullptr, "C:\\dir\\"},
      {"", "sub", "\\sub"},
      {"C:\\dir\\", "\\", "C:\\dir\\"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.start) + " + " + (r.component ? r.component : "(null)"));
    GString wide;
    wide.AssignUtf8AsWide(r.start, -1, 0);
    ASSERT_TRUE(wide.AppendPath(r.component, -1));  // narrow component on a wide string
    EXPECT_TRUE(wide.IsWide());
    EXPECT_EQ(Utf8Of(wide), r.expected);

    GString narrow;
    narrow.AssignNarrow(r.start, -1, 0);
    ASSERT_TRUE(narrow.AppendPath(r.component, -1));
    EXPECT_EQ(Utf8Of(narrow), r.expected);
  }

  GString s;
  s.AssignWide(U16("a\\"), -1);
  EXPECT_TRUE(s.EnsureSuffix(U16("\\"), 1));
  EXPECT_EQ(Utf8Of(s), "a\\");
  EXPECT_TRUE(s.EnsureSuffix("b", 1));
  EXPECT_EQ(Utf8Of(s), "a\\b");
  EXPECT_EQ(s.EnsureSuffix("", 0), 0);
  EXPECT_EQ(s.EnsureSuffix(static_cast<const char*>(nullptr), -1), 0);
  GString empty;
  empty.AssignWide(U16(""), 0);
  EXPECT_TRUE(empty.EnsureSuffix(U16("\\"), -1));
  EXPECT_EQ(Utf8Of(empty), "\\");

  GString self;
  self.AssignWide(U16("x"), -1);
  self.AppendPath(self);  // the component is the string itself
  EXPECT_EQ(Utf8Of(self), "x\\x");
}

TEST(GStringSearch, FindAcrossWidths) {
  GString s;
  s.AssignWide(U16("xxabab"), -1);
  EXPECT_EQ(s.Find(U16("ab"), 0, -1), 2);
  EXPECT_EQ(s.Find("ab", 3, -1), 4);
  EXPECT_EQ(s.Find(U16("ab"), 6, -1), -1);
  EXPECT_EQ(s.Find(U16("ab"), -1, -1), -1);
  EXPECT_EQ(s.Find(static_cast<const WChar*>(nullptr), 0, -1), -1);

  GString n;
  n.AssignNarrow("caf\xC3\xA9 caf\xC3\xA9", -1, 0);
  EXPECT_EQ(n.Find(U16("\u00E9"), 0, -1), 3);  // byte offset
  EXPECT_EQ(n.FindLastChar(U16('\u00E9'), 0), 9);
  EXPECT_EQ(n.FindLastChar(U16('c'), 0), 6);
  EXPECT_EQ(n.Find("\xC3", 0, -1), 3);
  EXPECT_EQ(n.Find(U16("\xC3"), 0, 1) , -1);  // U+00C3 is not the byte C3

  GString path;
  path.AssignWide(U16("C:\\dir\\file"), -1);
  EXPECT_EQ(path.FindLastChar(U16('\\'), 0), 6);
  GString flat;
  flat.AssignWide(U16("file"), -1);
  EXPECT_EQ(flat.FindLastChar(U16('\\'), 0), -1);
}

TEST(GStringSearch, CompareIsLengthFirst) {
  GString w;
  w.AssignWide(U16("\u00E9t\u00E9"), -1);
  EXPECT_EQ(w.Compare("\xC3\xA9t\xC3\xA9", -1), 0);
  EXPECT_EQ(w.Compare(U16("zz"), -1), 1);  // longer orders after, whatever the content
  EXPECT_EQ(w.Compare(U16(""), -1), 1);
  EXPECT_EQ(w.Compare("\xFF\xFE\xFD", 3), 1);  // undecodable text never compares equal

  GString empty;
  EXPECT_EQ(empty.Compare(U16(""), -1), 0);
  EXPECT_EQ(empty.Compare(static_cast<const char*>(nullptr), -1), 0);
  EXPECT_EQ(empty.Compare("a", -1), -1);

  GString n;
  n.AssignNarrow("\xC3\xA9t\xC3\xA9", -1, 0);
  EXPECT_TRUE(Equals(w, n));
  EXPECT_TRUE(Equals(n, w));
  GString other;
  other.AssignWide(U16("ete"), -1);
  EXPECT_TRUE(NotEquals(w, other));
  GString bad;
  bad.AssignNarrow("\xFF\xFE\xFD", 3, 0);
  EXPECT_FALSE(Equals(w, bad));
}

TEST(GStringSearch, ToUpperInBothWidths) {
  GString w;
  w.AssignWide(U16("stra\u00DFe \u00FF \u0131"), -1);
  ASSERT_TRUE(w.ToUpper());
  EXPECT_EQ(Utf8Of(w), "STRA\xC3\x9F" "E \xC5\xB8 I");

  // Narrow text changes its byte length: U+0131 (2 bytes) becomes I (1 byte), U+0250 (2 bytes)
  // becomes U+2C6F (3 bytes).
  GString n;
  n.AssignNarrow("\xC4\xB1\xC9\x90", -1, 0);
  ASSERT_TRUE(n.ToUpper());
  EXPECT_FALSE(n.IsWide());
  EXPECT_EQ(HexOf(n.NarrowAt(0), n.Length()), "49 E2 B1 AF");

  GString bad;
  bad.AssignNarrow("a\x80", 2, 0);
  EXPECT_EQ(bad.ToUpper(), 0);
  EXPECT_EQ(HexOf(bad.NarrowAt(0), bad.Length()), "61 80");
}

}  // namespace
