// Every path an installation uses, composed once at start-up from the shell's special folders,
// the package's names and the program's own path. Joins are plain concatenation: the texts
// carry the separators they need.
#include <windows.h>
#include <shlobj.h>

#include "app/install.h"
#include "app/text_ids.h"

#include <initializer_list>

namespace {

constexpr DWORD kLongestPath = 32767;  // the longest path Windows knows (the "\\?\" form)

// out = the concatenation of the parts (out is emptied first); stays empty when the first part,
// the folder the path lies in, is unknown: a path that starts with "\" would otherwise name a
// place at the root of the current drive.
void Join(GString& out, std::initializer_list<const GString*> parts) {
  out.AssignWide(nullptr, 0);
  if ((*parts.begin())->IsEmpty()) return;
  for (const GString* part : parts) out.Append(*part);
}

}  // namespace

bool CInstall::ComposePaths() {
  // A special folder that cannot be obtained is an empty string, and so is every path below it:
  // the steps that need such a path fail or skip it.
  GString programs, menu, desktop;
  GetSpecialFolder(CSIDL_PROGRAM_FILES, programs);
  GetSpecialFolder(CSIDL_COMMON_PROGRAMS, menu);
  GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, desktop);

  GString folder, product, nameA, qualifier, nameB, nameC, nameD, document, link, webFile, textFile, fileE;
  GetText(kTextProgramsFolder, folder);
  GetText(kTextProductFolder, product);
  GetText(kTextSetAName, nameA);
  GetText(kTextSetAQualifier, qualifier);
  GetText(kTextSetBName, nameB);
  GetText(kTextSetCName, nameC);
  GetText(kTextSetDName, nameD);
  GetText(kTextDocumentEnding, document);
  GetText(kTextLinkEnding, link);
  GetText(kTextSetCEnding, webFile);
  GetText(kTextSetDEnding, textFile);
  GetText(kTextFileEName, fileE);

  // Set A is named "<22> (<23>)".
  GString open, close;
  open.AssignWideZ(U16(" ("));
  close.AssignWideZ(U16(")"));
  GString setA;
  Join(setA, {&nameA, &open, &qualifier, &close});

  Join(m_dirProgramsRoot, {&programs, &folder});
  Join(m_dirInstall, {&m_dirProgramsRoot, &product});
  Join(m_dirMenuRoot, {&menu, &folder});
  Join(m_dirMenu, {&m_dirMenuRoot, &product});

  Join(m_setA[0], {&m_dirInstall, &setA, &document});
  Join(m_setA[1], {&m_dirMenu, &setA, &link});
  Join(m_setA[2], {&desktop, &setA, &link});
  Join(m_setB[0], {&m_dirInstall, &nameB, &document});
  Join(m_setB[1], {&m_dirMenu, &nameB, &link});
  Join(m_setB[2], {&desktop, &nameB, &link});
  Join(m_setC[0], {&m_dirInstall, &nameC, &webFile});
  Join(m_setC[1], {&m_dirMenu, &nameC, &link});
  Join(m_setC[2], {&desktop, &nameC, &link});
  Join(m_setD[0], {&m_dirMenu, &nameD, &textFile});
  Join(m_setD[1], {&desktop, &nameD, &textFile});
  Join(m_fileE, {&m_dirInstall, &fileE});

  // The program's own path: its module's file name. The command line's first argument is only
  // what the starter typed: "setup" from a console, a relative path, or anything a launcher gives.
  m_selfPath.AssignWide(nullptr, 0);
  WChar* self = m_selfPath.WideTail(kLongestPath + 1);
  if (!self) return false;
  const DWORD length = GetModuleFileNameW(nullptr, self, kLongestPath + 1);
  if (length == 0 || length > kLongestPath) {  // failed, or cut short
    m_selfPath.SetLength(0);
    return false;
  }
  m_selfPath.SetLength(static_cast<int>(length));
  const int slash = m_selfPath.FindLastChar(U16('\\'), 0);
  GString fileName;
  fileName.AssignWideZ(m_selfPath.WideAt(0) + (slash >= 0 ? slash + 1 : 0));
  Join(m_selfCopy, {&m_dirInstall, &fileName});
  GString format, name;
  GetText(kTextUninstallNameFormat, format);
  GetText(kTextLayoutName, name);
  Format(m_uninstName, format.WideAt(0), name.WideAt(0));
  Join(m_selfLink, {&m_dirMenu, &m_uninstName, &link});
  return true;
}
