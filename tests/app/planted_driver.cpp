// Drives setup.exe for the planted-library test (planted_libraries.sh): waits for the first page,
// has the running program load each named library by its bare name, as a system component loads
// a library late (a thread of the program's own calling LoadLibraryW, so the program's search
// rules apply), then cancels with Yes and waits for the end.
// Usage: planted_driver SETUP.EXE CLASS NAME...; exit code 0 when every step was done.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/gui/gui_driver.h"

namespace {

constexpr int kWelcomeTitle = 308;  // ui/resource_ids.h
constexpr int kCancel = 300;
constexpr int kYes = 6;

// LoadLibraryW(name) on a thread of the process; true when that thread ran to its end.
bool LoadInProcess(HANDLE process, const wchar_t* name) {
  const SIZE_T bytes = (wcslen(name) + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return false;
  bool done = false;
  // kernel32 lies at the same address in every process of a session.
  auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  if (WriteProcessMemory(process, remote, name, bytes, nullptr)) {
    HANDLE thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
    if (thread) {
      done = WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0;
      CloseHandle(thread);
    }
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return done;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: planted_driver SETUP.EXE CLASS NAME...\n");
    return 2;
  }
  gui::Driver driver;
  if (!driver.Start(argv[1], argv[2]) || !driver.WaitForPage(kWelcomeTitle)) {
    fprintf(stderr, "planted_driver: the first page did not come\n");
    return 1;
  }
  HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, driver.ProcessId());
  for (int i = 3; i < argc; ++i) {
    if (!process || !LoadInProcess(process, argv[i])) {
      fprintf(stderr, "planted_driver: could not have the program load %ls\n", argv[i]);
      return 1;
    }
  }
  if (process) CloseHandle(process);
  if (!driver.Click(kCancel) || !gui::Driver::Answer(driver.WaitForMessageBox(), kYes) || driver.WaitForEnd() != 1602) {  // cancelled
    fprintf(stderr, "planted_driver: the program did not end through its close question\n");
    return 1;
  }
  return 0;
}
