// The run between initialisation and shutdown: what system this is, whether the installer may
// run on it and for this user, and then the wizard. Also the two decisions initialisation takes
// from the package texts and the user's locale: the layout variant and the decimal key.
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/install.h"
#include "app/platform.h"
#include "app/text_ids.h"
#include "ui/wizard.h"

namespace {

constexpr LANGID kPolish = 0x0415;
constexpr DWORD kHandOverPauseMs = 1000;  // lets the opened settings take the foreground

}  // namespace

bool CInstall::Run() {
  switch (StartUpChecks()) {
    case StartUp::kRefused:
      return false;
    case StartUp::kEnded:
      return true;
    case StartUp::kOpenWizard:
      break;
  }
  return m_wizard->Run() != 0;
}

CInstall::StartUp CInstall::StartUpChecks() {
  if (!m_wizard) return StartUp::kRefused;
  // Decided before the first message can appear.
  m_uiLanguage = GetUserDefaultLangID() == kPolish ? 1 : 0;
  QuerySystem(kTextNativeSystemInfoProc, kTextSystemLibrary);  // a failure leaves version 0: refused next
  if (!IsSupportedPlatform()) {
    ShowMessage(kTextUnsupportedPlatform, MB_ICONEXCLAMATION);
    return StartUp::kRefused;
  }
  // Windows before Vista registers the layout under the package's language; later versions
  // under the user's, which the setup page can change.
  m_layoutLangId = m_osVersion < 60 ? m_packageLangId : GetUserDefaultLangID();
  if (m_osVersion < 51) m_optLanguageScript = 0;
  if (!ActivateRunningCopy()) return StartUp::kRefused;
  ComposePaths();  // a path that cannot be composed stays empty; the steps that need it fail
  m_assocMatch = AssociatedExecutableContains(kTextDocumentEnding, kTextAssocSought);
  m_isAdmin = IsAdministrator();
  if (!m_isAdmin) {
    ShowMessage(kTextAdminRequired, MB_OK);
    return StartUp::kEnded;
  }
  if (!HasCyrillicLayout()) {
    ShowMessage(kTextNoCyrillicLayout, MB_OK);
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
  return StartUp::kOpenWizard;
}

int CInstall::ShowMessage(uint32_t textId, UINT type) {
  return m_wizard ? m_wizard->MessageBoxId(textId, type) : 0;
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
