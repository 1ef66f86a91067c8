// The run between initialisation and shutdown: what system this is, whether the installer may
// run on it and for this user, and then the wizard. Also the two decisions initialisation takes
// from the package texts and the user's locale: the layout variant and the decimal key.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "app/exit_codes.h"
#include "app/install.h"
#include "app/platform.h"
#include "app/text_ids.h"
#include "ui/wizard.h"

namespace {

constexpr LANGID kPolish = 0x0415;
constexpr DWORD kHandOverPauseMs = 1000;  // lets the opened settings take the foreground

}  // namespace

bool CInstall::Run() {
  if (!m_wizard) return false;
  // The usage text comes in the user's language.
  m_uiLanguage = GetUserDefaultLangID() == kPolish ? 1 : 0;
  const int readable = ReadSwitches();
  if (!readable || m_switches.help) {
    m_exitCode = readable ? kExitDone : kExitBadSwitch;
    ShowUsage();
    return false;
  }
  switch (StartUpChecks()) {
    case StartUp::kRefused:
      return false;
    case StartUp::kEnded:
      return true;
    case StartUp::kOpenWizard:
      break;
  }
  if (m_switches.quiet || m_switches.perUser) return RunUnattended();
  if (!m_wizard->Run()) return false;  // no window could open: m_exitCode stays "failed"
  m_exitCode = WizardOutcome();
  return true;
}

CInstall::StartUp CInstall::StartUpChecks() {
  if (!m_wizard) return StartUp::kRefused;
  // Decided before the first message can appear.
  m_uiLanguage = GetUserDefaultLangID() == kPolish ? 1 : 0;
  QuerySystem(kTextNativeSystemInfoProc, kTextSystemLibrary);  // a failure leaves version 0: refused next
  if (!IsSupportedPlatform()) {
    Logged("supported platform", 0);
    ShowMessage(kTextUnsupportedPlatform, MB_ICONEXCLAMATION);
    m_exitCode = kExitUnsupported;
    return StartUp::kRefused;
  }
  // Windows before Vista registers the layout under the package's language; later versions
  // under the user's, which the setup page can change.
  m_layoutLangId = m_osVersion < 60 ? m_packageLangId : GetUserDefaultLangID();
  if (m_osVersion < 51) m_optLanguageScript = 0;
  if (!Logged("no other copy running", ActivateRunningCopy())) {
    m_exitCode = kExitAnotherCopy;
    return StartUp::kRefused;
  }
  ComposePaths();  // a path that cannot be composed stays empty; the steps that need it fail
  m_assocMatch = AssociatedExecutableContains(kTextDocumentEnding, kTextAssocSought);
  m_runsAsSystem = RunsAsSystem();
  // The sign-in stub changes only the user's own settings: no rights needed, nothing to read.
  if (m_switches.perUser) {
    ApplySwitches();
    return StartUp::kOpenWizard;
  }
  m_isAdmin = IsAdministrator();
  if (!Logged("administrator", m_isAdmin)) {
    // Windows Vista and later filter an administrator's token: the elevation prompt gives the
    // full one to a copy started anew, and that copy's outcome is this run's. Never when quiet
    // (the prompt is a window), and never from that copy: a prompt that gave no full token would
    // start copies without end.
    m_exitCode = kExitFailed;
    if (!m_switches.quiet && !m_switches.elevated && m_osVersion >= 60 && CanElevate()) {
      if (Logged("elevated copy", RelaunchElevated())) return StartUp::kRefused;
      m_exitCode = kExitCancelled;
    }
    ShowMessage(kTextAdminRequired, MB_OK);
    return StartUp::kEnded;
  }
  if (!Logged("Cyrillic-script layout", HasCyrillicLayout())) {
    m_exitCode = kExitFailed;
    ShowMessage(kTextNoCyrillicLayout, MB_OK);
    if (m_switches.quiet) return StartUp::kEnded;
    GString verb, file, parameters;
    GetText(kTextHandOverVerb, verb);
    GetText(kTextHandOverFile, file);
    GetText(kTextHandOverParameters, parameters);
    ShellExecuteW(nullptr, verb.WideAt(0), file.WideAt(0), parameters.WideAt(0), nullptr, SW_SHOWNORMAL);
    Sleep(kHandOverPauseMs);
    return StartUp::kEnded;
  }
  ReadScancodeMap();
  ReadInstallState();
  ApplySwitches();
  return StartUp::kOpenWizard;
}

int CInstall::ShowMessage(uint32_t textId, UINT type) {
  if (!m_switches.quiet) return m_wizard ? m_wizard->MessageBoxId(textId, type) : 0;
  GString text;
  GetText(textId, text);
  if (text.AsNarrow(-1)) LogLine(text.NarrowAt(0));
  return 0;
}

int CInstall::RelaunchElevated() {
  GString verb;
  if (!GetText(kTextElevationVerb, verb) || verb.IsEmpty()) return 0;
  SHELLEXECUTEINFOW info;
  memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = verb.WideAt(0);
  info.lpFile = m_selfPath.WideAt(0);
  GString parameters;
  parameters.AssignWideZ(ArgumentsOf(GetCommandLineW()));
  parameters.AppendWide(U16(" /elevated"), -1);
  info.lpParameters = parameters.WideAt(0);
  info.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&info)) return 0;  // declined: ERROR_CANCELLED
  DWORD code = kExitFailed;
  if (info.hProcess) {
    WaitForSingleObject(info.hProcess, INFINITE);
    if (!GetExitCodeProcess(info.hProcess, &code)) code = kExitFailed;
    CloseHandle(info.hProcess);
  }
  m_exitCode = code;
  return 1;
}

bool CInstall::IsSupportedPlatform() const {
  if (!::IsSupportedPlatform(m_osVersion, m_cpuArch)) return false;
  if (m_cpuArch != kArchArm64) return true;
  // Only an ARM64 library serves there, and packages made before ARM64 editions have none: such
  // a package refuses the system as before. The variant detected and the normal row decide.
  BlobRef image32, native;
  return ChooseLayoutImages(image32, native) && native.data;
}

bool CInstall::ActivateRunningCopy() {
  GetText(kTextWindowClass, m_scratch);
  HWND other = FindWindowW(m_scratch.WideAt(0), nullptr);
  if (!other) return true;
  SetForegroundWindow(other);
  return false;
}

bool CInstall::HasCyrillicLayout() const {
  // Only Windows 8 and later need another script's layout beside ours.
  if (m_osVersion < 62) return true;
  const int count = GetKeyboardLayoutList(0, nullptr);
  if (count <= 0) return true;
  if (static_cast<size_t>(count) > SIZE_MAX / sizeof(HKL)) return true;
  HKL* layouts = static_cast<HKL*>(malloc(sizeof(HKL) * static_cast<size_t>(count)));
  if (!layouts) return true;  // the check is not worth a refusal without memory
  const int filled = GetKeyboardLayoutList(count, layouts);
  bool found = filled == 0;
  for (int i = 0; i < filled && !found; ++i) found = IsCyrillicLayout(reinterpret_cast<uintptr_t>(layouts[i]));
  free(layouts);
  return found;
}

// ---- decisions taken at initialisation -------------------------------------------------------

int32_t CInstall::DetectVariant() {
  if (m_variant >= 0) return m_variant;
  // The variant whose name contains text 88; the first one when none does.
  GString selector, name;
  GetText(kTextVariantSelector, selector);
  m_variant = 0;
  const uint32_t names[] = {kTextVariant0, kTextVariant1, kTextVariant2};
  for (int32_t variant = 0; variant < 3; ++variant) {
    GetText(names[variant], name);
    if (name.Find(selector, 0) >= 0) {
      m_variant = variant;
      break;
    }
  }
  return m_variant;
}

int32_t CInstall::DetectDecimalKey() {
  if (m_decimalKey >= 0) return m_decimalKey;
  const int length = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0);
  if (length <= 0) return -1;
  GString separator;
  WChar* buffer = separator.WideTail(length);
  if (!buffer || !GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, length)) return -1;
  separator.SetLength(-1);
  // 0: the user's separator is a comma, so the keypad key should type one too.
  m_decimalKey = separator.Compare(U16(","), 1) == 0 ? 0 : 1;
  return m_decimalKey;
}
