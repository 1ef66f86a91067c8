// The packager as a program: exit codes and the lines it prints.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>

#include "tests/packager/packager_test_util.h"

namespace {

// The demo folder with its layout libraries (built before the tests) for "${LAYOUTS}".
const std::string kDemo = std::string(PACKAGER_SOURCE_DIR) + "/demo --var LAYOUTS=" + DEMO_LAYOUTS_DIR;

TEST(PackagerCommand, CheckReportsEachProblemOnItsOwnLine) {
  TempFolder folder;
  WriteMinimalPackage(folder);
  folder.Write("texts/pl.txt", "== 93\nInstalator\n== 97\nWitamy: %d\n");
  const CommandRun run = Packager("check " + folder.Path() + " --require=4,86,93,120");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, folder.Path("package.toml") + ": text 120: required by the program, but no table holds it\n" +
                            folder.Path("texts/pl.txt") + ":3: text 97: conversions \"%d\" differ from \"%s\" in " +
                            folder.Path("texts/en.txt") + ":3\n");
  const CommandRun demo = Packager("check " + kDemo + " --require=4,50-51,71,86,93");
  EXPECT_EQ(demo.exitCode, 0) << demo.output;
}

TEST(PackagerCommand, CheckWithoutRequireAsksForEveryProgramText) {
  TempFolder folder;
  WriteMinimalPackage(folder);
  const CommandRun minimal = Packager("check " + folder.Path());
  EXPECT_EQ(minimal.exitCode, 1);
  EXPECT_NE(minimal.output.find(": text 146: required by the program"), std::string::npos) << minimal.output;
  EXPECT_EQ(minimal.output.find(": text 86: required"), std::string::npos);
  // The demo package holds every text the program asks for.
  const CommandRun demo = Packager("check " + kDemo);
  EXPECT_EQ(demo.exitCode, 0) << demo.output;
}

TEST(PackagerCommand, CheckWarnsAboutTheDemosOwnKeyAndProductCodeWithoutFailing) {
  const CommandRun demo = Packager("check " + kDemo);
  EXPECT_EQ(demo.exitCode, 0) << demo.output;
  EXPECT_NE(demo.output.find("warning: " + std::string(PACKAGER_SOURCE_DIR) +
                             "/demo/package.toml:26: the key block is the demo's"),
            std::string::npos)
      << demo.output;
  EXPECT_NE(demo.output.find("/demo/texts/common.txt:159: text 84: the product code is the demo's"), std::string::npos)
      << demo.output;
  EXPECT_NE(demo.output.find(": no problems, 2 warning(s)\n"), std::string::npos);
}

TEST(PackagerCommand, InspectListsWhatALayoutLibraryTypes) {
  const CommandRun run = Packager("inspect " + std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_v1_r0_x86.dll");
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("kbddemo_v1_r0_x86.dll: layout library, x86 edition (machine 014C, 32-bit pointers)"),
            std::string::npos);
  EXPECT_NE(run.output.find("\nscan 15: Z (5A)\n"), std::string::npos) << run.output;
  const CommandRun program = Packager("inspect " + std::string(DEMO_LAYOUTS_DIR) + "/check_layout_x86.exe");
  EXPECT_EQ(program.exitCode, 1);
  EXPECT_NE(program.output.find("check_layout_x86.exe: not a layout library: exports nothing"),
            std::string::npos);
}

TEST(PackagerCommand, PatternsAndNewExitCodes) {
  const CommandRun found = Packager("patterns " + std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_v0_r0_x86.dll");
  EXPECT_EQ(found.exitCode, 0) << found.output;
  EXPECT_NE(found.output.find("== 151  E1 list: from its first record\n1D00130000000000\n"), std::string::npos);
  EXPECT_EQ(Packager("patterns " + std::string(PACKAGER_SOURCE_DIR) + "/README.md").exitCode, 1);
  EXPECT_EQ(Packager("patterns").exitCode, 2);
  TempFolder root;
  EXPECT_EQ(Packager("new " + root.Path() + " --language 0427 --layout a0010427 --layout-id 00d1").exitCode, 1);
  const CommandRun made = Packager("new " + root.Path("made") + " --language 0427 --layout a0010427 --layout-id 00d1");
  EXPECT_EQ(made.exitCode, 0) << made.output;
  EXPECT_EQ(Packager("check " + root.Path("made") + " --var LAYOUTS=" + DEMO_LAYOUTS_DIR).exitCode, 0);
}

TEST(PackagerCommand, BuildInspectAndDamage) {
  TempFolder out;
  CommandRun run = Packager("build " + kDemo + " --out-dir " + out.Path("good"));
  ASSERT_EQ(run.exitCode, 0) << run.output;
  run = Packager("inspect " + out.Path("good/package.bin"));
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_NE(run.output.find("          86  UTF-8   \"0415\"\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("           4  UTF-8   \"Software\"\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("licence0: stored "), std::string::npos);

  run = Packager("build " + kDemo + " --out-dir " + out.Path("damaged") + " --damage=table-byte");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  run = Packager("inspect " + out.Path("damaged/package.bin"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("[textCommon]: does not decode"), std::string::npos) << run.output;
  run = Packager("check " + out.Path("damaged/package.bin"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, out.Path("damaged/package.bin") + "[textCommon]: does not decode\n");

  run = Packager("build " + kDemo + " --out-dir " + out.Path("short") + " --damage=key-block-length");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  run = Packager("inspect " + out.Path("short/package.bin"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("the key block (967 bytes) does not load"), std::string::npos) << run.output;
}

TEST(PackagerCommand, ABadPackageWritesNothing) {
  TempFolder folder, out;
  WriteMinimalPackage(folder, "[[image]]\nvariant = 0\nrow = 0\nposition = 0\nfile = \"${LAYOUTS}/a.dll\"\n");
  const CommandRun run = Packager("build " + folder.Path() + " --out-dir " + out.Path("o"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.output.find("package.toml:16: [[image]] 1 file: variable LAYOUTS is not defined"), std::string::npos)
      << run.output;
  EXPECT_FALSE(std::filesystem::exists(out.Path("o")));
}

TEST(PackagerCommand, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Packager("").exitCode, 2);
  EXPECT_EQ(Packager("build " + kDemo).exitCode, 2);  // no --out-dir
  EXPECT_EQ(Packager("build " + kDemo + " --out-dir /tmp/x --damage=other").exitCode, 2);
  EXPECT_EQ(Packager("check " + kDemo + " --require=4-").exitCode, 2);
  EXPECT_EQ(Packager("build " + kDemo + " --out-dir /tmp/x --var NOEQUALS").exitCode, 2);
}

}  // namespace
