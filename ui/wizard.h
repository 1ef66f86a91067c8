// CWizard: ties the installer to the windows of the wizard. For now it holds only what the
// installer's initialisation and shutdown need; pages, the frame window and the message loop
// join it with the user interface.
#pragma once

#include <windows.h>

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
  // Deletes the font, the frame window object and the page objects.
  void DestroyWindows();
  // The frame window's handle; null while there is none.
  HWND GetMainWindow() const;

 private:
  HINSTANCE m_hInstance = nullptr;
  CInstall* m_install;  // not owned
  GString m_text;
  HFONT m_bannerFont = nullptr;
};
