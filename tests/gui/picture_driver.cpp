// Drives the real setup.exe through its pages for pictures. It starts the program, finds the
// frame window by its class, and runs the steps given on its command line in order:
//   page:ID         wait until the page on view has control ID, visible
//   click:ID        a click on control ID of the page
//   select:ID:N     item N of combo box ID, with the notifications a person's choice sends
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

namespace {

constexpr DWORD kStepTimeoutMs = 120000;  // an install in a new prefix takes a while
constexpr DWORD kPollMs = 100;

PROCESS_INFORMATION g_process;
const wchar_t* g_class;
const wchar_t* g_folder;

HWND Frame() { return FindWindowW(g_class, nullptr); }

HWND Page() {
  HWND frame = Frame();
  return frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
}

struct BoxSearch {
  DWORD processId;
  HWND box;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(lParam);
  DWORD processId = 0;
  GetWindowThreadProcessId(hwnd, &processId);
  wchar_t name[16] = {};
  GetClassNameW(hwnd, name, 16);
  if (processId == search->processId && IsWindowVisible(hwnd) && wcscmp(name, L"#32770") == 0) {
    search->box = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND MessageBoxWindow() {
  BoxSearch search = {g_process.dwProcessId, nullptr};
  EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
  return search.box;
}

// Polls until the condition gives a window; null after the timeout.
template <class Condition>
HWND WaitFor(Condition condition) {
  for (DWORD waited = 0; waited < kStepTimeoutMs; waited += kPollMs) {
    HWND hwnd = condition();
    if (hwnd) return hwnd;
    Sleep(kPollMs);
  }
  return nullptr;
}

HWND PageWith(int id) {
  HWND page = Page();
  HWND control = page ? GetDlgItem(page, id) : nullptr;
  return control && IsWindowVisible(control) ? page : nullptr;
}

bool Picture(const wchar_t* name, HWND box) {
  Sleep(500);  // let the page finish painting
  RECT rect = {};
  GetWindowRect(Frame(), &rect);
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
  for (DWORD waited = 0; waited < kStepTimeoutMs; waited += kPollMs) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return true;
    Sleep(kPollMs);
  }
  return false;
}

bool RunStep(const wchar_t* step) {
  int id = 0, index = 0;
  wchar_t name[MAX_PATH] = {};
  if (swscanf(step, L"page:%d", &id) == 1) return WaitFor([id] { return PageWith(id); }) != nullptr;
  if (swscanf(step, L"click:%d", &id) == 1) {
    // Posted, not sent: the click may open a message box, whose loop would block a sent one.
    HWND page = WaitFor([id] { return PageWith(id); });
    return page && PostMessageW(GetDlgItem(page, id), BM_CLICK, 0, 0);
  }
  if (swscanf(step, L"select:%d:%d", &id, &index) == 2) {
    HWND page = WaitFor([id] { return PageWith(id); });
    if (!page) return false;
    HWND combo = GetDlgItem(page, id);
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
  }
  if (swscanf(step, L"shot:%259ls", name) == 1) return WaitFor(Frame) && Picture(name, nullptr);
  if (swscanf(step, L"box:%259ls", name) == 1) {
    HWND box = WaitFor(MessageBoxWindow);
    return box && Picture(name, box);
  }
  if (swscanf(step, L"answer:%d", &id) == 1) {
    HWND box = WaitFor(MessageBoxWindow);
    return box && PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
  if (wcscmp(step, L"close") == 0) {
    HWND frame = WaitFor(Frame);
    return frame && PostMessageW(frame, WM_CLOSE, 0, 0);
  }
  if (wcscmp(step, L"end") == 0) return WaitForSingleObject(g_process.hProcess, kStepTimeoutMs) == WAIT_OBJECT_0;
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: picture_driver SETUP.EXE CLASS FOLDER STEP...\n");
    return 2;
  }
  g_class = argv[2];
  g_folder = argv[3];
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  wchar_t command[MAX_PATH + 2];
  swprintf(command, MAX_PATH + 2, L"\"%ls\"", argv[1]);
  if (!CreateProcessW(argv[1], command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &g_process)) {
    fprintf(stderr, "picture_driver: cannot start %ls (%lu)\n", argv[1], GetLastError());
    return 1;
  }
  int result = 0;
  for (int i = 4; i < argc; ++i) {
    if (!RunStep(argv[i])) {
      fprintf(stderr, "picture_driver: step %ls failed\n", argv[i]);
      result = 1;
      break;
    }
  }
  if (result) TerminateProcess(g_process.hProcess, 1);
  CloseHandle(g_process.hThread);
  CloseHandle(g_process.hProcess);
  wchar_t path[MAX_PATH];
  swprintf(path, MAX_PATH, L"%ls\\driver.done", g_folder);
  if (FILE* file = _wfopen(path, L"w")) {
    fprintf(file, "%d\n", result);
    fclose(file);
  }
  return result;
}
