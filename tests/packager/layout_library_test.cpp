// Layout libraries read through KbdLayerDescriptor: our demo libraries (their tables are known
// from kbddemo.c, and the demo's patterns mark where they start), the third-party libraries in
// their four editions, and damaged files.
#include "tools/packager/layout_library.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/layout_patch.h"
#include "tests/packager/packager_test_util.h"
#include "tools/packager/layout_emitter.h"
#include "tools/packager/layout_listing.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> HexBytes(const std::string& hex) {
  std::string bytes;
  PutHex(&bytes, 0, hex);
  return Bytes(bytes);
}

// Offsets of every occurrence: the checks below want exactly one.
std::vector<size_t> Find(const std::vector<uint8_t>& image, const std::string& hex) {
  const std::vector<uint8_t> pattern = HexBytes(hex);
  std::vector<size_t> out;
  for (auto at = image.begin(); (at = std::search(at, image.end(), pattern.begin(), pattern.end())) != image.end();
       ++at)
    out.push_back(static_cast<size_t>(at - image.begin()));
  return out;
}

uint16_t U16At(const std::vector<uint8_t>& image, size_t offset) {
  return static_cast<uint16_t>(image.at(offset) | image.at(offset + 1) << 8);
}

TEST(LayoutLibrary, DemoLibrariesLeadToTheTablesOfTheirSources) {
  // Scan codes 0x10 and 0x15 by variant (kbddemo.c): QWERTY, QWERTZ, Dvorak.
  const uint16_t q10[] = {'Q', 'Q', 0xDE}, q15[] = {'Y', 'Z', 'F'};
  const struct {
    const char* suffix;
    LayoutEdition edition;
  } editions[] = {{"x86", LayoutEdition::kX86}, {"x64", LayoutEdition::kX64}, {"wow64", LayoutEdition::kWow64},
                  {"arm64", LayoutEdition::kArm64}};
  for (const auto& edition : editions) {
    for (int variant = 0; variant < 3; ++variant) {
      for (int row = 0; row < 2; ++row) {
        const std::string name =
            "kbddemo_v" + std::to_string(variant) + "_r" + std::to_string(row) + "_" + edition.suffix + ".dll";
        SCOPED_TRACE(name);
        const std::vector<uint8_t> image = Bytes(ReadAll(std::string(DEMO_LAYOUTS_DIR) + "/" + name));
        LayoutTables tables;
        std::string error;
        ASSERT_TRUE(ReadLayoutTables(image, &tables, &error)) << error;
        EXPECT_EQ(tables.edition, edition.edition);
        EXPECT_EQ(tables.mainEntries, 127u);
        EXPECT_EQ(tables.decimalColumns, 2u);
        // The demo's patterns (demo/texts/common.txt) start exactly there.
        EXPECT_EQ(Find(image, "FF001B00310032003300340035003600370038003900"), std::vector<size_t>{tables.mainTable});
        EXPECT_EQ(Find(image, "1000B1011900B0011C000D01"), std::vector<size_t>{tables.e0List});
        EXPECT_EQ(Find(image, "1D00130000000000"), std::vector<size_t>{tables.e1List});
        EXPECT_EQ(Find(image, "2E002E00090009000900"), std::vector<size_t>{tables.decimalKey});
        EXPECT_EQ(U16At(image, tables.mainTable + 2 * 0x10), q10[variant]);
        EXPECT_EQ(U16At(image, tables.mainTable + 2 * 0x15), q15[variant]);
      }
    }
  }
}

// What a library's tables say: its listing without the line that names the edition.
std::string TablesOf(const std::vector<uint8_t>& image) {
  LayoutLibrary library;
  std::string error;
  EXPECT_TRUE(ReadLayoutLibrary(image, &library, &error)) << error;
  return LayoutListing(library).substr(LayoutListing(library).find('\n'));
}

// The demo's ARM64 editions (clang and lld) carry the tables the packager emits for ARM64 from
// the same layout, and read back after the installer's customisation as the x64 editions do.
TEST(LayoutLibrary, DemoArm64EditionsAsEmittedAndAsCustomised) {
  const std::vector<uint8_t> main = HexBytes("FF001B00310032003300340035003600370038003900"),
                             e0 = HexBytes("1000B1011900B0011C000D01"), e1 = HexBytes("1D00130000000000"),
                             decimal = HexBytes("2E002E00090009000900");  // the demo's texts 147, 150, 151, 146
  const LayoutPatterns patterns = {main.data(), 22, e0.data(), 12, e1.data(), 8, decimal.data(), 10};
  const KeyEntry keys[] = {{0x3A, 0xA2, 0, 0}, {0xE05D, 0x1A5, 0, 0}};  // Caps Lock: left Ctrl; menu: right Alt
  for (const char* variantAndRow : {"v0_r0_", "v0_r1_", "v1_r0_", "v1_r1_", "v2_r0_", "v2_r1_"}) {
    const std::string stem = std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_" + variantAndRow;
    SCOPED_TRACE(stem);
    std::vector<uint8_t> arm64 = Bytes(ReadAll(stem + "arm64.dll")), x64 = Bytes(ReadAll(stem + "x64.dll"));
    LayoutLibrary library;
    std::string error;
    ASSERT_TRUE(ReadLayoutLibrary(x64, &library, &error)) << error;
    EXPECT_EQ(TablesOf(EmitLayoutLibrary(library.tables, library.resources, LayoutEdition::kArm64, "kbddemo")),
              TablesOf(arm64));
    for (std::vector<uint8_t>* image : {&arm64, &x64})  // with the decimal comma
      ASSERT_TRUE(PatchLayoutImage(image->data(), static_cast<uint32_t>(image->size()), patterns, keys, 2, 0));
    EXPECT_EQ(TablesOf(arm64), TablesOf(x64));
    EXPECT_NE(TablesOf(arm64).find("scan 3A: LCONTROL (A2)\n"), std::string::npos);
  }
}

TEST(LayoutLibrary, ThirdPartyLibrariesInEveryEdition) {
  const std::string folder = SETUP_THIRD_PARTY_LAYOUTS;
  const struct {
    const char* file;
    LayoutEdition edition;
  } files[] = {{"i386", LayoutEdition::kX86},
               {"amd64", LayoutEdition::kX64},
               {"ia64", LayoutEdition::kItanium},
               {"wow64", LayoutEdition::kWow64}};
  for (const char* name : {"ltenh", "ltenhd"}) {
    for (const auto& file : files) {
      const std::string path = folder + "/" + name + "/" + file.file + "/" + name + ".dll";
      SCOPED_TRACE(path);
      const std::vector<uint8_t> image = Bytes(ReadAll(path));
      if (image.empty()) GTEST_SKIP() << "third-party layouts absent: " << path;
      LayoutTables tables;
      std::string error;
      ASSERT_TRUE(ReadLayoutTables(image, &tables, &error)) << error;
      EXPECT_EQ(tables.edition, file.edition);
      EXPECT_EQ(tables.mainEntries, 127u);
      EXPECT_EQ(Find(image, "FF001B00310032003300"), std::vector<size_t>{tables.mainTable});
      EXPECT_EQ(Find(image, "1000B1011900B001"), std::vector<size_t>{tables.e0List});
      EXPECT_EQ(Find(image, "1D00130000000000"), std::vector<size_t>{tables.e1List});
      // The comma edition types ",", the decimal-dot edition ".".
      const uint16_t decimal = std::string(name) == "ltenh" ? ',' : '.';
      ASSERT_NE(tables.decimalKey, kNoOffset);
      EXPECT_EQ(U16At(image, tables.decimalKey), decimal);
      EXPECT_EQ(U16At(image, tables.decimalKey + 2), decimal);
      EXPECT_EQ(image.at(tables.decimalKey - 2), 0x6E);  // the record's virtual key
    }
  }
}

TEST(LayoutLibrary, DamagedFilesAreRefusedWithoutReadingPastThem) {
  const std::vector<uint8_t> whole = Bytes(ReadAll(std::string(DEMO_LAYOUTS_DIR) + "/kbddemo_v0_r0_x64.dll"));
  ASSERT_FALSE(whole.empty());
  LayoutTables tables;
  std::string error;
  // Every cut short of the tables' end fails (the sanitizer build sees any read past the end).
  ASSERT_TRUE(ReadLayoutTables(whole, &tables, &error));
  const size_t needed = tables.mainTable + 254;
  for (size_t size = 0; size < needed; size += 7) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
    EXPECT_FALSE(ReadLayoutTables(cut, &tables, &error)) << size;
    EXPECT_FALSE(error.empty());
  }
  // Every single byte of the headers and the code changed: refused or read, never a crash.
  for (size_t at = 0; at < 0x420 && at < whole.size(); ++at) {
    std::vector<uint8_t> damaged = whole;
    damaged[at] ^= 0xA5;
    ReadLayoutTables(damaged, &tables, &error);
  }
  EXPECT_FALSE(ReadLayoutTables(Bytes("MZ not a library"), &tables, &error));
  EXPECT_EQ(error, "not a Windows library (no PE header)");
  EXPECT_FALSE(
      ReadLayoutTables(Bytes(ReadAll(std::string(DEMO_LAYOUTS_DIR) + "/check_layout_x86.exe")), &tables, &error));
  EXPECT_NE(error.find("export"), std::string::npos) << error;
}

}  // namespace
