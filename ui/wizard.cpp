#include "ui/wizard.h"

#include <commctrl.h>

#include "app/install.h"
#include "app/text_ids.h"

CWizard::CWizard(CInstall* install) : m_install(install) {}

CWizard::~CWizard() { DestroyWindows(); }

int CWizard::Initialise(HINSTANCE instance) {
  if (!m_install || !instance) return 0;
  m_hInstance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  return 1;
}

int CWizard::Run() {
  // The wizard's windows come with the user interface; until then the run ends here.
  return 1;
}

void CWizard::DestroyWindows() {
  if (m_bannerFont) {
    DeleteObject(m_bannerFont);
    m_bannerFont = nullptr;
  }
}

HWND CWizard::GetMainWindow() const { return nullptr; }

void CWizard::DisablePageControls() {}

int CWizard::MessageBoxText(const WChar* text, UINT type) {
  m_install->GetText(kTextMessageCaption, m_text);
  return MessageBoxW(GetMainWindow(), text, m_text.WideAt(0), type);
}

int CWizard::MessageBoxId(uint32_t textId, UINT type) {
  GString text;
  m_install->GetText(textId, text);
  return MessageBoxText(text.WideAt(0), type);
}
