// The install procedure: folders, documents and links, the program's own copy, the layout
// library images, the installation record and the system registrations, in that order. The
// first required step that fails ends it; nothing is rolled back.
#include <windows.h>
#include <shlobj.h>

#include <initializer_list>

#include "app/install.h"
#include "app/text_ids.h"
#include "engine/pending_operations.h"
#include "ui/wizard.h"

namespace {

constexpr uint32_t kVersionMark = 190;      // this installer's record
constexpr uint32_t kEarlierInstaller = 130;  // a layout entry without our record
constexpr int kScriptDumpLimit = 65535;

// Immediate deletion of a recorded file that this installation replaces; the outcome does not
// matter to the procedure.
void DeleteNow(const GString& path) {
  if (!path.IsEmpty()) DeleteFileW(path.WideAt(0));
}

bool SamePath(const GString& a, const GString& b) {
  return a.Length() == b.Length() && (a.IsEmpty() || lstrcmpiW(a.WideAt(0), b.WideAt(0)) == 0);
}

// out = folder + name + ending; empty when the folder is unknown, so that nothing is ever looked
// for relative to the current drive.
void InFolder(GString& out, const GString& folder, const GString& name, const GString& ending) {
  out.AssignWide(nullptr, 0);
  if (folder.IsEmpty()) return;
  out.Append(folder);
  out.Append(name);
  out.Append(ending);
}

}  // namespace

int CInstall::Install() {
  if (m_wizard) m_wizard->DisablePageControls();

  // Change-settings mode: the settings and the layout library, nothing else.
  if (m_modifyOnly) {
    WithdrawPendingOperations();
    if (!Logged("record", WriteInstallRecord()) || !Logged("layout library", InstallLayoutImages())) return 0;
    m_settingsChanged = 1;
    Logged("Installed apps entry", WriteUninstallEntry());
    return 1;
  }

  // Another layout's registration is never overwritten: refused before anything is changed.
  if (!Logged("layout entry free", LayoutEntryIsFree())) {
    if (LookupText(kTextLayoutTaken)) m_installFailureText = kTextLayoutTaken;
    return 0;
  }
  WithdrawPendingOperations();

  // Best effort: an earlier installer's links are replaced by ours.
  if (m_installedId == kEarlierInstaller) RemoveOldVersionFiles(0);

  if (!Logged("files", InstallFiles())) return 0;
  if (!Logged("layout library", InstallLayoutImages())) return 0;
  // A reinstallation over this installer's own installation shares its files: not counted again.
  if (m_installedId <= kEarlierInstaller) ++m_useCount;
  if (!Logged("record", WriteInstallRecord())) return 0;
  if (!Logged("layout entry", RegisterLayoutEntry())) return 0;

  // Best effort: the entry in Installed apps, the key substitutions and the input language.
  Logged("Installed apps entry", WriteUninstallEntry());
  Logged("scan-code map", WriteScancodeMap());
  // The system account has no person's profile to change: each user's next sign-in does it.
  if (m_runsAsSystem) {
    Logged("per-user steps at each sign-in", ArrangePerUserSteps());
  } else {
    Logged("input language", RegisterInputLanguage(m_layoutLangId, m_optLanguageScript));
    if (m_optUserHotkeys && !Logged("switching keys", SetSwitchKeys())) return 0;
  }
  m_installDone = 1;
  return 1;
}

int CInstall::InstallFiles() {
  GString icon, descriptionA, descriptionB, descriptionC;
  GetText(kTextSetCIcon, icon);
  GetText(kTextSetALinkDescription, descriptionA);
  GetText(kTextSetBLinkDescription, descriptionB);
  GetText(kTextSetCLinkDescription, descriptionC);

  // Folders, outermost first.
  for (const GString* folder : {&m_dirProgramsRoot, &m_dirInstall, &m_dirMenuRoot, &m_dirMenu})
    if (!MakeFolder(folder->WideAt(0))) return 0;

  // Set A: this installation counts itself again below.
  bool desktopA = m_optDesktopLinks != 0;
  if (!m_oldSetA[0].IsEmpty() && m_linkCount > 0) --m_linkCount;
  for (int i = 0; i < 3; ++i) {
    if (m_oldSetA[i].IsEmpty() || Equals(m_oldSetA[i], m_setA[i])) continue;
    DeleteNow(m_oldSetA[i]);
    if (i == 2) desktopA = true;  // the recorded desktop link moves, whatever the option says
  }
  if (!WriteBlobToFile(m_setA[0].WideAt(0), m_package.documentA)) return 0;
  if (!CreateShortcut(m_setA[0].WideAt(0), m_setA[1].WideAt(0), descriptionA.WideAt(0), nullptr, 0)) return 0;
  if (desktopA) {
    if (!CreateShortcut(m_setA[0].WideAt(0), m_setA[2].WideAt(0), descriptionA.WideAt(0), nullptr, 0)) return 0;
    m_desktopMadeA = 1;
  }
  ++m_linkCount;

  // Set B, unless an installation of this installer's form already made it.
  if (m_oldLinkVersion < kVersionMark) {
    for (const GString& old : m_oldSetB) DeleteNow(old);
    if (!WriteBlobToFile(m_setB[0].WideAt(0), m_package.documentB)) return 0;
    if (!CreateShortcut(m_setB[0].WideAt(0), m_setB[1].WideAt(0), descriptionB.WideAt(0), nullptr, 0)) return 0;
    if (m_optDesktopLinks) {
      if (!CreateShortcut(m_setB[0].WideAt(0), m_setB[2].WideAt(0), descriptionB.WideAt(0), nullptr, 0)) return 0;
      m_desktopMadeB = 1;
    }
  }

  // Set C: made once, kept by later installations.
  if (m_oldSetC[1].IsEmpty()) {
    if (!WriteSetCFile(m_setC[0].WideAt(0))) return 0;
    if (!CreateShortcut(m_setC[0].WideAt(0), m_setC[1].WideAt(0), descriptionC.WideAt(0), icon.WideAt(0), 0))
      return 0;
  }
  if (m_optDesktopLinks && m_oldSetC[2].IsEmpty()) {
    const GString& target = !m_oldSetC[0].IsEmpty() ? m_oldSetC[0] : m_setC[0];
    if (!target.IsEmpty()) {
      if (!CreateShortcut(target.WideAt(0), m_setC[2].WideAt(0), descriptionC.WideAt(0), icon.WideAt(0), 0))
        return 0;
      m_desktopMadeC = 1;
    }
  }

  // Set D and file E: made once; best effort. The desktop file is written whatever the option.
  if (m_oldSetD[0].IsEmpty()) {
    GString format, fileE, content;
    GetText(kTextSetDContentFormat, format);
    GetText(kTextFileEName, fileE);
    Format(content, format.WideAt(0), m_dirInstall.WideAt(0), fileE.WideAt(0));
    WriteBlobToFile(m_fileE.WideAt(0), m_package.documentE);
    for (const GString& path : m_setD) {
      HANDLE file = CreateOutputFile(path.WideAt(0));
      if (!file) continue;
      WriteText(file, content);
      CloseHandle(file);
    }
  }

  // The program's own copy, which later runs remove the layout with, and its menu link. The
  // recorded copy goes only once the new one is in place: a failed copy keeps a removal program.
  if (!CopyFileW(m_selfPath.WideAt(0), m_selfCopy.WideAt(0), FALSE)) return 0;
  if (!SamePath(m_oldSelfCopy, m_selfCopy)) DeleteNow(m_oldSelfCopy);
  if (!SamePath(m_oldSelfLink, m_selfLink)) DeleteNow(m_oldSelfLink);
  return CreateShortcut(m_selfCopy.WideAt(0), m_selfLink.WideAt(0), m_uninstName.WideAt(0), m_selfCopy.WideAt(0), 0);
}

int CInstall::WithdrawPendingOperations() {
  // The library targets and staging files, and whatever lies in our own folders (the program's
  // copy, the folders a removal scheduled): a removal before this run would delete them at the
  // next start, an earlier installation would move its staged library over this one's.
  GString systemTarget, nativeTarget, staging, nativeStaging;
  GetLayoutFilePaths(systemTarget, nativeTarget, &staging, &nativeStaging);  // what it finds
  const GString* paths[] = {&systemTarget, &nativeTarget, &staging, &nativeStaging, &m_dirProgramsRoot,
                            &m_dirMenuRoot};
  const GString* folders[] = {&m_dirInstall, &m_dirMenu};
  PendingOperations pending;
  return pending.Withdraw(paths, sizeof paths / sizeof paths[0], folders, sizeof folders / sizeof folders[0]);
}

int CInstall::WriteSetCFile(const WChar* path) {
  HANDLE file = CreateOutputFile(path);
  if (!file) return 0;
  GString content;
  GetText(m_osVersion < 51 ? kTextSetCContentOld : kTextSetCContent, content);
  const int written = WriteText(file, content);
  CloseHandle(file);
  return written;
}

int CInstall::RegisterInputLanguage(uint16_t languageId, int makeDefault) {
  // Windows before Vista takes its input languages from the layout entry alone.
  if (m_osVersion < 60) return 1;
  GString scriptPath;
  if (!MakeTempFile(scriptPath, kTextTempPrefix, nullptr)) return 0;

  GString layout, extra, defaultFlag, format, script;
  GetText(kTextLayoutEntryKey, layout);
  GetText(kTextScriptExtra, extra);
  if (makeDefault) GetText(kTextScriptDefaultFlag, defaultFlag);
  const unsigned language = languageId;
  if (!extra.IsEmpty() && m_osVersion >= 62) {
    GetText(kTextScriptFormatWithExtra, format);
    Format(script, format.WideAt(0), extra.WideAt(0), language, layout.WideAt(0), defaultFlag.WideAt(0), language,
           language);
    script.DebugDump(kScriptDumpLimit);
  } else {
    GetText(kTextScriptFormat, format);
    Format(script, format.WideAt(0), language, layout.WideAt(0), defaultFlag.WideAt(0));
  }

  HANDLE file = CreateOutputFile(scriptPath.WideAt(0));
  if (!file) return 0;  // the empty temporary file stays
  const int written = WriteText(file, script);
  CloseHandle(file);
  if (written) LaunchAndWait(kTextScriptCommand, scriptPath.WideAt(0));
  DeleteScriptAtNextStart(scriptPath);
  return 1;
}

int CInstall::RemoveOldVersionFiles(int withSystemFiles) {
  // An earlier installer put a document and a web shortcut into the user's documents folder and
  // links to them on the user's desktop.
  GString documents, desktop, document, link, web, documentName, webName;
  GetSpecialFolder(CSIDL_PERSONAL, documents);
  GetSpecialFolder(CSIDL_DESKTOP, desktop);
  GetText(kTextDocumentEnding, document);
  GetText(kTextLinkEnding, link);
  GetText(kTextSetCEnding, web);
  GetText(kTextEarlierDocumentName, documentName);
  GetText(kTextEarlierTextName, webName);
  GString path;
  const struct {
    const GString& folder;
    const GString& name;
    const GString& ending;
  } files[] = {{documents, documentName, document}, {desktop, documentName, link}, {documents, webName, web},
               {desktop, webName, link}};
  for (const auto& file : files) {
    InFolder(path, file.folder, file.name, file.ending);
    if (!path.IsEmpty()) DeleteFileOrSchedule(path);
  }
  if (!withSystemFiles) return 1;

  GString systemTarget, nativeTarget;
  if (!GetLayoutFilePaths(systemTarget, nativeTarget, nullptr, nullptr)) return 0;
  ScheduleLayoutLibraryDeletion(systemTarget, nativeTarget);
  return 1;
}
