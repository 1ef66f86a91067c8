/* Stands in for the input-language command of the installer in the end-to-end tests: keeps a
   copy of the script file it is given (C:\e2e\scripts\script-NNN.txt, numbered in order), so
   that the tests read exactly what the installer wrote before it deleted its file. */
#include <windows.h>
#include <shellapi.h>
#include <wchar.h>

int main(void) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 2;
  CreateDirectoryW(L"C:\\e2e", NULL);
  CreateDirectoryW(L"C:\\e2e\\scripts", NULL);
  for (int n = 1; n < 1000; ++n) {
    wchar_t target[64];
    swprintf(target, 64, L"C:\\e2e\\scripts\\script-%03d.txt", n);
    if (CopyFileW(arguments[1], target, TRUE)) return 0;
    if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) return 1;
  }
  return 1;
}
