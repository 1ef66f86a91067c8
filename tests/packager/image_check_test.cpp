#include "tools/packager/image_check.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "package/blob_writer.h"
#include "tests/packager/packager_test_util.h"

namespace {

std::string Filler(size_t size) { return std::string(size, '\x90'); }

std::string GoodImage(int variant) {
  std::string image = Filler(kFakeLayoutBytes);
  PutFakeLayout(&image, variant);
  return image;
}

std::string Replaced(std::string text, const std::string& what, const std::string& with) {
  const size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

// The minimal package with the given pattern texts in its common table and one image per
// entry, variant as given, at row 0 and positions 0, 1, ... The manifest's first [[image]] is
// on line 12, the common table's first pattern text on line 5.
void WriteImagePackage(const TempFolder& folder, const std::vector<std::pair<int, std::string>>& images,
                       const std::string& patterns = kFakePatternTexts) {
  std::string manifest;
  for (size_t i = 0; i < images.size(); ++i) {
    manifest += "[[image]]\nvariant = " + std::to_string(images[i].first) + "\nrow = 0\nposition = " +
                std::to_string(i) + "\nfile = \"images/" + std::to_string(i) + ".dll\"\n";
    folder.Write("images/" + std::to_string(i) + ".dll", images[i].second);
  }
  WriteMinimalPackage(folder, manifest);
  folder.Write("texts/common.txt", folder.Read("texts/common.txt") + patterns);
}

std::vector<std::string> CheckFolder(const TempFolder& folder) {
  TableSet tables;
  Problems problems;
  EXPECT_TRUE(LoadTablesFromFolder(folder.Path(), {}, &tables, &problems)) << Joined(problems);
  std::vector<LayoutImage> images;
  EXPECT_TRUE(LoadImagesFromFolder(folder.Path(), {}, &images, &problems)) << Joined(problems);
  CheckImages(tables, images, &problems);
  return problems.Lines();
}

// BuildPackage's findings; out is left as the build made it.
std::vector<std::string> Build(const TempFolder& folder, PackageFile* out) {
  Problems problems;
  Manifest manifest;
  EXPECT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems)) << Joined(problems);
  const bool built = BuildPackage(manifest, Damage::kNone, out, &problems);
  EXPECT_EQ(built, problems.Empty());
  return problems.Lines();
}

// How the messages about the first image of a folder start.
std::string FirstImage(const TempFolder& folder, int variant) {
  return folder.Path("package.toml") + ":12: image layoutImage." + std::to_string(variant) + ".0.0 (" +
         folder.Path("images/0.dll") + "): ";
}

TEST(ImageCheck, ImagesThatFitTheirPatternsPass) {
  // Each table ends exactly at the end of one image: the last byte that fits is allowed.
  std::string tableAtEnd = GoodImage(1);
  PutHex(&tableAtEnd, kFakeMainTable, std::string(12, '9'));
  PutFakeMainTable(&tableAtEnd, kFakeLayoutBytes, 1);
  std::string listAtEnd = GoodImage(2);
  PutHex(&listAtEnd, kFakeE1List, std::string(16, '9'));
  PutHex(&listAtEnd, kFakeLayoutBytes, "1D001302" "00000000");
  TempFolder folder;
  WriteImagePackage(folder, {{0, GoodImage(0)}, {1, tableAtEnd}, {2, listAtEnd}});
  EXPECT_EQ(CheckFolder(folder), std::vector<std::string>());
  PackageFile package;
  EXPECT_EQ(Build(folder, &package), std::vector<std::string>());
  EXPECT_NE(package.Find("layoutImage.2.0.2"), nullptr);
}

TEST(ImageCheck, EachFaultIsNamedWithImageTextAndOffset) {
  std::string absent = GoodImage(0);
  PutHex(&absent, kFakeE1List, "9090909090909090");
  std::string twice = GoodImage(0);
  PutHex(&twice, 320, "1C000D801D00A381" "00000000");
  std::string overlapping = GoodImage(0);
  PutHex(&overlapping, kFakeDecimal, "2E002E002E00");
  std::string tableCut = GoodImage(0);
  PutHex(&tableCut, kFakeMainTable, std::string(12, '9'));
  PutHex(&tableCut, 300, "FF001B003100");
  tableCut.resize(400, '\x90');
  std::string listOpen = GoodImage(0);
  PutHex(&listOpen, kFakeE1List, "9090909090909090");
  PutHex(&listOpen, 300, "1D0013021D00A0A0");
  std::string endRecordCut = listOpen.substr(0, 304) + std::string(2, '\0');
  std::string decimalCut = GoodImage(0);
  PutHex(&decimalCut, kFakeDecimal, "90909090");
  decimalCut += std::string("\x2E\x00\x2E", 3);
  const std::string patterns = kFakePatternTexts;

  struct Row {
    const char* name;
    int variant;
    std::string image;
    std::string patterns;
    std::string finding;  // after the image's name; TEXTS stands for the texts folder
  } rows[] = {
      {"pattern absent", 0, absent, patterns,
       "text 151 (list of E1 keys, TEXTS/common.txt:15) does not occur in the image"},
      {"pattern twice", 0, twice, patterns,
       "text 150 (list of E0 keys, TEXTS/common.txt:13) occurs 2 times (at offsets 0x110, 0x140); it must occur "
       "exactly once"},
      {"overlapping occurrences", 0, overlapping, patterns,
       "text 146 (characters of the decimal key, TEXTS/common.txt:5) occurs 2 times (at offsets 0x128, 0x12A); it must "
       "occur exactly once"},
      {"the other variant's table", 2, GoodImage(0), patterns,
       "text 149 (table of virtual keys of variant 2, TEXTS/common.txt:11) does not occur in the image"},
      {"main table past the end", 0, tableCut, patterns,
       "text 147 (table of virtual keys of variant 0, TEXTS/common.txt:7) at offset 0x12C: the table of 127 virtual keys "
       "(254 bytes) reaches past the end of the image (400 bytes)"},
      {"list without end record", 0, listOpen, patterns,
       "text 151 (list of E1 keys, TEXTS/common.txt:15) at offset 0x12C: the list has no end record (4 bytes, the first "
       "0) before the end of the image (308 bytes)"},
      {"end record cut short", 0, endRecordCut, patterns,
       "text 151 (list of E1 keys, TEXTS/common.txt:15) at offset 0x12C: the list has no end record (4 bytes, the first "
       "0) before the end of the image (306 bytes)"},
      {"decimal pair past the end", 0, decimalCut, Replaced(patterns, "2E002E00\n", "2E002E\n"),
       "text 146 (characters of the decimal key, TEXTS/common.txt:5) at offset 0x12C: the two 16-bit characters (4 "
       "bytes) reach past the end of the image (303 bytes)"},
      {"pattern text missing", 0, GoodImage(0), Replaced(patterns, "== 150\n1C000D801D00\n", ""),
       "text 150 (list of E0 keys) is missing: no table holds it"},
      {"not a pattern", 0, GoodImage(0), Replaced(patterns, "== 151\n1D001302\n", "== 151\n1D0013 02\n"),
       "text 151 (list of E1 keys, TEXTS/common.txt:15) is not a search pattern: \" \" at position 7 is not an "
       "upper-case hexadecimal digit"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempFolder folder;
    WriteImagePackage(folder, {{row.variant, row.image}}, row.patterns);
    const std::string expected = FirstImage(folder, row.variant) + Replaced(row.finding, "TEXTS", folder.Path("texts"));
    EXPECT_EQ(CheckFolder(folder), std::vector<std::string>{expected});
    // A build finds the same and makes nothing.
    PackageFile package;
    EXPECT_EQ(Build(folder, &package), std::vector<std::string>{expected});
    EXPECT_TRUE(package.blobs.empty());
  }
}

TEST(ImageCheck, EachLanguageIsCheckedWithTheTextItGets) {
  const std::string patterns = Replaced(kFakePatternTexts, "== 146\n2E002E00\n", "");
  TempFolder folder;
  WriteImagePackage(folder, {{0, GoodImage(0)}}, patterns);
  // Language 0 gets a text that fits, language 1 one that does not occur.
  folder.Write("texts/en.txt", folder.Read("texts/en.txt") + "== 146\n2E002E00\n");
  folder.Write("texts/pl.txt", folder.Read("texts/pl.txt") + "== 146\n2C002C00\n");
  EXPECT_EQ(CheckFolder(folder),
            std::vector<std::string>{FirstImage(folder, 0) + "text 146 of language 1 (characters of the decimal key, " +
                                     folder.Path("texts/pl.txt") + ":5) does not occur in the image"});

  // Only language 1 holds the text: language 0 misses it.
  folder.Write("texts/en.txt", "== 93\nSetup\n== 97\nWelcome to %s\n");
  EXPECT_EQ(CheckFolder(folder),
            (std::vector<std::string>{
                FirstImage(folder, 0) +
                    "text 146 of language 0 (characters of the decimal key) is missing: no table holds it",
                FirstImage(folder, 0) + "text 146 of language 1 (characters of the decimal key, " +
                    folder.Path("texts/pl.txt") + ":5) does not occur in the image"}));

  // A language table's text goes before the common one's, which is then not checked.
  folder.Write("texts/common.txt", folder.Read("texts/common.txt") + "== 146\n4142\n");
  folder.Write("texts/en.txt", "== 93\nSetup\n== 97\nWelcome to %s\n== 146\n2E002E00\n");
  folder.Write("texts/pl.txt", "== 93\nInstalator\n== 97\nWitamy: %s\n== 146\n2E002E00\n");
  EXPECT_EQ(CheckFolder(folder), std::vector<std::string>());
}

TEST(ImageCheck, APackageFileIsCheckedWithItsDecodedImages) {
  TempFolder folder, out;
  WriteImagePackage(folder, {{0, GoodImage(0)}, {1, GoodImage(1)}, {2, GoodImage(2)}, {1, GoodImage(1)}});
  Manifest manifest;
  PackageFile package;
  Problems problems;
  std::vector<std::string> report;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
  ASSERT_TRUE(BuildPackage(manifest, Damage::kNone, &package, &problems)) << Joined(problems);

  // Images that the build would refuse, put into the package with its key; the two identical
  // ones are reported together.
  KeyBytes key;
  ASSERT_TRUE(KeyFromMaterial(manifest.key, &key));
  std::string twice = GoodImage(1);
  PutHex(&twice, 320, "1C000D801D00A381" "00000000");
  for (NamedBlob& blob : package.blobs) {
    if (blob.name == "layoutImage.1.0.1" || blob.name == "layoutImage.1.0.3") {
      ASSERT_TRUE(EncodeBlob(key.Data(), static_cast<int>(key.Size()), reinterpret_cast<const uint8_t*>(twice.data()),
                             twice.size(), 0, &blob.stored));
    }
    if (blob.name == "layoutImage.2.0.2") blob.stored[30] ^= 0xFF;
  }
  ASSERT_TRUE(WriteOutputs(package, out.Path(), &report, &problems)) << Joined(problems);

  const std::string bin = out.Path("package.bin");
  TableSet tables;
  std::vector<LayoutImage> images;
  ASSERT_TRUE(LoadTablesFromPackage(bin, &tables, &problems)) << Joined(problems);
  EXPECT_FALSE(LoadImagesFromPackage(bin, &images, &problems));
  EXPECT_EQ(images.size(), 3u);
  CheckImages(tables, images, &problems);
  EXPECT_EQ(problems.Lines(),
            (std::vector<std::string>{bin + "[layoutImage.2.0.2]: does not decode",
                                      bin + ": images layoutImage.1.0.1, layoutImage.1.0.3: text 150 (list of E0 "
                                            "keys, " + bin + "[textCommon]) occurs 2 times (at offsets 0x110, 0x140); "
                                            "it must occur exactly once"}));
}

TEST(ImageCheck, TheCommandsRefuseAndReport) {
  TempFolder folder, out;
  std::string absent = GoodImage(0);
  PutHex(&absent, kFakeDecimal, "90909090");
  WriteImagePackage(folder, {{0, absent}});
  const std::string finding = FirstImage(folder, 0) + "text 146 (characters of the decimal key, " +
                              folder.Path("texts/common.txt") + ":5) does not occur in the image\n";

  CommandRun run = Packager("build " + folder.Path() + " --out-dir " + out.Path("o"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, finding);
  EXPECT_FALSE(std::filesystem::exists(out.Path("o")));
  run = Packager("check " + folder.Path() + " --require=4,86,93");
  EXPECT_EQ(run.exitCode, 1);
  // The finding, then warnings about the variants and rows without this image.
  EXPECT_EQ(run.output.substr(0, finding.size()), finding);
  EXPECT_EQ(run.output.find("warning: ", finding.size()), finding.size()) << run.output;

  // Mended, it builds, and its package file checks clean.
  folder.Write("images/0.dll", GoodImage(0));
  run = Packager("build " + folder.Path() + " --out-dir " + out.Path("o"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  run = Packager("check " + out.Path("o/package.bin") + " --require=4,86,93");
  EXPECT_EQ(run.exitCode, 0) << run.output;
}

}  // namespace
