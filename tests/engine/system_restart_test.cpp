// The restart request, run only in the prefix made for it (w32-restart-win7), where nothing else
// runs. Wine's InitiateSystemShutdownExW starts no shutdown: it returns TRUE and leaves the
// session, the prefix's wineserver and every other prefix alone. The test refuses to run outside
// Wine, where the same call would restart the computer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/install.h"
#include "tests/wine/wine_test.h"

namespace {

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool InRestartPrefix() {
  const char* name = getenv("SETUP_TEST_PREFIX");
  return name && strcmp(name, "w32-restart-win7") == 0;
}

// The attributes of the shutdown privilege in this process's token; false when the token lacks it.
bool ShutdownPrivilege(DWORD* attributes) {
  LUID luid;
  if (!LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &luid)) return false;
  HANDLE token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size ? size : 1);
  bool found = false;
  if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
    const TOKEN_PRIVILEGES* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
      const LUID& id = privileges->Privileges[i].Luid;
      if (id.LowPart == luid.LowPart && id.HighPart == luid.HighPart) {
        *attributes = privileges->Privileges[i].Attributes;
        found = true;
      }
    }
  }
  CloseHandle(token);
  return found;
}

TEST(RestartSystem, EnablesThePrivilegeAndReturns) {
  WINETEST_SKIP_UNLESS(UnderWine(), "outside Wine this would restart the computer");
  WINETEST_SKIP_UNLESS(InRestartPrefix(), "runs only in the w32-restart-win7 prefix");
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));

  DWORD before = 0;
  ASSERT_TRUE(ShutdownPrivilege(&before)) << "the administrator's token holds the shutdown privilege";
  EXPECT_EQ(before & SE_PRIVILEGE_ENABLED, 0u) << "disabled until asked for";

  EXPECT_EQ(install.RestartSystem(), 1);

  DWORD after = 0;
  ASSERT_TRUE(ShutdownPrivilege(&after));
  EXPECT_NE(after & SE_PRIVILEGE_ENABLED, 0u);
  // Still here, and the prefix still answers.
  EXPECT_EQ(winetest::RunCommand(L"cmd.exe /c exit 5", nullptr), 5u);
}

}  // namespace
