#include "tools/packager/manifest.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"

namespace {

std::string ValidKeyTable() {
  std::string block(2 * 968, 'a');
  return "[key]\nblock = \"\"\"\n" + block.substr(0, 968) + "\n" + block.substr(968) +
         "\"\"\"\nkey_offset = 473\nmove1_source = 0\nmove1_dest = 967\nmove1_length = 5000\n"
         "move2_source = 1\nmove2_dest = 2\nmove2_length = 0\nxor_source_pos = 3\nxor_start = 4\nxor_length = 968\n";
}

TEST(Manifest, ReadsEveryPartWithPathsFromTheManifestsFolder) {
  TempFolder folder;
  WriteMinimalPackage(folder,
                      "[documents]\n"
                      "A = \"docs/a.txt\"\n"
                      "E = { file = \"docs/e.txt\", crlf = true }\n"
                      "[[image]]\nvariant = 2\nrow = 1\nposition = 12\nfile = \"${IMAGES}/x64.dll\"\n");
  folder.Write("docs/a.txt", "a");
  folder.Write("docs/e.txt", "e");
  folder.Write("built/x64.dll", "MZ");
  Problems problems;
  Manifest manifest;
  ASSERT_TRUE(LoadManifest(ManifestPathOf(folder.Path()), {{"IMAGES", folder.Path("built")}}, &manifest, &problems))
      << Joined(problems);
  EXPECT_EQ(manifest.name, "Test");
  EXPECT_EQ(manifest.texts[kTableLanguage1].path, folder.Path("texts/pl.txt"));
  EXPECT_EQ(manifest.texts[kTableLanguage1].line, 8);
  EXPECT_EQ(manifest.records, RecordMode::kSmallest);
  EXPECT_TRUE(manifest.documents[kDocumentA].present());
  EXPECT_FALSE(manifest.documents[kDocumentA].crlf);
  EXPECT_FALSE(manifest.documents[kDocumentB].present());
  EXPECT_TRUE(manifest.documents[kDocumentE].crlf);
  ASSERT_EQ(manifest.images.size(), 1u);
  EXPECT_EQ(manifest.images[0].variant, 2);
  EXPECT_EQ(manifest.images[0].row, 1);
  EXPECT_EQ(manifest.images[0].position, 12);
  EXPECT_EQ(manifest.images[0].path, folder.Path("built/x64.dll"));
  EXPECT_EQ(manifest.key.block.Size(), 968u);
}

TEST(Manifest, OneImageFileServesSeveralPositions) {
  TempFolder folder;
  WriteMinimalPackage(folder, "[[image]]\nvariant = 1\nrow = 0\npositions = [4, 7, 10]\nfile = \"x64.dll\"\n");
  folder.Write("x64.dll", "MZ");
  Problems problems;
  Manifest manifest;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems)) << Joined(problems);
  ASSERT_EQ(manifest.images.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(manifest.images[i].variant, 1);
    EXPECT_EQ(manifest.images[i].position, 4 + 3 * static_cast<int>(i));
    EXPECT_EQ(manifest.images[i].path, folder.Path("x64.dll"));
    EXPECT_EQ(manifest.images[i].line, 12);
  }
}

TEST(Manifest, AWow64EditionStandsBesideThe64BitImageOfItsPosition) {
  TempFolder folder;
  WriteMinimalPackage(folder,
                      "[[image]]\nvariant = 2\nrow = 1\npositions = [3, 12]\nfile = \"x64.dll\"\n"
                      "[[image]]\nvariant = 2\nrow = 1\npositions = [3, 12]\nedition = \"wow64\"\nfile = \"wow64.dll\"\n");
  folder.Write("x64.dll", "MZ");
  folder.Write("wow64.dll", "MZ");
  Problems problems;
  Manifest manifest;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems)) << Joined(problems);
  ASSERT_EQ(manifest.images.size(), 4u);
  EXPECT_EQ(manifest.images[1].table, ImageTable::kImages);
  EXPECT_EQ(manifest.images[3].table, ImageTable::kWow64);
  EXPECT_EQ(manifest.images[3].position, 12);
  EXPECT_EQ(manifest.images[3].path, folder.Path("wow64.dll"));
  EXPECT_NE(ImageSlot(manifest.images[1]), ImageSlot(manifest.images[3]));
}

TEST(Manifest, AnExplicitKeyTableGivesTheBlockAndConstants) {
  TempFolder folder;
  WriteMinimalPackage(folder);
  std::string manifest = folder.Read("package.toml");
  manifest.replace(manifest.find("seed = \"test-seed\"\n"), 19, "");
  folder.Write("package.toml", manifest + ValidKeyTable());
  Problems problems;
  Manifest out;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &out, &problems)) << Joined(problems);
  EXPECT_TRUE(out.seed.empty());
  EXPECT_EQ(out.key.block.Data()[0], 0xAA);
  EXPECT_EQ(out.key.block.Data()[967], 0xAA);
  EXPECT_EQ(out.key.layout.keyOffset, 473);
  EXPECT_EQ(out.key.layout.move1Dest, 967);
  EXPECT_EQ(out.key.layout.move1Length, 5000);
  EXPECT_EQ(out.key.layout.xorLength, 968);
}

// Each row spoils the minimal package one way; the fault must name the manifest line and the
// field.
TEST(Manifest, FaultsNameTheLineAndField) {
  struct Row {
    const char* name;
    std::string extra;        // appended to the manifest
    std::string replaceFrom;  // and/or a change of its text
    std::string replaceTo;
    const char* where;
    const char* message;
  } rows[] = {
      {"missing text file", "", "texts/pl.txt", "texts/de.txt", "package.toml:8", "texts.language1: no such file"},
      {"missing table", "", "extra = \"texts/extra.txt\"\n", "", "package.toml:4", "texts.extra is missing"},
      {"missing licence", "", "language1 = \"licence/pl.txt\"\n", "", "package.toml:9", "licence.language1 is missing"},
      {"image without row", "[[image]]\nvariant = 0\nposition = 0\nfile = \"img\"\n", "", "", "package.toml:12",
       "[[image]] 1 row is missing"},
      {"variant out of range", "[[image]]\nvariant = 3\nrow = 0\nposition = 0\nfile = \"img\"\n", "", "",
       "package.toml:13", "[[image]] 1 variant = 3 is out of range (0..2)"},
      {"row out of range", "[[image]]\nvariant = 0\nrow = 2\nposition = 0\nfile = \"img\"\n", "", "",
       "package.toml:14", "row = 2 is out of range (0..1)"},
      {"position out of range", "[[image]]\nvariant = 0\nrow = 0\nposition = 13\nfile = \"img\"\n", "", "",
       "package.toml:15", "position = 13 is out of range (0..12)"},
      {"negative position", "[[image]]\nvariant = 0\nrow = 0\nposition = -1\nfile = \"img\"\n", "", "",
       "package.toml:15", "position = -1 is out of range"},
      {"image twice",
       "[[image]]\nvariant = 0\nrow = 0\nposition = 1\nfile = \"img\"\n"
       "[[image]]\nvariant = 0\nrow = 0\nposition = 1\nfile = \"img\"\n",
       "", "", "package.toml:17", "already has an image (line 12)"},
      {"missing image file", "[[image]]\nvariant = 0\nrow = 0\nposition = 0\nfile = \"nothing.dll\"\n", "", "",
       "package.toml:16", "[[image]] 1 file: no such file"},
      {"undefined variable", "[[image]]\nvariant = 0\nrow = 0\nposition = 0\nfile = \"${LAYOUTS}/a.dll\"\n", "", "",
       "package.toml:16", "variable LAYOUTS is not defined"},
      {"position and positions", "[[image]]\nvariant = 0\nrow = 0\nposition = 1\npositions = [2]\nfile = \"img\"\n",
       "", "", "package.toml:12", "give position or positions, not both"},
      {"empty positions", "[[image]]\nvariant = 0\nrow = 0\npositions = []\nfile = \"img\"\n", "", "",
       "package.toml:15", "positions must be a non-empty list"},
      {"a position of the list out of range", "[[image]]\nvariant = 0\nrow = 0\npositions = [4, 13]\nfile = \"img\"\n",
       "", "", "package.toml:15", "positions = 13 is out of range (0..12)"},
      {"a listed position taken", "[[image]]\nvariant = 0\nrow = 0\nposition = 7\nfile = \"img\"\n"
       "[[image]]\nvariant = 0\nrow = 0\npositions = [4, 7]\nfile = \"img\"\n",
       "", "", "package.toml:17", "position 7 already has an image (line 12)"},
      {"WOW64 edition at a 32-bit position",
       "[[image]]\nvariant = 0\nrow = 0\npositions = [4, 8]\nedition = \"wow64\"\nfile = \"img\"\n", "", "",
       "package.toml:12", "position 8 holds a 32-bit image; a WOW64 edition takes the position of the 64-bit image"},
      {"unknown edition", "[[image]]\nvariant = 0\nrow = 0\nposition = 4\nedition = \"arm\"\nfile = \"img\"\n", "",
       "", "package.toml:16", "edition = \"arm\": expected \"wow64\" or \"arm64\""},
      {"ARM64 edition before Windows 10", "[[image]]\nvariant = 0\nrow = 0\npositions = [10, 12]\nedition = \"arm64\"\n"
       "file = \"img\"\n", "", "", "package.toml:12", "position 10: an ARM64 edition takes position 12 only"},
      {"WOW64 edition twice",
       "[[image]]\nvariant = 0\nrow = 0\nposition = 4\nedition = \"wow64\"\nfile = \"img\"\n"
       "[[image]]\nvariant = 0\nrow = 0\npositions = [4]\nedition = \"wow64\"\nfile = \"img\"\n",
       "", "", "package.toml:18", "position 4 already has a WOW64 edition (line 12)"},
      {"seed not a text", "", "seed = \"test-seed\"", "seed = 42", "package.toml:3", "package.seed must be a text"},
      {"empty seed", "", "seed = \"test-seed\"", "seed = \"\"", "package.toml:3", "package.seed is empty"},
      {"seed and key", ValidKeyTable(), "", "", "package.toml:3", "package.seed and [key] both given"},
      {"no key at all", "", "seed = \"test-seed\"\n", "", "package.toml", "neither package.seed nor [key]"},
      {"unknown key", "", "common = ", "comon = ", "package.toml:5", "unknown key \"comon\" in [texts]"},
      {"bad records", "", "[licence]", "records = \"utf32\"\n[licence]", "package.toml:9", "texts.records = \"utf32\""},
      {"unknown document", "[documents]\nC = \"texts/en.txt\"\n", "", "", "package.toml:13",
       "unknown key \"C\" in [documents]"},
      {"toml syntax", "[texts\n", "", "", "package.toml:12", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    WriteMinimalPackage(folder, row.extra);
    folder.Write("img", "MZ");
    std::string text = folder.Read("package.toml");
    if (!row.replaceFrom.empty()) {
      const size_t at = text.find(row.replaceFrom);
      ASSERT_NE(at, std::string::npos);
      text.replace(at, row.replaceFrom.size(), row.replaceTo);
    }
    folder.Write("package.toml", text);
    Problems problems;
    Manifest manifest;
    EXPECT_FALSE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
    ASSERT_GE(problems.Count(), 1u);
    const std::string& line = problems.Lines()[0];
    const std::string where = folder.Path(row.where) + ":";
    EXPECT_EQ(line.compare(0, where.size(), where), 0) << line;
    EXPECT_NE(line.find(row.message), std::string::npos) << line;
  }
}

TEST(Manifest, KeyTableFaultsNameTheField) {
  struct Row {
    std::string from;
    std::string to;
    const char* message;
  } rows[] = {
      {"key_offset = 473", "key_offset = 474", "key.key_offset = 474 is out of range (0..473)"},
      {"move1_dest = 967", "move1_dest = 968", "key.move1_dest = 968 is out of range (0..967)"},
      {"xor_source_pos = 3", "xor_source_pos = -1", "key.xor_source_pos = -1 is out of range"},
      {"move2_length = 0", "move2_length = -5", "key.move2_length = -5 is out of range"},
      {"xor_start = 4\n", "", "package.toml:11: key.xor_start is missing"},
      {"move2_dest = 2", "move2_dest = \"2\"", "key.move2_dest must be a whole number"},
      {"aaaa\"\"\"", "aa\"\"\"", "key.block holds 1934 hexadecimal digits; 1936 needed (968 bytes)"},
      {"block = \"\"\"\naa", "block = \"\"\"\nga", "key.block: \"g\" is not a hexadecimal digit"},
      {"key_offset", "key_ofset", "unknown key \"key_ofset\" in [key]"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    TempFolder folder;
    WriteMinimalPackage(folder);
    std::string text = folder.Read("package.toml");
    text.replace(text.find("seed = \"test-seed\"\n"), 19, "");
    text += ValidKeyTable();
    const size_t at = text.find(row.from);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, row.from.size(), row.to);
    folder.Write("package.toml", text);
    Problems problems;
    Manifest manifest;
    EXPECT_FALSE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
    EXPECT_NE(Joined(problems).find(row.message), std::string::npos) << Joined(problems);
  }
}

}  // namespace
