// What an installation does for the person who runs it (the input language, the switching keys)
// cannot reach anybody's profile when it runs as the system account, as deployment tools run
// it. Then each user's next sign-in does it: the sign-in stub of Active Setup, a key of the
// product code with a version that Windows compares with the one it noted for the user, runs the
// installed copy with /peruser. A removal gives the stub the package's undo command instead
// (text 336) and a higher version, so that users who got the layout lose it at their next sign-in.
#include <windows.h>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

constexpr WChar kComponents[] = L"Software\\Microsoft\\Active Setup\\Installed Components\\";

// The component's key (the product code, text 84), created when missing.
HKEY OpenComponent(CInstall& in) {
  GString path, code;
  if (!in.GetText(kTextLayoutMatchText, code) || code.IsEmpty()) return nullptr;
  path.AssignWideZ(kComponents);
  path.Append(code);
  return in.CreateKey(HKEY_LOCAL_MACHINE, path.WideAt(0), KEY_READ | KEY_WRITE);
}

// Gives the component its stub and a version above the one it had ("1,0,0,N"), so that every
// user's next sign-in runs it.
int SetStub(CInstall& in, GString& stub) {
  HKEY key = OpenComponent(in);
  if (!key) return 0;
  GString version, name;
  unsigned run = 0;
  if (in.GetStringValue(key, L"Version", version)) {
    const int comma = version.FindLastChar(U16(','), 0);
    for (int i = comma + 1; i < version.Length(); ++i) {
      const WChar digit = version.WideAt(0)[i];
      if (digit < '0' || digit > '9' || run > 100000000u) break;
      run = run * 10 + static_cast<unsigned>(digit - '0');
    }
  }
  Format(version, U16("1,0,0,%u"), run + 1);
  // The default value names the component (the registry operations never write a default value).
  const int ok = in.GetText(kTextBannerHead, name) && name.AsWide(0) &&
                 RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name.WideAt(0)),
                                static_cast<DWORD>(name.Length()) * 2 + 2) == ERROR_SUCCESS &&
                 in.SetStringValue(key, L"StubPath", stub) && in.SetStringValue(key, L"Version", version) &&
                 in.SetDwordValue(key, L"IsInstalled", 1);
  RegCloseKey(key);
  return ok;
}

}  // namespace

int CInstall::ArrangePerUserSteps() {
  // The installed copy with the choices of this installation.
  GString stub;
  Format(stub, U16("\"%s\" /peruser /default %s /switchkeys %s"), m_selfCopy.WideAt(0),
         m_optLanguageScript ? U16("yes") : U16("no"), m_optUserHotkeys ? U16("yes") : U16("no"));
  return SetStub(*this, stub);
}

int CInstall::ArrangePerUserRemoval() {
  GString format, layout, stub;
  if (!GetText(kTextPerUserUndoCommand, format) || !GetText(kTextLayoutEntryKey, layout)) return 0;
  const unsigned language = m_recordedLangId ? m_recordedLangId : m_packageLangId;
  Format(stub, format.WideAt(0), language, layout.WideAt(0));
  return SetStub(*this, stub);
}

int CInstall::RunPerUserSteps() {
  // The signed-in user's language; the choices came with the stub's switches.
  if (m_osVersion >= 60) RegisterInputLanguage(GetUserDefaultLangID(), m_optLanguageScript);
  return m_optUserHotkeys ? SetSwitchKeys() : 1;
}
