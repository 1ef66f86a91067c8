#include "tools/packager/string_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "strings/gstring.h"
#include "tests/packager/packager_test_util.h"
#include "text/tables/text_table.h"

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

TextFile FileOf(std::vector<std::pair<uint32_t, std::string>> texts) {
  TextFile file;
  file.path = "t.txt";
  int line = 1;
  for (auto& [id, text] : texts) file.entries.push_back({id, text, line++});
  return file;
}

std::vector<uint8_t> Build(const TextFile& file, RecordMode mode, uint32_t* count) {
  Problems problems;
  std::vector<uint8_t> table;
  EXPECT_TRUE(BuildStringTable(file, mode, &table, count, &problems)) << Joined(problems);
  return table;
}

// The text the program's own reader gets for an identifier, as UTF-16.
std::u16string ProgramText(const std::vector<uint8_t>& table, uint32_t count, uint32_t id) {
  TextTable reader = {};
  uint8_t* copy = static_cast<uint8_t*>(malloc(table.size()));
  memcpy(copy, table.data(), table.size());
  EXPECT_TRUE(reader.Attach(copy, static_cast<uint32_t>(table.size()), static_cast<int32_t>(count)));
  std::u16string out = u"<missing>";
  GString text;
  if (const uint8_t* record = reader.Find(id)) {
    EXPECT_TRUE(TextFromRecord(record, text));
    out.assign(reinterpret_cast<const char16_t*>(text.WideAt(0)), static_cast<size_t>(text.Length()));
  }
  reader.Free();
  return out;
}

TEST(StringTable, EntriesAreSortedUnsignedAndPointAtAlignedRecords) {
  uint32_t count = 0;
  const TextFile file = FileOf({{2147483648u, "high"}, {93, "caption"}, {2147483647u, "mid"}, {0, "zero"}});
  const std::vector<uint8_t> table = Build(file, RecordMode::kUtf8, &count);
  ASSERT_EQ(count, 4u);
  const uint32_t ids[] = {0, 93, 2147483647u, 2147483648u};
  const char* texts[] = {"zero", "caption", "mid", "high"};
  const size_t area = 8 * count;
  for (uint32_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(U32At(table, 8 * i), ids[i]);
    const uint32_t offset = U32At(table, 8 * i + 4);
    EXPECT_EQ(offset % 4, 0u);
    const uint32_t word = U32At(table, area + offset);
    EXPECT_EQ(word, kRecordUtf8Bit | strlen(texts[i]));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&table[area + offset + 4]), strlen(texts[i])), texts[i]);
  }
}

TEST(StringTable, SmallestPicksTheShorterRecordPerText) {
  struct Row {
    std::string text;
    bool utf8;
  } rows[] = {
      {"plain ASCII", true},
      {"\xC3\xA9t\xC3\xA9", true},                          // 5 bytes against 6: UTF-8
      {"\xC3\xA9", true},                                   // 2 bytes against 2: a tie is UTF-8
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", false},      // 9 bytes against 6
      {"a\xF0\x9F\x98\x80", false},                         // above U+FFFF: never UTF-8
      {"", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    uint32_t count = 0;
    const std::vector<uint8_t> table = Build(FileOf({{1, row.text}}), RecordMode::kSmallest, &count);
    const uint32_t word = U32At(table, 8 + U32At(table, 4));
    EXPECT_EQ((word & kRecordUtf8Bit) != 0, row.utf8);
  }
}

TEST(StringTable, EveryModeReadsBackThroughTheProgramsReader) {
  const TextFile file = FileOf({{4, "Software\\Demo"},
                                {93, "Zażółć gęślą jaźń"},
                                {120, "first\r\nsecond"},
                                {121, "\xE6\x97\xA5\xE6\x9C\xAC"},
                                {122, ""},
                                {123, "smile \xF0\x9F\x98\x80"}});
  const std::u16string expected[] = {u"Software\\Demo", u"Zażółć gęślą jaźń", u"first\r\nsecond",
                                     u"\u65E5\u672C", u"", u"smile \U0001F600"};
  for (RecordMode mode : {RecordMode::kSmallest, RecordMode::kUtf16}) {
    SCOPED_TRACE(static_cast<int>(mode));
    uint32_t count = 0;
    const std::vector<uint8_t> table = Build(file, mode, &count);
    ASSERT_EQ(count, file.entries.size());
    for (size_t i = 0; i < file.entries.size(); ++i) {
      EXPECT_EQ(ProgramText(table, count, file.entries[i].id), expected[i]) << file.entries[i].id;
    }
    EXPECT_EQ(ProgramText(table, count, 5), u"<missing>");
  }
}

TEST(StringTable, BothRecordKindsAppearInOneSmallestTable) {
  uint32_t count = 0;
  const std::vector<uint8_t> table =
      Build(FileOf({{1, "ascii"}, {2, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"}}), RecordMode::kSmallest, &count);
  std::vector<TableRecord> records;
  std::string error;
  ASSERT_TRUE(ParseStringTable(table.data(), table.size(), count, &records, &error)) << error;
  ASSERT_EQ(records.size(), 2u);
  EXPECT_TRUE(records[0].utf8);
  EXPECT_FALSE(records[1].utf8);
  std::string text;
  ASSERT_TRUE(RecordText(records[1], &text));
  EXPECT_EQ(text, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
}

TEST(StringTable, AUtf8RecordReadsAsTheProgramReadsIt) {
  // Records that no build makes: an overlong "/", an encoded surrogate pair, a four-byte form.
  struct Row {
    std::string bytes;
    bool readable;
    std::u16string units;
  } rows[] = {
      {"a\xC0\xAF", true, u"a/"},
      {"\xED\xA0\xBD\xED\xB8\x80", true, u"\U0001F600"},
      {"\xF0\x9F\x98\x80", false, u""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.bytes);
    std::vector<uint8_t> table(12, 0);
    table[11] = 0x80;
    table[8] = static_cast<uint8_t>(row.bytes.size());
    table.insert(table.end(), row.bytes.begin(), row.bytes.end());
    std::vector<TableRecord> records;
    std::string error;
    ASSERT_TRUE(ParseStringTable(table.data(), table.size(), 1, &records, &error)) << error;
    std::u16string units;
    EXPECT_EQ(RecordUnits(records[0], &units), row.readable);
    EXPECT_EQ(units, row.units);
    if (row.readable) {
      EXPECT_EQ(ProgramText(table, 1, 0), row.units);
    }
    std::string text;
    EXPECT_EQ(RecordText(records[0], &text), row.readable);
  }
}

TEST(StringTable, IdenticalTextsShareOneRecord) {
  uint32_t count = 0;
  const std::vector<uint8_t> table = Build(FileOf({{1, "same"}, {2, "other"}, {3, "same"}}), RecordMode::kUtf8, &count);
  EXPECT_EQ(U32At(table, 4), U32At(table, 20));
  EXPECT_NE(U32At(table, 4), U32At(table, 12));
  EXPECT_EQ(table.size(), 3 * 8 + 8 + 9u);  // "same" (4 + 4), then "other" (4 + 5)
}

TEST(StringTable, RefusalsNameTheFileLineAndText) {
  Problems problems;
  std::vector<uint8_t> table;
  uint32_t count = 7;
  TextFile file = FileOf({{1, "fine"}, {2, "smile \xF0\x9F\x98\x80"}});
  EXPECT_FALSE(BuildStringTable(file, RecordMode::kUtf8, &table, &count, &problems));
  ASSERT_EQ(problems.Count(), 1u);
  EXPECT_NE(problems.Lines()[0].find("t.txt:2: text 2: holds a character above U+FFFF"), std::string::npos)
      << problems.Lines()[0];

  Problems empty;
  EXPECT_FALSE(BuildStringTable(FileOf({}), RecordMode::kSmallest, &table, &count, &empty));
  ASSERT_EQ(empty.Count(), 1u);
  EXPECT_NE(empty.Lines()[0].find("t.txt: holds no texts"), std::string::npos) << empty.Lines()[0];
}

TEST(StringTable, ReaderRejectsDamagedTables) {
  uint32_t count = 0;
  const std::vector<uint8_t> good = Build(FileOf({{1, "one"}, {2, "two"}}), RecordMode::kUtf8, &count);
  struct Row {
    const char* name;
    size_t at;
    uint8_t value;
    const char* message;
  } rows[] = {
      {"identifiers out of order", 8, 0, "out of order"},
      {"offset outside", 12, 0xF0, "outside the text area"},
      {"record too long", 16 + 0, 0x7F, "reaches past the end"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> bad = good;
    bad[row.at] = row.value;
    std::vector<TableRecord> records;
    std::string error;
    EXPECT_FALSE(ParseStringTable(bad.data(), bad.size(), count, &records, &error));
    EXPECT_NE(error.find(row.message), std::string::npos) << error;
  }
  std::vector<TableRecord> records;
  std::string error;
  EXPECT_FALSE(ParseStringTable(good.data(), good.size(), 0, &records, &error));
  EXPECT_FALSE(ParseStringTable(good.data(), 15, 2, &records, &error));
}

}  // namespace
