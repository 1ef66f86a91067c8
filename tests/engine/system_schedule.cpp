// Deletion and replacement at the next start, in three ctest steps in one prefix:
//   1. this program with --gtest_filter=ScheduleStep.*  schedules (and checks the registry list),
//   2. "wineboot -r"                                      restarts the prefix as Windows would,
//   3. this program with --gtest_filter=CheckStep.*     finds the work done.
// Its files live in a folder of their own, which the check step removes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/install.h"
#include "tests/engine/system_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

using systemtest::FileBytes;
using systemtest::FindPending;
using systemtest::NtPath;
using systemtest::WriteFileBytes;
using winetest::FileExists;
using winetest::Narrow;

std::wstring Parent() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  return std::wstring(temp, n) + L"LayoutSetupTest\\";
}

std::wstring Folder() { return Parent() + L"Schedule\\"; }

std::wstring HeldFile() { return Folder() + L"held layout.dll"; }
std::wstring StagedFile() { return Folder() + L"staged.dll"; }
std::wstring ReplacedFile() { return Folder() + L"replaced.dll"; }

TEST(ScheduleStep, DeletionOfAFileInUseAndAReplacement) {
  systemtest::ForgetPendingIn(Folder());  // leftovers of an earlier run
  winetest::DeleteFolderTree(Folder());
  CreateDirectoryW(Parent().c_str(), nullptr);
  ASSERT_TRUE(CreateDirectoryW(Folder().c_str(), nullptr));

  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));

  // A file held without sharing cannot go now: its deletion waits for the restart.
  WriteFileBytes(HeldFile(), "held");
  HANDLE holder = systemtest::HoldExclusively(HeldFile());
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(install.DeleteFileOrSchedule(HeldFile().c_str()), 1);
  CloseHandle(holder);
  EXPECT_TRUE(FileExists(HeldFile()));
  std::wstring target = L"unset";
  ASSERT_TRUE(FindPending(HeldFile(), &target));
  EXPECT_EQ(target, L"");

  // The replacement the layout library gets: staged file over the existing one.
  WriteFileBytes(StagedFile(), "new");
  WriteFileBytes(ReplacedFile(), "old");
  ASSERT_TRUE(MoveFileExW(StagedFile().c_str(), ReplacedFile().c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(FindPending(StagedFile(), &target));
  EXPECT_TRUE(systemtest::SamePath(target, L"!" + NtPath(ReplacedFile()))) << Narrow(target);
  EXPECT_EQ(FileBytes(ReplacedFile()), "old");
  EXPECT_TRUE(FileExists(StagedFile()));
}

TEST(CheckStep, TheRestartDidTheWork) {
  EXPECT_FALSE(FileExists(HeldFile()));
  EXPECT_FALSE(FileExists(StagedFile()));
  EXPECT_EQ(FileBytes(ReplacedFile()), "new");
  EXPECT_FALSE(FindPending(HeldFile(), nullptr));
  EXPECT_FALSE(FindPending(StagedFile(), nullptr));
  systemtest::ForgetPendingIn(Folder());
  winetest::DeleteFolderTree(Folder());
}

}  // namespace
