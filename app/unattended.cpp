// The command line and what it asks for: the switches and their usage text, the log, the runs
// without a window (an installation or a removal as deployment tools make them, and the sign-in
// stub's per-user steps), and the exit code of every run.
#include <windows.h>
#include <shellapi.h>

#include <cstring>

#include "app/exit_codes.h"
#include "app/install.h"
#include "app/text_ids.h"

int CInstall::ReadSwitches() {
  int count = 0;
  LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!arguments) return 0;
  int bad = -1;
  int ok = ParseSwitches(arguments + 1, count - 1, m_switches, bad);
  // A key the key table does not know is as malformed as a misspelt switch.
  for (int i = 0; ok && i < m_switches.keyCount; ++i) ok = FindKey(m_switches.keys[i].scanCode) != nullptr;
  if (ok && m_switches.logPath) {
    HANDLE log = CreateFileW(m_switches.logPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    m_log = log == INVALID_HANDLE_VALUE ? nullptr : log;
  }
  LocalFree(arguments);
  m_switches.logPath = nullptr;  // it pointed into the freed arguments
  return ok;
}

void CInstall::ShowUsage() {
  if (!m_switches.quiet) {
    ShowMessage(kTextUsage, MB_ICONINFORMATION);
    return;
  }
  GString usage;
  GetText(kTextUsage, usage);
  usage.Terminate();
  if (usage.AsNarrow(-1)) LogLine(usage.NarrowAt(0));
}

void CInstall::ApplySwitches() {
  const Switches& s = m_switches;
  if (s.variant >= 0) m_variant = s.variant;
  if (s.decimalKey >= 0) m_decimalKey = s.decimalKey;
  if (s.altImage >= 0) m_altImageA = s.altImage;
  // Windows before Vista takes the package's language; Windows 2000 runs no script at all.
  if (s.languageId > 0 && m_osVersion >= 60) m_layoutLangId = static_cast<uint16_t>(s.languageId);
  if (s.makeDefault >= 0 && m_osVersion >= 51) m_optLanguageScript = s.makeDefault;
  if (s.switchKeys >= 0) m_optUserHotkeys = s.switchKeys;
  if (s.desktopLinks >= 0) m_optDesktopLinks = s.desktopLinks;
  for (int i = 0; i < s.keyCount; ++i)
    if (KeyEntry* key = FindKey(s.keys[i].scanCode)) key->virtualKey = s.keys[i].virtualKey;
}

bool CInstall::RunUnattended() {
  int done;
  if (m_switches.perUser) {
    done = Logged("per-user steps", RunPerUserSteps());
    m_exitCode = done ? kExitDone : kExitFailed;
    return true;
  }
  if (m_switches.uninstall && m_installedId == 0) {
    LogLine("nothing to remove");
    m_exitCode = kExitDone;
    return true;
  }
  done = m_switches.uninstall ? Logged("removal", Uninstall()) : Logged("installation", Install());
  // The library changes at the next start, which a run without a window never makes itself.
  m_exitCode = done ? kExitRestartNeeded : kExitFailed;
  return true;
}

uint32_t CInstall::WizardOutcome() const {
  if (m_installDone || m_uninstallDone || m_settingsChanged)
    return m_restartRequested && !m_switches.noRestart ? kExitRestartStarted : kExitRestartNeeded;
  return m_procedureFailed ? kExitFailed : kExitCancelled;
}

uint32_t CInstall::Finish() {
  if (m_log) {
    char line[32];
    wsprintfA(line, "exit code %u", m_exitCode);
    LogLine(line);
    CloseHandle(m_log);
    m_log = nullptr;
  }
  return m_exitCode;
}

void CInstall::LogLine(const char* text) {
  if (!m_log) return;
  DWORD written = 0;
  WriteFile(m_log, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
  WriteFile(m_log, "\r\n", 2, &written, nullptr);
}

int CInstall::Logged(const char* step, int outcome) {
  if (m_log) {
    char line[96];
    wsprintfA(line, "%.80s: %s", step, outcome ? "done" : "failed");
    LogLine(line);
  }
  return outcome;
}
