// Start-up to the first page under Wine: the time from process start to the first window being
// painted, for setup.exe (its wizard's frame with the welcome page) and for a program that shows
// one dialog (one_dialog.c), started in turns in the same prefix. "Painted": after
// WaitForInputIdle, a visible top-level window of the expected class, and no visible window of
// the process (children included) with anything left to paint (GetUpdateRect). Prints the medians
// and their ratio; exits 1 only when a measurement could not be made. Times are not judged.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

constexpr DWORD kTimeoutMs = 30000;

struct Search {
  DWORD processId;
  const std::wstring* topClass;
  bool found;    // a visible top-level window of the class
  bool pending;  // a visible window with an update region
};

BOOL CALLBACK CheckChild(HWND window, LPARAM lParam) {
  Search* search = reinterpret_cast<Search*>(lParam);
  if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) search->pending = true;
  return !search->pending;
}

BOOL CALLBACK CheckTop(HWND window, LPARAM lParam) {
  Search* search = reinterpret_cast<Search*>(lParam);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  if (*search->topClass == name) search->found = true;
  if (GetUpdateRect(window, nullptr, FALSE)) search->pending = true;
  if (!search->pending) EnumChildWindows(window, CheckChild, lParam);
  return !search->pending;
}

bool Painted(DWORD processId, const std::wstring& topClass) {
  Search search = {processId, &topClass, false, false};
  EnumWindows(CheckTop, reinterpret_cast<LPARAM>(&search));
  return search.found && !search.pending;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Milliseconds from CreateProcess to the painted window; a negative value when it never came.
double Measure(const std::wstring& program, const std::wstring& topClass) {
  std::wstring command = L"\"" + program + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER start, now;
  QueryPerformanceCounter(&start);
  if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return -1;
  WaitForInputIdle(process.hProcess, kTimeoutMs);
  double elapsed = -1;
  for (;;) {
    const bool painted = Painted(process.dwProcessId, topClass);
    QueryPerformanceCounter(&now);
    if (painted) {
      elapsed = Seconds(start, now) * 1000;
      break;
    }
    if (Seconds(start, now) * 1000 > kTimeoutMs || WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, kTimeoutMs);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return elapsed;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? _wtoi(argv[1]) : 7;
  std::wstring frameClass;
  {
    // The frame's class is text 94 of the package that setup.exe carries.
    CInstall install;
    GString text;
    if (!install.Init(GetModuleHandleW(nullptr)) || !install.GetText(kTextWindowClass, text)) {
      fprintf(stderr, "startup_bench: the package's texts cannot be read\n");
      return 1;
    }
    frameClass = text.WideAt(0);
  }
  const struct {
    const char* name;
    std::wstring program, topClass;
  } programs[] = {{"setup.exe", SETUP_PROGRAM, frameClass}, {"one_dialog.exe", ONE_DIALOG_PROGRAM, L"#32770"}};
  std::vector<double> times[2];
  // One start of each first (Wine loads its own libraries from disk then), then in turns, each
  // round in the other order.
  for (int round = -1; round < runs; ++round) {
    for (int k = 0; k < 2; ++k) {
      const int which = round % 2 ? 1 - k : k;
      const double ms = Measure(programs[which].program, programs[which].topClass);
      if (ms < 0) {
        fprintf(stderr, "startup_bench: %s showed no painted window of its class within %lu ms\n", programs[which].name,
                static_cast<unsigned long>(kTimeoutMs));
        return 1;
      }
      if (round >= 0) times[which].push_back(ms);
    }
  }
  for (int which = 0; which < 2; ++which) {
    printf("start-up to the first painted window, %-15s median %7.1f ms of", programs[which].name, Median(times[which]));
    for (double ms : times[which]) printf(" %.0f", ms);
    printf("\n");
  }
  printf("ratio %-40s %.2f x baseline\n", "first_page_painted", Median(times[0]) / Median(times[1]));
  return 0;
}
