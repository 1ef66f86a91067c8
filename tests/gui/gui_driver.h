// Drives the real setup.exe from another process, as a person would: finds its frame window by
// class, reads the controls of the page on view by identifier, clicks, picks combo items with
// the notifications a person's choice sends, and answers message boxes. Every wait polls up to a
// timeout; a result of false or an empty value means the window or control was not there.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace gui {

class Driver {
 public:
  Driver() = default;
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  // Wine's debug channels for the program (its WINEDEBUG, for example "-all,fixme+advapi") and
  // the file that receives them: Wine writes a GUI program's debug output to the standard error
  // of the Unix process that started Wine (the program's own standard handles do not change
  // that), so the test's runner sends that to the file. Shows calls that Wine only stubs, such
  // as the restart.
  struct WineDebug {
    std::wstring channels, log;
  };

  // How the program is started: the first argument of its command line (empty: its path, in
  // quotes, as the shell gives it) and the folder it starts in (empty: this process's).
  struct Launch {
    std::wstring firstArgument, folder;
  };

  // Starts the program (a Windows path) and waits for its frame window.
  bool Start(const std::wstring& program, const std::wstring& frameClass, const WineDebug& debug = {},
             const Launch& launch = {});
  // From now on the driven process is the one that owns the frame: after Start of a program that
  // starts the installer itself (Wine's uninstaller), so that WaitForEnd gives the installer's code.
  bool FollowFrame();
  HWND Frame() const;
  HWND Page() const;  // the page dialog inside the frame
  // The page on view once it has control id, visible; null after the timeout.
  HWND WaitForPage(int id, DWORD timeoutMs = kTimeoutMs) const;

  // The page's control id; missing controls read as empty, invisible, disabled.
  std::wstring Text(int id) const;
  bool Visible(int id) const;
  bool Enabled(int id) const;
  bool Checked(int id) const;
  std::vector<std::wstring> ComboItems(int id) const;
  int ComboSelection(int id) const;  // -1: none

  // Posted, not sent: a click may open a message box, whose loop would hold a sent message.
  bool Click(int id) const;
  bool Select(int id, int index) const;
  // Opens or closes a combo box's list, as a click on its arrow does (the page hears of it
  // before the list shows).
  bool OpenList(int id, bool open) const;

  // A key pressed and let go (with Alt: an access key), then a moment for the program to take it.
  bool Key(WORD vk, bool alt = false) const;
  bool ListOpen(int id) const;
  // What a screen reader names control id by: the static before it in the z-order (the search
  // stops at a control that starts a group and is a tab stop).
  std::wstring Label(int id) const;

  // A message box of the program (a visible top-level dialog of its process).
  HWND WaitForMessageBox(DWORD timeoutMs = kTimeoutMs) const;
  static std::wstring BoxText(HWND box);
  static std::wstring BoxCaption(HWND box);
  static bool Answer(HWND box, int button);

  bool Close() const;  // the frame's close box
  // Waits for the program to end; its exit code, or -1 when it did not end in time.
  long WaitForEnd(DWORD timeoutMs = kTimeoutMs);
  DWORD ProcessId() const { return m_process.dwProcessId; }
  std::string DebugLog() const;  // what the log of Start's WineDebug got since the start

  static constexpr DWORD kTimeoutMs = 120000;  // an install in a new prefix takes a while

 private:
  HWND Control(int id) const;
  PROCESS_INFORMATION m_process = {};
  std::wstring m_class;
  std::wstring m_log;
  LONGLONG m_logStart = 0;
};

}  // namespace gui
