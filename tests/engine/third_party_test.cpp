// Third-party layout libraries (built by another tool) in a package of their own: staged with
// the same reassignments as the demo and read back through their own tables.
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
    int position;
  } images[] = {{L"x86", L"\\ltenhd\\i386\\ltenhd.dll", 8}, {L"x64", L"\\ltenhd\\amd64\\ltenhd.dll", 10}};
  for (const auto& image : images) {
    SCOPED_TRACE(winetest::Narrow(image.file));
    const std::wstring staging = m_folder + L"staged.dll";
    GString target, stagingPath;
    stagingPath.AssignWideZ(reinterpret_cast<const WChar*>(staging.c_str()));
    const BlobRef blob = kEmbeddedPackage.layoutImages[0][0][image.position];
    ASSERT_EQ(install.CustomiseLayoutImage(target, stagingPath, blob.data, blob.size), 1);
    if (image.position == 8 && !winetest::Runs32BitPrograms()) continue;  // no 32-bit comparer here
    std::string report;
    EXPECT_EQ(layouttest::CompareLayouts(image.arch, folder + image.file, staging, layouttest::ExpectedChanges(),
                                         &report), 0u)
        << report;
    DeleteFileW(staging.c_str());
  }
}

}  // namespace
