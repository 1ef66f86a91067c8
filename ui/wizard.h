// CWizard: ties the installer to the windows of the wizard. It owns the frame window object, the
// page objects (at most one page window exists at a time) and the banner font, runs the message
// loop, shows message boxes with texts by identifier, and gives the pages the operations that
// read and write the installer's settings.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/key_table.h"
#include "strings/gstring.h"

class CInstall;
class CWndBase;
class CWndMain;
class CDlgWelcome;
class CDlgEula;
class CDlgSetup;
class CDlgExpert1;
class CDlgExpert2;
class CDlgDone;

class CWizard {
 public:
  explicit CWizard(CInstall* install);
  ~CWizard();
  CWizard(const CWizard&) = delete;
  CWizard& operator=(const CWizard&) = delete;

  // Stores the instance, creates the banner font and initialises the common controls; 0 without
  // installer or instance.
  int Initialise(HINSTANCE instance);
  // Runs the wizard until its frame window closes; 1, or 0 when there is no frame window.
  int Run();
  // Deletes the font, the frame window object and the page objects.
  void DestroyWindows();
  // The frame window's handle; null while there is none.
  HWND GetMainWindow() const;
  // Disables every control of the page on view; they stay so until the page is replaced.
  void DisablePageControls();

  // Pages: each builds a new page object and shows it in place of the current one; 0 when the
  // page is already on view or cannot be made.
  int ShowWelcome();
  int ShowEula();
  int ShowSetup();
  int ShowExpert1();
  int ShowExpert2();
  int ShowDone();
  int ShowPage(int templateId, CWndBase* page);
  // Deletes a window object whose window is gone, clearing its reference first.
  void ReleaseWindow(CWndBase* object);

  // Texts and message boxes. A message box is owned by the frame window (none before the wizard
  // runs) and captioned with text 93; the result is the pressed button.
  int LoadText(uint32_t textId);
  int LoadTextInto(uint32_t textId, GString& out);
  int MessageBoxText(const WChar* text, UINT type);
  int MessageBoxId(uint32_t textId, UINT type);

  // The installer's settings and procedures, for the pages.
  int GetWizardStep() const;
  void SetWizardStep(int step);
  int GetOsVersion() const;
  int GetAssocMatch() const;
  uint16_t GetLayoutLangId() const;
  void SetLayoutLangId(uint16_t id);
  uint32_t GetUiLanguage() const;
  int SetUiLanguage(uint32_t language);
  uint32_t GetInstalledId() const;
  int IsAdmin() const;
  int IsUninstallDone() const;
  int Uninstall();
  int GetOptLanguageScript() const;
  void SetOptLanguageScript(int value);
  int GetOptUserHotkeys() const;
  void SetOptUserHotkeys(int value);
  int GetOptDesktopLinks() const;
  void SetOptDesktopLinks(int value);
  const WChar* GetLayoutLangName();
  int SetLayoutLangName(const WChar* name);
  int GetVariant();
  int SetVariant(int variant);
  int GetDecimalKey();
  int SetDecimalKey(int key);
  int GetAltImageA() const;
  int SetAltImageA(int value);
  int IsModifyOnly() const;
  int SetModifyOnly(int value);
  const KeyEntry* FindDefaultKey(uint32_t scanCode) const;
  KeyEntry* FindKey(uint32_t scanCode);
  int NormaliseKeys();
  int OpenAssociated();

  HINSTANCE m_hInstance = nullptr;
  CInstall* m_install;  // not owned
  CWndMain* m_mainWnd = nullptr;
  CWndBase* m_currentPage = nullptr;  // the page on view: one of the slots below
  CDlgWelcome* m_pageWelcome = nullptr;
  CDlgEula* m_pageEula = nullptr;
  CDlgSetup* m_pageSetup = nullptr;
  CDlgExpert1* m_pageExpert1 = nullptr;
  CDlgExpert2* m_pageExpert2 = nullptr;
  CDlgDone* m_pageDone = nullptr;
  GString m_text;
  HFONT m_bannerFont = nullptr;
  int32_t m_mainSized = 0;     // 1 once the first page has sized the frame window
  int32_t m_bannerHeight = 0;  // pixels above the pages; 0 until measured

 private:
  // Deletes a page slot's object after clearing its references.
  template <class Page>
  void DeletePage(Page*& slot);
  template <class Page>
  int ShowInSlot(Page*& slot, int templateId);
};
