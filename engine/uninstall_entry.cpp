// The entry in Installed apps (Programs and Features): written by every installation and change
// of settings, removed by the last removal. It lies in the program's own view of HKLM\Software,
// the one Windows lists for 32-bit programs on 64-bit systems. The key and value names are
// Windows' own; what they hold comes from the package and the paths of the installation.
#include <windows.h>

#include "app/install.h"
#include "app/text_ids.h"

namespace {

constexpr WChar kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The entry's key: text 84, the product code, below the list of entries.
bool EntryKeyPath(CInstall& in, GString& path) {
  GString code;
  if (!in.GetText(kTextLayoutMatchText, code) || code.IsEmpty()) return false;
  path.AssignWideZ(kUninstallKey);
  path.Append(code);
  return path.Length() > code.Length();
}

// The size of the installation folder's files, in KiB, rounded up.
uint32_t FolderKib(const GString& folder) {
  GString pattern;
  pattern.Assign(folder);
  pattern.AppendWide(U16("*"), 1);
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.WideAt(0), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  uint64_t bytes = 0;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      bytes += (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return static_cast<uint32_t>((bytes + 1023) / 1024);
}

}  // namespace

int CInstall::WriteUninstallEntry() {
  GString path;
  if (m_selfCopy.IsEmpty() || !EntryKeyPath(*this, path)) return 0;
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, path.WideAt(0), KEY_WRITE);
  if (!key) return 0;

  GString text, quoted, quiet;
  quoted.AssignWideZ(U16("\""));
  quoted.Append(m_selfCopy);
  quoted.AppendWide(U16("\""), 1);
  quiet.Assign(quoted);
  quiet.AppendWide(U16(" /uninstall /quiet"), -1);
  SYSTEMTIME today;
  GetLocalTime(&today);
  GString date;
  Format(date, U16("%04u%02u%02u"), static_cast<unsigned>(today.wYear), static_cast<unsigned>(today.wMonth),
         static_cast<unsigned>(today.wDay));

  // The name and the paths are required; the vendor's texts where the package has them.
  int ok = GetText(kTextBannerHead, text) && SetStringValue(key, L"DisplayName", text) &&
           SetStringValue(key, L"UninstallString", quoted) && SetStringValue(key, L"ModifyPath", quoted) &&
           SetStringValue(key, L"QuietUninstallString", quiet) && SetStringValue(key, L"DisplayIcon", m_selfCopy) &&
           SetStringValue(key, L"InstallLocation", m_dirInstall) && SetStringValue(key, L"InstallDate", date) &&
           SetDwordValue(key, L"NoRepair", 1) && SetDwordValue(key, L"EstimatedSize", FolderKib(m_dirInstall));
  const struct {
    uint32_t text;
    const WChar* name;
  } optional[] = {{kTextDisplayVersion, L"DisplayVersion"}, {kTextPublisher, L"Publisher"},
                  {kTextRelatedDocument, L"URLInfoAbout"}};
  for (const auto& value : optional)
    if (ok && GetText(value.text, text) && !text.IsEmpty()) ok = SetStringValue(key, value.name, text);
  RegCloseKey(key);
  return ok;
}

int CInstall::RemoveUninstallEntry() {
  GString path;
  return EntryKeyPath(*this, path) && RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.WideAt(0)) == ERROR_SUCCESS ? 1 : 0;
}
