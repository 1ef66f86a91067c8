/* Stands in for the program associated with the related document's file type in the GUI
   scenarios: appends the document it is given to C:\gui\opened.txt, one line per start. */
#include <windows.h>
#include <shellapi.h>
#include <stdio.h>

int main(void) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments || count < 2) return 2;
  CreateDirectoryW(L"C:\\gui", NULL);
  FILE* file = _wfopen(L"C:\\gui\\opened.txt", L"a");
  if (!file) return 1;
  fprintf(file, "%ls\n", arguments[1]);
  fclose(file);
  return 0;
}
