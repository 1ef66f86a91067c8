// Helpers of the system tests and of the multi-step schedule test: whole files, a file held the
// way another program holds it, and the session manager's list of work for the next start.
//
// PendingFileRenameOperations, a REG_MULTI_SZ value of the Session Manager key under
// HKLM\System\CurrentControlSet\Control, holds pairs of strings: the source as an NT path
// ("\??\C:\..."), then the target: empty for a deletion, "!" in front when an existing target
// is replaced.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/wine/wine_test.h"

namespace systemtest {

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << winetest::Narrow(path);
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  ASSERT_EQ(written, bytes.size());
}

inline std::string FileBytes(const std::wstring& path) {
  std::string contents;
  EXPECT_TRUE(winetest::ReadWholeFile(path, &contents)) << winetest::Narrow(path);
  return contents;
}

// Opened as another program holding the file would: no sharing at all.
inline HANDLE HoldExclusively(const std::wstring& path) {
  return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

inline bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

// ---- PendingFileRenameOperations ------------------------------------------------------------

constexpr wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

using PendingPair = std::pair<std::wstring, std::wstring>;

inline std::vector<PendingPair> ReadPending() {
  std::vector<PendingPair> pairs;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return pairs;
  DWORD size = 0;
  std::vector<wchar_t> data;
  if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size > 0) {
    data.assign(size / sizeof(wchar_t) + 2, 0);  // two more zeros: a value cut short still ends
    if (RegQueryValueExW(key, kPendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
      data.clear();
  }
  RegCloseKey(key);
  const wchar_t* p = data.data();
  const wchar_t* end = p + (data.empty() ? 0 : size / sizeof(wchar_t));
  while (p < end && *p) {
    const std::wstring source = p;
    p += source.size() + 1;
    const std::wstring target = p < end ? p : L"";
    p += target.size() + 1;
    pairs.emplace_back(source, target);
  }
  return pairs;
}

// The NT form of a Win32 path, as MoveFileExW records it.
inline std::wstring NtPath(const std::wstring& path) { return L"\\??\\" + path; }

// Whether the list names path as a source; *target receives its target.
inline bool FindPending(const std::wstring& path, std::wstring* target) {
  for (const PendingPair& pair : ReadPending()) {
    if (SamePath(pair.first, NtPath(path))) {
      if (target) *target = pair.second;
      return true;
    }
  }
  return false;
}

// Removes the pairs whose source lies in folder (with a trailing backslash), so that a later
// restart of the prefix does not act on a test's leftovers; other entries stay.
inline void ForgetPendingIn(const std::wstring& folder) {
  const std::wstring prefix = NtPath(folder);
  std::vector<wchar_t> data;
  bool changed = false;
  for (const PendingPair& pair : ReadPending()) {
    if (pair.first.size() >= prefix.size() && SamePath(pair.first.substr(0, prefix.size()), prefix)) {
      changed = true;
      continue;
    }
    data.insert(data.end(), pair.first.begin(), pair.first.end());
    data.push_back(0);
    data.insert(data.end(), pair.second.begin(), pair.second.end());
    data.push_back(0);
  }
  if (!changed) return;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  if (data.empty()) {
    RegDeleteValueW(key, kPendingValue);
  } else {
    data.push_back(0);
    RegSetValueExW(key, kPendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
  }
  RegCloseKey(key);
}

}  // namespace systemtest
