/* Stands in for the input-language command of the installer in the end-to-end tests: keeps a
   copy of the script file it is given (C:\e2e\scripts\script-NNN.txt, numbered in order), so
   that the tests read exactly what the installer wrote before it deleted its file. Started with
   "--hand-over" it stands in for the settings the start-up checks open, and leaves
   C:\e2e\hand-over.txt behind. With SCRIPT_RECORDER_LATE set it does what the real command does:
   hands the file to another process (a copy of itself, which reads it two seconds later) and
   ends at once. */
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

int main(void) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 2;
  CreateDirectoryW(L"C:\\e2e", NULL);
  if (!wcscmp(arguments[1], L"--hand-over")) {
    HANDLE mark = CreateFileW(L"C:\\e2e\\hand-over.txt", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    if (mark == INVALID_HANDLE_VALUE) return 1;
    CloseHandle(mark);
    return 0;
  }
  if (count == 2 && GetEnvironmentVariableW(L"SCRIPT_RECORDER_LATE", NULL, 0)) {
    wchar_t self[MAX_PATH], command[2 * MAX_PATH + 16];
    STARTUPINFOW startup;
    PROCESS_INFORMATION child;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    if (!GetModuleFileNameW(NULL, self, MAX_PATH)) return 1;
    swprintf(command, sizeof command / sizeof command[0], L"\"%ls\" \"%ls\" --late", self, arguments[1]);
    if (!CreateProcessW(self, command, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &child)) return 1;
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return 0;
  }
  if (count == 3) Sleep(2000);  /* --late */
  CreateDirectoryW(L"C:\\e2e\\scripts", NULL);
  for (int n = 1; n < 1000; ++n) {
    wchar_t target[64];
    swprintf(target, 64, L"C:\\e2e\\scripts\\script-%03d.txt", n);
    if (CopyFileW(arguments[1], target, TRUE)) return 0;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return 1;
  }
  return 1;
}
