// The .klc compiler against the layout creator tool's own libraries of two public layouts (read
// in place, skipped when absent), on our own layout for what those two lack, in a package, and
// on bad input. Libraries are compared through the reader's listing: what every key types.
#include "tools/packager/klc_compile.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "tests/packager/packager_test_util.h"
#include "tools/packager/builder.h"
#include "tools/packager/image_check.h"
#include "tools/packager/layout_emitter.h"
#include "tools/packager/layout_listing.h"
#include "tools/packager/pattern_finder.h"

namespace {

const std::string kFeatures = std::string(PACKAGER_SOURCE_DIR) + "/tests/packager/klc/features.klc";

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::vector<std::string> ListingOf(const std::vector<uint8_t>& image, LayoutEdition edition) {
  LayoutLibrary library;
  std::string error;
  EXPECT_TRUE(ReadLayoutLibrary(image, &library, &error)) << error;
  EXPECT_EQ(library.edition, edition);
  EXPECT_TRUE(library.checksumValid);
  std::vector<std::string> lines = Lines(LayoutListing(library));
  if (!lines.empty()) lines.erase(lines.begin());  // the edition
  return lines;
}

// What a compiled layout's editions must share: the same listing, whatever their pointers.
std::vector<std::string> CompileAndCompareEditions(const std::string& klc) {
  CompiledLayout layout, again;
  Problems problems;
  EXPECT_TRUE(CompileKlcFile(klc, &layout, &problems)) << Joined(problems);
  EXPECT_TRUE(CompileKlcFile(klc, &again, &problems));
  EXPECT_EQ(layout.libraries, again.libraries) << "the same input must give the same bytes";
  const std::vector<std::string> x86 = ListingOf(layout.libraries[LayoutEdition::kX86], LayoutEdition::kX86);
  for (LayoutEdition edition : kCompiledEditions) {
    SCOPED_TRACE(LayoutEditionName(edition));
    EXPECT_EQ(ListingOf(layout.libraries[edition], edition), x86);
  }
  return x86;
}

// The differences the comparison with the tool's libraries tolerates (README, "From a .klc to
// an installer"): the version strings that name the tool or its version, or that it cuts short
// (all but the description and the copyright); strings 1100 and 1200, which the tool derives
// from the locale identifier when the file does not name them; the keyboard type of the x64
// edition, whose tables end before it.
std::vector<std::string> Comparable(const std::vector<std::string>& lines, const std::set<std::string>& ours) {
  static const std::regex kTolerated("version (?!FileDescription|LegalCopyright).*|keyboard type .*|string 1[12]00 .*");
  std::vector<std::string> out;
  for (const std::string& line : lines) {
    if (!std::regex_match(line, kTolerated) || (line.rfind("string", 0) == 0 && ours.count(line))) out.push_back(line);
  }
  return out;
}

TEST(KlcCompiler, EveryEditionHasTheTablesOfTheToolsLibraries) {
  const std::string folder = SETUP_KLC_TESTDATA;
  for (const char* name : {"colemak_dh_ansi_us/cdh_us", "colemak_dhk_iso_uk/ukckdhk"}) {
    const std::string layout = std::string(name).substr(0, std::string(name).find('/'));
    const std::string file = std::string(name).substr(layout.size() + 1) + ".dll";
    const std::string klc = folder + "/" + layout + "/" + layout + ".klc";
    if (ReadAll(klc).empty()) GTEST_SKIP() << "the reference layouts are absent: " << klc;
    SCOPED_TRACE(klc);
    const std::vector<std::string> ours = CompileAndCompareEditions(klc);
    const std::set<std::string> ourLines(ours.begin(), ours.end());
    const struct {
      const char* folder;
      LayoutEdition edition;
    } references[] = {{"i386", LayoutEdition::kX86}, {"amd64", LayoutEdition::kX64}, {"wow64", LayoutEdition::kWow64}};
    for (const auto& reference : references) {
      SCOPED_TRACE(reference.folder);
      const std::string bytes = ReadAll(folder + "/" + layout + "/" + reference.folder + "/" + file);
      const std::vector<std::string> theirs = ListingOf({bytes.begin(), bytes.end()}, reference.edition);
      EXPECT_EQ(Comparable(ours, ourLines), Comparable(theirs, ourLines));
    }
  }
}

TEST(KlcCompiler, OurOwnLayoutTypesWhatItsFileSays) {
  const std::vector<std::string> listing = CompileAndCompareEditions(kFeatures);
  const std::set<std::string> lines(listing.begin(), listing.end());
  for (const char* expected : {
           "locale flags: AltGr, Shift cancels Caps Lock, direction marks; tables version 1",
           "ligatures: up to 3 characters",
           "key Q (51) caps: base U+0071 \"q\", Shift U+0051 \"Q\", Ctrl+Alt ligature U+0066 \"f\" U+0066 \"f\" "
           "U+0069 \"i\", Shift+Ctrl+Alt ligature U+D83D U+DE00",
           "key A (41): base U+0061 \"a\", Shift U+0041 \"A\", Ctrl+Alt U+0105 \"ą\", Shift+Ctrl+Alt U+0104 \"Ą\"",
           "key A (41) with Caps Lock: base U+00E4 \"ä\", Shift U+00C4 \"Ä\"",
           "key OEM_3 (C0): base U+0060 \"`\", Shift U+007E \"~\", Ctrl+Alt dead U+00B4 \"´\", Shift+Ctrl+Alt dead "
           "U+0060 \"`\"",
           "key OEM_MINUS (BD): base U+002D \"-\", Shift U+005F \"_\", Ctrl U+001F, Shift+Ctrl U+001F, Ctrl+Alt U+2013 "
           "\"–\", Shift+Ctrl+Alt U+2014 \"—\"",
           "key DIVIDE (6F): base U+002F \"/\", Shift U+00F7 \"÷\"",
           "scan 15: Z (5A)",
           "scan 53: DELETE (2E) special keypad",
           "scan E0 35: DIVIDE (6F) extended",
           "dead key U+00B4 \"´\" then U+00B4 \"´\": U+02DD \"˝\" (a dead key)",
           "dead key name U+02DD \"˝\": DOUBLE ACUTE",
           "string 1000 (language 0415): Układ do testów",
           "version 2.5.0.0",
       }) {
    EXPECT_TRUE(lines.count(expected)) << expected;
  }
}

// A package takes the .klc in place of finished images: each position gets its edition, and
// the patterns "packager patterns" finds in the compiled libraries fit them.
TEST(KlcCompiler, APackageTakesTheKlcInPlaceOfItsImages) {
  CompiledLayout layout;
  Problems problems;
  ASSERT_TRUE(CompileKlcFile(kFeatures, &layout, &problems)) << Joined(problems);
  TempFolder folder;
  std::vector<std::string> libraries, report;
  ASSERT_TRUE(WriteCompiledLayout(layout, folder.Path("compiled"), &report, &problems));
  for (LayoutEdition edition : kCompiledEditions) {
    libraries.push_back(folder.Path("compiled/") + EditionFolder(edition) + "/kbdfeat.dll");
  }
  std::string patterns;
  ASSERT_TRUE(FindLayoutPatterns(libraries, &patterns, &problems)) << Joined(problems);
  const std::string image = "[[image]]\nvariant = 0\nrow = 0\nklc = \"" + kFeatures + "\"\n";
  WriteMinimalPackage(folder, image + "positions = [0, 1, 2, 4, 5, 7, 8, 10, 11, 12]\n" + image +
                                  "positions = [4, 7, 10, 12]\nedition = \"wow64\"\n" + image + "position = 3\n");
  Manifest manifest;
  EXPECT_FALSE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems));
  EXPECT_NE(Joined(problems).find(": [[image]] 3: position 3 holds an Itanium image, which is not compiled"),
            std::string::npos)
      << Joined(problems);
  WriteMinimalPackage(folder, image + "positions = [0, 1, 2, 4, 5, 7, 8, 10, 11, 12]\n" + image +
                                  "positions = [4, 7, 10, 12]\nedition = \"wow64\"\n");
  folder.Write("texts/common.txt", folder.Read("texts/common.txt") + patterns);
  problems = Problems();
  PackageFile package;
  ASSERT_TRUE(LoadManifest(folder.Path("package.toml"), {}, &manifest, &problems)) << Joined(problems);
  std::vector<PlainBlob> plain;
  TableSet texts;
  ASSERT_TRUE(ReadPlainBlobs(manifest, &plain, &texts, &problems)) << Joined(problems);
  std::map<std::string, std::vector<uint8_t>> blobs;
  for (const PlainBlob& blob : plain) blobs[blob.name] = blob.bytes;
  EXPECT_EQ(blobs.at("layoutImage.0.0.0"), layout.libraries[LayoutEdition::kX86]);
  EXPECT_EQ(blobs.at("layoutImage.0.0.12"), layout.libraries[LayoutEdition::kX64]);
  EXPECT_EQ(blobs.at("layoutImageWow64.0.0.4"), layout.libraries[LayoutEdition::kWow64]);
  EXPECT_TRUE(CheckBuildImages(manifest, texts, plain, &problems)) << Joined(problems);
}

// llvm-objdump reads the ARM64 entry as adrp, add and ret of x0, and the address they make is
// the one the x64 edition's lea makes: both editions lay their sections out alike.
TEST(KlcCompiler, TheArm64EntryDisassembles) {
  if (system("llvm-objdump --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "no llvm-objdump (Debian's llvm)";
  TempFolder folder;
  const CommandRun compiled = Packager("compile " + kFeatures + " --out " + folder.Path());
  ASSERT_EQ(compiled.exitCode, 0) << compiled.output;
  const auto disassembly = [&](const char* edition) {
    FILE* pipe = popen(("llvm-objdump -d " + folder.Path(edition) + "/kbdfeat.dll").c_str(), "r");
    std::string out;
    char buffer[4096];
    for (size_t got; pipe && (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
    if (pipe) pclose(pipe);
    return out;
  };
  std::smatch arm, x64;
  const std::string arm64 = disassembly("arm64"), amd64 = disassembly("amd64");
  ASSERT_TRUE(std::regex_search(arm64, arm,
                                std::regex("<KbdLayerDescriptor>:\n.*\tadrp\tx0, 0x([0-9a-f]+).*\n.*\tadd\tx0, x0, "
                                           "#(\\d+)\n.*\tret\n")))
      << arm64;
  ASSERT_TRUE(std::regex_search(amd64, x64, std::regex("leaq\t.*# 0x([0-9a-f]+)\n.*retq"))) << amd64;
  EXPECT_EQ(std::stoull(arm[1], nullptr, 16) + std::stoull(arm[2]), std::stoull(x64[1], nullptr, 16));
}

std::string Klc(const std::string& layout, const std::string& after = "") {
  return "KBD\tbad\t\"Bad\"\nSHIFTSTATE\n0\n1\nLAYOUT\n" + layout + after + "ENDKBD\n";
}

TEST(KlcCompiler, BadInputIsReportedByLineAndColumnAndGivesNoLibrary) {
  const std::string q = "10\tQ\t1\tq\tQ\n";
  const struct {
    std::string klc;
    const char* problem;
  } rows[] = {
      {Klc("10\tQQ\t1\tq\tQ\n"), "6:4: unknown virtual key \"QQ\""},
      {Klc(q + "10\tW\t1\tw\tW\n"), "7:1: scan code 10 is given twice (first on line 6)"},
      {Klc(q + "11\tQ\t1\tw\tW\n"),
       "7:1: virtual key Q types other characters on line 6; one virtual key types one set "
       "of characters"},
      {Klc("10\tQ\t1\tq\t00b4@\n"), "6:10: dead key U+00B4 has no DEADKEY table"},
      {Klc("10\tQ\t1\t%%\tQ\n", "LIGATURE\nQ\t0\t0061\t0062\t0063\t0064\t0065\n"),
       "8:1: a ligature of 5 characters is too long: at most 4"},
      {Klc("10\tQ\t1\t%%\tQ\n"), "6:8: %% without its LIGATURE row (virtual key Q, column 0)"},
      {Klc(q, "LIGATURE\nQ\t0\t0061\t0062\n"), "8:1: virtual key Q has no %% in column 0 of LAYOUT for this ligature"},
      {"KBD\tbad\t\"Bad\"\nSHIFTSTATE\n0\n4\nLAYOUT\n10\tQ\t1\tq\nENDKBD\n",
       "4:1: shift state 4 is not allowed: Alt without Ctrl belongs to menus; 0, 1, 2, 3, 6 and 7 are"},
      {"KBD\tbad\t\"Bad\"\nSHIFTSTATE\n0\nENDKBD\n", "1:1: the LAYOUT section is missing"},
      {"KBD\tbad\t\"Bad\"\nSHIFTSTATE\n0\n1\nLAYOUT\n" + q, "6:1: ENDKBD is missing: the file may be cut short"},
      {Klc("10\tQ\t1\tqq\tQ\n"),
       "6:8: \"qq\" is no character: 4 hexadecimal digits or the character itself, -1 for "
       "none, %% for a ligature, @ after a dead key's"},
      {Klc("10\tQ\t1\tq\n"), "6:1: 2 shift states need 2 characters; the row gives 1"},
      {Klc("10\tQ\tSGCap\tq\tQ\n"), "6:1: an SGCap key needs the row of what Caps Lock types after it (-1 -1 0 ...)"},
      {Klc("10\tQ\t3\tq\tQ\n"),
       "6:6: the caps state must be 0, 1 (Caps Lock acts as Shift), 4 (on the AltGr "
       "columns), 5 (on both) or SGCap"},
      {Klc("80\tQ\t1\tq\tQ\n"), "6:1: scan code 80 is no key (01-7f)"},
      {"KBD\tbad\t\"Bad\nENDKBD\n", "1:9: a text in quotes without its closing quote"},
      {"KBD\tkbdtoolong\t\"Bad\"\n", "1:5: the library's name must be 1 to 8 letters, digits, \"_\" or \"-\""},
      {"KBD\tbad\t\"B\xFF\"\n", "1:11: not UTF-8, nor UTF-16 with a byte-order mark"},
  };
  TempFolder folder;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.klc);
    folder.Write("bad.klc", row.klc);
    CompiledLayout layout;
    Problems problems;
    EXPECT_FALSE(CompileKlcFile(folder.Path("bad.klc"), &layout, &problems));
    EXPECT_TRUE(layout.libraries.empty());
    EXPECT_EQ(Joined(problems), folder.Path("bad.klc") + ":" + row.problem + "\n");
  }
  const CommandRun run = Packager("compile " + folder.Path("bad.klc") + " --out " + folder.Path("out"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(folder.Path("out")));
}

}  // namespace
