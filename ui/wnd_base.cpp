#include "ui/wnd_base.h"

#include "app/install.h"
#include "app/text_ids.h"
#include "ui/wizard.h"

namespace {

// Rebinding or unbinding tells the window that its data changed, without moving or painting it.
constexpr UINT kFrameChangedFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;

CWndBase* ObjectOf(HWND hwnd) { return reinterpret_cast<CWndBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// While a page is made neither it nor the frame is shown yet: the control's own style tells.
bool CanBePressed(HWND control) {
  const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
  return (style & (WS_VISIBLE | WS_DISABLED)) == WS_VISIBLE;
}

}  // namespace

CWndBase::~CWndBase() {
  for (DispatchFrame* frame = m_frame; frame; frame = frame->outer) frame->deleted = true;
  m_frame = nullptr;
  if (m_hWnd) DestroyOwnWindow();
  if (m_classAtom && m_wizard) {
    GString name;
    m_wizard->LoadTextInto(kTextWindowClass, name);
    UnregisterClassW(name.WideAt(0), m_wizard->m_hInstance);
  }
}

// ---- virtual handlers -------------------------------------------------------------------------

int CWndBase::OnMessage() {
  switch (m_msg) {
    case WM_CREATE:
      return OnCreate();
    case WM_DESTROY:
      return OnDestroy();
    case WM_PAINT:
      return OnPaint();
    case WM_CLOSE:
      return OnClose();
    case WM_NCDESTROY:
      return OnNcDestroy();
    case WM_INITDIALOG:
      return OnInitDialog();
    default:
      return 0;
  }
}

int CWndBase::OnCommand() { return 0; }

int CWndBase::OnNcDestroy() {
  DetachWindow();
  if (m_wizard) m_wizard->ReleaseWindow(this);  // deletes this object
  return 1;
}

int CWndBase::OnCreate() { return 1; }
int CWndBase::OnPaint() { return 0; }
int CWndBase::OnDestroy() { return 0; }

int CWndBase::OnClose() {
  DestroyWindow(m_hWnd);
  return 1;
}

int CWndBase::OnInitDialog() { return 0; }

int CWndBase::RequestClose() {
  PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
  return 0;
}

// ---- window procedures ------------------------------------------------------------------------

void CWndBase::ResetMessageFields() {
  m_result = 0;
  m_notifyCode = 0;
  m_controlId = 0;
  m_controlWnd = nullptr;
  m_notifyHdrCode = 0;
  m_notifyHdr = nullptr;
}

LRESULT CALLBACK CWndBase::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWndBase* object = ObjectOf(hwnd);
  if (!object) {
    if (msg != WM_NCCREATE && msg != WM_CREATE) return DefWindowProcW(hwnd, msg, wParam, lParam);
    object = static_cast<CWndBase*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (!object || object->m_isDialog) return DefWindowProcW(hwnd, msg, wParam, lParam);
    object->AttachWindow(hwnd);  // a failed binding still dispatches this message
  }
  object->m_msg = msg;
  object->m_wParam = wParam;
  object->m_lParam = lParam;
  object->ResetMessageFields();
  if (msg == WM_COMMAND) {
    object->m_notifyCode = HIWORD(wParam);
    object->m_controlId = LOWORD(wParam);
    object->m_controlWnd = reinterpret_cast<HWND>(lParam);
  } else if (msg == WM_NOTIFY) {
    object->m_notifyHdr = reinterpret_cast<NMHDR*>(lParam);
    if (object->m_notifyHdr) {
      object->m_controlId = static_cast<uint16_t>(object->m_notifyHdr->idFrom);
      object->m_notifyHdrCode = object->m_notifyHdr->code;
    }
  }

  DispatchFrame frame = {false, object->m_frame};
  object->m_frame = &frame;
  const int handled = object->OnMessage();
  if (frame.deleted) return 0;  // the handler destroyed the window and with it the object
  object->m_frame = frame.outer;
  if (handled) return object->m_result;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

INT_PTR CALLBACK CWndBase::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CWndBase* object = ObjectOf(hwnd);
  if (!object) {
    if (msg != WM_INITDIALOG) return FALSE;
    object = reinterpret_cast<CWndBase*>(lParam);
    if (!object || !object->m_isDialog) return FALSE;
    object->AttachWindow(hwnd);
  }
  object->m_msg = msg;
  object->m_wParam = wParam;
  object->m_lParam = lParam;
  object->ResetMessageFields();
  if (msg == WM_NOTIFY) {
    // Pages take no notifications.
    object->m_controlId = LOWORD(wParam);
    object->m_notifyHdr = reinterpret_cast<NMHDR*>(lParam);
    if (object->m_notifyHdr) {
      object->m_controlId = static_cast<uint16_t>(object->m_notifyHdr->idFrom);
      object->m_notifyHdrCode = object->m_notifyHdr->code;
    }
    return FALSE;
  }

  DispatchFrame frame = {false, object->m_frame};
  object->m_frame = &frame;
  int handled;
  if (msg == WM_COMMAND) {
    object->m_notifyCode = HIWORD(wParam);
    object->m_controlId = LOWORD(wParam);
    object->m_controlWnd = reinterpret_cast<HWND>(lParam);
    handled = object->OnCommand();
  } else {
    if (msg == WM_INITDIALOG) object->m_result = 1;
    handled = object->OnMessage();
  }
  if (frame.deleted) return FALSE;
  object->m_frame = frame.outer;
  if (!handled) return FALSE;
  if (msg == WM_COMMAND) {
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, object->m_result);
    return FALSE;
  }
  return object->m_result;
}

// ---- windows and binding ----------------------------------------------------------------------

int CWndBase::RegisterWindowClass() {
  if (!m_wizard) return 0;
  LoadText(kTextWindowClass);
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = m_wizard->m_hInstance;
  windowClass.hIcon = LoadIconW(m_wizard->m_hInstance, MAKEINTRESOURCEW(129));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = m_text.WideAt(0);
  m_classAtom = RegisterClassExW(&windowClass);
  return m_classAtom != 0;
}

int CWndBase::CreateMainWindow(uint32_t titleText, DWORD style, int width, int height) {
  if (!m_wizard || m_hWnd) return 0;
  m_isDialog = 0;
  RECT desktop = {};
  GetWindowRect(GetDesktopWindow(), &desktop);
  LoadText(titleText);
  const int x = (desktop.right - desktop.left - width) / 2;
  const int y = (desktop.bottom - desktop.top - height) / 2;
  HWND hwnd = CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(m_classAtom)), m_text.WideAt(0),
                              style, x, y, width, height, nullptr, nullptr, m_wizard->m_hInstance, this);
  if (!hwnd || !m_hWnd) return 0;
  ShowWindow(m_hWnd, SW_SHOW);
  return 1;
}

int CWndBase::CreatePage(int templateId, HWND parent) {
  if (!m_wizard || m_hWnd) return 0;
  m_isDialog = 1;
  HWND hwnd = CreateDialogParamW(m_wizard->m_hInstance, MAKEINTRESOURCEW(templateId), parent, DialogProc,
                                 reinterpret_cast<LPARAM>(this));
  // The page may have been destroyed during its creation (and this object with it) only when
  // its parent went away; then hwnd is null and nothing below touches the object.
  if (!hwnd || !m_hWnd) return 0;
  ChooseDefaultButton();
  ShowWindow(m_hWnd, SW_SHOW);
  return 1;
}

void CWndBase::ChooseDefaultButton() {
  const LRESULT defaultId = SendMessageW(m_hWnd, DM_GETDEFID, 0, 0);
  HWND button = HIWORD(defaultId) == DC_HASDEFID ? GetDlgItem(m_hWnd, LOWORD(defaultId)) : nullptr;
  if (!button || CanBePressed(button)) return;
  for (HWND next = GetWindow(button, GW_HWNDNEXT); next; next = GetWindow(next, GW_HWNDNEXT)) {
    const LRESULT code = SendMessageW(next, WM_GETDLGCODE, 0, 0);
    if (!(code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) || !CanBePressed(next)) continue;
    SendMessageW(m_hWnd, DM_SETDEFID, static_cast<WPARAM>(GetDlgCtrlID(next)), 0);
    return;
  }
}

int CWndBase::AttachWindow(HWND hwnd) {
  if (m_hWnd || !hwnd) return 0;
  const LONG_PTR previous = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
  m_hWnd = hwnd;
  if (previous) return 1;
  SetLastError(0);
  if (!SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this)) && GetLastError() != 0) return 0;
  SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, kFrameChangedFlags);
  return 1;
}

void CWndBase::DetachWindow() {
  if (!m_hWnd) return;
  SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
  SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, kFrameChangedFlags);
  m_hWnd = nullptr;
}

int CWndBase::DestroyOwnWindow() {
  if (!m_hWnd) return 1;
  return DestroyWindow(m_hWnd) ? 1 : 0;
}

int CWndBase::MeasureBannerLine() {
  HWND main = m_wizard ? m_wizard->GetMainWindow() : nullptr;
  if (!main) return 0;
  HDC dc = GetDC(main);
  if (!dc) return 0;
  HGDIOBJ previous = SelectObject(dc, m_wizard->m_bannerFont);
  SIZE extent = {};
  const WChar probe = 0x00D3;  // a capital with an accent: the tallest line the banner needs
  GetTextExtentPoint32W(dc, &probe, 1, &extent);
  SelectObject(dc, previous);
  ReleaseDC(main, dc);
  return extent.cy;
}

int CWndBase::FitToPage() {
  HWND main = m_wizard ? m_wizard->GetMainWindow() : nullptr;
  if (!m_wizard || !m_hWnd || !main) return 0;
  if (m_wizard->m_bannerHeight == 0) {
    const int height = MeasureBannerLine();
    m_textHeight = height;
    m_wizard->m_bannerHeight = height + height / 2;
  }
  RECT frame, client, page, desktop;
  if (!GetWindowRect(main, &frame) || !GetClientRect(main, &client) || !GetClientRect(m_hWnd, &page) ||
      !GetWindowRect(GetDesktopWindow(), &desktop))
    return 0;
  if (!m_wizard->m_mainSized) {
    const int width = (frame.right - frame.left) - (client.right - client.left) + (page.right - page.left);
    const int height = (frame.bottom - frame.top) - (client.bottom - client.top) + (page.bottom - page.top) +
                       m_wizard->m_bannerHeight;
    SetWindowPos(main, nullptr, (desktop.right - desktop.left - width) / 2, (desktop.bottom - desktop.top - height) / 2,
                 width, height, SWP_NOZORDER);
  }
  m_wizard->m_mainSized = 1;
  SetWindowPos(m_hWnd, nullptr, 0, m_wizard->m_bannerHeight, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
  return 1;
}

// ---- texts, step, messages --------------------------------------------------------------------

int CWndBase::LoadText(uint32_t textId) { return m_wizard ? m_wizard->LoadTextInto(textId, m_text) : 0; }

int CWndBase::LoadTextInto(uint32_t textId, GString& out) {
  return m_wizard ? m_wizard->LoadTextInto(textId, out) : 0;
}

// The expert page's rows are captioned by key names that its lists offer as choices too, and a
// list would show the "&" of the caption's access key; "&&" stands for a "&" shown.
int CWndBase::LoadItemTextInto(uint32_t textId, GString& out) {
  GString text;
  const int loaded = LoadTextInto(textId, text);
  const WChar* units = text.WideAt(0);
  const int length = text.Length();
  out.AssignWide(units, 0);
  int from = 0;
  for (int i = 0; i + 1 < length; ++i) {
    if (units[i] != '&') continue;
    if (!out.AppendWide(units + from, i - from)) return 0;
    from = i + 1;
    if (units[i + 1] == '&') ++i;
  }
  if (!out.AppendWide(units + from, length - from)) return 0;
  return loaded;
}

int CWndBase::GetWizardStep() { return m_wizard ? m_wizard->GetWizardStep() : -1; }

void CWndBase::SetWizardStep(int step) {
  if (m_wizard) m_wizard->SetWizardStep(step);
}

int CWndBase::MessageBoxText(const WChar* text, UINT type) {
  return m_wizard ? m_wizard->MessageBoxText(text, type) : 0;
}

int CWndBase::MessageBoxId(uint32_t textId, UINT type) { return m_wizard ? m_wizard->MessageBoxId(textId, type) : 0; }

int CWndBase::PostToMain(UINT msg) {
  return m_wizard ? PostMessageW(m_wizard->GetMainWindow(), msg, 0, 0) : 0;
}

// ---- controls ---------------------------------------------------------------------------------

int CWndBase::EnableItem(int controlId, int enable) {
  HWND control = GetDlgItem(m_hWnd, controlId);
  if (!control) return 0;
  EnableWindow(control, enable ? TRUE : FALSE);
  return 1;
}

int CWndBase::EnableItems(const uint32_t* controlIds, int enable) {
  if (!controlIds) return 0;
  for (; *controlIds; ++controlIds) EnableItem(static_cast<int>(*controlIds), enable);
  return 1;
}

int CWndBase::ShowItem(int controlId, int show) {
  HWND control = GetDlgItem(m_hWnd, controlId);
  if (!control) return 0;
  ShowWindow(control, show ? SW_SHOW : SW_HIDE);
  return 1;
}

int CWndBase::ShowItems(const uint32_t* controlIds, int show) {
  if (!controlIds) return 0;
  for (; *controlIds; ++controlIds) ShowItem(static_cast<int>(*controlIds), show);
  return 1;
}

int CWndBase::SetItemText(int controlId, uint32_t textId) {
  if (!LoadText(textId)) return 0;
  SetDlgItemTextW(m_hWnd, controlId, m_text.WideAt(0));
  return 1;
}

int CWndBase::SetItemString(int controlId, const WChar* text) {
  if (!text) return 0;
  return SetDlgItemTextW(m_hWnd, controlId, text) ? 1 : 0;
}

int CWndBase::SetItemTexts(const ControlText* table) {
  if (!table) return 0;
  for (; table->controlId; ++table) {
    LoadText(table->textId);  // a missing text leaves m_text empty
    SetDlgItemTextW(m_hWnd, static_cast<int>(table->controlId), m_text.WideAt(0));
  }
  return 1;
}

int CWndBase::IsItemChecked(int controlId) {
  HWND control = GetDlgItem(m_hWnd, controlId);
  if (!control) return 0;
  return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

int CWndBase::CheckItem(int controlId, int check) {
  HWND control = GetDlgItem(m_hWnd, controlId);
  if (!control) return 0;
  SendMessageW(control, BM_SETCHECK, check ? BST_CHECKED : BST_UNCHECKED, 0);
  return 1;
}

LRESULT CWndBase::SelectComboIndex(HWND combo, int index) {
  return SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

LRESULT CWndBase::GetComboSelData(int controlId) {
  HWND combo = GetDlgItem(m_hWnd, controlId);
  if (!combo) return 0;
  const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return 0;
  return SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int CWndBase::FillCombo(HWND combo, const ComboItem* table, uint32_t selectValue) {
  if (!combo || !table) return 0;
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  SendMessageW(combo, CB_INITSTORAGE, static_cast<WPARAM>(CountComboItems(table)), 100);
  GString text;
  for (; table->textId; ++table) {
    LoadItemTextInto(table->textId, text);  // a missing text adds an empty item
    const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.WideAt(0)));
    if (index == CB_ERR || index == CB_ERRSPACE) return 0;
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(table->value));
    // Every match selects, so the last matching entry wins.
    if (table->value == selectValue) SelectComboIndex(combo, static_cast<int>(index));
  }
  return 1;
}

int CWndBase::FillComboItem(int controlId, const ComboItem* table, uint32_t selectValue) {
  HWND combo = GetDlgItem(m_hWnd, controlId);
  if (!combo) return 0;
  return FillCombo(combo, table, selectValue);
}
