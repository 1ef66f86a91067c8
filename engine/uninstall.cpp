// The uninstall procedure: removes what the recorded installation made, keeping what another
// installation still shares, and the layout library files at the next start of Windows.
#include <windows.h>

#include <cwchar>
#include <initializer_list>

#include "app/install.h"
#include "app/text_ids.h"
#include "engine/pending_operations.h"

namespace {

constexpr uint32_t kEarlierInstaller = 130;

using RedirectionOffProc = BOOL(WINAPI*)(PVOID*);
using RedirectionOnProc = BOOL(WINAPI*)(PVOID);

template <typename T>
T ProcAs(FARPROC proc) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

// Whether every entry of the folder goes at the next start.
bool OnlyPendingEntries(const GString& folderPath) {
  const PendingOperations pending;
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
    allPending = pending.Moves(entry.WideAt(0));
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
  if (!Logged("layout library paths", GetLayoutFilePaths(systemTarget, nativeTarget, nullptr, nullptr))) return 0;

  // Best effort from here on. The layout library goes at the next start in every removal.
  ScheduleLayoutLibraryDeletion(systemTarget, nativeTarget);
  if (m_linkCount == 0)
    for (GString& path : m_oldSetA) DeleteFileOrSchedule(path);
  if (m_useCount == 0) {
    for (GString& path : m_oldSetC) DeleteFileOrSchedule(path);
    for (GString& path : m_oldSetD) DeleteFileOrSchedule(path);
    for (GString& path : m_oldSetB) DeleteFileOrSchedule(path);
    DeleteFileOrSchedule(m_oldFileE);
    if (m_runsAsSystem) {
      Logged("per-user undo at each sign-in", ArrangePerUserRemoval());
    } else {
      Logged("removal script", RunRemovalScript());
      RestoreSwitchKeys();
    }
    Logged("Installed apps entry removed", RemoveUninstallEntry());
  }
  DeleteFileOrSchedule(m_oldSelfCopy);
  DeleteFileOrSchedule(m_oldSelfLink);
  for (GString* folder : {&m_dirInstall, &m_dirProgramsRoot, &m_dirMenu, &m_dirMenuRoot})
    RemoveFolderOrSchedule(*folder);
  Logged("layout entry removed", UnregisterLayoutEntry());
  Logged("record removed", RemoveInstallRecord());  // the lowered counters, or the keys whose counter reached 0
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
    // The language the installation registered the layout under; a script that names its
    // languages itself takes no second argument.
    const unsigned language = m_recordedLangId ? m_recordedLangId : m_packageLangId;
    GetText(kTextRemovalScript, format);
    Format(script, format.WideAt(0), U16(""), language);
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
  DeleteScriptAtNextStart(scriptPath);
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
