// The layout library installed for real, in three ctest steps in one prefix:
//   1. this program with --gtest_filter=InstallStep.*  stages the images and registers their
//      replacement of the system's library,
//   2. "wineboot -r"                                     restarts the prefix as Windows would,
//   3. this program with --gtest_filter=CheckStep.*    reads the installed libraries' tables:
//      the 32-bit one in the 32-bit system folder (on a 64-bit prefix: syswow64, with the WOW64
//      edition) and the 64-bit one in the native system32, each patched exactly as asked.
// Built twice: with the demo package, and with COMPILED_LAYOUTS_DIR for the package whose images
// the packager compiled from a .klc file (tests/engine/compiled_package), whose originals the
// build compiled again into that folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/engine/layout_helpers.h"
#include "tests/engine/system_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

using winetest::FileExists;

#ifdef COMPILED_LAYOUTS_DIR
constexpr int kVariant = 0;
constexpr int kRow = 0;
const wchar_t kInstallFolder[] = L"CompiledInstall";
const wchar_t kLayoutFile[] = L"kbdfeat.dll";  // text 83 of the package, the .klc file's KBD name

// The library as "packager compile" made it: "x86", "x64" or "wow64".
std::wstring Original(const wchar_t* edition) {
  const wchar_t* folder = !wcscmp(edition, L"x86") ? L"i386" : !wcscmp(edition, L"x64") ? L"amd64" : L"wow64";
  return layouttest::WinePath(COMPILED_LAYOUTS_DIR) + L"\\" + folder + L"\\" + kLayoutFile;
}
#else
constexpr int kVariant = 2;  // Dvorak, alternative row
constexpr int kRow = 1;
const wchar_t kInstallFolder[] = L"LayoutInstall";
using layouttest::kLayoutFile;

std::wstring Original(const wchar_t* edition) { return layouttest::DemoImage(kVariant, kRow, edition); }
#endif

std::wstring InstallFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp, n) + L"LayoutSetupTest\\" + kInstallFolder + L"\\";
}

std::wstring WindowsFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  GetWindowsDirectoryW(path, MAX_PATH);
  return path;
}

TEST(InstallStep, StagesBothImagesAndRegistersTheirReplacement) {
  systemtest::ForgetPendingIn(InstallFolder());  // leftovers of an earlier run
  CreateDirectoryW((InstallFolder() + L"..").c_str(), nullptr);
  CreateDirectoryW(InstallFolder().c_str(), nullptr);

  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  ASSERT_EQ(install.QuerySystem(kTextNativeSystemInfoProc, kTextSystemLibrary), 1);
  install.m_dirInstall.AssignWideZ(reinterpret_cast<const WChar*>(InstallFolder().c_str()));
  install.m_variant = kVariant;
  install.m_altImageB = kRow;
  install.m_decimalKey = 0;
  layouttest::Reassign(install);
  ASSERT_EQ(install.InstallLayoutImages(), 1);

  const std::wstring staged = InstallFolder() + kLayoutFile;
  EXPECT_TRUE(FileExists(staged));
  std::wstring target;
  ASSERT_TRUE(systemtest::FindPending(staged, &target));
  if (winetest::Is64BitSystem()) {
    EXPECT_TRUE(systemtest::SamePath(target, L"!" + systemtest::NtPath(WindowsFolder() + L"\\syswow64\\" + kLayoutFile)))
        << winetest::Narrow(target);
    ASSERT_TRUE(systemtest::FindPending(staged + L"64", &target));
    EXPECT_TRUE(systemtest::SamePath(target, L"!" + systemtest::NtPath(WindowsFolder() + L"\\system32\\" + kLayoutFile)))
        << winetest::Narrow(target);
  } else {
    EXPECT_TRUE(systemtest::SamePath(target, L"!" + systemtest::NtPath(WindowsFolder() + L"\\system32\\" + kLayoutFile)))
        << winetest::Narrow(target);
    EXPECT_FALSE(FileExists(staged + L"64"));
  }
}

TEST(CheckStep, TheSystemFoldersHoldThePatchedLibraries) {
  const std::wstring original32 = Original(L"x86");
  std::string report;
  if (winetest::Is64BitSystem()) {
    // The 32-bit system folder of a 64-bit system holds the WOW64 edition (64-bit pointers),
    // which only the 32-bit comparer reads.
    if (winetest::Runs32BitPrograms())
      EXPECT_EQ(layouttest::CompareLayouts(L"x86", Original(L"wow64"),
                                           WindowsFolder() + L"\\syswow64\\" + kLayoutFile,
                                           layouttest::ExpectedChanges() + L" --pointers=64", &report), 0u)
          << report;
    else
      EXPECT_TRUE(FileExists(WindowsFolder() + L"\\syswow64\\" + kLayoutFile));
    // The 64-bit comparer is a 64-bit process: system32 is the native folder for it.
    EXPECT_EQ(layouttest::CompareLayouts(L"x64", Original(L"x64"),
                                         WindowsFolder() + L"\\system32\\" + kLayoutFile,
                                         layouttest::ExpectedChanges(), &report), 0u)
        << report;
  } else {
    EXPECT_EQ(layouttest::CompareLayouts(L"x86", original32, WindowsFolder() + L"\\system32\\" + kLayoutFile,
                                         layouttest::ExpectedChanges(), &report), 0u)
        << report;
  }
  // The staging files went where they were sent.
  EXPECT_FALSE(FileExists(InstallFolder() + kLayoutFile));
  EXPECT_FALSE(FileExists(InstallFolder() + kLayoutFile + L"64"));
  systemtest::ForgetPendingIn(InstallFolder());
  winetest::DeleteFolderTree(InstallFolder());
}

}  // namespace
