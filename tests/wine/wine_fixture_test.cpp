// The prefixes are what their names promise: architecture and reported version.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/wine/wine_test.h"

namespace {

std::string PrefixName() {
  const char* name = getenv("SETUP_TEST_PREFIX");
  return name ? name : "";
}

TEST(WinePrefix, ArchitectureAndVersion) {
  const std::string name = PrefixName();
  WINETEST_SKIP_UNLESS(!name.empty(), "not started by setup_wine_tests");
  EXPECT_EQ(winetest::Is64BitSystem(), name.compare(0, 3, "w64") == 0) << name;
  const std::string version = name.substr(name.rfind('-') + 1);
  // No manifest: Windows 10 reports 6.2; the 64-bit XP is 5.2.
  const int expected = version == "winxp" ? 51 : version == "winxp64" ? 52 : version == "win7" ? 61 : 62;
  EXPECT_EQ(winetest::ReportedVersion(), expected) << name;
}

class RegistryHelper : public winetest::RegistryTest {};

TEST_F(RegistryHelper, KeyIsFreshAndVisibleToRegExe) {
  const DWORD value = 7;
  ASSERT_EQ(RegSetValueExW(m_key, L"Probe", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4), ERROR_SUCCESS);
  const std::string out = winetest::RegQuery(L"HKCU\\" + m_path, L"Probe", false);
  EXPECT_NE(out.find("0x7"), std::string::npos) << out;
}

class FolderHelper : public winetest::FolderTest {};

TEST_F(FolderHelper, FolderIsFreshAndRemovable) {
  const std::wstring file = m_folder + L"a.txt";
  HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written;
  WriteFile(h, "abc", 3, &written, nullptr);
  CloseHandle(h);
  std::string contents;
  ASSERT_TRUE(winetest::ReadWholeFile(file, &contents));
  EXPECT_EQ(contents, "abc");
}

}  // namespace
