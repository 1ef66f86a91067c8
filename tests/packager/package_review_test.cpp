// The warnings of "packager check" about what a package still shares with the demo and about
// wizard choices without images.
#include "tools/packager/package_review.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"

namespace {

// The common table, with the version and publisher of Installed apps unless asked without.
TableSet Tables(const std::string& common, bool entryTexts = true) {
  TableSet tables;
  Problems problems;
  ParseTextFile("common.txt", common + (entryTexts ? "== 331\n1.0\n== 332\nVendor\n" : ""), &tables.tables[kTableCommon],
                &problems);
  ParseTextFile("en.txt", "== 113\nQWERTY\n", &tables.tables[kTableLanguage0], &problems);
  EXPECT_TRUE(problems.Empty()) << Joined(problems);
  return tables;
}

LayoutImage Image(int variant, int row, int position, ImageTable table = ImageTable::kImages) {
  LayoutImage image;
  image.variant = variant;
  image.row = row;
  image.position = position;
  image.table = table;
  return image;
}

TEST(PackageReview, TheDemosKeyAndProductCodeAndScriptsNamingAnotherLayout) {
  const TableSet tables = Tables(std::string("== 84\n") + kDemoProductCode +
                                 "\n== 85\na0010427\n"
                                 "== 62\nID=\"%04x:%s\"\n"
                                 "== 66\nID=\"0427:A0010427\"\nID=\"0409:a0000415\"\n",
                                 false);
  Problems warnings;
  ReviewPackage("package.toml", 3, MaterialFromSeed(kDemoSeed).block, tables, {}, &warnings);
  EXPECT_EQ(Joined(warnings),
            "package.toml:3: the key block is the demo's (seed \"demo-2026-12\"): give the package a seed of its own\n"
            "common.txt:1: text 84: the product code is the demo's; give the layout one of its own\n"
            "package.toml: text 331 (version) is missing: Installed apps shows the layout without it\n"
            "package.toml: text 332 (publisher) is missing: Installed apps shows the layout without it\n"
            "common.txt:7: text 66: the script names layout a0000415, but text 85 is a0010427\n");

  // A package of its own: nothing to say.
  warnings = Problems();
  ReviewPackage("package.toml", 3, MaterialFromSeed("lt-layout-1").block,
                Tables("== 84\n{0D5F1A2B-0000-4000-8000-000000000001}\n== 85\na0010427\n"
                       "== 66\n0427:a0010427 {0D5F1A2B-0000-4000-8000-000000000001} 0409:A0010427\n"),
                {Image(0, 0, 8), Image(1, 0, 8), Image(2, 0, 8), Image(0, 1, 8), Image(1, 1, 8), Image(2, 1, 8)},
                &warnings);
  EXPECT_TRUE(warnings.Empty()) << Joined(warnings);
}

TEST(PackageReview, EveryVariantAndRowLackingAnImageWhereOthersHaveOne) {
  const std::vector<LayoutImage> images = {
      Image(0, 0, 8),        Image(0, 0, 10),       Image(0, 1, 8), Image(0, 1, 10),  // complete
      Image(1, 0, 8),        Image(1, 0, 10, ImageTable::kWow64),                     // x64 image missing
      Image(2, 0, 10, ImageTable::kWow64),                                            // only a WOW64 edition
      Image(1, 1, 8),        Image(1, 1, 10),       Image(2, 1, 8), Image(2, 1, 10),
      Image(0, 0, 12, ImageTable::kArm64), Image(0, 1, 12, ImageTable::kArm64), Image(1, 0, 12, ImageTable::kArm64),
      Image(1, 1, 12, ImageTable::kArm64), Image(2, 0, 12, ImageTable::kArm64),  // ARM64: all but variant 2, row 1
  };
  Problems warnings;
  ReviewPackage("package.toml", 3, MaterialFromSeed("other").block, Tables("== 85\na0010427\n"), images, &warnings);
  const std::string tail =
      ", where other images are; the wizard offers it, and an install that chooses it there stops. Give it images "
      "(one file may serve several variants and rows)\n";
  EXPECT_EQ(Joined(warnings), "package.toml: ARM64 editions, but no text 336 (IsWow64Process2): the installer would "
                              "not recognise ARM64 Windows and would never install them\n"
                              "package.toml: variant 1 (text 114), normal row: no image at position 10" + tail +
                                  "package.toml: variant 2 (text 115), normal row: no image at positions 8, 10" + tail +
                                  "package.toml: variant 2 (text 115), alternative row (check box, text 108): no image "
                                  "at position 12 (ARM64)" + tail);
  // The variant's name, when the tables give it.
  warnings = Problems();
  ReviewPackage("package.toml", 3, MaterialFromSeed("other").block, Tables(""), {Image(1, 0, 8)}, &warnings);
  EXPECT_NE(Joined(warnings).find("variant 0 (text 113 \"QWERTY\"), normal row: no image at position 8"),
            std::string::npos)
      << Joined(warnings);
}

}  // namespace
