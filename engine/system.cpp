// Shell, rights, processes, libraries and system facts: shell links, the administrator test, the
// restart, file associations, program launch, libraries and exports named by texts, and the
// query of the Windows version and processor.
//
// The installer runs on Windows 2000 and later, so functions that 2000 lacks are resolved by
// name at run time and every caller copes with their absence.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdarg>
#include <cstring>

#include "app/install.h"
#include "app/platform.h"
#include "app/text_ids.h"
#include "engine/com_ids.h"

namespace {

// AssocQueryStringW's buffer: 2048 characters (WideTail adds the terminator's unit).
constexpr DWORD kAssocRoom = 2048;
// No path that Windows can open is longer; a larger count asked for is not believed.
constexpr DWORD kLongestPath = 32768;

constexpr DWORD kWaitForLaunchMs = 1000;

// From Windows XP on (advapi32); Windows 2000 has only InitiateSystemShutdownW.
typedef BOOL(WINAPI* ShutdownExProc)(WChar* machine, WChar* message, DWORD timeout, BOOL forceClose,
                                     BOOL reboot, DWORD reason);
constexpr DWORD kRestartReason =
    SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_OPERATINGSYSTEM | SHTDN_REASON_MINOR_RECONFIG;
static_assert(kRestartReason == 0x80020004, "planned reconfiguration of the operating system");

typedef void(WINAPI* NativeSystemInfoProc)(SYSTEM_INFO* info);
// Windows 10 1709 and later (kernel32): the process's and the machine's types (PE machine).
typedef BOOL(WINAPI* MachinesProc)(HANDLE process, USHORT* processMachine, USHORT* nativeMachine);

static_assert(sizeof(OSVERSIONINFOEXW) == 284 && sizeof(OSVERSIONINFOW) == 276, "version structures");
static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68, "start-up information of a 32-bit process");

template <typename Proc>
Proc ProcAs(FARPROC proc) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(proc));
}

// The executable that a file type opens with, into path (emptied first) with room for count
// characters; count comes back as the call leaves it (the size needed when the buffer was too
// small).
HRESULT QueryExecutable(const GString& fileType, GString& path, DWORD& count) {
  path.SetLength(0);
  if (count == 0 || count > kLongestPath) return E_INVALIDARG;
  WChar* buffer = path.WideTail(static_cast<int>(count));
  if (!buffer) return E_OUTOFMEMORY;
  buffer[0] = 0;
  const HRESULT result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, fileType.WideAt(0), nullptr, buffer, &count);
  // The length comes from the terminator: Windows counts it in, and Wine leaves the count as it
  // was given on success.
  // A failed call may leave a cut-off text without a terminator behind; it stays invisible.
  path.SetLength(SUCCEEDED(result) ? -1 : 0);
  return result;
}

}  // namespace

int CInstall::CreateShortcut(const WChar* target, const WChar* link, const WChar* description, const WChar* icon,
                             int iconIndex) {
  if (!target || !link) return 0;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                              reinterpret_cast<void**>(&shellLink))) ||
      !shellLink)
    return 0;
  shellLink->SetPath(target);
  if (description) shellLink->SetDescription(description);
  if (icon) shellLink->SetIconLocation(icon, iconIndex);
  IPersistFile* file = nullptr;
  if (FAILED(shellLink->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&file))) || !file) {
    shellLink->Release();
    return 0;
  }
  // A link that could not be written (a missing folder, no rights) is no success.
  const HRESULT saved = file->Save(link, TRUE);
  file->Release();
  shellLink->Release();
  return SUCCEEDED(saved) ? 1 : 0;
}

int CInstall::IsAdministrator() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators))
    return 0;
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  // A token that User Account Control filtered holds the group for deny only, so Windows says
  // "no member" above; Wine says "member", and this keeps it to Windows' answer.
  return member && !CanElevate() ? 1 : 0;
}

int CInstall::CanElevate() {
  // A member of the Administrators group whose token User Account Control filtered (Windows
  // Vista and later; earlier systems refuse the query).
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  const BOOL read = GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size);
  CloseHandle(token);
  return read && type == TokenElevationTypeLimited ? 1 : 0;
}

int CInstall::RunsAsSystem() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return 0;
  union {
    TOKEN_USER user;
    BYTE room[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  DWORD size = 0;
  const BOOL read = GetTokenInformation(token, TokenUser, &info, sizeof info, &size);
  CloseHandle(token);
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  PSID system = nullptr;
  if (!read || !AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system))
    return 0;
  const BOOL same = EqualSid(info.user.User.Sid, system);
  FreeSid(system);
  return same ? 1 : 0;
}

int CInstall::RestartSystem() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return 0;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  int granted = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  if (granted) {
    // AdjustTokenPrivileges succeeds even when the token lacks the privilege; only the error
    // code (ERROR_NOT_ALL_ASSIGNED) tells.
    SetLastError(ERROR_SUCCESS);
    granted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
  }
  CloseHandle(token);
  if (!granted) return 0;

  WChar message[1] = {0};
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  ShutdownExProc shutdownEx =
      advapi ? ProcAs<ShutdownExProc>(GetProcAddress(advapi, "InitiateSystemShutdownExW")) : nullptr;
  if (shutdownEx) return shutdownEx(nullptr, message, 0, FALSE, TRUE, kRestartReason) ? 1 : 0;
  return InitiateSystemShutdownW(nullptr, message, 0, FALSE, TRUE) ? 1 : 0;  // Windows 2000: no reason
}

int CInstall::GetAssociatedExecutable(uint32_t fileTypeText, GString& out) {
  out.SetLength(0);
  GString fileType;
  if (!GetText(fileTypeText, fileType)) return 0;
  DWORD count = kAssocRoom;
  return SUCCEEDED(QueryExecutable(fileType, out, count)) ? 1 : 0;
}

int CInstall::AssociatedExecutableContains(uint32_t fileTypeText, uint32_t searchedText) {
  GString fileType;
  GString searched;
  if (!GetText(fileTypeText, fileType) || !GetText(searchedText, searched)) return 0;
  GString path;
  DWORD count = kAssocRoom;
  HRESULT result = QueryExecutable(fileType, path, count);
  // Windows says E_POINTER when the buffer is too small; Wine truncates and says
  // E_NOT_SUFFICIENT_BUFFER. Either way count is now the size needed: one more try.
  if ((result == E_POINTER || result == E_NOT_SUFFICIENT_BUFFER) && count > kAssocRoom)
    result = QueryExecutable(fileType, path, count);
  if (FAILED(result)) return 0;
  path.ToUpper();  // the searched text is not converted: it must be upper case to match
  return path.Find(searched, 0) >= 0 ? 1 : 0;
}

int CInstall::OpenWithAssociated(uint32_t fileTypeText, uint32_t templateText, const WChar* argument) {
  // The command template is checked before the association is asked for.
  if (templateText == 0 || !LookupText(templateText)) return 0;
  GString executable;
  if (!GetAssociatedExecutable(fileTypeText, executable) || executable.IsEmpty()) return 0;
  return LaunchAndWait(templateText, executable.WideAt(0), argument);
}

int CInstall::LaunchAndWait(uint32_t templateText, ...) {
  if (templateText == 0 || !GetText(templateText, m_scratch)) return 0;
  GString line;
  line.AssignWide(nullptr, 0);
  va_list args;
  va_start(args, templateText);
  const int formatted = line.AppendFormat(m_scratch.WideAt(0), args);
  va_end(args);
  if (!formatted) return 0;  // a half-formatted command line is not run
  if (line.IsEmpty()) return 1;  // nothing that could start

  STARTUPINFOW startup;
  memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // CreateProcessW may write into the command line, so it gets the string's own block.
  WChar* commandLine = static_cast<WChar*>(line.Terminate());
  if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, kWaitForLaunchMs);  // at most a second; the outcome is not needed
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  return 1;  // also when the program could not start
}

HMODULE CInstall::LoadTextLibrary(uint32_t libraryText) {
  // A string of its own: the callers (registry and file operations) often hold a name in
  // m_scratch while they look an export up.
  GString name;
  if (!GetText(libraryText, name) || name.IsEmpty()) return nullptr;
  if (name.FindLastChar(U16('\\'), 0) >= 0 || name.FindLastChar(U16('/'), 0) >= 0)
    return LoadLibraryW(name.WideAt(0));
  // A bare name is loaded from the system folder: by name alone, a copy planted beside the
  // program would win.
  GString path;
  WChar* buffer = path.WideTail(MAX_PATH);
  if (!buffer) return nullptr;
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH + 1);
  if (length == 0 || length > MAX_PATH) return nullptr;
  path.SetLength(static_cast<int>(length));
  if (!path.AppendPath(name.WideAt(0), name.Length())) return nullptr;
  return LoadLibraryW(path.WideAt(0));
}

FARPROC CInstall::GetTextProc(uint32_t exportText, uint32_t libraryText, HMODULE& module) {
  // The export's name is fetched first, so that a missing text loads no library.
  GString name;
  if (!GetText(exportText, name) || name.IsEmpty()) return nullptr;
  const char* narrow = name.AsNarrow(0);
  if (!narrow) return nullptr;
  if (!module) {
    module = LoadTextLibrary(libraryText);  // the caller frees it
    if (!module) return nullptr;
  }
  return GetProcAddress(module, narrow);
}

HMODULE CInstall::LoadRedirectionControl(FARPROC& disable, FARPROC& revert) {
  disable = nullptr;
  revert = nullptr;
  if (!LookupText(kTextRedirectionOffProc) || !LookupText(kTextRedirectionOnProc)) return nullptr;
  HMODULE module = LoadTextLibrary(kTextSystemLibrary);
  if (!module) return nullptr;
  FARPROC off = GetTextProc(kTextRedirectionOffProc, kTextSystemLibrary, module);
  FARPROC on = GetTextProc(kTextRedirectionOnProc, kTextSystemLibrary, module);
  if (!off || !on) {
    FreeLibrary(module);
    return nullptr;
  }
  disable = off;
  revert = on;
  return module;
}

int CInstall::QuerySystem(uint32_t exportText, uint32_t libraryText) {
  m_cpuArch = -1;
  m_osVersion = 0;
  m_os64 = 0;
  m_suiteMask = 0;
  m_productType = 0;

  OSVERSIONINFOEXW version;
  memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXW);
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) {
    // Windows NT 4.0 before SP6 knows only the plain structure.
    memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return 0;
  }
  m_osVersion = static_cast<int32_t>(version.dwMajorVersion * 10 + version.dwMinorVersion);
  m_suiteMask = version.wSuiteMask;
  m_productType = version.wProductType;

  // A 32-bit process learns the real processor only from the native call (Windows XP on);
  // GetSystemInfo reports x86 under WOW64.
  SYSTEM_INFO info;
  memset(&info, 0, sizeof info);
  HMODULE module = nullptr;
  NativeSystemInfoProc native = ProcAs<NativeSystemInfoProc>(GetTextProc(exportText, libraryText, module));
  if (native)
    native(&info);
  else
    GetSystemInfo(&info);
  int32_t arch = info.wProcessorArchitecture;
  // ARM64 Windows tells an emulated x86 program of an x86 machine (of an x64 one where it
  // emulates x64 too); only the machine type names it. A package without the text keeps the
  // answer above.
  MachinesProc machines = ProcAs<MachinesProc>(GetTextProc(kTextMachinesProc, libraryText, module));
  USHORT processMachine = 0, nativeMachine = 0;
  if (machines && machines(GetCurrentProcess(), &processMachine, &nativeMachine))
    arch = ArchitectureOfMachine(nativeMachine, arch);
  if (module) FreeLibrary(module);

  m_cpuArch = static_cast<int16_t>(arch);
  m_os64 = Is64BitArchitecture(arch) ? 1 : 0;
  return 1;
}
