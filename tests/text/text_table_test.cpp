#include "text/tables/text_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "strings/gstring.h"
#include "tests/strings/text_helpers.h"
#include "tests/text/table_builder.h"

namespace {

// A table that owns an attached copy of `bytes` and frees it at the end of the test.
struct OwnedTable {
  TextTable table{};
  ~OwnedTable() { table.Free(); }
  bool Attach(const Bytes& bytes, int32_t count) {
    uint8_t* copy = MallocCopy(bytes);
    if (table.Attach(copy, static_cast<uint32_t>(bytes.size()), count)) return true;
    free(copy);
    return false;
  }
  bool Attach(const std::vector<TableEntry>& entries, size_t pad = 0) {
    return Attach(BuildTable(entries, pad), static_cast<int32_t>(entries.size()));
  }
};

// The text of an id as UTF-8, or "<none>" when the table does not have it.
std::string TextOf(const TextTable& table, uint32_t id) {
  const uint8_t* record = table.Find(id);
  if (!record) return "<none>";
  GString s;
  if (!TextFromRecord(record, s)) return "<failed>";
  if (!s.IsWide()) return "<narrow>";
  return Utf8Of(s);
}

Bytes Damage(Bytes b, size_t at, uint32_t v) {
  PutU32(b, at, v);
  return b;
}

TEST(TextTableAttach, RefusesAndLeavesThePreviousTableInPlace) {
  const Bytes two = BuildTable({{10, Utf8Record("ab")}, {20, Utf16Record(u"cd")}});
  const uint32_t textArea = 16;
  const uint32_t areaSize = static_cast<uint32_t>(two.size()) - textArea;
  const uint32_t second = 4 + 2;  // offset of the second record within the text area
  const Bytes one = BuildTable({{10, Utf8Record("ab")}});
  struct Row {
    const char* name;
    Bytes bytes;
    bool nullBuffer;
    int32_t count;
    uint32_t size;  // 0: the size of bytes
  };
  const std::vector<Row> rows = {
      {"null buffer", two, true, 2, 0},
      {"count 0", two, false, 0, 0},
      {"negative count", two, false, -1, 0},
      {"entries beyond the buffer", two, false, 2, 15},
      {"no room for a record word", Bytes(one.begin(), one.begin() + 8), false, 1, 0},
      // 8 * count wraps to 0 and to 8 in 32 bits; both must still be refused.
      {"count 2^29 wraps the entry size to 0", two, false, 0x20000000, 0},
      {"count 2^29 + 1 wraps the entry size to 8", one, false, 0x20000001, 0},
      {"offset at the end of the text area", Damage(two, 12, areaSize), false, 2, 0},
      {"offset leaves less than a record word", Damage(two, 12, areaSize - 3), false, 2, 0},
      {"offset + 4 wraps", Damage(two, 12, 0xFFFFFFFE), false, 2, 0},
      {"UTF-8 length one past the end", Damage(two, textArea + second, kUtf8Flag | 5), false, 2, 0},
      {"UTF-16 length counted in bytes would fit", Damage(two, textArea + second, 3), false, 2, 0},
      {"UTF-16 length of 2^29 - 1 units", Damage(two, textArea + second, 0x1FFFFFFF), false, 2, 0},
      {"length with ignored bits set still too long",
       Damage(two, textArea + second, kUtf8Flag | kIgnoredBits | 5),
       false, 2, 0},
      {"descending identifiers", BuildTable({{20, Utf8Record("x")}, {10, Utf8Record("y")}}), false, 2, 0},
      {"equal identifiers", BuildTable({{10, Utf8Record("x")}, {10, Utf8Record("y")}}), false, 2, 0},
      {"ascending only as signed numbers",
       BuildTable({{0x80000000u, Utf8Record("x")}, {0x7FFFFFFF, Utf8Record("y")}}), false, 2, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedTable owned;
    ASSERT_TRUE(owned.Attach({{7, Utf8Record("kept")}}));
    const TextTable before = owned.table;

    uint8_t* buffer = row.nullBuffer ? nullptr : MallocCopy(row.bytes);
    const uint32_t size = row.size ? row.size : static_cast<uint32_t>(row.bytes.size());
    EXPECT_FALSE(owned.table.Attach(buffer, size, row.count));
    free(buffer);  // refused: still ours

    EXPECT_EQ(owned.table.count, before.count);
    EXPECT_EQ(owned.table.buffer, before.buffer);
    EXPECT_EQ(owned.table.entries, before.entries);
    EXPECT_EQ(owned.table.texts, before.texts);
    EXPECT_EQ(TextOf(owned.table, 7), "kept");
  }
}

TEST(TextTableAttach, AcceptsRecordsThatEndExactlyAtTheBuffer) {
  struct Row {
    const char* name;
    std::vector<TableEntry> entries;
    size_t pad;
  };
  const std::vector<Row> rows = {
      {"UTF-8 record last", {{1, Utf8Record("abc")}}, 0},
      {"UTF-16 record last", {{1, Utf16Record(u"abc")}}, 0},
      {"empty record last", {{1, Utf8Record("x")}, {2, Utf16Record(u"")}}, 0},
      {"UTF-16 text at odd addresses", {{1, Utf16Record(u"ab")}, {2, Utf16Record(u"cd")}}, 1},
      {"identifiers 0 and 2^32 - 1", {{0, Utf8Record("lo")}, {0xFFFFFFFF, Utf8Record("hi")}}, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedTable owned;
    ASSERT_TRUE(owned.Attach(row.entries, row.pad));
    EXPECT_EQ(owned.table.count, static_cast<int32_t>(row.entries.size()));
    EXPECT_EQ(owned.table.entries, owned.table.buffer);
    EXPECT_EQ(owned.table.texts, owned.table.buffer + 8 * row.entries.size());
    for (const TableEntry& e : row.entries) EXPECT_NE(owned.table.Find(e.id), nullptr) << e.id;
  }
}

TEST(TextTableAttach, ReplacesAndFreesTheTableHeld) {
  OwnedTable owned;
  ASSERT_TRUE(owned.Attach({{1, Utf8Record("old")}}));
  ASSERT_TRUE(owned.Attach({{2, Utf8Record("new")}}));  // the sanitizer reports the old buffer if kept
  EXPECT_EQ(TextOf(owned.table, 1), "<none>");
  EXPECT_EQ(TextOf(owned.table, 2), "new");
}

TEST(TextTableFree, ClearsEverythingAndCanRepeat) {
  TextTable table{};
  table.Free();  // empty: nothing to do
  uint8_t* buffer = MallocCopy(BuildTable({{5, Utf8Record("x")}}));
  ASSERT_TRUE(table.Attach(buffer, 8 + 5, 1));
  table.Free();
  EXPECT_EQ(table.count, 0);
  EXPECT_EQ(table.buffer, nullptr);
  EXPECT_EQ(table.entries, nullptr);
  EXPECT_EQ(table.texts, nullptr);
  EXPECT_EQ(table.Find(5), nullptr);
  table.Free();
}

TEST(TextTableFind, SingleEntryFindsOnlyItself) {
  OwnedTable owned;
  ASSERT_TRUE(owned.Attach({{100, Utf8Record("hundred")}}));
  const struct {
    uint32_t id;
    const char* text;
  } rows[] = {{100, "hundred"}, {99, "<none>"}, {101, "<none>"}, {0, "<none>"}, {0xFFFFFFFF, "<none>"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(TextOf(owned.table, row.id), row.text);
  }
}

TEST(TextTableFind, ComparesIdentifiersUnsigned) {
  OwnedTable owned;
  ASSERT_TRUE(owned.Attach({{0, Utf8Record("zero")},
                            {1, Utf8Record("one")},
                            {0x7FFFFFFF, Utf8Record("max signed")},
                            {0x80000000u, Utf8Record("bit 31")},
                            {0x80000001u, Utf8Record("bit 31 + 1")},
                            {0xFFFFFFFFu, Utf8Record("all ones")}}));
  const struct {
    uint32_t id;
    const char* text;
  } rows[] = {{0, "zero"},
              {1, "one"},
              {0x7FFFFFFF, "max signed"},
              {0x80000000u, "bit 31"},
              {0x80000001u, "bit 31 + 1"},
              {0xFFFFFFFFu, "all ones"},
              {2, "<none>"},
              {0x7FFFFFFE, "<none>"},
              {0x80000002u, "<none>"},
              {0xFFFFFFFEu, "<none>"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(TextOf(owned.table, row.id), row.text);
  }
}

TEST(TextTableFind, FindsEveryEntryOfEveryTableSize) {
  // Odd identifiers present, even ones absent, for each size: every path of the search.
  for (int n = 1; n <= 40; ++n) {
    SCOPED_TRACE(n);
    std::vector<TableEntry> entries;
    for (int i = 0; i < n; ++i) entries.push_back({static_cast<uint32_t>(2 * i + 1), Utf8Record(std::to_string(i))});
    OwnedTable owned;
    ASSERT_TRUE(owned.Attach(entries));
    for (int i = 0; i < n; ++i) {
      EXPECT_EQ(TextOf(owned.table, 2 * i + 1), std::to_string(i));
      EXPECT_EQ(owned.table.Find(2 * i), nullptr);
    }
    EXPECT_EQ(owned.table.Find(2 * n), nullptr);
  }
}

TEST(TextTableFind, EntriesMayShareARecord) {
  Bytes bytes = BuildTable({{1, Utf8Record("shared")}, {2, Bytes()}});
  PutU32(bytes, 12, 0);  // the second entry points at the first record
  OwnedTable owned;
  ASSERT_TRUE(owned.Attach(bytes, 2));
  EXPECT_EQ(TextOf(owned.table, 1), "shared");
  EXPECT_EQ(TextOf(owned.table, 2), "shared");
}

TEST(TextFromRecord, Utf8AndUtf16RecordsGiveEqualWideStrings) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  } rows[] = {
      {"empty", "", u""},
      {"ASCII", "Keyboard", u"Keyboard"},
      {"Latin letters with marks", "\xC5\x81\xC3\xB3\xC5\xBA", u"\u0141\u00F3\u017A"},
      {"Cyrillic", "\xD0\x96\xD1\x8F", u"\u0416\u044F"},
      {"three-byte sequence", "\xE2\x82\xAC 5", u"\u20AC 5"},
      // The program's UTF-8 carries each surrogate as its own three-byte sequence.
      {"surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},
      {"zero unit inside", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedTable owned;
    ASSERT_TRUE(owned.Attach({{1, Utf8Record(row.utf8)}, {2, Utf16Record(row.utf16)}}, 1));
    GString narrowSource;
    GString wideSource;
    ASSERT_TRUE(TextFromRecord(owned.table.Find(1), narrowSource));
    ASSERT_TRUE(TextFromRecord(owned.table.Find(2), wideSource));
    EXPECT_TRUE(narrowSource.IsWide());
    EXPECT_TRUE(wideSource.IsWide());
    EXPECT_EQ(narrowSource.Length(), static_cast<int>(row.utf16.size()));
    EXPECT_TRUE(Equals(narrowSource, wideSource));
    EXPECT_EQ(Utf8Of(wideSource), row.utf8);
  }
}

TEST(TextFromRecord, IgnoresBits29And30OfTheWord) {
  const struct {
    const char* name;
    uint32_t bits;
  } rows[] = {{"bit 29", 0x20000000u}, {"bit 30", 0x40000000u}, {"bits 29 and 30", 0x60000000u}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    OwnedTable owned;
    ASSERT_TRUE(owned.Attach({{1, Utf8Record("abc", row.bits)}, {2, Utf16Record(u"abc", row.bits)}}));
    EXPECT_EQ(TextOf(owned.table, 1), "abc");
    EXPECT_EQ(TextOf(owned.table, 2), "abc");
  }
}

TEST(TextFromRecord, FailureLeavesAnEmptyString) {
  const struct {
    const char* name;
    Bytes record;  // empty: a null record
  } rows[] = {
      {"null record", Bytes()},
      {"lone lead byte", Utf8Record("ab\xC3")},
      {"byte FF", Utf8Record("\xFF")},
      {"four-byte sequence", Utf8Record("\xF0\x9F\x98\x80")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    uint8_t* record = row.record.empty() ? nullptr : MallocCopy(row.record);
    GString out;
    out.AssignWide(U16("previous"), -1);
    EXPECT_FALSE(TextFromRecord(record, out));
    EXPECT_TRUE(out.IsEmpty());
    free(record);
  }
}

TEST(TextFromRecord, EmptyRecordIsAnEmptyWideSuccess) {
  const Bytes records[] = {Utf8Record(""), Utf16Record(u"")};
  for (const Bytes& r : records) {
    SCOPED_TRACE(r[3] ? "UTF-8" : "UTF-16");
    uint8_t* record = MallocCopy(r);
    GString out;
    out.AssignNarrow("previous", -1, 0);
    EXPECT_TRUE(TextFromRecord(record, out));
    EXPECT_TRUE(out.IsWide());
    EXPECT_TRUE(out.IsEmpty());
    free(record);
  }
}

}  // namespace
