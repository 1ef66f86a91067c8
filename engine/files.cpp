// File and folder operations of the installer: output files, package blobs written to disk,
// deletion now or at the next start, folders, shell special folders and temporary files.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>

#include "app/install.h"

namespace {

// SHGetSpecialFolderPathW and GetTempFileNameW fill MAX_PATH characters; WideTail adds the
// terminator's unit, so the buffer holds the 261 units the calls may write.
constexpr int kPathRoom = MAX_PATH;
// GetTempPathW is told 771 characters and gets 772 with the terminator's unit.
constexpr int kTempPathRoom = 771;

}  // namespace

HANDLE CInstall::CreateOutputFile(const WChar* path) {
  if (!path) return nullptr;
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

int CInstall::WriteBytes(HANDLE file, const uint8_t* data, uint32_t size) {
  if (!file || file == INVALID_HANDLE_VALUE || !data || size == 0) return 0;
  DWORD written = 0;
  if (!WriteFile(file, data, size, &written, nullptr)) return 0;
  return written == size ? 1 : 0;  // a short write is a failure; no retry
}

int CInstall::WriteText(HANDLE file, GString& text) {
  if (text.IsEmpty()) return 0;
  const char* bytes = text.AsNarrow(0);  // UTF-8, no byte-order mark, no terminator
  if (!bytes) return 0;
  return WriteBytes(file, reinterpret_cast<const uint8_t*>(bytes), static_cast<uint32_t>(text.Length()));
}

int CInstall::WriteBlobToFile(const WChar* path, const BlobRef& blob) {
  if (!path || !blob.data) return 0;
  uint32_t size = blob.size;
  uint8_t* plain = m_guard.DecodeBlob(blob.data, size, nullptr);
  if (!plain) return 0;  // decoded before the file is made: a damaged blob leaves no file
  int ok = 0;
  HANDLE file = CreateOutputFile(path);
  if (file) {
    ok = WriteBytes(file, plain, size);
    CloseHandle(file);
  }
  free(plain);
  return ok;
}

int CInstall::DeleteFileOrSchedule(const WChar* path) {
  if (!path || !path[0]) return 0;
  if (DeleteFileW(path)) return 1;
  if (GetLastError() == ERROR_FILE_NOT_FOUND) return 1;
  // Typically a file in use: the session manager deletes it at the next start.
  return MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

int CInstall::DeleteFileOrSchedule(GString& path) {
  if (path.IsEmpty()) return 0;
  const WChar* wide = path.AsWide(-1);
  return wide ? DeleteFileOrSchedule(wide) : 0;
}

int CInstall::DeleteScriptAtNextStart(GString& path) {
  // The command of text 49 may hand the script to another process and end at once (control.exe
  // does): only the next start is sure to come after that process has read it.
  if (path.IsEmpty()) return 0;
  const WChar* wide = path.AsWide(-1);
  return wide && MoveFileExW(wide, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

int CInstall::RemoveFolder(GString& path) {
  if (path.IsEmpty()) return 0;
  const WChar* wide = path.AsWide(-1);
  return wide && RemoveDirectoryW(wide) ? 1 : 0;  // only an empty folder goes
}

int CInstall::MakeFolder(const WChar* path) {
  if (!path || !path[0]) return 0;
  if (CreateDirectoryW(path, nullptr)) return 1;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return 0;
  // A file of that name reports the same error; only an existing folder is success.
  const DWORD attributes = GetFileAttributesW(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int CInstall::GetSpecialFolder(int csidl, GString& out) {
  out.SetLength(0);
  WChar* buffer = out.WideTail(kPathRoom);
  if (!buffer) return 0;
  if (!SHGetSpecialFolderPathW(OwnerWindow(), buffer, csidl, FALSE)) {
    out.SetLength(0);  // whatever the call left behind the terminator stays invisible
    return 0;
  }
  out.SetLength(-1);
  return 1;
}

int CInstall::GetTempFolder(GString& out) {
  out.SetLength(0);
  WChar* buffer = out.WideTail(kTempPathRoom);
  if (!buffer) return 0;
  // Success gives the length without the terminator; a buffer too small gives the size needed.
  const DWORD length = GetTempPathW(kTempPathRoom, buffer);
  if (length == 0 || length > static_cast<DWORD>(kTempPathRoom)) {
    out.SetLength(0);
    return 0;
  }
  out.SetLength(static_cast<int>(length));
  return 1;
}

int CInstall::MakeTempFile(GString& out, uint32_t prefixText, const WChar* folder) {
  if (prefixText == 0) return 0;
  GString prefix;
  if (!GetText(prefixText, prefix)) return 0;
  GString tempFolder;
  if (!folder) {
    if (!GetTempFolder(tempFolder)) return 0;
    folder = tempFolder.WideAt(0);
  }
  WChar* buffer = out.WideTail(kPathRoom);  // the name goes behind what the string holds
  if (!buffer) return 0;
  const int before = out.Length();
  // Unique number 0: the system picks the name and creates the empty file.
  if (!GetTempFileNameW(folder, prefix.WideAt(0), 0, buffer)) {
    out.SetLength(before);
    return 0;
  }
  out.SetLength(-1);
  return 1;
}
