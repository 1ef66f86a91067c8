// The entry function: one installer object for the whole run, whose exit code it returns; a run
// that refuses, or a package that cannot be read, ends with the object's destruction alone.
#include <objbase.h>
#include <windows.h>

#include "app/install.h"

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesProc)(DWORD flags);
typedef BOOL(WINAPI* SetDllDirectoryProc)(const WCHAR* path);

template <typename Proc>
Proc ProcAs(FARPROC proc) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(proc));
}

// An installer runs from a downloads folder, often with administrator rights: a library planted
// there under a system library's name would be loaded in place of the real one whenever a
// library is loaded by name (the common controls load uxtheme, COM and the shell load others).
// From here on the loader looks only in the system folder where the system can be told so
// (Windows 8 on, Vista and 7 with the update KB2533623), and never in the current folder (XP SP1
// on). Both are looked up: Windows 2000 to Vista without the update lack them. The libraries
// the program imports are resolved before this runs: README, "What the program protects against".
void RestrictLibrarySearch() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return;
  SetDefaultDllDirectoriesProc setDefault =
      ProcAs<SetDefaultDllDirectoriesProc>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
  if (setDefault) setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  SetDllDirectoryProc setDirectory = ProcAs<SetDllDirectoryProc>(GetProcAddress(kernel, "SetDllDirectoryW"));
  if (setDirectory) setDirectory(L"");
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  RestrictLibrarySearch();  // before anything can load a library
  CInstall install;
  CoInitializeEx(nullptr, 0);
  if (install.Init(instance) && install.Run()) {
    install.Shutdown();
    CoUninitialize();
  }
  return static_cast<int>(install.Finish());  // Windows Installer's codes (app/exit_codes.h)
}
