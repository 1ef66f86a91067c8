// The order in which the installer's tables are consulted, and licence texts from blob bytes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "strings/gstring.h"
#include "tests/strings/text_helpers.h"
#include "tests/text/table_builder.h"
#include "text/tables/text_table.h"

namespace {

struct Tables {
  TextTable language0{};
  TextTable language1{};
  TextTable common{};
  TextTable extra{};

  Tables() {
    Attach(language0, {{1, Utf8Record("first one")}, {2, Utf8Record("first two")}});
    Attach(language1, {{1, Utf8Record("second one")}});
    Attach(common, {{1, Utf8Record("common one")}, {3, Utf8Record("common three")}});
    Attach(extra, {{3, Utf8Record("extra three")}, {4, Utf8Record("extra four")}});
  }
  ~Tables() {
    language0.Free();
    language1.Free();
    common.Free();
    extra.Free();
  }
  static void Attach(TextTable& t, const std::vector<TableEntry>& entries) {
    const Bytes bytes = BuildTable(entries);
    ASSERT_TRUE(t.Attach(MallocCopy(bytes), static_cast<uint32_t>(bytes.size()), static_cast<int32_t>(entries.size())));
  }
};

std::string Lookup(const TextTable* const* tables, int n, uint32_t id) {
  const uint8_t* record = LookupInTables(tables, n, id);
  if (!record) return "<none>";
  GString s;
  return TextFromRecord(record, s) ? Utf8Of(s) : "<failed>";
}

TEST(TextLookup, LanguageThenCommonThenExtra) {
  Tables t;
  const struct {
    const char* name;
    int language;
    bool withExtra;  // the installer's own lookup; the base lookup stops after the common table
    uint32_t id;
    const char* text;
  } rows[] = {
      {"language table beats common", 0, false, 1, "first one"},
      {"other language beats common", 1, false, 1, "second one"},
      {"only in language 0", 0, false, 2, "first two"},
      {"language 0 text not seen from language 1", 1, true, 2, "<none>"},
      {"only in common, language 0", 0, false, 3, "common three"},
      {"only in common, language 1", 1, false, 3, "common three"},
      {"common beats extra", 0, true, 3, "common three"},
      {"only in extra, base lookup", 0, false, 4, "<none>"},
      {"only in extra, full lookup", 1, true, 4, "extra four"},
      {"nowhere", 0, true, 5, "<none>"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const TextTable* order[] = {row.language ? &t.language1 : &t.language0, &t.common, &t.extra};
    EXPECT_EQ(Lookup(order, row.withExtra ? 3 : 2, row.id), row.text);
  }
}

TEST(TextLookup, SkipsMissingAndReleasedTables) {
  Tables t;
  const TextTable* order[] = {nullptr, &t.language0, &t.common};
  EXPECT_EQ(Lookup(order, 3, 1), "first one");
  t.language0.Free();
  EXPECT_EQ(Lookup(order, 3, 1), "common one");
  EXPECT_EQ(Lookup(order, 3, 2), "<none>");
  EXPECT_EQ(Lookup(order, 0, 1), "<none>");
  EXPECT_EQ(Lookup(nullptr, 3, 1), "<none>");
}

TEST(TextFromBlobBytes, SkipsOnlyACompleteByteOrderMark) {
  const struct {
    const char* name;
    Bytes plain;
    std::string text;
  } rows[] = {
      {"exactly the mark", {0xEF, 0xBB, 0xBF}, ""},
      {"two bytes of the mark", {0xEF, 0xBB}, "\xEF\xBB"},
      {"one byte of the mark", {0xEF}, "\xEF"},
      {"mark and text", {0xEF, 0xBB, 0xBF, 'o', 'k'}, "ok"},
      {"mark twice: the second stays", {0xEF, 0xBB, 0xBF, 0xEF, 0xBB, 0xBF}, "\xEF\xBB\xBF"},
      {"near miss", {0xEF, 0xBB, 0xBE, 'x'}, "\xEF\xBB\xBEx"},
      {"mark not at the start", {'x', 0xEF, 0xBB, 0xBF}, "x\xEF\xBB\xBF"},
      {"nothing", {}, ""},
      {"bytes kept as they are", {0xFF, 0x00, 'a'}, std::string("\xFF\0a", 3)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    uint8_t* plain = MallocCopy(row.plain);
    GString out;
    out.AssignWide(U16("previous"), -1);
    EXPECT_NE(TextFromBlobBytes(plain, static_cast<uint32_t>(row.plain.size()), out), 0);
    EXPECT_FALSE(out.IsWide());
    EXPECT_EQ(std::string(out.NarrowAt(0), static_cast<size_t>(out.Length())), row.text);
    free(plain);
  }
}

TEST(TextFromBlobBytes, RefusesWithoutTouchingTheString) {
  const uint8_t bytes[4] = {'a', 'b', 'c', 'd'};
  const struct {
    const char* name;
    const uint8_t* plain;
    uint32_t size;
  } rows[] = {
      {"no bytes (failed decode)", nullptr, 4},
      // Taken as an int this size would be negative, i.e. "measure up to a zero byte".
      {"size beyond a string", bytes, 0x80000000u},
      {"largest size", bytes, 0xFFFFFFFFu},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    GString out;
    out.AssignWide(U16("previous"), -1);
    EXPECT_EQ(TextFromBlobBytes(row.plain, row.size, out), 0);
    EXPECT_TRUE(out.IsWide());
    EXPECT_EQ(Utf8Of(out), "previous");
  }
}

}  // namespace
