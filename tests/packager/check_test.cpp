#include "tools/packager/check.h"

#include <gtest/gtest.h>

#include "tests/packager/packager_test_util.h"
#include "tools/packager/builder.h"

namespace {

TEST(FormatConversions, CanonicalFormsOfWhatTakesArguments) {
  struct Row {
    const char* text;
    std::vector<std::string> conversions;
  } rows[] = {
      {"no conversions", {}},
      {"%s and %d", {"%s", "%d"}},
      {"%0-8.2lld", {"%-08.2lld"}},
      {"%-08.2Ld", {"%-08.2lld"}},  // "L" and "ll" are one modifier
      {"%ld", {"%d"}},              // "l" has no effect
      {"%hs %.*s %*d", {"%hs", "%.*s", "%*d"}},
      {"100%% sure%N%q", {}},       // "%%", the line break and a letter copied as text
      {"%`#x %$S %+ I", {"%#`x", "%$S", "%+ I"}},
      {"trailing %", {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FormatConversions(row.text), row.conversions);
  }
}

TEST(ParseIdList, IdentifiersAndRanges) {
  std::vector<uint32_t> ids;
  std::string error;
  ASSERT_TRUE(ParseIdList("93, 4,50-51 ,146-148,4", &ids, &error)) << error;
  EXPECT_EQ(ids, (std::vector<uint32_t>{4, 50, 51, 93, 146, 147, 148}));
  ASSERT_TRUE(ParseIdList("", &ids, &error));
  EXPECT_TRUE(ids.empty());
  for (const char* bad : {"4,", "x", "5-3", "1;2", "4294967296"}) {
    EXPECT_FALSE(ParseIdList(bad, &ids, &error)) << bad;
  }
}

TEST(ParseIdList, ARangeTooWideToListIsRefused) {
  std::vector<uint32_t> ids;
  std::string error;
  EXPECT_FALSE(ParseIdList("0-4294967295", &ids, &error));
  EXPECT_NE(error.find("more than 65536 identifiers"), std::string::npos) << error;
  EXPECT_FALSE(ParseIdList("1-65536,70000", &ids, &error));
  ASSERT_TRUE(ParseIdList("1-65535,70000", &ids, &error)) << error;
  EXPECT_EQ(ids.size(), 65536u);
}

TableSet Tables(std::vector<std::pair<uint32_t, std::string>> common, std::vector<std::pair<uint32_t, std::string>> en,
                std::vector<std::pair<uint32_t, std::string>> pl) {
  TableSet set;
  set.origin = "package.toml";
  const char* paths[] = {"common.txt", "extra.txt", "en.txt", "pl.txt"};
  std::vector<std::pair<uint32_t, std::string>>* contents[] = {&common, nullptr, &en, &pl};
  for (int slot = 0; slot < kTableSlots; ++slot) {
    set.tables[slot].path = paths[slot];
    if (!contents[slot]) continue;
    int line = 10;
    for (auto& [id, text] : *contents[slot]) set.tables[slot].entries.push_back({id, text, line++});
  }
  set.tables[kTableExtra].entries.push_back({94, "Frame", 1});
  return set;
}

std::vector<std::string> Check(const TableSet& set, std::vector<uint32_t> required = {}) {
  Problems problems;
  CheckTables(set, required, &problems);
  return problems.Lines();
}

TEST(CheckTables, ACompleteMatchingSetHasNoProblems) {
  EXPECT_TRUE(Check(Tables({{86, "0415"}, {147, "0A1B"}}, {{93, "Setup %s: %d"}}, {{93, "Instalator %s: %d"}}),
                    {86, 93, 94, 147})
                  .empty());
}

TEST(CheckTables, FindingsNameFileLineAndText) {
  struct Row {
    const char* name;
    TableSet set;
    std::vector<uint32_t> required;
    std::string finding;
  } rows[] = {
      {"required text in no table", Tables({{86, "0415"}}, {{93, "a"}}, {{93, "b"}}), {93, 120},
       "package.toml: text 120: required by the program, but no table holds it"},
      {"language tables differ", Tables({}, {{93, "a"}, {120, "only English"}}, {{93, "b"}}), {},
       "en.txt:11: text 120: missing from the other language table, pl.txt"},
      {"placeholder letter", Tables({}, {{93, "%d files"}}, {{93, "%s plików"}}), {},
       "pl.txt:10: text 93: conversions \"%s\" differ from \"%d\" in en.txt:10"},
      {"placeholder order", Tables({}, {{93, "%s: %d"}}, {{93, "%d: %s"}}), {},
       "pl.txt:10: text 93: conversions \"%d %s\" differ from \"%s %d\" in en.txt:10"},
      {"placeholder width", Tables({}, {{93, "%08X"}}, {{93, "%8X"}}), {},
       "pl.txt:10: text 93: conversions \"%8X\" differ from \"%08X\""},
      {"placeholder missing", Tables({}, {{93, "%s"}}, {{93, "nic"}}), {},
       "pl.txt:10: text 93: conversions (none) differ from \"%s\""},
      {"lower-case pattern", Tables({{147, "0a1B"}}, {}, {}), {},
       "common.txt:10: text 147: search pattern \"a\" at position 2 is not an upper-case hexadecimal digit"},
      {"odd pattern", Tables({{150, "0A1"}}, {}, {}), {}, "common.txt:10: text 150: search pattern has an odd number of digits"},
      {"empty pattern", Tables({}, {{146, ""}}, {{146, "2C"}}), {}, "en.txt:10: text 146: search pattern is empty"},
      {"language identifier", Tables({{86, "Polish"}}, {}, {}), {},
       "common.txt:10: text 86: the package's language identifier must be 1 to 4 hexadecimal digits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::vector<std::string> findings = Check(row.set, row.required);
    ASSERT_EQ(findings.size(), 1u) << (findings.empty() ? "" : findings[0] + " / " + findings.back());
    EXPECT_EQ(findings[0].compare(0, row.finding.size(), row.finding), 0) << findings[0];
  }
}

TEST(CheckTables, ATextInCommonOrExtraServesBothLanguages) {
  EXPECT_TRUE(Check(Tables({{4, "Software\\Demo"}}, {{93, "a"}}, {{93, "b"}}), {4, 93, 94}).empty());
}

TEST(CheckTables, PatternsAreCheckedInEveryTable) {
  EXPECT_EQ(Check(Tables({}, {{148, "zz"}}, {{148, "ZZ"}})).size(), 2u);
}

// A crafted bad folder, checked as a folder (file:line) and again as its built package.
TEST(CheckPackage, FolderAndPackageFileGiveTheSameFindings) {
  TempFolder folder;
  WriteMinimalPackage(folder);
  folder.Write("texts/common.txt", "== 86\n0415\n== 149\n0a0b\n");
  folder.Write("texts/pl.txt", "== 93\nInstalator\n\n== 97\nWitamy: %d\n== 98\nAnuluj\n");

  TableSet fromFolder;
  Problems problems;
  ASSERT_TRUE(LoadTablesFromFolder(folder.Path("package.toml"), {}, &fromFolder, &problems)) << Joined(problems);
  CheckTables(fromFolder, {4, 86, 93}, &problems);
  const std::string common = folder.Path("texts/common.txt"), en = folder.Path("texts/en.txt"),
                    pl = folder.Path("texts/pl.txt");
  const std::vector<std::string> expected = {
      folder.Path("package.toml") + ": text 4: required by the program, but no table holds it",
      pl + ":4: text 97: conversions \"%d\" differ from \"%s\" in " + en + ":3",
      pl + ":6: text 98: missing from the other language table, " + en,
      common + ":3: text 149: search pattern \"a\" at position 2 is not an upper-case hexadecimal digit",
  };
  EXPECT_EQ(problems.Lines(), expected);

  // The same package built (checks do not stop a build) and checked from package.bin.
  TempFolder out;
  Manifest manifest;
  PackageFile package;
  std::vector<std::string> report;
  Problems buildProblems;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &buildProblems));
  ASSERT_TRUE(BuildPackage(manifest, Damage::kNone, &package, &buildProblems));
  ASSERT_TRUE(WriteOutputs(package, out.Path(), &report, &buildProblems));
  TableSet fromPackage;
  Problems packageProblems;
  const std::string bin = out.Path("package.bin");
  ASSERT_TRUE(LoadTablesFromPackage(bin, &fromPackage, &packageProblems)) << Joined(packageProblems);
  CheckTables(fromPackage, {4, 86, 93}, &packageProblems);
  ASSERT_EQ(packageProblems.Count(), 4u) << Joined(packageProblems);
  EXPECT_EQ(packageProblems.Lines()[2], bin + "[textLanguage1]: text 98: missing from the other language table, " + bin +
                                            "[textLanguage0]");
  EXPECT_NE(packageProblems.Lines()[3].find("[textCommon]: text 149"), std::string::npos);
}

TEST(CheckPackage, ADamagedPackageIsReported) {
  TempFolder out;
  Manifest manifest;
  PackageFile package;
  std::vector<std::string> report;
  Problems problems;
  ASSERT_TRUE(LoadManifest(std::string(PACKAGER_SOURCE_DIR) + "/demo/package.toml", {{"LAYOUTS", DEMO_LAYOUTS_DIR}}, &manifest, &problems));
  ASSERT_TRUE(BuildPackage(manifest, Damage::kTableByte, &package, &problems));
  ASSERT_TRUE(WriteOutputs(package, out.Path(), &report, &problems));
  TableSet tables;
  EXPECT_FALSE(LoadTablesFromPackage(out.Path("package.bin"), &tables, &problems));
  EXPECT_NE(Joined(problems).find("[textCommon]: does not decode"), std::string::npos) << Joined(problems);
}

TEST(CheckPackage, TheDemoHasWhatItsTextsPromise) {
  TableSet tables;
  Problems problems;
  ASSERT_TRUE(LoadTablesFromFolder(std::string(PACKAGER_SOURCE_DIR) + "/demo", {{"LAYOUTS", DEMO_LAYOUTS_DIR}}, &tables, &problems))
      << Joined(problems);
  CheckTables(tables, {4, 50, 51, 71, 86, 93}, &problems);
  EXPECT_TRUE(problems.Empty()) << Joined(problems);
}

}  // namespace
