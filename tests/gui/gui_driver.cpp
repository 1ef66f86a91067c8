#include "tests/gui/gui_driver.h"

#include <cstdio>

namespace gui {

namespace {

constexpr DWORD kPollMs = 100;

template <class Condition>
HWND Poll(Condition condition, DWORD timeoutMs) {
  for (DWORD waited = 0;; waited += kPollMs) {
    if (HWND hwnd = condition()) return hwnd;
    if (waited >= timeoutMs) return nullptr;
    Sleep(kPollMs);
  }
}

// GetWindowTextW gives another process's controls only their caption, never an edit's text:
// the control itself is asked.
std::wstring WindowText(HWND hwnd) {
  if (!hwnd) return L"";
  const LRESULT length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (length <= 0) return L"";
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(length + 1), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(copied < 0 ? 0 : copied));
  return text;
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
  if (processId != search->processId || !IsWindowVisible(hwnd) || wcscmp(name, L"#32770") != 0) return TRUE;
  search->box = hwnd;
  return FALSE;
}

}  // namespace

Driver::~Driver() {
  if (m_process.hProcess) {
    if (WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(m_process.hProcess, 1);
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
  }
}

namespace {

// A log's size, and what it holds from `from` on; nothing when there is no log.
LONGLONG SizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

std::string ReadFrom(const std::wstring& path, LONGLONG from) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  LARGE_INTEGER start = {};
  start.QuadPart = from;
  char buffer[4096];
  DWORD read = 0;
  if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

}  // namespace

bool Driver::Start(const std::wstring& program, const std::wstring& frameClass, const WineDebug& debug,
                   const Launch& launch) {
  m_class = frameClass;
  m_log = debug.log;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  wchar_t channels[256] = {};
  const bool debugged = !debug.channels.empty();
  if (debugged) {
    m_logStart = SizeOf(m_log);
    // The child takes its environment from this process's: set for the start only.
    GetEnvironmentVariableW(L"WINEDEBUG", channels, 256);
    SetEnvironmentVariableW(L"WINEDEBUG", debug.channels.c_str());
  }
  std::wstring command = launch.firstArgument.empty() ? L"\"" + program + L"\"" : launch.firstArgument;
  const BOOL started = CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      launch.folder.empty() ? nullptr : launch.folder.c_str(), &startup, &m_process);
  if (debugged) SetEnvironmentVariableW(L"WINEDEBUG", channels[0] ? channels : nullptr);
  return started && Poll([this] { return Frame(); }, kTimeoutMs) != nullptr;
}

std::string Driver::DebugLog() const { return ReadFrom(m_log, m_logStart); }

bool Driver::FollowFrame() {
  HWND frame = Frame();
  DWORD id = 0;
  if (!frame || !GetWindowThreadProcessId(frame, &id)) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
  if (!process) return false;
  if (m_process.hProcess) CloseHandle(m_process.hProcess);
  if (m_process.hThread) CloseHandle(m_process.hThread);
  m_process = {};
  m_process.hProcess = process;
  m_process.dwProcessId = id;
  return true;
}

HWND Driver::Frame() const { return FindWindowW(m_class.c_str(), nullptr); }

HWND Driver::Page() const {
  HWND frame = Frame();
  return frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
}

HWND Driver::WaitForPage(int id, DWORD timeoutMs) const {
  return Poll(
      [this, id] {
        HWND page = Page();
        HWND control = page ? GetDlgItem(page, id) : nullptr;
        return control && IsWindowVisible(control) ? page : nullptr;
      },
      timeoutMs);
}

HWND Driver::Control(int id) const {
  HWND page = Page();
  return page ? GetDlgItem(page, id) : nullptr;
}

std::wstring Driver::Text(int id) const { return WindowText(Control(id)); }

bool Driver::Visible(int id) const {
  HWND control = Control(id);
  return control && IsWindowVisible(control);
}

bool Driver::Enabled(int id) const {
  HWND control = Control(id);
  return control && IsWindowEnabled(control);
}

bool Driver::Checked(int id) const {
  HWND control = Control(id);
  return control && SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::wstring> Driver::ComboItems(int id) const {
  std::vector<std::wstring> items;
  HWND combo = Control(id);
  if (!combo) return items;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length < 0) break;
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(length));
    items.push_back(text);
  }
  return items;
}

int Driver::ComboSelection(int id) const {
  HWND combo = Control(id);
  return combo ? static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)) : -1;
}

bool Driver::Click(int id) const {
  HWND control = Control(id);
  return control && PostMessageW(control, BM_CLICK, 0, 0);
}

bool Driver::Select(int id, int index) const {
  HWND page = Page();
  HWND combo = Control(id);
  if (!combo || SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) return false;
  const LPARAM from = reinterpret_cast<LPARAM>(combo);
  return PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), from) &&
         PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), from);
}

bool Driver::OpenList(int id, bool open) const {
  HWND combo = Control(id);
  return combo && SendMessageW(combo, CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
}

// Posted to the window that has the focus in the program's thread, as the system hands keys on.
// SendInput arrives under Wine on Xvfb too, but only while the program's window is in front.
bool Driver::Key(WORD vk, bool alt) const {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(m_process.dwThreadId, &info) || !info.hwndFocus) return false;
  const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN;  // the program's loop makes the characters
  const LPARAM key = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) << 16 | 1 | (alt ? 1 << 29 : 0);
  const bool posted =
      PostMessageW(info.hwndFocus, down, vk, key) && PostMessageW(info.hwndFocus, down + 1, vk, key | 0xC0000000);
  Sleep(300);  // the program takes them from its queue in its own time
  return posted;
}

bool Driver::ListOpen(int id) const { return SendMessageW(Control(id), CB_GETDROPPEDSTATE, 0, 0) != 0; }

std::wstring Driver::Label(int id) const {
  wchar_t name[16] = {};
  HWND w = Control(id);
  while ((w = GetWindow(w, GW_HWNDPREV)) && GetClassNameW(w, name, 16) && _wcsicmp(name, L"Static") != 0)
    if ((GetWindowLongW(w, GWL_STYLE) & (WS_GROUP | WS_TABSTOP)) == (WS_GROUP | WS_TABSTOP)) return L"";
  return WindowText(w);
}

HWND Driver::WaitForMessageBox(DWORD timeoutMs) const {
  return Poll(
      [this] {
        BoxSearch search = {m_process.dwProcessId, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
        return search.box;
      },
      timeoutMs);
}

std::wstring Driver::BoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

std::wstring Driver::BoxCaption(HWND box) { return WindowText(box); }

bool Driver::Answer(HWND box, int button) {
  return box && PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
}

bool Driver::Close() const {
  HWND frame = Frame();
  return frame && PostMessageW(frame, WM_CLOSE, 0, 0);
}

long Driver::WaitForEnd(DWORD timeoutMs) {
  if (!m_process.hProcess || WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(m_process.hProcess, &code);
  return static_cast<long>(code);
}

}  // namespace gui
