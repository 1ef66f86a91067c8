#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "strings/debug_output.h"
#include "strings/gstring.h"
#include "strings/measure.h"
#include "tests/strings/text_helpers.h"

namespace {

std::vector<std::string>* g_lines = nullptr;

void Capture(const WChar* text) { g_lines->push_back(Utf8Of(text, MeasureWide(text))); }

class DebugDumpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_lines = &lines;
    previous = SetDebugSink(Capture);
  }
  void TearDown() override {
    SetDebugSink(previous);
    g_lines = nullptr;
  }
  std::vector<std::string> lines;
  DebugSink previous = nullptr;
};

TEST_F(DebugDumpTest, LinesOfEightyCharacters) {
  GString s(U16('x'), 200);
  s.DebugDump(-1);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], std::string(80, 'x') + " \\\n");
  EXPECT_EQ(lines[1], std::string(80, 'x') + " \\\n");
  EXPECT_EQ(lines[2], std::string(40, 'x') + "\n");

  lines.clear();
  GString exact(U16('y'), 160);
  exact.DebugDump(-1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], std::string(80, 'y') + "\n");
}

TEST_F(DebugDumpTest, NarrowTextCountsCharacters) {
  std::string text;
  for (int i = 0; i < 81; ++i) text += "\xC3\xA9";
  GString s;
  s.AssignNarrow(text.c_str(), -1, 0);
  s.DebugDump(-1);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], text.substr(0, 160) + " \\\n");
  EXPECT_EQ(lines[1], "\xC3\xA9\n");
}

TEST_F(DebugDumpTest, LimitAndWidth) {
  GString s(U16('z'), 100);
  s.DebugDump(90);  // the limit holds for the last line too
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], std::string(10, 'z') + "\n");

  lines.clear();
  s.SetDumpWidth(0);  // no full lines: everything in one
  s.DebugDump(-1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 101u);

  lines.clear();
  GString empty;
  empty.DebugDump(-1);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
