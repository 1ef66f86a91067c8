// The pattern finder: the shortest shared unique run, and the texts it prints for our demo
// libraries and the third-party ones, which the image check must then accept.
#include "tools/packager/pattern_finder.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"
#include "tools/packager/check.h"
#include "tools/packager/image_check.h"
#include "tools/packager/layout_library.h"
#include "tools/packager/text_file.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

TEST(ShortestUniquePattern, GrowsUntilUniqueInEveryImageAndStopsWhereTheyDiffer) {
  const std::vector<uint8_t> a = Bytes("xxABCDxxABCE"), b = Bytes("ABCEzzABCD"), c = Bytes("zzABCF"),
                             shortB = Bytes("ABCEzzAB");
  const struct {
    const char* name;
    std::vector<const std::vector<uint8_t>*> images;
    std::vector<size_t> starts;
    size_t minimum;
    const char* pattern;  // null: none
    const char* fault;
  } rows[] = {
      {"unique in one image", {&a}, {2}, 1, "ABCD", ""},
      {"the minimum length", {&a}, {2}, 5, "ABCDx", ""},
      {"unique in both", {&a, &b}, {8, 0}, 1, "ABCE", ""},
      {"images differ first", {&a, &c}, {2, 2}, 1, nullptr, "the libraries differ at byte 3 from there"},
      {"end of an image first", {&a, &shortB}, {8, 6}, 1, nullptr, "to the end of a library"},
      {"start past the end", {&a}, {12}, 1, nullptr, "to the end of a library"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<uint8_t> pattern;
    std::string fault;
    const bool found = ShortestUniquePattern(row.images, row.starts, row.minimum, 64, &pattern, &fault);
    EXPECT_EQ(found, row.pattern != nullptr) << fault;
    EXPECT_EQ(std::string(pattern.begin(), pattern.end()), row.pattern ? row.pattern : "");
    EXPECT_NE(fault.find(row.fault), std::string::npos) << fault;
  }
}

// The printed texts as a common table, with the demo's other tables: the image check must
// accept them for every image of the package.
void ExpectTheImageCheckAccepts(const std::string& found, const Manifest& manifest) {
  TableSet tables;
  Problems problems;
  ASSERT_TRUE(TablesFromManifest(manifest, &tables, &problems)) << Joined(problems);
  TextFile patterns;
  ASSERT_TRUE(ParseTextFile("found", found, &patterns, &problems)) << Joined(problems);
  ASSERT_EQ(patterns.entries.size(), 6u) << found;
  tables.tables[kTableLanguage0] = patterns;  // looked up before the common table
  tables.tables[kTableLanguage1] = patterns;
  std::vector<LayoutImage> images;
  ASSERT_TRUE(ImagesFromManifest(manifest, &images, &problems)) << Joined(problems);
  CheckImages(tables, images, &problems);
  EXPECT_TRUE(problems.Empty()) << Joined(problems);
}

TEST(FindLayoutPatterns, DemoLibrariesGiveTextsTheImageCheckAccepts) {
  Manifest manifest;
  Problems problems;
  ASSERT_TRUE(LoadManifest(std::string(PACKAGER_SOURCE_DIR) + "/demo/package.toml", {{"LAYOUTS", DEMO_LAYOUTS_DIR}},
                           &manifest, &problems))
      << Joined(problems);
  std::vector<std::string> paths;
  for (const ImageSource& image : manifest.images) {
    if (paths.empty() || paths.back() != image.path) paths.push_back(image.path);
  }
  ASSERT_EQ(paths.size(), 24u);
  std::string found;
  ASSERT_TRUE(FindLayoutPatterns(paths, &found, &problems)) << Joined(problems);
  // Where the demo's tables start (demo/layouts/README.md), 8 bytes at least.
  EXPECT_NE(found.find("== 147  scan-code table, variant 0: from the entry of scan code 0\nFF001B0031003200\n"),
            std::string::npos)
      << found;
  EXPECT_NE(found.find("\n1000B1011900B001\n"), std::string::npos) << found;
  EXPECT_NE(found.find("\n1D00130000000000\n"), std::string::npos) << found;
  EXPECT_NE(found.find("\n2E002E0009000900\n"), std::string::npos) << found;
  EXPECT_NE(found.find("(WOW64)"), std::string::npos);
  ExpectTheImageCheckAccepts(found, manifest);
}

TEST(FindLayoutPatterns, ThirdPartyLibrariesInEveryEdition) {
  const std::string folder = SETUP_THIRD_PARTY_LAYOUTS;
  std::vector<std::string> paths;
  for (const char* edition : {"i386", "amd64", "wow64", "ia64"})
    paths.push_back(folder + "/ltenhd/" + edition + "/ltenhd.dll");
  if (ReadAll(paths[0]).empty()) GTEST_SKIP() << "third-party layouts absent: " << paths[0];
  std::string found;
  Problems problems;
  ASSERT_TRUE(FindLayoutPatterns(paths, &found, &problems)) << Joined(problems);
  EXPECT_NE(found.find("(Itanium)"), std::string::npos);

  // A package of these libraries at their positions, checked with the texts found.
  TempFolder package;
  WriteMinimalPackage(package, "[[image]]\nvariant = 0\nrow = 0\nposition = 8\nfile = \"" + paths[0] +
                                   "\"\n"
                                   "[[image]]\nvariant = 0\nrow = 0\nposition = 10\nfile = \"" +
                                   paths[1] +
                                   "\"\n"
                                   "[[image]]\nvariant = 0\nrow = 0\nposition = 10\nedition = \"wow64\"\nfile = \"" +
                                   paths[2] + "\"\n[[image]]\nvariant = 0\nrow = 0\nposition = 9\nfile = \"" +
                                   paths[3] + "\"\n");
  Manifest manifest;
  ASSERT_TRUE(LoadManifest(package.Path("package.toml"), {}, &manifest, &problems)) << Joined(problems);
  ExpectTheImageCheckAccepts(found, manifest);
}

TEST(FindLayoutPatterns, SaysWhichLibraryHasNoTablesAndWhichTextHasNoPattern) {
  TempFolder folder;
  folder.Write("readme.dll", "MZ but nothing else");
  std::string found;
  Problems problems;
  EXPECT_FALSE(FindLayoutPatterns({folder.Path("readme.dll")}, &found, &problems));
  EXPECT_EQ(Joined(problems), folder.Path("readme.dll") + ": no layout tables: not a Windows library (no PE header)\n");

  // Two builds whose bytes after the decimal key's characters differ share no pattern for text
  // 146; the other texts still get theirs.
  problems = Problems();
  found.clear();
  const std::string demo = std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_v0_r0_x86.dll";
  std::string other = ReadAll(demo);
  LayoutTables tables;
  std::string error;
  ASSERT_TRUE(ReadLayoutTables(Bytes(other), &tables, &error)) << error;
  other[tables.decimalKey + 4] ^= 1;
  folder.Write("other.dll", other);
  EXPECT_FALSE(FindLayoutPatterns({demo, folder.Path("other.dll")}, &found, &problems));
  EXPECT_EQ(Joined(problems),
            "text 146 (keypad decimal key: its two characters): no pattern fits every library: the "
            "libraries differ at byte 4 from there, before a run is at least 8 bytes long and "
            "unique in each; give fewer libraries at a time (for example one variant's)\n");
  EXPECT_NE(found.find("# no pattern: "), std::string::npos);
  EXPECT_NE(found.find("== 150"), std::string::npos);
}

}  // namespace
