// The registry operations against Wine's real registry: every result is read back with the raw
// Win32 calls or with reg.exe, never with the operations under test.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/install.h"
#include "tests/wine/wine_test.h"

namespace {

constexpr uint32_t kName = 9000;      // "Greeting"
constexpr uint32_t kEmpty = 9001;     // an empty text
constexpr uint32_t kContent = 9002;   // non-ASCII content
constexpr uint32_t kChild = 9003;     // "Child"
constexpr uint32_t kView64 = 9004;    // Software\LayoutSetupTest\View64
constexpr uint32_t kMissing = 9099;   // no such text
const wchar_t kContentWide[] = L"Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144";
const wchar_t kTestRoot[] = L"Software\\LayoutSetupTest";
const wchar_t kView64Path[] = L"Software\\LayoutSetupTest\\View64";
const wchar_t kMarkPath[] = L"Software\\LayoutSetupTest\\Mark";  // text 4

struct RawValue {
  LONG status = ERROR_FILE_NOT_FOUND;
  DWORD type = REG_NONE;
  std::vector<BYTE> bytes;
};

RawValue ReadRaw(HKEY key, const wchar_t* name) {
  RawValue value;
  DWORD size = 0;
  value.status = RegQueryValueExW(key, name, nullptr, &value.type, nullptr, &size);
  if (value.status != ERROR_SUCCESS) return value;
  value.bytes.assign(size + 4, 0xCC);  // canary bytes behind the value
  DWORD got = size;
  value.status = RegQueryValueExW(key, name, nullptr, &value.type, value.bytes.data(), &got);
  EXPECT_EQ(got, size);
  for (DWORD i = size; i < size + 4; ++i) EXPECT_EQ(value.bytes[i], 0xCC) << "canary " << i;
  value.bytes.resize(got);
  return value;
}

void WriteRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
}

std::vector<BYTE> Bytes(const wchar_t* text, size_t units) {
  const BYTE* p = reinterpret_cast<const BYTE*>(text);
  return std::vector<BYTE>(p, p + units * 2);
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view = 0) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

DWORD ValueCount(HKEY key) {
  DWORD values = 0xdeadbeef;
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_SUCCESS);
  return values;
}

// A GString in the given form: wide, or (when wide is null) narrow UTF-8.
void Fill(GString& text, const wchar_t* wide, const char* narrow) {
  if (wide)
    text.AssignWideZ(wide);
  else
    text.AssignNarrow(narrow, -1, 0);
}

std::wstring Wide(const GString& text) { return std::wstring(text.WideAt(0), static_cast<size_t>(text.Length())); }

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

class Registry : public winetest::RegistryTest {
 protected:
  void SetUp() override {
    winetest::RegistryTest::SetUp();
    ASSERT_TRUE(m_install.Init(GetModuleHandleW(nullptr)));
    m_install.m_os64 = winetest::Is64BitSystem() ? 1 : 0;
  }
  CInstall m_install{kEmbeddedPackage};
};

TEST_F(Registry, StringValueWrite) {
  struct Case {
    const char* what;
    const wchar_t* wide;
    const char* narrow;
    std::wstring stored;
  };
  const Case cases[] = {
      {"empty: the terminator alone", L"", nullptr, std::wstring(L"\0", 1)},
      {"ascii", L"abc", nullptr, std::wstring(L"abc\0", 4)},
      {"narrow UTF-8", nullptr, "za\xc5\xbc", std::wstring(L"za\u017c\0", 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GString content;
    Fill(content, c.wide, c.narrow);
    ASSERT_EQ(m_install.SetStringValue(m_key, L"Value", content), 1);
    const RawValue raw = ReadRaw(m_key, L"Value");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, Bytes(c.stored.data(), c.stored.size()));
  }
  ASSERT_EQ(RegDeleteValueW(m_key, L"Value"), ERROR_SUCCESS);
  GString content;
  content.AssignWideZ(L"abc");
  EXPECT_EQ(m_install.SetStringValue(nullptr, L"Value", content), 0);
  EXPECT_EQ(m_install.SetStringValue(m_key, static_cast<const WChar*>(nullptr), content), 0);
  EXPECT_EQ(m_install.SetStringValue(m_key, L"", content), 0);  // would be the default value
  EXPECT_EQ(m_install.SetStringValue(m_key, kEmpty, content), 0);
  EXPECT_EQ(ValueCount(m_key), 0u);
}

TEST_F(Registry, StringValueRead) {
  const std::wstring long_text(5000, L'q');
  struct Case {
    const char* what;
    DWORD type;
    std::vector<BYTE> data;
    DWORD count;  // bytes stored; RegSetValueExW counts a left-out terminator when one follows
    int ok;
    std::wstring text;
  };
  const Case cases[] = {
      {"terminated", REG_SZ, Bytes(L"abc", 4), 8, 1, L"abc"},
      {"no terminator: one short", REG_SZ, Bytes(L"abcd", 4), 6, 1, L"ab"},
      {"odd byte count", REG_SZ, Bytes(L"abcd", 4), 7, 1, L"abc"},
      {"only the terminator", REG_SZ, {0, 0}, 2, 1, L""},
      {"zero bytes", REG_SZ, {}, 0, 1, L""},
      {"non-ASCII", REG_SZ, Bytes(kContentWide, wcslen(kContentWide) + 1), static_cast<DWORD>((wcslen(kContentWide) + 1) * 2), 1,
       kContentWide},
      {"long", REG_SZ, Bytes(long_text.c_str(), long_text.size() + 1), static_cast<DWORD>((long_text.size() + 1) * 2), 1, long_text},
      {"REG_EXPAND_SZ", REG_EXPAND_SZ, Bytes(L"abc", 4), 8, 0, L""},
      {"REG_BINARY", REG_BINARY, Bytes(L"abc", 4), 8, 0, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteRaw(m_key, L"Value", c.type, c.data.data(), c.count);
    ASSERT_EQ(ReadRaw(m_key, L"Value").bytes.size(), c.count);
    GString out;
    out.AssignNarrow("stale", -1, 0);
    EXPECT_EQ(m_install.GetStringValue(m_key, L"Value", out), c.ok);
    EXPECT_TRUE(out.IsWide());
    EXPECT_EQ(Wide(out), c.text);
    EXPECT_EQ(out.WideAt(0)[out.Length()], 0) << "terminated";
  }
  GString out;
  out.AssignWideZ(L"stale");
  EXPECT_EQ(m_install.GetStringValue(m_key, L"Missing", out), 0);
  EXPECT_EQ(out.Length(), 0);
  out.AssignWideZ(L"kept");
  EXPECT_EQ(m_install.GetStringValue(m_key, L"", out), 0);
  EXPECT_EQ(Wide(out), L"kept");
}

TEST_F(Registry, StringValueEquals) {
  WriteRaw(m_key, L"Value", REG_SZ, L"Abc", 8);
  WriteRaw(m_key, L"Polish", REG_SZ, kContentWide, static_cast<DWORD>(wcslen(kContentWide) + 1) * 2);
  WriteRaw(m_key, L"Expand", REG_EXPAND_SZ, L"Abc", 8);
  WriteRaw(m_key, L"Empty", REG_SZ, L"", 2);
  struct Case {
    const wchar_t* name;
    const wchar_t* wide;  // or, when null, narrow UTF-8:
    const char* narrow;
    int equal;
  };
  const Case cases[] = {
      {L"Value", L"Abc", nullptr, 1},
      {L"Value", L"abc", nullptr, 0},
      {L"Value", L"Ab", nullptr, 0},
      {L"Value", L"Abcd", nullptr, 0},
      {L"Value", nullptr, "Abc", 1},
      {L"Value", nullptr, "ABC", 0},
      {L"Polish", kContentWide, nullptr, 1},
      {L"Polish", nullptr, "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85 ja\xc5\xba\xc5\x84", 1},
      {L"Empty", L"", nullptr, 1},
      {L"Expand", L"Abc", nullptr, 0},
      {L"Missing", L"", nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(winetest::Narrow(c.name) + " / " + (c.wide ? winetest::Narrow(c.wide) : c.narrow));
    GString expected;
    Fill(expected, c.wide, c.narrow);
    EXPECT_EQ(m_install.StringValueEquals(m_key, c.name, expected), c.equal);
    EXPECT_EQ(expected.IsWide(), c.wide != nullptr) << "the given string keeps its form";
  }
}

TEST_F(Registry, DwordValue) {
  ASSERT_EQ(m_install.SetDwordValue(m_key, L"Dword", 0x12345678u), 1);
  const RawValue raw = ReadRaw(m_key, L"Dword");
  EXPECT_EQ(raw.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw.bytes, (std::vector<BYTE>{0x78, 0x56, 0x34, 0x12}));

  const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  struct Case {
    const char* what;
    DWORD type;
    DWORD size;
    int ok;
  };
  const Case cases[] = {
      {"REG_DWORD", REG_DWORD, 4, 1},
      {"8-byte REG_BINARY", REG_BINARY, 8, 0},
      {"4-byte REG_BINARY", REG_BINARY, 4, 0},
      {"2-byte REG_DWORD", REG_DWORD, 2, 0},
      {"8-byte REG_DWORD", REG_DWORD, 8, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteRaw(m_key, L"Value", c.type, eight, c.size);
    uint32_t value = 0xdeadbeef;
    EXPECT_EQ(m_install.GetDwordValue(m_key, L"Value", value), c.ok);
    EXPECT_EQ(value, c.ok ? 0x04030201u : 0xdeadbeefu);
  }
  uint32_t value = 0xdeadbeef;
  EXPECT_EQ(m_install.GetDwordValue(m_key, L"Missing", value), 0);
  EXPECT_EQ(value, 0xdeadbeefu);
}

TEST_F(Registry, BinaryValue) {
  for (uint32_t size : {1u, 4096u}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> data(size);
    for (uint32_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_EQ(m_install.SetBinaryValue(m_key, L"Binary", data.data(), size), 1);
    const RawValue raw = ReadRaw(m_key, L"Binary");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(raw.bytes, data);
    uint32_t got = 0xdeadbeef;
    uint8_t* buffer = m_install.GetBinaryValue(m_key, L"Binary", got);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(got, size);
    EXPECT_EQ(memcmp(buffer, data.data(), size), 0);
    free(buffer);
  }

  struct Case {
    const char* what;
    DWORD type;
    DWORD size;
  };
  const BYTE four[4] = {1, 2, 3, 4};
  const Case failing[] = {{"empty REG_BINARY", REG_BINARY, 0}, {"REG_DWORD", REG_DWORD, 4}, {"REG_SZ", REG_SZ, 4}};
  for (const Case& c : failing) {
    SCOPED_TRACE(c.what);
    WriteRaw(m_key, L"Value", c.type, four, c.size);
    uint32_t got = 0xdeadbeef;
    EXPECT_EQ(m_install.GetBinaryValue(m_key, L"Value", got), nullptr);
    EXPECT_EQ(got, 0u);
  }
  uint32_t got = 0xdeadbeef;
  EXPECT_EQ(m_install.GetBinaryValue(m_key, L"Missing", got), nullptr);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(m_install.SetBinaryValue(m_key, L"Null", nullptr, 4), 0);
  EXPECT_EQ(ReadRaw(m_key, L"Null").status, ERROR_FILE_NOT_FOUND);
}

// Text-id forms reach the value that the text names, also when the caller's string is m_scratch.
TEST_F(Registry, TextIdFormsBesideScratch) {
  ASSERT_EQ(m_install.SetStringValue(m_key, kName, kContent), 1);
  EXPECT_EQ(ReadRaw(m_key, L"Greeting").bytes, Bytes(kContentWide, wcslen(kContentWide) + 1));

  ASSERT_TRUE(m_install.GetText(kChild, m_install.m_scratch));
  ASSERT_EQ(m_install.SetStringValue(m_key, kName, m_install.m_scratch), 1);
  EXPECT_EQ(ReadRaw(m_key, L"Greeting").bytes, Bytes(L"Child", 6));
  EXPECT_EQ(m_install.StringValueEquals(m_key, kName, m_install.m_scratch), 1);
  EXPECT_EQ(m_install.GetStringValue(m_key, kName, m_install.m_scratch), 1);
  EXPECT_EQ(Wide(m_install.m_scratch), L"Child");
}

// A missing text must stop an operation before the registry sees an empty name, which would
// address the key's default value or the key itself.
TEST_F(Registry, MissingTextTouchesNothing) {
  const BYTE four[4] = {1, 2, 3, 4};
  struct Case {
    const char* what;
    DWORD defaultType;  // of the default value present during the call
    std::function<bool(CInstall&, HKEY)> failed;
  };
  const Case cases[] = {
      {"OpenKey", REG_SZ, [](CInstall& i, HKEY k) { return i.OpenKey(k, kMissing, KEY_READ) == nullptr; }},
      {"CreateKey", REG_SZ, [](CInstall& i, HKEY k) { return i.CreateKey(k, kMissing, KEY_WRITE) == nullptr; }},
      {"SetBinaryValue", REG_SZ, [&](CInstall& i, HKEY k) { return !i.SetBinaryValue(k, kMissing, four, 4); }},
      {"GetBinaryValue", REG_BINARY,
       [](CInstall& i, HKEY k) {
         uint32_t size = 0xdeadbeef;
         return i.GetBinaryValue(k, kMissing, size) == nullptr && size == 0;
       }},
      {"SetDwordValue", REG_SZ, [](CInstall& i, HKEY k) { return !i.SetDwordValue(k, kMissing, 1u); }},
      {"GetDwordValue", REG_DWORD,
       [](CInstall& i, HKEY k) {
         uint32_t value = 0xdeadbeef;
         return !i.GetDwordValue(k, kMissing, value) && value == 0xdeadbeef;
       }},
      {"SetStringValue content", REG_DWORD, [](CInstall& i, HKEY k) { return !i.SetStringValue(k, kName, kMissing); }},
      {"DeleteValue", REG_SZ, [](CInstall& i, HKEY k) { return !i.DeleteValue(k, kMissing); }},
      {"DeleteKey", REG_SZ, [](CInstall& i, HKEY k) { return !i.DeleteKey(k, kMissing); }},
      {"DeleteKey, empty text", REG_SZ, [](CInstall& i, HKEY k) { return !i.DeleteKey(k, kEmpty); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const BYTE data[8] = {'a', 0, 'b', 0, 'c', 0, 0, 0};
    WriteRaw(m_key, nullptr, c.defaultType, c.defaultType == REG_SZ ? data : four, c.defaultType == REG_SZ ? 8 : 4);
    EXPECT_TRUE(c.failed(m_install, m_key));
    ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, m_path)) << "the key itself was deleted";
    const RawValue raw = ReadRaw(m_key, nullptr);
    EXPECT_EQ(raw.type, c.defaultType) << "default value changed";
    EXPECT_EQ(ValueCount(m_key), 1u);
    DWORD subKeys = 0xdeadbeef;
    EXPECT_EQ(RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 0u);
  }
}

TEST_F(Registry, AccessMasksOfOpenAndCreate) {
  struct Case {
    REGSAM access;
    bool read;
    bool write;
  };
  const Case cases[] = {{0x20019, true, false}, {0x20006, false, true}, {6, false, true}, {0x2001F, true, true}};
  HKEY created = m_install.CreateKey(m_key, L"Sub", 0x20006);
  ASSERT_NE(created, nullptr);
  RegCloseKey(created);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.access);
    HKEY key = m_install.OpenKey(m_key, L"Sub", c.access);
    ASSERT_NE(key, nullptr);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(key, L"V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4) == ERROR_SUCCESS,
              c.write);
    DWORD size = 0;
    const LONG status = RegQueryValueExW(key, L"V", nullptr, nullptr, nullptr, &size);
    EXPECT_EQ(status != ERROR_ACCESS_DENIED, c.read) << status;
    RegCloseKey(key);
  }
  // Whole paths from a text.
  HKEY child = m_install.CreateKey(m_key, kChild, 6);
  ASSERT_NE(child, nullptr);
  RegCloseKey(child);
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Child"));
  child = m_install.OpenKey(m_key, kChild, 0x20019);
  EXPECT_NE(child, nullptr);
  if (child) RegCloseKey(child);
  EXPECT_EQ(m_install.OpenKey(m_key, L"Absent", 0x20019), nullptr);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Absent"));
}

TEST_F(Registry, DeleteKeyAndValue) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyW(m_key, L"Child\\Grandchild", &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(m_install.DeleteKey(m_key, kChild), 0) << "a key with sub keys stays";
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Child\\Grandchild"));
  ASSERT_EQ(RegDeleteKeyW(m_key, L"Child\\Grandchild"), ERROR_SUCCESS);
  EXPECT_EQ(m_install.DeleteKey(m_key, kChild), 1);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Child"));
  EXPECT_EQ(m_install.DeleteKey(m_key, kChild), 0);

  WriteRaw(m_key, L"Value", REG_DWORD, "\1\0\0\0", 4);
  EXPECT_EQ(m_install.DeleteValue(m_key, L"Value"), 1);
  EXPECT_EQ(ReadRaw(m_key, L"Value").status, ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(m_install.DeleteValue(m_key, L"Value"), 0);
}

// Where only one view exists, or the system is taken for 32-bit, DeleteKey64 is RegDeleteKeyW.
TEST_F(Registry, DeleteKey64InOneView) {
  for (int os64 : {0, m_install.m_os64}) {
    SCOPED_TRACE(os64);
    m_install.m_os64 = os64;
    HKEY key;
    ASSERT_EQ(RegCreateKeyW(m_key, L"Child\\Grandchild", &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(m_install.DeleteKey64(m_key, L"Child"), 0) << "a key with sub keys stays";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Child\\Grandchild"));
    EXPECT_EQ(m_install.DeleteKey64(m_key, L""), 0) << "the parent itself";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, m_path));
    // The name kept in m_scratch, as the callers keep texts there.
    ASSERT_TRUE(m_install.GetText(kChild, m_install.m_scratch));
    ASSERT_EQ(RegDeleteKeyW(m_key, L"Child\\Grandchild"), ERROR_SUCCESS);
    EXPECT_EQ(m_install.DeleteKey64(m_key, m_install.m_scratch.WideAt(0)), 1);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, m_path + L"\\Child"));
    EXPECT_EQ(m_install.DeleteKey64(m_key, L"Child"), 0);
  }
}

// Removes the HKLM keys of these tests in both views, before and after.
class MachineRegistry : public Registry {
 protected:
  void SetUp() override {
    Registry::SetUp();
    CleanUp();
  }
  void TearDown() override {
    CleanUp();
    Registry::TearDown();
  }
  static void CleanUp() {
    typedef LONG(WINAPI * DeleteKeyEx)(HKEY, const wchar_t*, REGSAM, DWORD);
    const DeleteKeyEx deleteKeyEx = reinterpret_cast<DeleteKeyEx>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"advapi32.dll"), "RegDeleteKeyExW")));
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
      winetest::DeleteTree(HKEY_LOCAL_MACHINE, kView64Path, view);
      winetest::DeleteTree(HKEY_LOCAL_MACHINE, kMarkPath, view);
      // The shared parent only when empty: other tests may keep keys there.
      if (deleteKeyEx) deleteKeyEx(HKEY_LOCAL_MACHINE, kTestRoot, view, 0);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestRoot);
  }
};

TEST_F(MachineRegistry, MachineTextValue) {
  EXPECT_EQ(m_install.SetMachineTextValue(4, 71, 50), 0) << "the key is opened, not created";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kMarkPath));

  HKEY key;
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, kMarkPath, &key), ERROR_SUCCESS);
  const uint32_t oneMissing[][3] = {{kMissing, 71, 50}, {4, kMissing, 50}, {4, 71, kMissing}};
  for (const auto& texts : oneMissing) {
    SCOPED_TRACE(texts[0] + texts[1] + texts[2]);
    EXPECT_EQ(m_install.SetMachineTextValue(texts[0], texts[1], texts[2]), 0);
    EXPECT_EQ(ValueCount(key), 0u);
  }
  ASSERT_EQ(m_install.SetMachineTextValue(4, 71, 50), 1);
  EXPECT_EQ(ReadRaw(key, L"Completion").bytes, Bytes(L"mark 5.1 and later", 19));
  RegCloseKey(key);
  const std::string out = winetest::RegQuery(L"HKLM\\" + std::wstring(kMarkPath), L"Completion", false);
  EXPECT_TRUE(Contains(out, "mark 5.1 and later")) << out;
}

TEST_F(MachineRegistry, View64) {
  WINETEST_SKIP_UNLESS(winetest::IsWow64(), "HKLM has two views only for a 32-bit program on 64-bit Windows");
  HKEY key = m_install.CreateKey(HKEY_LOCAL_MACHINE, kView64Path, 0x106);
  ASSERT_NE(key, nullptr);
  GString content;
  content.AssignWideZ(L"native");
  EXPECT_EQ(m_install.SetStringValue(key, L"Where", content), 1);
  RegCloseKey(key);

  const std::wstring query = L"HKLM\\" + std::wstring(kView64Path);
  EXPECT_TRUE(Contains(winetest::RegQuery(query, L"Where", true), "native"));
  EXPECT_FALSE(Contains(winetest::RegQuery(query, L"Where", false), "native"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kView64Path));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\LayoutSetupTest\\View64", KEY_WOW64_64KEY));

  // With the key in both views, only the 64-bit one goes; the name is kept in m_scratch.
  ASSERT_EQ(RegCreateKeyW(HKEY_LOCAL_MACHINE, kView64Path, &key), ERROR_SUCCESS);
  WriteRaw(key, L"Where", REG_SZ, L"wow32", 12);
  RegCloseKey(key);
  ASSERT_TRUE(m_install.GetText(kView64, m_install.m_scratch));
  EXPECT_EQ(m_install.DeleteKey64(HKEY_LOCAL_MACHINE, m_install.m_scratch.WideAt(0)), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kView64Path, KEY_WOW64_64KEY));
  const std::string native = winetest::RegQuery(query, L"Where", true);
  EXPECT_FALSE(Contains(native, "native") || Contains(native, "wow32")) << native;
  EXPECT_TRUE(Contains(winetest::RegQuery(query, L"Where", false), "wow32"));

  // Only the 32-bit key left: the 64-bit deletion fails and RegDeleteKeyW takes over.
  EXPECT_EQ(m_install.DeleteKey64(HKEY_LOCAL_MACHINE, kView64Path), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kView64Path));

  // Taken for a 32-bit system, DeleteKey64 removes the 32-bit view's key only.
  m_install.m_os64 = 0;
  for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kView64Path, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  EXPECT_EQ(m_install.DeleteKey64(HKEY_LOCAL_MACHINE, kView64Path), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kView64Path));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kView64Path, KEY_WOW64_64KEY));
}

}  // namespace
