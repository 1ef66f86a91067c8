/* A library planted under a system library's name (tests/app/planted_libraries.sh): loaded, it
   leaves a marker beside itself, <its path>.loaded, naming the program that loaded it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    WCHAR path[MAX_PATH + 8];
    char program[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
    DWORD programLength = GetModuleFileNameA(NULL, program, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      HANDLE file;
      DWORD written;
      lstrcpyW(path + length, L".loaded");
      file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
      if (file != INVALID_HANDLE_VALUE) {
        WriteFile(file, program, programLength < MAX_PATH ? programLength : 0, &written, NULL);
        CloseHandle(file);
      }
    }
  }
  return TRUE;
}
