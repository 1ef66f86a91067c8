// CWizard: ties the installer to the windows of the wizard. For now it holds what the
// installer's initialisation, start-up messages, procedures and shutdown need; the frame window,
// the pages and the message loop join it with the user interface.
#pragma once

#include <windows.h>

#include <cstdint>

#include "strings/gstring.h"

class CInstall;

class CWizard {
 public:
  explicit CWizard(CInstall* install);
  ~CWizard();
  CWizard(const CWizard&) = delete;
  CWizard& operator=(const CWizard&) = delete;

  // Stores the instance and initialises the common controls; 0 without installer or instance.
  int Initialise(HINSTANCE instance);
  // Runs the wizard until its frame window closes; 1, or 0 when there is no frame window.
  int Run();
  // Deletes the font, the frame window object and the page objects.
  void DestroyWindows();
  // The frame window's handle; null while there is none.
  HWND GetMainWindow() const;
  // Disables every control of the page on view (none yet).
  void DisablePageControls();

  // A message box owned by the frame window (none before the wizard runs), captioned with
  // text 93; the identifier of the pressed button.
  int MessageBoxText(const WChar* text, UINT type);
  int MessageBoxId(uint32_t textId, UINT type);

 private:
  HINSTANCE m_hInstance = nullptr;
  CInstall* m_install;  // not owned
  GString m_text;
  HFONT m_bannerFont = nullptr;
};
