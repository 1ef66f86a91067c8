#include "ui/wizard.h"

#include <commctrl.h>

CWizard::CWizard(CInstall* install) : m_install(install) {}

CWizard::~CWizard() { DestroyWindows(); }

int CWizard::Initialise(HINSTANCE instance) {
  if (!m_install || !instance) return 0;
  m_hInstance = instance;
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  return 1;
}

void CWizard::DestroyWindows() {
  if (m_bannerFont) {
    DeleteObject(m_bannerFont);
    m_bannerFont = nullptr;
  }
}

HWND CWizard::GetMainWindow() const { return nullptr; }
