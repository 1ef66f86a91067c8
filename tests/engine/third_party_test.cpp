// Third-party layout libraries (built by another tool) in a package of their own: staged with
// the same reassignments as the demo and read back through their own tables, the WOW64 edition
// in its 64-bit pointer form.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/engine/layout_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

class ThirdPartyImage : public winetest::FolderTest {};

TEST_F(ThirdPartyImage, ShowsExactlyTheReassignedKeysAndTheDecimalComma) {
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  install.m_variant = 0;
  install.m_decimalKey = 0;
  layouttest::Reassign(install);
  const std::wstring folder = layouttest::WinePath(THIRD_PARTY_LAYOUTS);
  const struct {
    const wchar_t* arch;
    const wchar_t* file;
    BlobRef blob;
    const wchar_t* options;
  } images[] = {
      {L"x86", L"\\ltenhd\\i386\\ltenhd.dll", kEmbeddedPackage.layoutImages[0][0][8], L""},
      {L"x64", L"\\ltenhd\\amd64\\ltenhd.dll", kEmbeddedPackage.layoutImages[0][0][10], L""},
      // The maker's WOW64 edition, which a 64-bit system gets in its 32-bit system folder.
      {L"x86", L"\\ltenhd\\wow64\\ltenhd.dll", kEmbeddedPackage.layoutImagesWow64[0][0][10], L" --pointers=64"},
  };
  for (const auto& image : images) {
    SCOPED_TRACE(winetest::Narrow(image.file));
    const std::wstring staging = m_folder + L"staged.dll";
    GString target, stagingPath;
    stagingPath.AssignWideZ(reinterpret_cast<const WChar*>(staging.c_str()));
    ASSERT_EQ(install.CustomiseLayoutImage(target, stagingPath, image.blob.data, image.blob.size), 1);
    if (!wcscmp(image.arch, L"x86") && !winetest::Runs32BitPrograms()) continue;  // no 32-bit comparer here
    std::string report;
    EXPECT_EQ(layouttest::CompareLayouts(image.arch, folder + image.file, staging,
                                         layouttest::ExpectedChanges() + image.options, &report), 0u)
        << report;
    DeleteFileW(staging.c_str());
  }
}

}  // namespace
