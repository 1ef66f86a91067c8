// Steps the real setup.exe through its pages for pictures (tests/gui/pictures.sh). It runs the
// steps given on its command line in order:
//   page:ID         wait until the page on view has control ID, visible
//   click:ID        a click on control ID of the page
//   select:ID:N     item N of combo box ID, with the notifications a person's choice sends
//   open:ID         open the list of combo box ID
//   shut:ID         close it again
//   shot:NAME       a picture of the frame: NAME.req holds the frame's place on the screen;
//                   the script takes the picture and deletes the file
//   box:NAME        wait for a message box, then a picture of the frame and the box
//   answer:ID       press button ID (1 OK, 6 Yes, 7 No) of the message box
//   close           close the frame (its close box)
//   end             wait for the program to end
// Usage: picture_driver SETUP.EXE CLASS FOLDER STEP...; exit code 0 when every step was done,
// also written to FOLDER\driver.done (a program started in a Wine desktop hands its exit code to
// no one).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tests/gui/gui_driver.h"

namespace {

gui::Driver g_driver;
const wchar_t* g_folder;

bool Picture(const wchar_t* name, HWND box) {
  Sleep(500);  // let the page finish painting
  RECT rect = {};
  GetWindowRect(g_driver.Frame(), &rect);
  if (box) {
    RECT boxRect = {};
    GetWindowRect(box, &boxRect);
    UnionRect(&rect, &rect, &boxRect);
  }
  wchar_t path[MAX_PATH];
  swprintf(path, MAX_PATH, L"%ls\\%ls.req", g_folder, name);
  FILE* file = _wfopen(path, L"w");
  if (!file) return false;
  fprintf(file, "%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
  fclose(file);
  for (DWORD waited = 0; waited < gui::Driver::kTimeoutMs; waited += 100) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(100);
  }
  return false;
}

bool RunStep(const wchar_t* step) {
  int id = 0, index = 0;
  wchar_t name[MAX_PATH] = {};
  if (swscanf(step, L"page:%d", &id) == 1) return g_driver.WaitForPage(id) != nullptr;
  if (swscanf(step, L"click:%d", &id) == 1) return g_driver.WaitForPage(id) && g_driver.Click(id);
  if (swscanf(step, L"select:%d:%d", &id, &index) == 2) return g_driver.WaitForPage(id) && g_driver.Select(id, index);
  if (swscanf(step, L"open:%d", &id) == 1) return g_driver.WaitForPage(id) && g_driver.OpenList(id, true);
  if (swscanf(step, L"shut:%d", &id) == 1) return g_driver.WaitForPage(id) && g_driver.OpenList(id, false);
  if (swscanf(step, L"shot:%259ls", name) == 1) return g_driver.Frame() && Picture(name, nullptr);
  if (swscanf(step, L"box:%259ls", name) == 1) {
    HWND box = g_driver.WaitForMessageBox();
    return box && Picture(name, box);
  }
  if (swscanf(step, L"answer:%d", &id) == 1) return gui::Driver::Answer(g_driver.WaitForMessageBox(), id);
  if (wcscmp(step, L"close") == 0) return g_driver.Close();
  if (wcscmp(step, L"end") == 0) return g_driver.WaitForEnd() >= 0;
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: picture_driver SETUP.EXE CLASS FOLDER STEP...\n");
    return 2;
  }
  g_folder = argv[3];
  int result = g_driver.Start(argv[1], argv[2]) ? 0 : 1;
  for (int i = 4; i < argc && result == 0; ++i) {
    if (!RunStep(argv[i])) {
      fprintf(stderr, "picture_driver: step %ls failed\n", argv[i]);
      result = 1;
    }
  }
  wchar_t path[MAX_PATH];
  swprintf(path, MAX_PATH, L"%ls\\driver.done", g_folder);
  if (FILE* file = _wfopen(path, L"w")) {
    fprintf(file, "%d\n", result);
    fclose(file);
  }
  return result;
}
