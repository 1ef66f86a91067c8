// The next start's list of file work. Each entry is a pair of NUL-terminated paths: the source
// in NT form ("\??\C:\..."), then the target in the same form, "!" in front when it replaces an
// existing file, or empty for a deletion. The list ends with an empty source. Windows carries the
// pairs out in order, so a later run of ours that leaves its own pairs behind an earlier run's
// would have the earlier run's work undo its own at the next start.
#include "engine/pending_operations.h"

#include <cstdlib>
#include <cwchar>

namespace {

constexpr WChar kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr WChar kPendingOperations[] = L"PendingFileRenameOperations";
constexpr DWORD kLongestPendingList = 4u << 20;  // far more than any real list; a bound for the read

// The path a list entry names, without its "!" and "\??\" marks.
const WChar* PlainPath(const WChar* entry) {
  if (*entry == L'!') ++entry;
  if (!wcsncmp(entry, L"\\??\\", 4)) entry += 4;
  return entry;
}

// The path without a trailing separator: folders are listed without one.
size_t LengthWithoutSeparator(const GString& path) {
  size_t length = static_cast<size_t>(path.Length());
  const WChar* units = path.WideAt(0);
  if (length > 0 && units[length - 1] == L'\\') --length;
  return length;
}

bool SamePath(const WChar* plain, const GString& path) {
  const size_t length = LengthWithoutSeparator(path);
  return length > 0 && wcslen(plain) == length && !_wcsnicmp(plain, path.WideAt(0), length);
}

bool InsideFolder(const WChar* plain, const GString& folder) {
  const size_t length = LengthWithoutSeparator(folder);
  return length > 0 && wcslen(plain) > length && !_wcsnicmp(plain, folder.WideAt(0), length) &&
         plain[length] == L'\\';
}

}  // namespace

PendingOperations::PendingOperations() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, kPendingOperations, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      type == REG_MULTI_SZ && size > 0 && size <= kLongestPendingList) {
    // Two zero units more than the value: a list cut short still ends.
    m_units = static_cast<WChar*>(calloc(size / sizeof(WChar) + 2, sizeof(WChar)));
    if (m_units && RegQueryValueExW(key, kPendingOperations, nullptr, &type, reinterpret_cast<BYTE*>(m_units),
                                    &size) == ERROR_SUCCESS && type == REG_MULTI_SZ)
      m_count = size / sizeof(WChar);
  }
  RegCloseKey(key);
}

PendingOperations::~PendingOperations() { free(m_units); }

bool PendingOperations::Moves(const WChar* ntPath) const {
  size_t i = 0;
  while (i < m_count && m_units[i]) {
    const WChar* source = m_units + i;
    i += wcslen(source) + 1;                        // the source
    if (i < m_count) i += wcslen(m_units + i) + 1;  // its target
    if (lstrcmpiW(source, ntPath) == 0) return true;
  }
  return false;
}

int PendingOperations::Withdraw(const GString* const* paths, size_t pathCount, const GString* const* folders,
                                size_t folderCount) {
  auto ours = [&](const WChar* entry) {
    const WChar* plain = PlainPath(entry);
    if (!*plain) return false;
    for (size_t i = 0; i < pathCount; ++i)
      if (SamePath(plain, *paths[i])) return true;
    for (size_t i = 0; i < folderCount; ++i)
      if (SamePath(plain, *folders[i]) || InsideFolder(plain, *folders[i])) return true;
    return false;
  };

  // The pairs that stay, in their order, compacted in place.
  size_t read = 0, kept = 0;
  bool changed = false;
  while (read < m_count && m_units[read]) {
    const size_t pairStart = read;
    const WChar* source = m_units + read;
    read += wcslen(source) + 1;
    const WChar* target = read < m_count ? m_units + read : L"";
    if (read < m_count) read += wcslen(target) + 1;
    if (read > m_count) read = m_count;  // a list cut short: its last pair ends at the extra zeros
    if (ours(source) || ours(target)) {
      changed = true;
      continue;
    }
    memmove(m_units + kept, m_units + pairStart, (read - pairStart) * sizeof(WChar));
    kept += read - pairStart;
  }
  if (!changed) return 1;

  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return 0;
  LONG result;
  if (kept == 0) {
    result = RegDeleteValueW(key, kPendingOperations);
  } else {
    if (m_units[kept - 1] != 0) m_units[kept++] = 0;  // a last path that was cut short ends
    m_units[kept] = 0;                                // the empty source that ends the list
    result = RegSetValueExW(key, kPendingOperations, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(m_units),
                            static_cast<DWORD>((kept + 1) * sizeof(WChar)));
  }
  RegCloseKey(key);
  m_count = kept;
  return result == ERROR_SUCCESS ? 1 : 0;
}
