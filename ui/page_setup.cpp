#include "ui/page_setup.h"

#include <cstdlib>
#include <cwchar>

#include "app/install.h"
#include "app/text_ids.h"
#include "strings/number_text.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

constexpr int kNameBufferSize = 1024;

const uint32_t kHidden[] = {IDC_SHOW_EXPERT2, 0};

const ComboItem kVariants[] = {
    {kTextVariant0, 0},
    {kTextVariant1, 1},
    {kTextVariant2, 2},
    {0, 0},
};

const ComboItem kDecimalKeys[] = {
    {kTextDecimalComma, 0},
    {kTextDecimalKept, 1},
    {0, 0},
};

// The locale enumeration passes its callback no context, so what the callback needs lives here,
// one set for the program. The found name outlives the pages: a later visit whose language is
// not listed still names it.
struct LocaleEnumeration {
  HKL* layouts;  // owned
  int layoutCount;
  WChar* name;  // owned, kNameBufferSize characters
  int nameSize;
  HWND combo;
  uint16_t currentLanguage;
};
LocaleEnumeration g_enum = {};
GString g_foundName;

void FreeLayouts() {
  free(g_enum.layouts);
  g_enum.layouts = nullptr;
  g_enum.layoutCount = 0;
}

void FreeNameBuffer() {
  free(g_enum.name);
  g_enum.name = nullptr;
  g_enum.nameSize = 0;
}

BOOL CALLBACK AddLocale(LPWSTR text) {
  if (!text || !g_enum.combo) return FALSE;
  uint32_t locale = 0;
  if (!ReadHexNumber(text, &locale) || locale == 0) return FALSE;
  if (g_enum.layoutCount <= 0) return TRUE;
  bool listed = locale == g_enum.currentLanguage;
  for (int i = 0; i < g_enum.layoutCount && !listed; ++i)
    listed = (locale & 0xFFFF) == (reinterpret_cast<uintptr_t>(g_enum.layouts[i]) & 0xFFFF);
  if (!listed) return TRUE;
  if (!GetLocaleInfoW(locale, LOCALE_SLANGUAGE, g_enum.name, kNameBufferSize - 1)) return FALSE;
  const LRESULT index = SendMessageW(g_enum.combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_enum.name));
  if (index == CB_ERR || index == CB_ERRSPACE) return FALSE;
  SendMessageW(g_enum.combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(locale));
  if (locale == g_enum.currentLanguage) g_foundName.AssignWide(g_enum.name, -1);
  return TRUE;
}

}  // namespace

CDlgSetup::CDlgSetup() {
  FreeLayouts();
  FreeNameBuffer();
}

CDlgSetup::~CDlgSetup() {
  FreeLayouts();
  FreeNameBuffer();
  g_enum.currentLanguage = 0;
  g_enum.combo = nullptr;
}

int CDlgSetup::FillLanguageList() {
  HWND combo = GetDlgItem(m_hWnd, IDC_LAYOUT_LANGUAGE);
  if (!combo) return 0;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  FreeNameBuffer();
  g_enum.name = static_cast<WChar*>(malloc(kNameBufferSize * sizeof(WChar)));
  if (!g_enum.name) return 0;
  g_enum.nameSize = kNameBufferSize;
  FreeLayouts();
  const int count = GetKeyboardLayoutList(0, nullptr);
  if (count <= 0) return 0;
  g_enum.layouts = static_cast<HKL*>(calloc(static_cast<size_t>(count), sizeof(HKL)));
  if (!g_enum.layouts) return 0;
  g_enum.currentLanguage = m_wizard->GetLayoutLangId();
  g_enum.combo = combo;
  g_enum.layoutCount = GetKeyboardLayoutList(count, g_enum.layouts);
  if (g_enum.layoutCount <= 0) return 0;
  if (!EnumSystemLocalesW(AddLocale, LCID_INSTALLED)) {
    FreeLayouts();
    FreeNameBuffer();
    return 0;
  }
  FreeNameBuffer();
  const LRESULT items = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  if (items == CB_ERR) return 0;
  for (LRESULT i = 0; i < items; ++i) {
    if (static_cast<uint16_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)) ==
        g_enum.currentLanguage) {
      SelectComboIndex(combo, static_cast<int>(i));
      break;
    }
  }
  return 1;
}

void CDlgSetup::SetLanguageScriptLabel() {
  GString language, name, format, label;
  language.AssignWide(m_wizard->GetLayoutLangName(), -1);
  language.AsWide(0);
  language.AppendWide(U16(" - "), 3);
  LoadTextInto(kTextLayoutName, name);
  language.Append(name);
  LoadTextInto(kTextLanguageScriptBoxFormat, format);
  Format(label, format.WideAt(0), language.WideAt(0));
  SetItemString(IDC_LANGUAGE_SCRIPT, label.WideAt(0));
}

int CDlgSetup::OnInitDialog() {
  if (!m_wizard || !m_wizard->m_install) return 0;
  SetWizardStep(kStepSetup);
  FitToPage();
  EnableItems(kHidden, 0);
  ShowItems(kHidden, 0);

  int hotkeys = m_wizard->GetOptUserHotkeys();
  int script = m_wizard->GetOptLanguageScript();
  const int version = m_wizard->GetOsVersion();
  const int modifyOnly = m_wizard->IsModifyOnly();
  g_enum.currentLanguage = m_wizard->GetLayoutLangId();
  CheckItem(IDC_ALT_IMAGE, m_wizard->GetAltImageA());

  FillLanguageList();  // an empty or partial list is no reason to stop
  FillComboItem(IDC_VARIANT, kVariants, static_cast<uint32_t>(m_wizard->GetVariant()));
  FillComboItem(IDC_DECIMAL_KEY, kDecimalKeys, static_cast<uint32_t>(m_wizard->GetDecimalKey()));
  m_wizard->SetLayoutLangName(g_foundName.WideAt(0));
  SetLanguageScriptLabel();

  // The boxes only show the settings: a hidden box shows unticked, the setting stays.
  const int showLanguage = version >= 60 && !modifyOnly;
  if (!showLanguage) script = 0;
  const int showHotkeys = !modifyOnly;
  if (!showHotkeys) hotkeys = 0;
  CheckItem(IDC_USER_HOTKEYS, hotkeys);
  ShowItem(IDC_USER_HOTKEYS, showHotkeys);
  EnableItem(IDC_USER_HOTKEYS, showHotkeys);
  CheckItem(IDC_LANGUAGE_SCRIPT, script);
  const int languageControls[] = {IDC_LANGUAGE_SCRIPT, IDC_LAYOUT_LANGUAGE_LABEL, IDC_LAYOUT_LANGUAGE};
  for (int id : languageControls) {
    ShowItem(id, showLanguage);
    EnableItem(id, showLanguage);
  }

  // Windows 8 and later always get the desktop entries.
  int desktop = m_wizard->GetOptDesktopLinks();
  if (version > 61) desktop = 1;
  m_wizard->SetOptDesktopLinks(desktop);
  CheckItem(IDC_DESKTOP_LINKS, modifyOnly ? 0 : desktop);
  const int showDesktop = version < 62 && !modifyOnly;
  ShowItem(IDC_DESKTOP_LINKS, showDesktop);
  EnableItem(IDC_DESKTOP_LINKS, showDesktop);

  SetItemTexts(kSetupTexts);
  GString format, name, label;
  LoadTextInto(kTextSetupLanguageLabelFormat, format);
  LoadTextInto(kTextLayoutName, name);
  Format(label, format.WideAt(0), name.WideAt(0));
  SetItemString(IDC_LAYOUT_LANGUAGE_LABEL, label.WideAt(0));

  SetFocus(GetDlgItem(m_hWnd, IDC_INSTALL));
  SetForegroundWindow(m_hWnd);
  return 0;  // the focus stays on the install button
}

int CDlgSetup::OnLanguageChosen() {
  HWND combo = GetDlgItem(m_hWnd, IDC_LAYOUT_LANGUAGE);
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 0;
  m_wizard->SetLayoutLangId(
      static_cast<uint16_t>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0)));
  const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR || length <= 0) return 0;
  GString name;
  WChar* buffer = name.WideTail(static_cast<int>(length) + 1);
  if (!buffer) return 0;
  const LRESULT copied = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer));
  if (copied == CB_ERR) return 0;
  name.SetLength(static_cast<int>(copied));
  m_wizard->SetLayoutLangName(name.WideAt(0));
  SetLanguageScriptLabel();
  return 1;
}

int CDlgSetup::InstallNow() {
  if (!m_wizard || !m_wizard->m_install) return 0;
  if (!m_wizard->IsAdmin()) {
    MessageBoxId(kTextAdminRequired, MB_OK);
    SetWizardStep(kStepFinished);
    PostToMain(UM_CANCEL);
    return 1;
  }
  // Runs on this thread with the page's controls disabled; the page does not repaint meanwhile.
  if (!m_wizard->m_install->Install()) {
    m_wizard->m_install->m_procedureFailed = 1;
    MessageBoxId(kTextInstallFailed, MB_OK);
    SetWizardStep(kStepFinished);
    PostToMain(UM_CANCEL);  // closes without the question
    return 1;
  }
  SetWizardStep(kStepFinished);
  PostToMain(UM_SHOW_DONE);
  return 1;
}

int CDlgSetup::OnCommand() {
  if (!m_wizard) return 0;
  if (m_notifyCode == BN_CLICKED) {
    switch (m_controlId) {
      case IDC_INSTALL:
        return InstallNow();
      case IDC_CANCEL:
        PostToMain(UM_CANCEL);
        return 1;
      case IDC_BACK:
        PostToMain(UM_BACK);
        return 1;
      case IDC_SHOW_EXPERT1:
        PostToMain(UM_SHOW_EXPERT1);
        return 1;
      case IDC_SHOW_EXPERT2:
        PostToMain(UM_SHOW_EXPERT2);
        return 1;
      case IDC_LANGUAGE_SCRIPT:
        m_wizard->SetOptLanguageScript(IsItemChecked(IDC_LANGUAGE_SCRIPT));
        return 1;
      case IDC_USER_HOTKEYS:
        m_wizard->SetOptUserHotkeys(IsItemChecked(IDC_USER_HOTKEYS));
        return 1;
      case IDC_DESKTOP_LINKS:
        m_wizard->SetOptDesktopLinks(IsItemChecked(IDC_DESKTOP_LINKS));
        return 1;
      case IDC_ALT_IMAGE:
        m_wizard->SetAltImageA(IsItemChecked(IDC_ALT_IMAGE));
        return 1;
      default:
        return 0;
    }
  }
  if (m_notifyCode == CBN_SELCHANGE) {
    HWND combo = GetDlgItem(m_hWnd, m_controlId);
    switch (m_controlId) {
      case IDC_LAYOUT_LANGUAGE:
        return OnLanguageChosen();
      case IDC_VARIANT:
        if (SendMessageW(combo, CB_GETCURSEL, 0, 0) == CB_ERR) return 0;
        m_wizard->SetVariant(static_cast<int>(GetComboSelData(IDC_VARIANT)));
        return 1;
      case IDC_DECIMAL_KEY:
        if (SendMessageW(combo, CB_GETCURSEL, 0, 0) == CB_ERR) return 0;
        m_wizard->SetDecimalKey(static_cast<int>(GetComboSelData(IDC_DECIMAL_KEY)));
        return 1;
      default:
        return 0;
    }
  }
  return 0;
}
