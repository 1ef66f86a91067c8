// "packager new": a package for another layout made from the demo passes every check at once,
// carries its own identifiers everywhere, and nothing is made from bad options.
#include "tools/packager/new_package.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/packager/packager_test_util.h"
#include "tools/packager/check.h"
#include "tools/packager/image_check.h"
#include "tools/packager/package_review.h"

namespace {

NewPackageOptions Options(const TempFolder& root, const std::string& name) {
  NewPackageOptions options;
  options.folder = root.Path(name);
  options.from = std::string(PACKAGER_SOURCE_DIR) + "/demo";
  options.language = "427";
  options.layout = "A0010427";
  options.layoutId = "00D1";
  const std::string layouts = DEMO_LAYOUTS_DIR;
  options.x86 = layouts + "/kbddemo_v1_r0_x86.dll";
  options.x64 = layouts + "/kbddemo_v1_r0_x64.dll";
  options.wow64 = layouts + "/kbddemo_v1_r0_wow64.dll";
  options.arm64 = layouts + "/kbddemo_v1_r0_arm64.dll";
  return options;
}

std::string TextOf(const TableSet& tables, uint32_t id) {
  const TextEntry* entry = tables.tables[kTableCommon].Find(id);
  return entry ? entry->text : "(missing)";
}

TEST(NewPackage, FromTheDemoWithLibrariesPassesEveryCheckWithItsOwnIdentifiers) {
  TempFolder root;
  std::vector<std::string> report;
  Problems problems;
  ASSERT_TRUE(CreatePackage(Options(root, "my-layout"), &report, &problems)) << Joined(problems);

  Manifest manifest;
  ASSERT_TRUE(LoadManifest(root.Path("my-layout/package.toml"), {}, &manifest, &problems)) << Joined(problems);
  TableSet tables;
  ASSERT_TRUE(TablesFromManifest(manifest, &tables, &problems));
  CheckTables(tables, ProgramTextIds(), &problems);
  std::vector<LayoutImage> images;
  ASSERT_TRUE(ImagesFromManifest(manifest, &images, &problems));
  EXPECT_EQ(images.size(), 6u * (6 + 4 + 4 + 1));  // every variant and row: 32-bit, x64, WOW64, ARM64
  CheckImages(tables, images, &problems);
  Problems warnings;
  ReviewPackage(manifest.path, manifest.keyLine, manifest.key.block, tables, images, &warnings);
  EXPECT_TRUE(problems.Empty()) << Joined(problems);
  EXPECT_TRUE(warnings.Empty()) << Joined(warnings);

  EXPECT_EQ(TextOf(tables, 85), "a0010427");
  EXPECT_EQ(TextOf(tables, 86), "0427");
  EXPECT_EQ(TextOf(tables, 87), "00d1");
  EXPECT_EQ(TextOf(tables, 83), "kbddemo_v1_r0_x86.dll");
  const std::string code = TextOf(tables, 84);
  EXPECT_EQ(code.size(), 38u);
  EXPECT_NE(code, kDemoProductCode);
  const std::string removal = TextOf(tables, 66);
  // The removal names the input language the record holds (%04x), and the new layout.
  EXPECT_NE(removal.find("ID=\"%04x:a0010427\""), std::string::npos) << removal;
  EXPECT_EQ(removal.find("a0000415"), std::string::npos) << removal;
  EXPECT_EQ(TextOf(tables, 147), "FF001B0031003200");
  EXPECT_FALSE(std::filesystem::exists(root.Path("my-layout/layouts/x86/kbddemo.c")));

  // Another package gets another seed and product code.
  ASSERT_TRUE(CreatePackage(Options(root, "second"), &report, &problems)) << Joined(problems);
  Manifest second;
  TableSet secondTables;
  ASSERT_TRUE(LoadManifest(root.Path("second/package.toml"), {}, &second, &problems));
  ASSERT_TRUE(TablesFromManifest(second, &secondTables, &problems));
  EXPECT_NE(second.seed, manifest.seed);
  EXPECT_NE(TextOf(secondTables, 84), code);
}

TEST(NewPackage, BadOptionsOrAnExistingFolderMakeNothing) {
  TempFolder root;
  const struct {
    const char* name;
    std::string NewPackageOptions::*field;
    std::string value;
    const char* fault;
  } rows[] = {
      {"language", &NewPackageOptions::language, "04275", "--language 04275: 1 to 4 hexadecimal digits"},
      {"layout", &NewPackageOptions::layout, "a001042", "--layout a001042: 8 hexadecimal digits"},
      {"layout id", &NewPackageOptions::layoutId, "00g1", "--layout-id 00g1: 4 hexadecimal digits"},
      {"library", &NewPackageOptions::x64, "/nonexistent/x64.dll", "/nonexistent/x64.dll: no such file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    NewPackageOptions options = Options(root, "bad");
    options.*row.field = row.value;
    std::vector<std::string> report;
    Problems problems;
    EXPECT_FALSE(CreatePackage(options, &report, &problems));
    EXPECT_NE(Joined(problems).find(row.fault), std::string::npos) << Joined(problems);
    EXPECT_FALSE(std::filesystem::exists(root.Path("bad")));
  }
  NewPackageOptions inside = Options(root, "");
  inside.from = root.Path();
  inside.folder = root.Path("demo-copy/inner");
  root.Write("package.toml", "");
  root.Write("texts/common.txt", "== 85\na0000415\n== 86\n0415\n");
  std::vector<std::string> insideReport;
  Problems insideProblems;
  EXPECT_FALSE(CreatePackage(inside, &insideReport, &insideProblems));
  EXPECT_NE(Joined(insideProblems).find("lies inside"), std::string::npos) << Joined(insideProblems);
  EXPECT_FALSE(std::filesystem::exists(root.Path("demo-copy")));

  root.Write("taken/keep.txt", "mine");
  std::vector<std::string> report;
  Problems problems;
  EXPECT_FALSE(CreatePackage(Options(root, "taken"), &report, &problems));
  EXPECT_EQ(root.Read("taken/keep.txt"), "mine");
  EXPECT_FALSE(std::filesystem::exists(root.Path("taken/package.toml")));
}

TEST(NewPackage, ReplaceTextChangesOneTextAndKeepsCommentsAndTheOthers) {
  std::string content = "# head\n== 84  code\n{OLD}\n\n# about 85\n== 85\nA0000415\n== 66\nID=\"0415:a0000415\"\n";
  EXPECT_TRUE(ReplaceText(&content, 84, "{NEW}", ""));
  EXPECT_TRUE(ReplaceText(&content, 85, "a0010427", "the layout"));
  EXPECT_FALSE(ReplaceText(&content, 99, "x", ""));
  ReplaceInText(&content, 66, "0415:A0000415", "0427:a0010427");
  EXPECT_EQ(content,
            "# head\n== 84  code\n{NEW}\n\n# about 85\n== 85  the layout\na0010427\n== 66\nID=\"0427:a0010427\"\n");
}

}  // namespace
