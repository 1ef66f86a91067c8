// The file, shell, process, library and system operations against Wine's real files, shell
// links, registry and processes, in every test prefix (32-bit and 64-bit, reporting Windows XP,
// 7 and 10). The texts they name are in package/texts/system.txt.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/install.h"
#include "app/text_ids.h"
#include "tests/engine/system_helpers.h"
#include "tests/wine/wine_test.h"

namespace {

using systemtest::FileBytes;
using systemtest::FindPending;
using systemtest::HoldExclusively;
using systemtest::WriteFileBytes;
using winetest::FileExists;
using winetest::IsWow64;
using winetest::Narrow;

constexpr uint32_t kTextTestLibrary = 9100;
constexpr uint32_t kTextTestExport = 9101;
constexpr uint32_t kTextAbsentExport = 9102;
constexpr uint32_t kTextAbsentLibrary = 9103;
constexpr uint32_t kTextFileType = 9110;
constexpr uint32_t kTextUnregisteredType = 9111;
constexpr uint32_t kTextSearchedUpper = 9112;
constexpr uint32_t kTextSearchedLower = 9113;
constexpr uint32_t kTextSearchedElsewhere = 9114;
constexpr uint32_t kTextEchoNumber = 9120;
constexpr uint32_t kTextMissingProgram = 9121;
constexpr uint32_t kTextOpenTemplate = 9122;
constexpr uint32_t kTextSlowChild = 9123;
constexpr uint32_t kTextRefusedFormat = 9124;
constexpr uint32_t kTextEmpty = 9130;
constexpr uint32_t kTextMissing = 9199;  // in no table

constexpr wchar_t kSlowChildVariable[] = L"LAYOUTSETUP_SLOW_CHILD";

std::wstring Wide(const GString& s) { return std::wstring(s.WideAt(0), static_cast<size_t>(s.Length())); }

bool SameText(const std::wstring& a, const std::wstring& b) { return systemtest::SamePath(a, b); }

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && SameText(text.substr(text.size() - tail.size()), tail);
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetSystemDirectoryW(buffer, MAX_PATH));
}

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 1024);
  return n < 1024 ? std::wstring(buffer, n) : std::wstring();
}

// Waits for the content that a launched command writes, at most timeoutMs.
bool WaitForFile(const std::wstring& path, const std::string& expected, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  std::string contents;
  do {
    if (winetest::ReadWholeFile(path, &contents) && contents == expected) return true;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

template <typename Proc>
Proc ProcAs(FARPROC proc) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(proc));
}

// A fresh folder and the installer with the test package, initialised as the program does.
class SystemTest : public winetest::FolderTest {
 protected:
  void SetUp() override {
    FolderTest::SetUp();
    ASSERT_TRUE(m_install.Init(GetModuleHandleW(nullptr)));
  }
  void TearDown() override {
    systemtest::ForgetPendingIn(m_folder);
    FolderTest::TearDown();
  }
  CInstall m_install{kEmbeddedPackage};
};

// ---- output files ---------------------------------------------------------------------------

class OutputFile : public SystemTest {};

TEST_F(OutputFile, FailuresGiveNullAndWritingThenFails) {
  const std::wstring path = m_folder + L"held.txt";
  WriteFileBytes(path, "keep");
  HANDLE holder = HoldExclusively(path);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  SetLastError(0xdeadbeef);
  HANDLE file = m_install.CreateOutputFile(path.c_str());
  EXPECT_EQ(file, nullptr);  // never INVALID_HANDLE_VALUE
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  const uint8_t bytes[] = {'a', 'b'};
  EXPECT_EQ(m_install.WriteBytes(file, bytes, 2), 0);
  GString text;
  text.AssignWideZ(L"text");
  EXPECT_EQ(m_install.WriteText(file, text), 0);
  EXPECT_EQ(m_install.WriteBlobToFile(path.c_str(), kEmbeddedPackage.licence[0]), 0);
  CloseHandle(holder);
  EXPECT_EQ(FileBytes(path), "keep");

  SetLastError(0xdeadbeef);
  EXPECT_EQ(m_install.CreateOutputFile((m_folder + L"missing\\out.bin").c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(OutputFile, WriteBytesWritesExactlyTheCount) {
  const std::wstring path = m_folder + L"bytes.bin";
  HANDLE file = m_install.CreateOutputFile(path.c_str());
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(HoldExclusively(path), INVALID_HANDLE_VALUE);  // not shared while we write
  // Canary bytes behind the count must not reach the file.
  const uint8_t buffer[] = {1, 2, 0, 4, 5, 0xCC, 0xCC, 0xCC};
  EXPECT_EQ(m_install.WriteBytes(file, buffer, 5), 1);
  EXPECT_EQ(m_install.WriteBytes(file, buffer, 0), 0);
  EXPECT_EQ(m_install.WriteBytes(file, nullptr, 5), 0);
  CloseHandle(file);
  EXPECT_EQ(FileBytes(path), std::string("\x01\x02\x00\x04\x05", 5));

  // WriteFile fails on a handle without write access, and so does the operation.
  HANDLE readOnly = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
  EXPECT_EQ(m_install.WriteBytes(readOnly, buffer, 5), 0);
  CloseHandle(readOnly);
  EXPECT_EQ(FileBytes(path).size(), 5u);
}

TEST_F(OutputFile, WriteTextIsUtf8WithoutMarkOrTerminator) {
  const std::wstring path = m_folder + L"text.txt";
  HANDLE file = m_install.CreateOutputFile(path.c_str());
  ASSERT_NE(file, nullptr);
  GString wide;
  wide.AssignWideZ(L"Za\u017c\u00f3\u0142\u0107 \u20ac\r\n");
  EXPECT_EQ(m_install.WriteText(file, wide), 1);
  GString narrow;
  narrow.AssignNarrow("plain", -1, 0);
  EXPECT_EQ(m_install.WriteText(file, narrow), 1);
  GString empty;
  EXPECT_EQ(m_install.WriteText(file, empty), 0);
  empty.AssignWide(nullptr, 0);
  EXPECT_EQ(m_install.WriteText(file, empty), 0);
  CloseHandle(file);
  EXPECT_EQ(FileBytes(path), "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xE2\x82\xAC\r\nplain");
}

TEST_F(OutputFile, WriteBlobToFileHoldsTheDecodedBlob) {
  const BlobRef& blob = kEmbeddedPackage.licence[0];
  uint32_t size = blob.size;
  uint8_t* plain = m_install.m_guard.DecodeBlob(blob.data, size, nullptr);
  ASSERT_NE(plain, nullptr);
  const std::string expected(reinterpret_cast<const char*>(plain), size);
  free(plain);
  ASSERT_FALSE(expected.empty());

  const std::wstring path = m_folder + L"licence.txt";
  WriteFileBytes(path, std::string(4096, 'z'));  // longer than the blob: must be cut
  EXPECT_EQ(m_install.WriteBlobToFile(path.c_str(), blob), 1);
  EXPECT_EQ(FileBytes(path), expected);

  // Decoding comes first: a damaged blob, or none, leaves no file behind.
  std::vector<uint8_t> damaged(blob.data, blob.data + blob.size);
  damaged[damaged.size() / 2] ^= 0x40;
  const std::wstring badPath = m_folder + L"damaged.txt";
  EXPECT_EQ(m_install.WriteBlobToFile(badPath.c_str(), BlobRef{damaged.data(), blob.size}), 0);
  EXPECT_EQ(m_install.WriteBlobToFile(badPath.c_str(), BlobRef{nullptr, 0}), 0);
  EXPECT_FALSE(FileExists(badPath));
  EXPECT_EQ(m_install.WriteBlobToFile(nullptr, blob), 0);
}

// ---- folders and deletion -------------------------------------------------------------------

class Folders : public SystemTest {};

TEST_F(Folders, MakeFolder) {
  const std::wstring folder = m_folder + L"made";
  EXPECT_EQ(m_install.MakeFolder(folder.c_str()), 1);
  EXPECT_TRUE(IsFolder(folder));
  EXPECT_EQ(m_install.MakeFolder(folder.c_str()), 1);  // already there
  EXPECT_EQ(m_install.MakeFolder((m_folder + L"no\\parent").c_str()), 0);
  // A file of that name also reports ERROR_ALREADY_EXISTS, but it is no folder.
  WriteFileBytes(m_folder + L"file", "f");
  EXPECT_EQ(m_install.MakeFolder((m_folder + L"file").c_str()), 0);
  EXPECT_EQ(m_install.MakeFolder(L""), 0);
}

TEST_F(Folders, RemoveFolderOnlyWhenEmpty) {
  const std::wstring full = m_folder + L"full";
  ASSERT_TRUE(CreateDirectoryW(full.c_str(), nullptr));
  WriteFileBytes(full + L"\\inside.txt", "i");
  GString path;
  path.AssignWideZ(full.c_str());
  EXPECT_EQ(m_install.RemoveFolder(path), 0);
  EXPECT_TRUE(FileExists(full + L"\\inside.txt"));
  ASSERT_TRUE(DeleteFileW((full + L"\\inside.txt").c_str()));
  EXPECT_EQ(m_install.RemoveFolder(path), 1);
  EXPECT_FALSE(FileExists(full));
  GString empty;
  EXPECT_EQ(m_install.RemoveFolder(empty), 0);
}

class DeleteOrSchedule : public SystemTest {};

TEST_F(DeleteOrSchedule, ExistingFileIsDeletedAtOnce) {
  const std::wstring path = m_folder + L"plain.txt";
  WriteFileBytes(path, "p");
  EXPECT_EQ(m_install.DeleteFileOrSchedule(path.c_str()), 1);
  EXPECT_FALSE(FileExists(path));
  EXPECT_FALSE(FindPending(path, nullptr));

  // The GString form takes narrow (UTF-8) text too.
  const std::wstring polish = m_folder + L"\u017c\u00f3\u0142w.txt";
  WriteFileBytes(polish, "z");
  GString narrow;
  narrow.AssignNarrow(Narrow(polish).c_str(), -1, 0);
  EXPECT_EQ(m_install.DeleteFileOrSchedule(narrow), 1);
  EXPECT_FALSE(FileExists(polish));
}

TEST_F(DeleteOrSchedule, MissingFileSucceedsWithoutSchedulingEmptyPathFails) {
  const std::wstring path = m_folder + L"never.txt";
  EXPECT_EQ(m_install.DeleteFileOrSchedule(path.c_str()), 1);
  EXPECT_FALSE(FindPending(path, nullptr));

  GString empty;
  EXPECT_EQ(m_install.DeleteFileOrSchedule(empty), 0);
  EXPECT_EQ(m_install.DeleteFileOrSchedule(L""), 0);
  EXPECT_EQ(m_install.DeleteFileOrSchedule(static_cast<const WChar*>(nullptr)), 0);
}

TEST_F(DeleteOrSchedule, FileInUseIsScheduledForTheNextStart) {
  const std::wstring path = m_folder + L"in use.dll";
  WriteFileBytes(path, "held");
  HANDLE holder = HoldExclusively(path);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  EXPECT_EQ(m_install.DeleteFileOrSchedule(path.c_str()), 1);
  CloseHandle(holder);
  EXPECT_TRUE(FileExists(path));
  std::wstring target = L"unset";
  ASSERT_TRUE(FindPending(path, &target)) << Narrow(path);
  EXPECT_EQ(target, L"");  // an empty target: delete
}

// ---- special folders, temporary folder and files ----------------------------------------------

class SpecialFolders : public SystemTest {
 protected:
  // The folder as the operation gives it, over earlier content: success, a length that matches
  // the terminator, and an existing folder.
  std::wstring Get(int csidl) {
    GString out;
    out.AssignWideZ(L"previous content");
    EXPECT_EQ(m_install.GetSpecialFolder(csidl, out), 1) << csidl;
    EXPECT_EQ(wcslen(out.WideAt(0)), static_cast<size_t>(out.Length())) << csidl;
    EXPECT_TRUE(IsFolder(Wide(out))) << Narrow(Wide(out));
    return Wide(out);
  }
};

TEST_F(SpecialFolders, TheInstallersFolders) {
  EXPECT_TRUE(EndsWith(Get(CSIDL_COMMON_PROGRAMS), L"\\Start Menu\\Programs"));
  EXPECT_TRUE(EndsWith(Get(CSIDL_COMMON_DESKTOPDIRECTORY), L"\\Desktop"));
  // A 32-bit program is given the 32-bit program files folder, as its environment says.
  EXPECT_TRUE(SameText(Get(CSIDL_PROGRAM_FILES), Environment(L"ProgramFiles")));
  // The system folder is named system32 for a 32-bit program on a 64-bit system too; WOW64
  // redirects what is opened there to syswow64 while redirection is on.
  EXPECT_TRUE(SameText(Get(CSIDL_SYSTEM), SystemFolder()));
  EXPECT_TRUE(EndsWith(SystemFolder(), L"\\system32"));

  GString out;
  out.AssignWideZ(L"previous content");
  EXPECT_EQ(m_install.GetSpecialFolder(0x7F, out), 0);  // no such folder
  EXPECT_EQ(out.Length(), 0);
  EXPECT_EQ(out.WideAt(0)[0], 0);
}

class TempFiles : public SystemTest {
 protected:
  void TearDown() override {
    SetEnvironmentVariableW(L"TMP", m_savedTmp.empty() ? nullptr : m_savedTmp.c_str());
    SystemTest::TearDown();
  }
  std::wstring m_savedTmp = Environment(L"TMP");
};

TEST_F(TempFiles, TempFolderFollowsTmp) {
  GString out;
  ASSERT_EQ(m_install.GetTempFolder(out), 1);
  EXPECT_EQ(wcslen(out.WideAt(0)), static_cast<size_t>(out.Length()));
  EXPECT_TRUE(EndsWith(Wide(out), L"\\"));
  EXPECT_TRUE(IsFolder(Wide(out)));

  // The test's folder as TMP: the temporary folder and a temporary file without a folder follow.
  ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", m_folder.substr(0, m_folder.size() - 1).c_str()));
  out.AssignWideZ(L"previous content");
  ASSERT_EQ(m_install.GetTempFolder(out), 1);
  EXPECT_TRUE(SameText(Wide(out), m_folder)) << Narrow(Wide(out));
  GString name;
  ASSERT_EQ(m_install.MakeTempFile(name, kTextTempPrefix, nullptr), 1);
  EXPECT_TRUE(SameText(Wide(name).substr(0, m_folder.size()), m_folder)) << Narrow(Wide(name));
}

TEST_F(TempFiles, MakeTempFileCreatesAnEmptyFileWithThePrefix) {
  GString first;
  ASSERT_EQ(m_install.MakeTempFile(first, kTextTempPrefix, m_folder.c_str()), 1);
  const std::wstring path = Wide(first);
  EXPECT_EQ(wcslen(first.WideAt(0)), path.size());
  EXPECT_TRUE(SameText(path.substr(0, m_folder.size() + 3), m_folder + L"kls")) << Narrow(path);
  EXPECT_TRUE(EndsWith(path, L".tmp")) << Narrow(path);
  EXPECT_EQ(FileBytes(path), "");

  // The name goes behind what the string holds, and a second file gets a name of its own.
  GString second;
  second.AssignNarrow("script=", -1, 0);
  ASSERT_EQ(m_install.MakeTempFile(second, kTextTempPrefix, m_folder.c_str()), 1);
  ASSERT_EQ(Wide(second).substr(0, 7), L"script=");
  EXPECT_NE(Wide(second).substr(7), path);
  EXPECT_EQ(FileBytes(Wide(second).substr(7)), "");
}

TEST_F(TempFiles, FailuresLeaveTheStringAlone) {
  GString out;
  out.AssignWideZ(L"keep");
  EXPECT_EQ(m_install.MakeTempFile(out, 0, m_folder.c_str()), 0);
  EXPECT_EQ(m_install.MakeTempFile(out, kTextMissing, m_folder.c_str()), 0);
  EXPECT_EQ(m_install.MakeTempFile(out, kTextTempPrefix, (m_folder + L"missing").c_str()), 0);
  EXPECT_EQ(Wide(out), L"keep");
  EXPECT_EQ(wcslen(out.WideAt(0)), 4u);
}

// ---- shell links and rights -----------------------------------------------------------------

class ShellLink : public SystemTest {
 protected:
  void SetUp() override {
    SystemTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, 0)));
    m_com = true;
  }
  void TearDown() override {
    if (m_com) CoUninitialize();
    SystemTest::TearDown();
  }

  struct Resolved {
    std::wstring target, description, icon;
    int iconIndex = -1;
  };

  // Reads a link back through the shell, as Explorer would.
  static bool Resolve(const std::wstring& link, Resolved* out) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
      return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    ok = ok && SUCCEEDED(file->Load(link.c_str(), STGM_READ));
    wchar_t buffer[MAX_PATH + 1];
    if (ok && SUCCEEDED(shellLink->GetPath(buffer, MAX_PATH, nullptr, 0))) out->target = buffer;
    if (ok && SUCCEEDED(shellLink->GetDescription(buffer, MAX_PATH))) out->description = buffer;
    if (ok && SUCCEEDED(shellLink->GetIconLocation(buffer, MAX_PATH, &out->iconIndex))) out->icon = buffer;
    if (file) file->Release();
    shellLink->Release();
    return ok;
  }
  bool m_com = false;
};

TEST_F(ShellLink, SavedLinkResolvesToWhatWasGiven) {
  const std::wstring target = m_folder + L"target document.txt";
  WriteFileBytes(target, "t");
  const std::wstring link = m_folder + L"Target.lnk";
  const std::wstring icon = SystemFolder() + L"\\shell32.dll";
  EXPECT_EQ(m_install.CreateShortcut(target.c_str(), link.c_str(), L"Layout \u0141 test", icon.c_str(), 3), 1);
  Resolved resolved;
  ASSERT_TRUE(Resolve(link, &resolved));
  EXPECT_TRUE(SameText(resolved.target, target)) << Narrow(resolved.target);
  EXPECT_EQ(resolved.description, L"Layout \u0141 test");
  EXPECT_TRUE(SameText(resolved.icon, icon)) << Narrow(resolved.icon);
  EXPECT_EQ(resolved.iconIndex, 3);

  // Without an icon path the index is not recorded either.
  const std::wstring plain = m_folder + L"Plain.lnk";
  EXPECT_EQ(m_install.CreateShortcut(target.c_str(), plain.c_str(), L"no icon", nullptr, 7), 1);
  Resolved noIcon;
  ASSERT_TRUE(Resolve(plain, &noIcon));
  EXPECT_TRUE(SameText(noIcon.target, target));
  EXPECT_EQ(noIcon.icon, L"");
  EXPECT_EQ(noIcon.iconIndex, 0);
}

TEST_F(ShellLink, UnwritableLinkFails) {
  const std::wstring target = m_folder + L"plain.txt";
  WriteFileBytes(target, "t");
  const std::wstring link = m_folder + L"missing folder\\Plain.lnk";
  EXPECT_EQ(m_install.CreateShortcut(target.c_str(), link.c_str(), L"d", nullptr, 0), 0);
  EXPECT_FALSE(FileExists(link));
  EXPECT_EQ(m_install.CreateShortcut(nullptr, (m_folder + L"x.lnk").c_str(), L"d", nullptr, 0), 0);
  EXPECT_EQ(m_install.CreateShortcut(target.c_str(), nullptr, L"d", nullptr, 0), 0);
}

TEST(Rights, WinesDefaultUserIsAnAdministrator) {
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  EXPECT_EQ(install.IsAdministrator(), 1);
}

// ---- file associations ----------------------------------------------------------------------

// ".lstest" registered for the user, opened by cmd.exe. Windows merges HKCU\Software\Classes
// into HKEY_CLASSES_ROOT, which the association queries read; Wine 8 does not, so there the type
// is registered for the machine too.
class Association : public SystemTest {
 protected:
  static constexpr wchar_t kTypeKey[] = L"Software\\Classes\\.lstest";
  static constexpr wchar_t kProgIdKey[] = L"Software\\Classes\\LayoutSetupTest.lstest";

  void SetUp() override {
    SystemTest::SetUp();
    Unregister();
    m_program = SystemFolder() + L"\\cmd.exe";
    ASSERT_TRUE(Register(HKEY_CURRENT_USER));
    HKEY merged;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".lstest", 0, KEY_READ, &merged) == ERROR_SUCCESS)
      RegCloseKey(merged);
    else
      ASSERT_TRUE(Register(HKEY_LOCAL_MACHINE));
  }
  void TearDown() override {
    Unregister();
    SystemTest::TearDown();
  }
  bool Register(HKEY root) {
    return SetDefault(root, kTypeKey, L"LayoutSetupTest.lstest") &&
           SetDefault(root, std::wstring(kProgIdKey) + L"\\shell\\open\\command",
                      L"\"" + m_program + L"\" /c type \"%1\"");
  }
  static void Unregister() {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      winetest::DeleteTree(root, kTypeKey);
      winetest::DeleteTree(root, kProgIdKey);
    }
  }
  static bool SetDefault(HKEY root, const std::wstring& path, const std::wstring& value) {
    HKEY key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr)) return false;
    const LONG result = RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
  }
  std::wstring m_program;
};

constexpr wchar_t Association::kTypeKey[];
constexpr wchar_t Association::kProgIdKey[];

TEST_F(Association, ExecutableOfARegisteredType) {
  GString out;
  out.AssignWideZ(L"previous content");
  ASSERT_EQ(m_install.GetAssociatedExecutable(kTextFileType, out), 1);
  // Wine leaves the count at the buffer's size on success: the length must come from the
  // terminator, with nothing of the rest of the buffer.
  EXPECT_EQ(wcslen(out.WideAt(0)), static_cast<size_t>(out.Length()));
  EXPECT_TRUE(SameText(Wide(out), m_program)) << Narrow(Wide(out));

  EXPECT_EQ(m_install.GetAssociatedExecutable(kTextUnregisteredType, out), 0);
  EXPECT_EQ(out.Length(), 0);
  out.AssignWideZ(L"previous content");
  EXPECT_EQ(m_install.GetAssociatedExecutable(kTextMissing, out), 0);
  EXPECT_EQ(out.Length(), 0);
}

TEST_F(Association, ContainsComparesInUpperCase) {
  EXPECT_NE(m_install.AssociatedExecutableContains(kTextFileType, kTextSearchedUpper), 0);
  // The path is brought to upper case, the searched text is not.
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextFileType, kTextSearchedLower), 0);
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextFileType, kTextSearchedElsewhere), 0);
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextFileType, kTextEmpty), 0);
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextFileType, kTextMissing), 0);
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextUnregisteredType, kTextSearchedUpper), 0);
  EXPECT_EQ(m_install.AssociatedExecutableContains(kTextMissing, kTextSearchedUpper), 0);
}

TEST_F(Association, OpenWithAssociatedRunsTheTemplate) {
  const std::wstring file = m_folder + L"opened by type.txt";
  EXPECT_EQ(m_install.OpenWithAssociated(kTextFileType, kTextOpenTemplate, file.c_str()), 1);
  EXPECT_TRUE(WaitForFile(file, "opened\r\n", 10000)) << Narrow(file);

  // No association, or no template: nothing runs.
  const std::wstring none = m_folder + L"not opened.txt";
  EXPECT_EQ(m_install.OpenWithAssociated(kTextUnregisteredType, kTextOpenTemplate, none.c_str()), 0);
  EXPECT_EQ(m_install.OpenWithAssociated(kTextFileType, kTextMissing, none.c_str()), 0);
  EXPECT_EQ(m_install.OpenWithAssociated(kTextFileType, 0, none.c_str()), 0);
  Sleep(500);
  EXPECT_FALSE(FileExists(none));
}

// ---- program launch -------------------------------------------------------------------------

class Launch : public SystemTest {};

TEST_F(Launch, CommandRunsWithTheFormattedArguments) {
  const std::wstring file = m_folder + L"echo out.txt";
  EXPECT_EQ(m_install.LaunchAndWait(kTextEchoNumber, 42, file.c_str()), 1);
  EXPECT_TRUE(WaitForFile(file, "42\r\n", 10000)) << Narrow(file);

  // A program that cannot start still counts as launched.
  EXPECT_EQ(m_install.LaunchAndWait(kTextMissingProgram, L"argument"), 1);
  EXPECT_EQ(m_install.LaunchAndWait(kTextEmpty), 1);
}

TEST_F(Launch, NoTemplateOrARefusedFormatRunsNothing) {
  const std::wstring file = m_folder + L"refused.txt";
  EXPECT_EQ(m_install.LaunchAndWait(0, file.c_str(), 5), 0);
  EXPECT_EQ(m_install.LaunchAndWait(kTextMissing, file.c_str(), 5), 0);
  // The command is complete before the refused conversion; it must not run cut short.
  EXPECT_EQ(m_install.LaunchAndWait(kTextRefusedFormat, file.c_str(), 5), 0);
  Sleep(1000);
  EXPECT_FALSE(FileExists(file));
}

TEST_F(Launch, WaitsAtMostASecond) {
  wchar_t self[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
  const std::wstring marker = m_folder + L"slow child done.txt";
  ASSERT_TRUE(SetEnvironmentVariableW(kSlowChildVariable, marker.c_str()));
  const DWORD start = GetTickCount();
  EXPECT_EQ(m_install.LaunchAndWait(kTextSlowChild, self), 1);
  const DWORD elapsed = GetTickCount() - start;
  SetEnvironmentVariableW(kSlowChildVariable, nullptr);
  EXPECT_LT(elapsed, 3000u);
  EXPECT_FALSE(FileExists(marker));  // still running when the launch returned
  EXPECT_TRUE(WaitForFile(marker, "done", 30000));  // it ends on its own, before the folder goes
}

// The child of Launch.WaitsAtMostASecond: runs four seconds, then leaves its marker.
TEST(SlowChild, RunsLongerThanTheLaunchWaits) {
  const std::wstring marker = Environment(kSlowChildVariable);
  WINETEST_SKIP_UNLESS(!marker.empty(), "only as the child of Launch.WaitsAtMostASecond");
  Sleep(4000);
  WriteFileBytes(marker, "done");
}

// ---- libraries and exports ------------------------------------------------------------------

class Libraries : public SystemTest {};

TEST_F(Libraries, GetTextProcLoadsTheLibraryOnce) {
  WINETEST_SKIP_UNLESS(!GetModuleHandleW(L"msimg32.dll"), "msimg32.dll is already loaded: its count cannot be seen");
  HMODULE module = nullptr;
  const FARPROC first = m_install.GetTextProc(kTextTestExport, kTextTestLibrary, module);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(module, GetModuleHandleW(L"msimg32.dll"));
  EXPECT_EQ(first, GetProcAddress(module, "GradientFill"));

  const HMODULE given = module;
  EXPECT_EQ(m_install.GetTextProc(kTextTestExport, kTextTestLibrary, module), first);
  EXPECT_EQ(m_install.GetTextProc(kTextAbsentExport, kTextTestLibrary, module), nullptr);
  EXPECT_EQ(module, given);
  // One load, so one FreeLibrary unloads it.
  FreeLibrary(module);
  EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);
}

TEST_F(Libraries, MissingTextsOrLibrariesLoadNothing) {
  WINETEST_SKIP_UNLESS(!GetModuleHandleW(L"msimg32.dll"), "msimg32.dll is already loaded");
  HMODULE module = nullptr;
  EXPECT_EQ(m_install.GetTextProc(kTextMissing, kTextTestLibrary, module), nullptr);
  EXPECT_EQ(GetModuleHandleW(L"msimg32.dll"), nullptr);  // failed before the library was loaded
  EXPECT_EQ(m_install.GetTextProc(kTextTestExport, kTextMissing, module), nullptr);
  EXPECT_EQ(m_install.GetTextProc(kTextTestExport, kTextAbsentLibrary, module), nullptr);
  EXPECT_EQ(module, nullptr);
  // An absent export leaves the loaded library to the caller.
  EXPECT_EQ(m_install.GetTextProc(kTextAbsentExport, kTextTestLibrary, module), nullptr);
  ASSERT_NE(module, nullptr);
  FreeLibrary(module);

  HMODULE kernel = m_install.LoadTextLibrary(kTextSystemLibrary);
  EXPECT_EQ(kernel, GetModuleHandleW(L"kernel32.dll"));
  if (kernel) FreeLibrary(kernel);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(m_install.LoadTextLibrary(kTextAbsentLibrary), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(m_install.LoadTextLibrary(kTextEmpty), nullptr);
}

// ---- file-system redirection ----------------------------------------------------------------

typedef BOOL(WINAPI* DisableProc)(void** saved);
typedef BOOL(WINAPI* RevertProc)(void* saved);

class Redirection : public SystemTest {};

TEST_F(Redirection, BracketShowsTheNativeSystemFolder) {
  WINETEST_SKIP_UNLESS(IsWow64(), "only a 32-bit program on 64-bit Windows is redirected");
  // A file put into the native system folder through "sysnative", which WOW64 does not redirect.
  wchar_t windows[MAX_PATH];
  ASSERT_NE(GetWindowsDirectoryW(windows, MAX_PATH), 0u);
  const std::wstring name = L"\\LayoutSetupTest redirection.tmp";
  const std::wstring native = std::wstring(windows) + L"\\sysnative" + name;
  const std::wstring seen = SystemFolder() + name;
  WriteFileBytes(native, "native");
  EXPECT_FALSE(FileExists(seen));  // redirected to syswow64

  FARPROC disable = reinterpret_cast<FARPROC>(1);
  FARPROC revert = reinterpret_cast<FARPROC>(1);
  HMODULE module = m_install.LoadRedirectionControl(disable, revert);
  ASSERT_NE(module, nullptr);
  ASSERT_NE(disable, nullptr);
  ASSERT_NE(revert, nullptr);
  void* saved = nullptr;
  EXPECT_TRUE(ProcAs<DisableProc>(disable)(&saved));
  EXPECT_TRUE(FileExists(seen));
  EXPECT_TRUE(ProcAs<RevertProc>(revert)(saved));
  EXPECT_FALSE(FileExists(seen));
  FreeLibrary(module);
  DeleteFileW(native.c_str());
}

TEST_F(Redirection, BracketIsHarmlessOnA32BitSystem) {
  WINETEST_SKIP_UNLESS(!IsWow64(), "a 64-bit system redirects");
  FARPROC disable = reinterpret_cast<FARPROC>(1);
  FARPROC revert = reinterpret_cast<FARPROC>(1);
  HMODULE module = m_install.LoadRedirectionControl(disable, revert);
  if (!module) {
    EXPECT_EQ(disable, nullptr);
    EXPECT_EQ(revert, nullptr);
    return;
  }
  // Wine's 32-bit kernel32 exports the pair too; the calls may fail, the files stay in view.
  const std::wstring kernel = SystemFolder() + L"\\kernel32.dll";
  void* saved = nullptr;
  ProcAs<DisableProc>(disable)(&saved);
  EXPECT_TRUE(FileExists(kernel));
  ProcAs<RevertProc>(revert)(saved);
  EXPECT_TRUE(FileExists(kernel));
  FreeLibrary(module);
}

// ---- system facts ---------------------------------------------------------------------------

std::string PrefixName() {
  const char* name = getenv("SETUP_TEST_PREFIX");
  return name ? name : "";
}

TEST(QuerySystem, VersionAndNativeProcessor) {
  const std::string prefix = PrefixName();
  // Windows 10 reports 6.2 to a program without a compatibility manifest.
  const int expected = prefix.find("winxp64") != std::string::npos ? 52
                       : prefix.find("winxp") != std::string::npos  ? 51
                       : prefix.find("win7") != std::string::npos ? 61
                       : prefix.find("win10") != std::string::npos ? 62
                                                                   : 0;
  WINETEST_SKIP_UNLESS(expected != 0, "not started in a named test prefix");
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  ASSERT_EQ(install.QuerySystem(kTextNativeSystemInfoProc, kTextSystemLibrary), 1);
  EXPECT_EQ(install.m_osVersion, expected);
  const bool w64 = prefix.compare(0, 3, "w64") == 0;
  EXPECT_EQ(install.m_cpuArch, w64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(install.m_os64, w64 ? 1 : 0);

  // Suite and product type come only with the larger structure; ntdll tells them independently
  // (Wine 8 reports "win7" as a server, type 3, the other versions as workstations).
  const auto rtlGetVersion = ProcAs<LONG(WINAPI*)(OSVERSIONINFOEXW*)>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion"));
  ASSERT_NE(rtlGetVersion, nullptr);
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_EQ(rtlGetVersion(&version), 0);
  EXPECT_NE(install.m_productType, 0);
  EXPECT_EQ(install.m_productType, version.wProductType);
  EXPECT_EQ(install.m_suiteMask, version.wSuiteMask);
}

TEST(QuerySystem, WithoutTheNativeExportGetSystemInfoAnswers) {
  CInstall install(kEmbeddedPackage);
  ASSERT_TRUE(install.Init(GetModuleHandleW(nullptr)));
  // GetSystemInfo tells a 32-bit process x86, on a 64-bit system too (and a 64-bit one x64).
  const bool x64 = sizeof(void*) == 8;
  const uint32_t exports[] = {kTextMissing, kTextAbsentExport, kTextNativeSystemInfoProc};
  const uint32_t libraries[] = {kTextSystemLibrary, kTextSystemLibrary, kTextMissing};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    install.m_os64 = 7;
    ASSERT_EQ(install.QuerySystem(exports[i], libraries[i]), 1);
    EXPECT_EQ(install.m_cpuArch, x64 ? PROCESSOR_ARCHITECTURE_AMD64 : PROCESSOR_ARCHITECTURE_INTEL);
    EXPECT_EQ(install.m_os64, x64 ? 1 : 0);
    EXPECT_GE(install.m_osVersion, 51);
  }
}

}  // namespace
