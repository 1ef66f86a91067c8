// The layout images with the demo package under Wine: which image a system gets, the paths of
// the layout library, and the staged image read back through its own tables.
#include <windows.h>
#include <imagehlp.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/engine/layout_helpers.h"
#include "tests/engine/system_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

using layouttest::CompareLayouts;
using layouttest::DemoImage;
using layouttest::ExpectedChanges;
using winetest::FileExists;

std::wstring Wide(GString& text) {
  const WChar* wide = text.AsWide(-1);
  return wide ? std::wstring(reinterpret_cast<const wchar_t*>(wide)) : L"(not wide)";
}

// ---- The choice: every row of the version and processor table ------------------------------

struct ChoiceRow {
  int32_t osVersion;
  int16_t cpuArch;
  int position32;  // -1: the choice is refused
  int position64;  // -1: no 64-bit image
};

class ImageChoice : public ::testing::Test {
 protected:
  // A package whose every image slot is told apart by its address, without WOW64 editions.
  void SetUp() override {
    m_package = kEmbeddedPackage;
    for (int v = 0; v < kLayoutVariants; ++v)
      for (int r = 0; r < kLayoutRows; ++r)
        for (int p = 0; p < kLayoutPositions; ++p) {
          m_package.layoutImages[v][r][p] = {m_marks[v][r][p], 8};
          m_package.layoutImagesWow64[v][r][p] = {nullptr, 0};
        }
  }
  const uint8_t* Mark(int variant, int row, int position) const { return m_marks[variant][row][position]; }

  EmbeddedPackage m_package;
  uint8_t m_marks[kLayoutVariants][kLayoutRows][kLayoutPositions][8] = {};
};

TEST_F(ImageChoice, EveryVersionAndProcessor) {
  const ChoiceRow rows[] = {
      {50, 0, 0, -1},  {50, 9, 0, -1},  {51, 0, 1, -1},  {51, 6, 1, -1},   // the processor is not looked at
      {52, 0, 2, -1},  {52, 6, 2, 3},   {52, 9, 2, 4},   {52, 5, -1, -1},  // 5: ARM
      {60, 0, 5, -1},  {60, 6, 5, 6},   {60, 9, 5, 7},   {60, 12, -1, -1},
      {61, 0, 8, -1},  {61, 6, 8, 9},   {61, 9, 8, 10},  {61, -1, -1, -1},
      {62, 0, 11, -1}, {62, 9, 11, 12}, {62, 6, -1, -1}, {100, 9, 11, 12}, {100, 5, -1, -1}, {40, 0, 11, -1},
  };
  CInstall install(m_package);
  for (const ChoiceRow& row : rows) {
    for (int variant = 0; variant < kLayoutVariants; ++variant) {
      for (int alt = 0; alt < 3; ++alt) {  // none, option A, option B
        SCOPED_TRACE("version " + std::to_string(row.osVersion) + ", processor " + std::to_string(row.cpuArch) +
                     ", variant " + std::to_string(variant) + ", alt " + std::to_string(alt));
        install.m_osVersion = row.osVersion;
        install.m_cpuArch = row.cpuArch;
        install.m_variant = variant;
        install.m_altImageA = alt == 1;
        install.m_altImageB = alt == 2;
        BlobRef image32 = {m_marks[0][0][0], 1}, image64 = {m_marks[0][0][0], 1};
        const int chosen = install.ChooseLayoutImages(image32, image64);
        const int imageRow = alt ? 1 : 0;
        if (row.position32 < 0) {
          EXPECT_EQ(chosen, 0);
          EXPECT_EQ(image32.data, nullptr);
          EXPECT_EQ(image64.data, nullptr);
          continue;
        }
        EXPECT_EQ(chosen, 1);
        EXPECT_EQ(image32.data, Mark(variant, imageRow, row.position32));
        EXPECT_EQ(image64.data, row.position64 < 0 ? nullptr : Mark(variant, imageRow, row.position64));
      }
    }
  }
}

TEST_F(ImageChoice, A64BitSystemsWow64EditionTakesThePlaceOfThe32BitImage) {
  // WOW64 editions for variant 1 beside the x64 and Itanium images of 6.1, none for 6.0.
  uint8_t wow64[kLayoutRows][kLayoutPositions][8] = {};
  for (int row = 0; row < kLayoutRows; ++row)
    for (int position : {9, 10, 12}) m_package.layoutImagesWow64[1][row][position] = {wow64[row][position], 8};
  const struct {
    int32_t osVersion;
    int16_t cpuArch;
    int variant;
    int position32;
    int wow64;  // the position of the WOW64 edition chosen, -1: the 32-bit image
  } rows[] = {
      {61, 9, 1, 8, 10}, {61, 6, 1, 8, 9},  {62, 9, 1, 11, 12},  // 64-bit systems with an edition
      {61, 0, 1, 8, -1},                                          // a 32-bit system never gets one
      {60, 9, 1, 5, -1},                                          // no edition for this version
      {61, 9, 0, 8, -1},                                          // nor for this variant
  };
  CInstall install(m_package);
  for (const auto& row : rows) {
    for (int alt = 0; alt < 2; ++alt) {
      SCOPED_TRACE("version " + std::to_string(row.osVersion) + ", processor " + std::to_string(row.cpuArch) +
                   ", variant " + std::to_string(row.variant) + ", alt " + std::to_string(alt));
      install.m_osVersion = row.osVersion;
      install.m_cpuArch = row.cpuArch;
      install.m_variant = row.variant;
      install.m_altImageA = alt;
      BlobRef image32, image64;
      ASSERT_EQ(install.ChooseLayoutImages(image32, image64), 1);
      EXPECT_EQ(image32.data, row.wow64 < 0 ? Mark(row.variant, alt, row.position32) : wow64[alt][row.wow64]);
      EXPECT_EQ(image64.data != nullptr, row.cpuArch != 0);
    }
  }
}

TEST_F(ImageChoice, AVariantOutsideTheTablesChoosesNothing) {
  CInstall install(m_package);
  install.m_osVersion = 61;
  install.m_cpuArch = 9;
  for (int32_t variant : {-1, 3, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)}) {
    install.m_variant = variant;
    BlobRef image32, image64;
    EXPECT_EQ(install.ChooseLayoutImages(image32, image64), 0) << variant;
    EXPECT_EQ(image32.data, nullptr);
    EXPECT_EQ(image64.data, nullptr);
  }
}

// ---- Paths -----------------------------------------------------------------------------------

class LayoutFiles : public winetest::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    ASSERT_TRUE(m_install.Init(GetModuleHandleW(nullptr)));
    ASSERT_EQ(m_install.QuerySystem(kTextNativeSystemInfoProc, kTextSystemLibrary), 1);
    m_install.m_dirInstall.AssignWideZ(reinterpret_cast<const WChar*>(m_folder.c_str()));
  }
  std::wstring Staging() const { return m_folder + layouttest::kLayoutFile; }

  CInstall m_install;
};

std::wstring SystemFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

TEST_F(LayoutFiles, PathsOfTheLibraryAndItsStagingFiles) {
  GString systemTarget, nativeTarget, staging, nativeStaging;
  ASSERT_EQ(m_install.GetLayoutFilePaths(systemTarget, nativeTarget, &staging, &nativeStaging), 1);
  EXPECT_EQ(Wide(staging), Staging());
  const std::wstring system = SystemFolder(CSIDL_SYSTEM) + L"\\" + layouttest::kLayoutFile;
  if (winetest::Is64BitSystem()) {
    EXPECT_EQ(m_install.m_os64, 1);
    // The 32-bit library goes to the folder the system reports for 32-bit programs.
    wchar_t wow64[MAX_PATH + 1] = {};
    ASSERT_NE(GetSystemWow64DirectoryW(wow64, MAX_PATH), 0u);
    EXPECT_EQ(Wide(systemTarget), std::wstring(wow64) + L"\\" + layouttest::kLayoutFile);
    EXPECT_EQ(Wide(nativeTarget), system);
    EXPECT_EQ(Wide(nativeStaging), Staging() + L"64");
  } else {
    EXPECT_EQ(Wide(systemTarget), system);
    EXPECT_TRUE(nativeTarget.IsEmpty());
    EXPECT_TRUE(nativeStaging.IsEmpty());
  }
  // The staging outs are optional.
  EXPECT_EQ(m_install.GetLayoutFilePaths(systemTarget, nativeTarget, nullptr, nullptr), 1);
}

// ---- The staged image -------------------------------------------------------------------------

class StagedImage : public LayoutFiles {
 protected:
  // The demo package's image for variant 1 (QWERTZ), normal row, version 6.1.
  int Stage(const BlobRef& image) {
    GString target, staging;
    staging.AssignWideZ(reinterpret_cast<const WChar*>(Staging().c_str()));
    return m_install.CustomiseLayoutImage(target, staging, image.data, image.size);  // no target: no move
  }
  static constexpr int kVariant = 1;
  static constexpr int kPosition32 = 8;
  static constexpr int kPosition64 = 10;
};

TEST_F(StagedImage, ShowsExactlyTheReassignedKeysAndTheDecimalComma) {
  m_install.m_variant = kVariant;
  m_install.m_decimalKey = 0;
  layouttest::Reassign(m_install);
  const struct {
    const wchar_t* arch;   // of the comparer
    const wchar_t* built;  // the demo library as built
    BlobRef blob;
    const wchar_t* options;
  } images[] = {
      {L"x86", L"x86", kEmbeddedPackage.layoutImages[kVariant][0][kPosition32], L""},
      {L"x64", L"x64", kEmbeddedPackage.layoutImages[kVariant][0][kPosition64], L""},
      // The WOW64 edition: 32-bit, read with 64-bit pointers.
      {L"x86", L"wow64", kEmbeddedPackage.layoutImagesWow64[kVariant][0][kPosition64], L" --pointers=64"},
  };
  for (const auto& image : images) {
    SCOPED_TRACE(winetest::Narrow(image.built));
    DeleteFileW(Staging().c_str());
    ASSERT_EQ(Stage(image.blob), 1);
    // The header checksum matches the changed bytes, by the system's own computation.
    DWORD header = 0, computed = 1;
    ASSERT_EQ(MapFileAndCheckSumW(Staging().c_str(), &header, &computed), static_cast<DWORD>(CHECKSUM_SUCCESS));
    EXPECT_EQ(header, computed);
    // A 32-bit prefix cannot load the 64-bit image, nor a 64-bit-only one the 32-bit images:
    // their bytes are checked by the host tests.
    if (!winetest::Is64BitSystem() && wcscmp(image.arch, L"x64") == 0) continue;
    if (!winetest::Runs32BitPrograms() && wcscmp(image.arch, L"x86") == 0) continue;
    std::string report;
    EXPECT_EQ(CompareLayouts(image.arch, DemoImage(kVariant, 0, image.built), Staging(),
                             ExpectedChanges() + image.options, &report), 0u)
        << report;
  }
}

TEST_F(StagedImage, TheComparerSeesAChangeThatWasNotAsked) {
  // Guards the test above: the staged image with a reassignment the comparer is not told of.
  m_install.m_variant = kVariant;
  m_install.m_decimalKey = 1;
  layouttest::Reassign(m_install);
  const bool x86 = winetest::Runs32BitPrograms();
  const wchar_t* arch = x86 ? L"x86" : L"x64";
  ASSERT_EQ(Stage(kEmbeddedPackage.layoutImages[kVariant][0][x86 ? kPosition32 : kPosition64]), 1);
  std::string report;
  EXPECT_EQ(CompareLayouts(arch, DemoImage(kVariant, 0, arch), Staging(), L" --vk 10=0057", &report), 1u) << report;
}

TEST_F(StagedImage, NothingAskedLeavesTheDecodedImageByteForByte) {
  m_install.m_variant = 2;
  m_install.m_decimalKey = 1;  // the key table is as Init made it: every virtualKey 0
  ASSERT_EQ(Stage(kEmbeddedPackage.layoutImages[2][1][11]), 1);
  EXPECT_EQ(systemtest::FileBytes(Staging()), systemtest::FileBytes(DemoImage(2, 1, L"x86")));
}

TEST_F(StagedImage, AReplacementTheSystemDoesNotRecordFails) {
  // A target longer than any path the system takes: the move at the next start is refused now.
  m_install.m_variant = kVariant;
  m_install.m_decimalKey = 1;
  GString target(U16('x'), 40000);
  GString staging;
  staging.AssignWideZ(reinterpret_cast<const WChar*>(Staging().c_str()));
  const BlobRef image = kEmbeddedPackage.layoutImages[kVariant][0][kPosition32];
  EXPECT_EQ(m_install.CustomiseLayoutImage(target, staging, image.data, image.size), 0);
  EXPECT_FALSE(systemtest::FindPending(Staging(), nullptr));
}

TEST_F(StagedImage, AFailedStepWritesNoFile) {
  const BlobRef image = kEmbeddedPackage.layoutImages[0][0][kPosition32];
  m_install.m_decimalKey = 0;
  m_install.m_variant = 3;  // no main pattern
  EXPECT_EQ(Stage(image), 0);
  EXPECT_FALSE(FileExists(Staging()));

  // A blob that does not decode, and none at all.
  m_install.m_variant = 0;
  uint8_t damaged[4096];
  ASSERT_LE(image.size, sizeof damaged);
  memcpy(damaged, image.data, image.size);
  damaged[image.size / 2] ^= 0x40;
  EXPECT_EQ(Stage({damaged, image.size}), 0);
  EXPECT_EQ(Stage({nullptr, 0}), 0);
  EXPECT_FALSE(FileExists(Staging()));

  // A staging file held open elsewhere cannot be written.
  systemtest::WriteFileBytes(Staging(), "held");
  HANDLE holder = systemtest::HoldExclusively(Staging());
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Stage(image), 0);
  CloseHandle(holder);
  EXPECT_EQ(systemtest::FileBytes(Staging()), "held");
}

}  // namespace
