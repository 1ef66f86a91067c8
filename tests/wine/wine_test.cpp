#include "tests/wine/wine_test.h"

#include <vector>

namespace winetest {

namespace {

std::wstring TestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/') c = '_';
  return std::wstring(name.begin(), name.end());
}

}  // namespace

bool IsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Is64BitSystem() { return sizeof(void*) == 8 || IsWow64(); }

bool Runs32BitPrograms() { return sizeof(void*) == 4; }

int ReportedVersion() {
  OSVERSIONINFOW info = {};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) return 0;
  return static_cast<int>(info.dwMajorVersion * 10 + info.dwMinorVersion);
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | KEY_WRITE | view, &key) == ERROR_SUCCESS) {
    wchar_t name[256];
    for (;;) {
      DWORD length = 256;
      if (RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DeleteTree(root, path + L"\\" + name, view);
    }
    RegCloseKey(key);
  }
  RegDeleteKeyW(root, path.c_str());  // the 32-bit view; below for the 64-bit one
  if (view) {
    typedef LONG(WINAPI * DeleteKeyEx)(HKEY, const wchar_t*, REGSAM, DWORD);
    HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
    DeleteKeyEx deleteKeyEx = advapi ? reinterpret_cast<DeleteKeyEx>(
                                           reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExW")))
                                     : nullptr;
    if (deleteKeyEx) deleteKeyEx(root, path.c_str(), view, 0);
  }
}

void DeleteFolderTree(const std::wstring& folder) {
  std::wstring base = folder;
  if (!base.empty() && base.back() != L'\\') base += L'\\';
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((base + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteFolderTree(base + name);
      else
        DeleteFileW((base + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(base.c_str());
}

void RegistryTest::SetUp() {
  m_path = L"Software\\LayoutSetupTest\\" + TestName();
  DeleteTree(HKEY_CURRENT_USER, m_path);
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &m_key,
                            nullptr),
            ERROR_SUCCESS);
}

void RegistryTest::TearDown() {
  if (m_key) RegCloseKey(m_key);
  DeleteTree(HKEY_CURRENT_USER, m_path);
}

void FolderTest::SetUp() {
  wchar_t temp[MAX_PATH + 1];
  ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
  const std::wstring parent = std::wstring(temp) + L"LayoutSetupTest\\";
  CreateDirectoryW(parent.c_str(), nullptr);
  m_folder = parent + TestName() + L"\\";
  DeleteFolderTree(m_folder);
  ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
}

void FolderTest::TearDown() { DeleteFolderTree(m_folder); }

DWORD RunCommand(const std::wstring& commandLine, std::string* output, DWORD timeoutMs) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return 0xFFFFFFFF;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process = {};
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  const BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  CloseHandle(writeEnd);
  DWORD exitCode = 0xFFFFFFFF;
  if (started) {
    char buffer[4096];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      if (output) output->append(buffer, got);
    }
    WaitForSingleObject(process.hProcess, timeoutMs);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
  CloseHandle(readEnd);
  return exitCode;
}

std::string RegQuery(const std::wstring& key, const std::wstring& value, bool native64) {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  // A 32-bit program reaches the native system folder through "sysnative". A 64-bit program's
  // own view is the native one already.
  const std::wstring folder = native64 && IsWow64() ? L"\\sysnative\\" : L"\\system32\\";
  std::wstring command = L"\"" + std::wstring(windows) + folder + L"reg.exe\" query \"" + key + L"\"";
  if (!value.empty()) command += L" /v \"" + value + L"\"";
  std::string output;
  RunCommand(command, &output);
  return output;
}

bool ReadWholeFile(const std::wstring& path, std::string* contents) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  contents->clear();
  char buffer[4096];
  DWORD got;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) contents->append(buffer, got);
  CloseHandle(file);
  return true;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const std::wstring& text) {
  std::string out;
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  out.resize(static_cast<size_t>(size));
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace winetest
