#include "ui/wizard.h"

#include <commctrl.h>

#include <new>

#include "app/install.h"
#include "app/text_ids.h"
#include "ui/page_done.h"
#include "ui/page_eula.h"
#include "ui/page_expert.h"
#include "ui/page_setup.h"
#include "ui/page_welcome.h"
#include "ui/resource_ids.h"
#include "ui/wnd_main.h"

namespace {

constexpr LONG kBannerFontHeight = -30;  // character height in pixels
constexpr int kFaceNameMax = LF_FACESIZE - 1;
constexpr int kMainWidth = 500;  // until the first page sizes the frame
constexpr int kMainHeight = 400;

// The dialog manager would turn Escape into IDCANCEL for the page, and the installed welcome
// page's IDCANCEL is its open button: Escape goes to the frame's table, which ignores it, unless
// the control with the focus asks for it (an open list, which it closes).
bool IsEscapeForTheFrame(MSG* msg) {
  if (msg->message != WM_KEYDOWN || msg->wParam != VK_ESCAPE) return false;
  return !(SendMessageW(msg->hwnd, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg)) & DLGC_WANTMESSAGE);
}

}  // namespace

CWizard::CWizard(CInstall* install) : m_install(install) {}

CWizard::~CWizard() { DestroyWindows(); }

int CWizard::Initialise(HINSTANCE instance) {
  m_hInstance = instance;
  if (!m_install || !instance) return 0;
  LOGFONTW font = {};
  LoadText(kTextBannerFontFace);
  const WChar* face = m_text.WideAt(0);
  for (int i = 0; i < kFaceNameMax && face[i]; ++i) font.lfFaceName[i] = face[i];
  font.lfHeight = kBannerFontHeight;
  font.lfWeight = FW_BOLD;
  m_bannerFont = CreateFontIndirectW(&font);  // without it the banner uses the system font
  InitCommonControls();
  return 1;
}

int CWizard::Run() {
  m_mainWnd = new (std::nothrow) CWndMain;
  if (!m_mainWnd) return 0;
  m_mainWnd->m_wizard = this;
  m_mainWnd->RegisterWindowClass();
  // Its WM_CREATE shows the welcome page, which sizes and centres the frame around itself.
  if (!m_mainWnd->CreateMainWindow(kTextMessageCaption, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, kMainWidth,
                                   kMainHeight))
    return 0;
  HACCEL accelerators = LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(IDA_WIZARD));

  MSG msg;
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    const bool escape = IsEscapeForTheFrame(&msg);
    if (!escape && m_currentPage && m_currentPage->m_hWnd && IsDialogMessageW(m_currentPage->m_hWnd, &msg)) continue;
    if (!m_mainWnd) continue;
    if (accelerators && TranslateAcceleratorW(m_mainWnd->m_hWnd, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 1;
}

template <class Page>
void CWizard::DeletePage(Page*& slot) {
  Page* page = slot;
  if (!page) return;
  slot = nullptr;
  if (m_currentPage == page) m_currentPage = nullptr;
  delete page;
}

void CWizard::DestroyWindows() {
  if (m_bannerFont) {
    DeleteObject(m_bannerFont);
    m_bannerFont = nullptr;
  }
  CWndMain* main = m_mainWnd;
  m_mainWnd = nullptr;
  delete main;  // destroys the frame and with it the page on view
  DeletePage(m_pageWelcome);
  DeletePage(m_pageEula);
  DeletePage(m_pageSetup);
  DeletePage(m_pageExpert1);
  DeletePage(m_pageExpert2);
  DeletePage(m_pageDone);
}

HWND CWizard::GetMainWindow() const { return m_mainWnd ? m_mainWnd->m_hWnd : nullptr; }

void CWizard::DisablePageControls() {
  if (!m_currentPage || !m_currentPage->m_hWnd) return;
  HWND child = GetWindow(m_currentPage->m_hWnd, GW_CHILD);
  if (!child) return;
  for (HWND control = GetWindow(child, GW_HWNDFIRST); control; control = GetWindow(control, GW_HWNDNEXT))
    EnableWindow(control, FALSE);
}

// ---- pages ------------------------------------------------------------------------------------

int CWizard::ShowPage(int templateId, CWndBase* page) {
  if (!page) return 0;
  if (m_currentPage) m_currentPage->DestroyOwnWindow();  // its WM_NCDESTROY deletes it
  m_currentPage = page;
  page->m_wizard = this;
  page->CreatePage(templateId, GetMainWindow());
  return 1;
}

template <class Page>
int CWizard::ShowInSlot(Page*& slot, int templateId) {
  if (slot) return 0;
  slot = new (std::nothrow) Page;
  return ShowPage(templateId, slot);
}

int CWizard::ShowWelcome() { return ShowInSlot(m_pageWelcome, IDD_WELCOME); }
int CWizard::ShowEula() { return ShowInSlot(m_pageEula, IDD_EULA); }
int CWizard::ShowSetup() { return ShowInSlot(m_pageSetup, IDD_SETUP); }
int CWizard::ShowDone() { return ShowInSlot(m_pageDone, IDD_DONE); }

int CWizard::ShowExpert1() { return ShowInSlot(m_pageExpert1, IDD_EXPERT1); }
int CWizard::ShowExpert2() { return ShowInSlot(m_pageExpert2, IDD_EXPERT2); }

void CWizard::ReleaseWindow(CWndBase* object) {
  if (!object) return;
  if (object == m_mainWnd) {
    m_mainWnd = nullptr;
    delete object;
    return;
  }
  if (object == m_pageWelcome) return DeletePage(m_pageWelcome);
  if (object == m_pageEula) return DeletePage(m_pageEula);
  if (object == m_pageSetup) return DeletePage(m_pageSetup);
  if (object == m_pageExpert1) return DeletePage(m_pageExpert1);
  if (object == m_pageExpert2) return DeletePage(m_pageExpert2);
  if (object == m_pageDone) return DeletePage(m_pageDone);
}

// ---- texts and message boxes ------------------------------------------------------------------

int CWizard::LoadText(uint32_t textId) { return m_install && m_install->GetText(textId, m_text) ? 1 : 0; }

int CWizard::LoadTextInto(uint32_t textId, GString& out) {
  return m_install && m_install->GetText(textId, out) ? 1 : 0;
}

int CWizard::MessageBoxText(const WChar* text, UINT type) {
  LoadText(kTextMessageCaption);
  return MessageBoxW(GetMainWindow(), text, m_text.WideAt(0), type);
}

int CWizard::MessageBoxId(uint32_t textId, UINT type) {
  GString text;
  LoadTextInto(textId, text);
  return MessageBoxText(text.WideAt(0), type);
}

// ---- forwarding -------------------------------------------------------------------------------

int CWizard::GetWizardStep() const { return m_install->m_wizardStep; }
void CWizard::SetWizardStep(int step) { m_install->m_wizardStep = step; }
int CWizard::GetOsVersion() const { return m_install->m_osVersion; }
int CWizard::GetAssocMatch() const { return m_install->m_assocMatch; }
uint16_t CWizard::GetLayoutLangId() const { return m_install->m_layoutLangId; }
void CWizard::SetLayoutLangId(uint16_t id) { m_install->m_layoutLangId = id; }
uint32_t CWizard::GetUiLanguage() const { return m_install->m_uiLanguage; }
int CWizard::SetUiLanguage(uint32_t language) { return m_install->SetUiLanguage(language) ? 1 : 0; }
uint32_t CWizard::GetInstalledId() const { return m_install->m_installedId; }
int CWizard::IsAdmin() const { return m_install->m_isAdmin; }
int CWizard::IsUninstallDone() const { return m_install->m_uninstallDone; }
int CWizard::Uninstall() { return m_install->Uninstall(); }
int CWizard::GetOptLanguageScript() const { return m_install->m_optLanguageScript; }
void CWizard::SetOptLanguageScript(int value) { m_install->m_optLanguageScript = value; }
int CWizard::GetOptUserHotkeys() const { return m_install->m_optUserHotkeys; }
void CWizard::SetOptUserHotkeys(int value) { m_install->m_optUserHotkeys = value; }
int CWizard::GetOptDesktopLinks() const { return m_install->m_optDesktopLinks; }
void CWizard::SetOptDesktopLinks(int value) { m_install->m_optDesktopLinks = value; }

const WChar* CWizard::GetLayoutLangName() {
  m_install->m_layoutLangName.AsWide(0);
  return m_install->m_layoutLangName.WideAt(0);
}

int CWizard::SetLayoutLangName(const WChar* name) {
  GString& target = m_install->m_layoutLangName;
  return target.AssignWide(name ? name : U16(""), -1) && target.AsWide(0) ? 1 : 0;
}

int CWizard::GetVariant() { return m_install->DetectVariant(); }
int CWizard::SetVariant(int variant) { return m_install->SetVariant(variant); }
int CWizard::GetDecimalKey() { return m_install->DetectDecimalKey(); }
int CWizard::SetDecimalKey(int key) { return m_install->SetDecimalKey(key); }
int CWizard::GetAltImageA() const { return m_install->GetAltImageA(); }
int CWizard::SetAltImageA(int value) { return m_install->SetAltImageA(value); }
int CWizard::IsModifyOnly() const { return m_install->m_modifyOnly; }
int CWizard::SetModifyOnly(int value) { return m_install->SetModifyOnly(value); }
const KeyEntry* CWizard::FindDefaultKey(uint32_t scanCode) const { return m_install->FindDefaultKey(scanCode); }
KeyEntry* CWizard::FindKey(uint32_t scanCode) { return m_install->FindKey(scanCode); }
int CWizard::NormaliseKeys() { return m_install->NormaliseKeys() ? 1 : 0; }

int CWizard::OpenAssociated() {
  LoadText(kTextRelatedDocument);
  return m_install->OpenWithAssociated(kTextRelatedFileType, kTextOpenCommandFormat, m_text.WideAt(0));
}
