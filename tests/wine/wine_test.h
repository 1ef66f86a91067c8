// Helpers for Windows tests that run under Wine against the real registry, files and shell.
//
// Each test program runs in prefixes made fresh for the ctest run (setup_wine_tests in
// tests/CMakeLists.txt): 32-bit and 64-bit, reporting several Windows versions. Tests work on
// keys and folders of their own, removed before (leftovers of a crashed run) and after.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace winetest {

// The prefix: a 32-bit program on a 64-bit system, and the version Windows reports
// (major * 10 + minor, as the installer counts).
bool IsWow64();
int ReportedVersion();
// A 64-bit Windows: the test is a WOW64 process, or a 64-bit program itself (the 64-bit build of
// the tests, for machines that cannot run 32-bit x86 code).
bool Is64BitSystem();
// Whether 32-bit helper programs (the x86 layout comparer) can run: only where the tests are
// 32-bit themselves; the 64-bit build runs in prefixes without a 32-bit part.
bool Runs32BitPrograms();

// Skips the test, printing why, when the prefix lacks something it needs.
#define WINETEST_SKIP_UNLESS(condition, why) \
  do {                                        \
    if (!(condition)) GTEST_SKIP() << why;    \
  } while (0)

// A fresh key HKCU\Software\LayoutSetupTest\<suite>.<test> (m_path relative to HKCU), opened
// with full access in m_key.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HKEY m_key = nullptr;
  std::wstring m_path;
};

// A fresh folder <temp>\LayoutSetupTest\<suite>.<test>, with a trailing backslash in m_folder.
class FolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::wstring m_folder;
};

// Deletes a key and everything below it (in the given view: 0 or KEY_WOW64_64KEY).
void DeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes a folder and everything in it.
void DeleteFolderTree(const std::wstring& folder);

// Runs a command line, waits for it (at most timeoutMs) and returns its exit code (or
// 0xFFFFFFFF when it could not start); its standard output is appended to *output.
DWORD RunCommand(const std::wstring& commandLine, std::string* output, DWORD timeoutMs = 60000);

// The output of `reg query <key> [/v value]` by the system's own reg.exe: the native 64-bit one
// when native64 is set on a 64-bit prefix (through sysnative), else the one of the test's own
// bitness (which sees the test's own registry view).
std::string RegQuery(const std::wstring& key, const std::wstring& value, bool native64);

// Whole file contents, or false when the file cannot be read.
bool ReadWholeFile(const std::wstring& path, std::string* contents);
bool FileExists(const std::wstring& path);

std::string Narrow(const std::wstring& text);  // UTF-8, for messages

}  // namespace winetest
