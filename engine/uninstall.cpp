// The uninstall procedure: removes what the recorded installation made, keeping what another
// installation still shares, and the layout library files at the next start of Windows.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <initializer_list>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

constexpr uint32_t kEarlierInstaller = 130;

using RedirectionOffProc = BOOL(WINAPI*)(PVOID*);
using RedirectionOnProc = BOOL(WINAPI*)(PVOID);

template <typename T>
T ProcAs(FARPROC proc) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

// The session manager's list of work for the next start: pairs of NUL-terminated paths, the
// source in NT form ("\??\C:\..."), then the target (empty for a deletion). A REG_MULTI_SZ value
// of the key below; it is read only to learn what the next start takes away.
constexpr WChar kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr WChar kPendingOperations[] = L"PendingFileRenameOperations";
constexpr DWORD kLongestPendingList = 4u << 20;  // far more than any real list; a bound for the read

class PendingSources {
 public:
  PendingSources() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, kPendingOperations, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_MULTI_SZ && size > 0 && size <= kLongestPendingList) {
      // Two zero units more than the value: a list cut short still ends.
      m_units = static_cast<WChar*>(calloc(size / sizeof(WChar) + 2, sizeof(WChar)));
      if (m_units && RegQueryValueExW(key, kPendingOperations, nullptr, &type, reinterpret_cast<BYTE*>(m_units),
                                      &size) == ERROR_SUCCESS)
        m_count = size / sizeof(WChar);
    }
    RegCloseKey(key);
  }
  ~PendingSources() { free(m_units); }
  PendingSources(const PendingSources&) = delete;
  PendingSources& operator=(const PendingSources&) = delete;

  // Whether the next start deletes or moves away the file or folder at ntPath.
  bool Contains(const WChar* ntPath) const {
    size_t i = 0;
    while (i < m_count && m_units[i]) {
      const WChar* source = m_units + i;
      i += wcslen(source) + 1;                          // the source
      if (i < m_count) i += wcslen(m_units + i) + 1;  // its target
      if (lstrcmpiW(source, ntPath) == 0) return true;
    }
    return false;
  }

 private:
  WChar* m_units = nullptr;  // owned
  size_t m_count = 0;
};

// Whether every entry of the folder goes at the next start.
bool OnlyPendingEntries(const GString& folderPath) {
  const PendingSources pending;
  GString folder, pattern, entry;
  folder.Assign(folderPath);
  if (!folder.EnsureSuffix(U16("\\"), 1)) return false;
  pattern.Assign(folder);
  pattern.AppendWide(U16("*"), 1);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.WideAt(0), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool allPending = true;
  do {
    if (!wcscmp(found.cFileName, L".") || !wcscmp(found.cFileName, L"..")) continue;
    entry.AssignWideZ(U16("\\??\\"));
    entry.Append(folder);
    entry.AppendWide(found.cFileName, -1);
    allPending = pending.Contains(entry.WideAt(0));
  } while (allPending && FindNextFileW(search, &found));
  FindClose(search);
  return allPending;
}

}  // namespace

int CInstall::Uninstall() {
  // Only an earlier installer's installation: its links and files, its entry, no record.
  if (m_installedId == kEarlierInstaller) {
    RemoveOldVersionFiles(1);
    UnregisterLayoutEntry();
    RunRemovalScript();
    m_uninstallDone = 1;
    return 1;
  }

  if (m_useCount > 0) --m_useCount;
  if (m_linkCount > 0) --m_linkCount;
  GString systemTarget, nativeTarget;
  if (!GetLayoutFilePaths(systemTarget, nativeTarget, nullptr, nullptr)) return 0;

  // Best effort from here on. The layout library goes at the next start in every removal.
  ScheduleLayoutLibraryDeletion(systemTarget, nativeTarget);
  if (m_linkCount == 0)
    for (GString& path : m_oldSetA) DeleteFileOrSchedule(path);
  if (m_useCount == 0) {
    for (GString& path : m_oldSetC) DeleteFileOrSchedule(path);
    for (GString& path : m_oldSetD) DeleteFileOrSchedule(path);
    for (GString& path : m_oldSetB) DeleteFileOrSchedule(path);
    DeleteFileOrSchedule(m_oldFileE);
    RunRemovalScript();
  }
  DeleteFileOrSchedule(m_oldSelfCopy);
  DeleteFileOrSchedule(m_oldSelfLink);
  for (GString* folder : {&m_dirInstall, &m_dirProgramsRoot, &m_dirMenu, &m_dirMenuRoot})
    RemoveFolderOrSchedule(*folder);
  UnregisterLayoutEntry();
  RemoveInstallRecord();  // the lowered counters, or the keys whose counter reached 0
  m_uninstallDone = 1;
  return 1;
}

int CInstall::RunRemovalScript() {
  // Another installation still uses the layout.
  if (m_useCount > 1) return 1;
  GString scriptPath;
  if (!MakeTempFile(scriptPath, kTextTempPrefix, nullptr)) return 0;
  GString format, script;
  if (m_osVersion >= 60) {
    GetText(kTextRemovalScript, format);
    Format(script, format.WideAt(0), U16(""));
  } else {
    GetText(kTextRemovalScriptOld, format);
    Format(script, format.WideAt(0), U16(""), U16(""));
  }
  HANDLE file = CreateOutputFile(scriptPath.WideAt(0));
  if (!file) return 0;  // the empty temporary file stays
  const int written = WriteText(file, script);
  CloseHandle(file);
  if (!written) return 0;
  LaunchAndWait(kTextScriptCommand, scriptPath.WideAt(0));
  DeleteFileOrSchedule(scriptPath);
  return 1;
}

void CInstall::ScheduleLayoutLibraryDeletion(GString& systemTarget, GString& nativeTarget) {
  if (!m_os64) {
    if (!systemTarget.IsEmpty()) MoveFileExW(systemTarget.WideAt(0), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return;
  }
  // The native target names system32, which a 32-bit program reaches only with redirection off.
  FARPROC off = nullptr, on = nullptr;
  HMODULE module = LoadRedirectionControl(off, on);
  PVOID saved = nullptr;
  const BOOL redirectionOff = off && ProcAs<RedirectionOffProc>(off)(&saved);
  for (GString* target : {&systemTarget, &nativeTarget})
    if (!target->IsEmpty()) MoveFileExW(target->WideAt(0), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (redirectionOff) ProcAs<RedirectionOnProc>(on)(saved);
  if (module) FreeLibrary(module);
}

int CInstall::RemoveFolderOrSchedule(GString& folder) {
  if (RemoveFolder(folder)) return 1;
  if (folder.IsEmpty() || !OnlyPendingEntries(folder)) return 0;
  // Scheduled after the entries that keep it: the next start works through its list in order.
  GString path;
  path.Assign(folder);
  if (path.Length() > 0 && path.WideAt(0)[path.Length() - 1] == U16('\\')) path.SetLength(path.Length() - 1);
  return MoveFileExW(path.WideAt(0), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}
