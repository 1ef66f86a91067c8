// The layout library images: their choice for the running system, their customisation with the
// user's keys and decimal key, and their staged replacement of the system's layout library at
// the next start. The choice is engine/layout_choice and the byte work engine/layout_patch (both
// portable); this file fetches the texts, decodes the blobs and talks to the file system.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <initializer_list>

#include "app/install.h"
#include "app/text_ids.h"
#include "engine/layout_choice.h"
#include "engine/layout_patch.h"
#include "engine/pe_checksum.h"

namespace {

// GetSystemWow64DirectoryW is told one character less than the buffer holds.
constexpr int kSystemFolderRoom = 2309;
constexpr UINT kSystemFolderSize = 2308;

using SystemFolderProc = UINT(WINAPI*)(LPWSTR, UINT);
using RedirectionOffProc = BOOL(WINAPI*)(PVOID*);
using RedirectionOnProc = BOOL(WINAPI*)(PVOID);

template <typename T>
T ProcAs(FARPROC proc) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

// The decoded search patterns, freed with the object.
struct DecodedPatterns {
  ~DecodedPatterns() {
    for (const uint8_t* bytes : {patterns.mainTable, patterns.e0List, patterns.e1List, patterns.decimalKey})
      free(const_cast<uint8_t*>(bytes));
  }
  LayoutPatterns patterns;
};

// path + "\" + name (one separator whatever either carries); false when memory ran out.
bool AppendName(GString& path, GString& name) {
  const WChar* wide = name.AsWide(-1);
  return wide && path.AppendPath(wide, -1) != 0;
}

// folder + "\" + name into out; false for an unknown (empty) folder, which would make the path
// one at the root of the current drive.
bool JoinName(GString& out, const GString& folder, GString& name) {
  out.SetLength(0);
  if (folder.IsEmpty()) return false;
  out.Assign(folder);
  return out.Length() == folder.Length() && AppendName(out, name);
}

}  // namespace

uint8_t* CInstall::HexTextToBytes(uint32_t textId, int32_t& count) {
  count = 0;
  GString text;
  if (!GetText(textId, text)) return nullptr;
  return ::HexTextToBytes(text, &count);
}

int CInstall::GetLayoutFilePaths(GString& systemTarget, GString& nativeTarget, GString* staging,
                                 GString* nativeStaging) {
  systemTarget.SetLength(0);
  nativeTarget.SetLength(0);
  GString fileName;
  if (!GetText(kTextLayoutFileName, fileName) || fileName.IsEmpty()) return 0;

  // The file name is also the bare "Layout File" value, so the separator comes from here.
  if (staging && !JoinName(*staging, m_dirInstall, fileName)) return 0;
  if (nativeStaging) {
    nativeStaging->SetLength(0);
    if (m_os64 && !(JoinName(*nativeStaging, m_dirInstall, fileName) && nativeStaging->AppendWide(U16("64"), 2)))
      return 0;
  }

  if (!m_os64) return GetSpecialFolder(CSIDL_SYSTEM, systemTarget) && AppendName(systemTarget, fileName) ? 1 : 0;

  // A 32-bit program sees the native system folder only with redirection off; the target
  // names it as such, and the 32-bit one by the folder the system reports for it.
  if (!GetSpecialFolder(CSIDL_SYSTEM, nativeTarget)) return 0;
  HMODULE module = nullptr;
  SystemFolderProc systemFolder32 =
      ProcAs<SystemFolderProc>(GetTextProc(kTextSystemFolder32Proc, kTextSystemLibrary, module));
  if (!systemFolder32) {
    if (module) FreeLibrary(module);
    nativeTarget.SetLength(0);
    return 0;
  }
  WChar* buffer = systemTarget.WideTail(kSystemFolderRoom);
  const UINT length = buffer ? systemFolder32(buffer, kSystemFolderSize) : 0;
  FreeLibrary(module);
  // A failed call would leave a relative path: the image would replace a file of that name in
  // whatever folder is current at the next start.
  if (length == 0 || length > kSystemFolderSize) {
    systemTarget.SetLength(0);
    nativeTarget.SetLength(0);
    return 0;
  }
  systemTarget.SetLength(static_cast<int>(length));
  return AppendName(nativeTarget, fileName) && AppendName(systemTarget, fileName) ? 1 : 0;
}

int CInstall::CustomiseLayoutImage(GString& target, GString& staging, const uint8_t* blob, uint32_t storedSize) {
  if (!blob) return 0;
  const WChar* targetPath = target.AsWide(-1);
  const WChar* stagingPath = staging.AsWide(-1);
  if (!targetPath || !stagingPath) return 0;

  uint32_t size = storedSize;
  uint8_t* image = m_guard.DecodeBlob(blob, size, nullptr);
  if (!image) return 0;

  // Patterns the steps need; one that is missing fails its step inside the patch.
  DecodedPatterns decoded;
  LayoutPatterns& patterns = decoded.patterns;
  const bool patchKeys = m_keyTable && m_keyCount > 0;
  if (patchKeys) {
    const uint32_t mainText = MainTablePatternText(m_variant);
    if (mainText) patterns.mainTable = HexTextToBytes(mainText, patterns.mainTableSize);
    patterns.e0List = HexTextToBytes(kTextE0ListPattern, patterns.e0ListSize);
    patterns.e1List = HexTextToBytes(kTextE1ListPattern, patterns.e1ListSize);
  }
  if (m_decimalKey == 0) patterns.decimalKey = HexTextToBytes(kTextDecimalKeyPattern, patterns.decimalKeySize);

  int ok = PatchLayoutImage(image, size, patterns, m_keyTable, patchKeys ? m_keyCount : 0, m_decimalKey) ? 1 : 0;
  // The header checksum no longer matched the changed bytes; an image that is no PE file keeps
  // its bytes as they are.
  if (ok && (patchKeys || m_decimalKey == 0)) UpdatePeChecksum(image, size);
  if (ok) {
    HANDLE file = CreateOutputFile(stagingPath);
    ok = file && WriteBytes(file, image, size) ? 1 : 0;
    if (file) CloseHandle(file);
  }
  free(image);
  if (!ok) return 0;

  // The system replaces its library at the next start; a refusal there is not seen here, but a
  // replacement the system would not even record leaves the old library for good.
  if (target.IsEmpty() || staging.IsEmpty()) return 1;
  const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;
  if (!m_os64) return MoveFileExW(stagingPath, targetPath, moveFlags) ? 1 : 0;
  FARPROC off = nullptr, on = nullptr;
  HMODULE module = LoadRedirectionControl(off, on);
  PVOID saved = nullptr;
  const BOOL redirectionOff = off && ProcAs<RedirectionOffProc>(off)(&saved);
  const BOOL recorded = MoveFileExW(stagingPath, targetPath, moveFlags);
  if (redirectionOff) ProcAs<RedirectionOnProc>(on)(saved);
  if (module) FreeLibrary(module);
  return recorded ? 1 : 0;
}

int CInstall::ChooseLayoutImages(BlobRef& image32, BlobRef& image64) const {
  LayoutImageChoice choice;
  const bool chosen =
      ChooseLayoutBlobs(m_package, m_osVersion, m_cpuArch, m_variant, m_altImageA || m_altImageB ? 1 : 0, &choice);
  image32 = choice.image32;
  image64 = choice.native;
  return chosen ? 1 : 0;
}

int CInstall::InstallLayoutImages() {
  GString systemTarget, nativeTarget, staging, nativeStaging;
  if (!GetLayoutFilePaths(systemTarget, nativeTarget, &staging, &nativeStaging)) return 0;
  BlobRef image32, image64;
  if (!ChooseLayoutImages(image32, image64) || !image32.data) return 0;
  // Checked before anything is staged: a 64-bit system without its image would otherwise get
  // only the 32-bit library replaced.
  if (m_os64 && !image64.data) return 0;
  if (!CustomiseLayoutImage(systemTarget, staging, image32.data, image32.size)) return 0;
  if (m_os64 && !CustomiseLayoutImage(nativeTarget, nativeStaging, image64.data, image64.size)) return 0;
  return 1;
}
