#include "tools/packager/text_file.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"

namespace {

TextFile Parse(const std::string& content, Problems* problems) {
  TextFile file;
  ParseTextFile("t.txt", content, &file, problems);
  return file;
}

TEST(TextFile, MultiLineTextsJoinWithCrLfAndLoseTrailingEmptyLines) {
  Problems problems;
  TextFile file = Parse(
      "# heading comment\n"
      "== 120  a note for the translator\n"
      "First line\n"
      "# a comment between lines is not part of the text\n"
      "\n"
      "third line\n"
      "\n"
      "\n"
      "== 7\n"
      "== 8\n"
      "  indented, trailing blank \n",
      &problems);
  ASSERT_TRUE(problems.Empty()) << Joined(problems);
  ASSERT_EQ(file.entries.size(), 3u);
  EXPECT_EQ(file.entries[0].id, 120u);
  EXPECT_EQ(file.entries[0].text, "First line\r\n\r\nthird line");
  EXPECT_EQ(file.entries[0].line, 2);
  EXPECT_EQ(file.entries[1].id, 7u);
  EXPECT_EQ(file.entries[1].text, "");  // a header with no lines is an empty text
  EXPECT_EQ(file.entries[2].text, "  indented, trailing blank ");
}

TEST(TextFile, CrLfFilesAndByteOrderMarkReadLikeLfFiles) {
  Problems problems;
  TextFile file = Parse("\xEF\xBB\xBF== 1\r\nab\r\ncd\r\n\r\n== 2\r\nx", &problems);
  ASSERT_TRUE(problems.Empty()) << Joined(problems);
  ASSERT_EQ(file.entries.size(), 2u);
  EXPECT_EQ(file.entries[0].text, "ab\r\ncd");
  EXPECT_EQ(file.entries[1].text, "x");  // no newline at the end of the file
}

TEST(TextFile, EscapesLetTextLinesLookLikeHeadersAndComments) {
  struct Row {
    const char* line;
    const char* text;
  } rows[] = {
      {"\\== 5", "== 5"},
      {"\\# not a comment", "# not a comment"},
      {"\\\\== 5", "\\== 5"},
      {"\\\\", "\\"},
      {"\\Layouts\\x", "\\Layouts\\x"},  // other backslashes are literal
      {"\\\\server", "\\\\server"},
      {"a\\", "a\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    Problems problems;
    TextFile file = Parse(std::string("== 1\n") + row.line + "\n", &problems);
    ASSERT_TRUE(problems.Empty()) << Joined(problems);
    ASSERT_EQ(file.entries.size(), 1u);
    EXPECT_EQ(file.entries[0].text, row.text);
  }
}

TEST(TextFile, ABackslashAloneIsAnEmptyLineThatIsKept) {
  Problems problems;
  TextFile file = Parse("== 1\nend with a line break\n\\\n\n== 2\n\\\n", &problems);
  ASSERT_TRUE(problems.Empty()) << Joined(problems);
  EXPECT_EQ(file.entries[0].text, "end with a line break\r\n");
  EXPECT_EQ(file.entries[1].text, "");
}

TEST(TextFile, IdentifiersCoverTheWholeUnsignedRange) {
  Problems problems;
  TextFile file = Parse("== 0\na\n== 4294967295\nb\n== 007\nc\n", &problems);
  ASSERT_TRUE(problems.Empty()) << Joined(problems);
  EXPECT_EQ(file.entries[0].id, 0u);
  EXPECT_EQ(file.entries[1].id, 4294967295u);
  EXPECT_EQ(file.entries[2].id, 7u);
}

TEST(TextFile, FaultsNameTheLine) {
  struct Row {
    const char* content;
    const char* where;    // "t.txt:N"
    const char* message;  // part of the message
  } rows[] = {
      {"== 1\na\n==\n", "t.txt:3", "without a text identifier"},
      {"== 1\n== x1\n", "t.txt:2", "bad text identifier \"x1\""},
      {"== 86a\n", "t.txt:1", "bad text identifier \"86a\""},
      {"== -1\n", "t.txt:1", "bad text identifier"},
      {"== 4294967296\n", "t.txt:1", "out of range"},
      {"== 5\na\n== 6\n\n== 5\nb\n", "t.txt:5", "text 5 defined again (first at line 1)"},
      {"== 1\nok\nbad \xC3\x28 byte\n", "t.txt:3", "invalid UTF-8 at column 5"},
      {"== 1\n\xED\xA0\x80\n", "t.txt:2", "invalid UTF-8"},      // an encoded surrogate
      {"== 1\n\xC0\xAF\n", "t.txt:2", "invalid UTF-8"},          // overlong
      {"== 1\na\x01z\n", "t.txt:2", "control character U+0001 at column 2"},
      {"== 1\nab\rcd\n", "t.txt:2", "control character U+000D"},
      {"\n# comment\nstray text\n== 1\n", "t.txt:3", "text before the first header"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.content);
    Problems problems;
    TextFile file;
    EXPECT_FALSE(ParseTextFile("t.txt", row.content, &file, &problems));
    ASSERT_EQ(problems.Count(), 1u) << Joined(problems);
    EXPECT_EQ(problems.Lines()[0].rfind(std::string(row.where) + ": ", 0), 0u) << problems.Lines()[0];
    EXPECT_NE(problems.Lines()[0].find(row.message), std::string::npos) << problems.Lines()[0];
  }
}

TEST(TextFile, EveryFaultOfAFileIsReportedInOneRun) {
  Problems problems;
  TextFile file = Parse("== 1\na\n== one\nlines of the bad header are ignored\n== 1\n== 2\n\xFF\n== 3\nfine\n", &problems);
  ASSERT_EQ(problems.Count(), 3u) << Joined(problems);
  EXPECT_NE(problems.Lines()[0].find("t.txt:3:"), std::string::npos);
  EXPECT_NE(problems.Lines()[1].find("t.txt:5:"), std::string::npos);
  EXPECT_NE(problems.Lines()[2].find("t.txt:7:"), std::string::npos);
  // What did parse is kept.
  ASSERT_NE(file.Find(3), nullptr);
  EXPECT_EQ(file.Find(3)->text, "fine");
}

TEST(TextFile, AMissingFileIsNamed) {
  TempFolder folder;
  Problems problems;
  TextFile file;
  EXPECT_FALSE(LoadTextFile(folder.Path("absent.txt"), &file, &problems));
  ASSERT_EQ(problems.Count(), 1u);
  EXPECT_NE(problems.Lines()[0].find("absent.txt: cannot open"), std::string::npos) << problems.Lines()[0];
}

}  // namespace
