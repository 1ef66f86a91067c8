// The installation record and the system registrations against Wine's registry, with the demo
// package's texts. Results are checked with the raw Win32 calls or with reg.exe.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/install.h"
#include "tests/wine/wine_test.h"

namespace {

// The demo package's paths and names (texts 3, 5-8, 10, 13-16, 24, 23, 36, 89, 85).
const wchar_t kProduct[] = L"Software\\DemoLayout";  // removed whole after each test
const wchar_t kRecord[] = L"Software\\DemoLayout\\Polish";
const wchar_t kLinkSet[] = L"Software\\DemoLayout\\Polish\\Links\\AltGr";
const wchar_t kSettings[] = L"Software\\DemoLayout\\Polish\\Settings\\1.0";
const wchar_t kLayouts[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
const wchar_t kEntry[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\a0000415";
const wchar_t kMapKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layout";
const wchar_t kToggle[] = L"Keyboard Layout\\Toggle";

REGSAM View64() { return winetest::Is64BitSystem() ? KEY_WOW64_64KEY : 0; }

bool KeyExists(HKEY root, const wchar_t* path, REGSAM view = 0) {
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A value's raw bytes; empty and false when it cannot be read.
bool ReadRaw(HKEY root, const wchar_t* path, const wchar_t* name, std::vector<BYTE>* bytes, REGSAM view = 0) {
  bytes->clear();
  HKEY key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG status = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    bytes->resize(size);
    status = RegQueryValueExW(key, name, nullptr, nullptr, bytes->data(), &size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

DWORD ReadDword(const wchar_t* path, const wchar_t* name) {
  std::vector<BYTE> bytes;
  if (!ReadRaw(HKEY_LOCAL_MACHINE, path, name, &bytes) || bytes.size() != 4) return 0xDEADBEEF;
  DWORD value;
  memcpy(&value, bytes.data(), 4);
  return value;
}

std::wstring ReadText(HKEY root, const wchar_t* path, const wchar_t* name) {
  std::vector<BYTE> bytes;
  if (!ReadRaw(root, path, name, &bytes)) return L"<missing>";
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2 - 1);
}

void WriteRaw(HKEY root, const wchar_t* path, const wchar_t* name, DWORD type, const void* data, DWORD size,
              REGSAM view = 0) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
  RegCloseKey(key);
}

void WriteDword(const wchar_t* path, const wchar_t* name, DWORD value) {
  WriteRaw(HKEY_LOCAL_MACHINE, path, name, REG_DWORD, &value, 4);
}

void DeleteRaw(const wchar_t* path, const wchar_t* name) {
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_WRITE, &key), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueW(key, name), ERROR_SUCCESS) << winetest::Narrow(name);
  RegCloseKey(key);
}

// Creates a key that Wine's fresh prefixes lack (Windows always has it); true when it was made
// here, so that the caller removes it again.
bool EnsureKey(HKEY root, const wchar_t* path, REGSAM view = 0) {
  if (KeyExists(root, path, view)) return false;
  HKEY key;
  EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, 0, KEY_WRITE | view, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegCloseKey(key);
  return true;
}

std::wstring Wide(const GString& text) { return std::wstring(text.WideAt(0), static_cast<size_t>(text.Length())); }

void Set(GString& text, const std::wstring& value) { text.AssignWideZ(value.c_str()); }

// An initialised installer with the facts the run would query.
void Prepare(CInstall& in) {
  ASSERT_TRUE(in.Init(GetModuleHandleW(nullptr)));
  in.m_osVersion = winetest::ReportedVersion();
  in.m_os64 = winetest::Is64BitSystem() ? 1 : 0;
  in.m_cpuArch = winetest::Is64BitSystem() ? 9 : 0;
}

// The paths an installation composes, each distinct; tag tells two installations apart.
void ComposePaths(CInstall& in, const std::wstring& tag) {
  for (int i = 0; i < 3; ++i) {
    Set(in.m_setA[i], tag + L"A" + std::to_wstring(i));
    Set(in.m_setB[i], tag + L"B" + std::to_wstring(i));
    Set(in.m_setC[i], tag + L"C" + std::to_wstring(i));
  }
  Set(in.m_setD[0], tag + L"D0");
  Set(in.m_setD[1], tag + L"D1");
  Set(in.m_fileE, tag + L"E");
  Set(in.m_selfCopy, tag + L"Copy");
  Set(in.m_selfLink, tag + L"Link");
}

// A first installation: every entry made, both counters 1, every option off its default.
void FirstInstallation(CInstall& in) {
  ComposePaths(in, L"C:\\first\\");
  in.m_desktopMadeA = in.m_desktopMadeB = in.m_desktopMadeC = 1;
  in.m_useCount = 1;
  in.m_linkCount = 1;
  in.m_variant = 2;
  in.m_decimalKey = 0;
  in.m_altImageA = 1;
  in.m_altImageB = 1;
  in.FindKey(0x10)->virtualKey = 0x41;   // Q gives A
  in.FindKey(0xE05B)->virtualKey = 0x5D; // left Windows key gives Apps
}

class Record : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    m_madeLayouts = EnsureKey(HKEY_LOCAL_MACHINE, kLayouts, View64());
    Prepare(m_install);
  }
  void TearDown() override {
    Clean();
    if (m_madeLayouts) winetest::DeleteTree(HKEY_LOCAL_MACHINE, kLayouts, View64());
  }
  static void Clean() {
    winetest::DeleteTree(HKEY_LOCAL_MACHINE, kProduct);
    winetest::DeleteTree(HKEY_LOCAL_MACHINE, kEntry, View64());
  }
  bool m_madeLayouts = false;
  CInstall m_install;
};

// ---- writing and reading ----------------------------------------------------------------------

TEST_F(Record, FirstWriteReadsBackWhole) {
  FirstInstallation(m_install);
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);

  CInstall fresh;
  Prepare(fresh);
  fresh.ReadInstallState();
  EXPECT_EQ(fresh.m_installedId, 190u);
  EXPECT_EQ(fresh.m_useCount, 1u);
  EXPECT_EQ(fresh.m_linkCount, 1);
  EXPECT_EQ(fresh.m_oldLinkVersion, 190u);
  EXPECT_EQ(fresh.m_oldLinkVersion2, 190u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Wide(fresh.m_oldSetA[i]), Wide(m_install.m_setA[i])) << i;
    EXPECT_EQ(Wide(fresh.m_oldSetB[i]), Wide(m_install.m_setB[i])) << i;
    EXPECT_EQ(Wide(fresh.m_oldSetC[i]), Wide(m_install.m_setC[i])) << i;
  }
  EXPECT_EQ(Wide(fresh.m_oldSetD[0]), Wide(m_install.m_setD[0]));
  EXPECT_EQ(Wide(fresh.m_oldSetD[1]), Wide(m_install.m_setD[1]));
  EXPECT_EQ(Wide(fresh.m_oldFileE), Wide(m_install.m_fileE));
  EXPECT_EQ(Wide(fresh.m_oldSelfCopy), Wide(m_install.m_selfCopy));
  EXPECT_EQ(Wide(fresh.m_oldSelfLink), Wide(m_install.m_selfLink));
  EXPECT_EQ(fresh.m_variant, 2);
  EXPECT_EQ(fresh.m_decimalKey, 0);
  EXPECT_EQ(fresh.m_altImageA, 1);
  EXPECT_EQ(fresh.m_altImageB, 1);
  for (int i = 0; i < fresh.m_keyCount; ++i)
    EXPECT_EQ(fresh.m_keyTable[i].virtualKey, m_install.m_keyTable[i].virtualKey) << "entry " << i;

  // Value 11: the user's language (4 hex digits) and the active layout's name.
  wchar_t layout[KL_NAMELENGTH];
  ASSERT_TRUE(GetKeyboardLayoutNameW(layout));
  wchar_t expected[32];
  swprintf(expected, 32, L"%04x:%ls", GetUserDefaultLangID(), layout);
  EXPECT_EQ(Wide(fresh.m_prevUserLayout), expected);
  std::vector<BYTE> pairs;
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kSettings, L"KeyAssignments", &pairs));
  EXPECT_EQ(pairs, (std::vector<BYTE>{0x10, 0, 0x41, 0, 0x5B, 0xE0, 0x5D, 0}));
}

// A reinstallation over this installer's record keeps the first installation's paths of sets B,
// C, D and file E and its value 11, and replaces set A, the program's copy and the counters.
TEST_F(Record, ReinstallationKeepsFirstPaths) {
  FirstInstallation(m_install);
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);

  CInstall second;
  Prepare(second);
  second.ReadInstallState();
  ASSERT_EQ(second.m_installedId, 190u);
  const std::wstring prevLayout = Wide(second.m_prevUserLayout);
  ComposePaths(second, L"D:\\second\\");
  second.m_desktopMadeA = 1;
  second.m_linkCount = 2;
  ASSERT_EQ(second.WriteInstallRecord(), 1);

  CInstall third;
  Prepare(third);
  third.ReadInstallState();
  EXPECT_EQ(Wide(third.m_prevUserLayout), prevLayout);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Wide(third.m_oldSetA[i]), Wide(second.m_setA[i])) << "set A is rewritten";
    EXPECT_EQ(Wide(third.m_oldSetB[i]), Wide(m_install.m_setB[i])) << "set B is kept at version 190";
    EXPECT_EQ(Wide(third.m_oldSetC[i]), Wide(m_install.m_setC[i])) << "set C is kept";
  }
  EXPECT_EQ(Wide(third.m_oldSetD[1]), Wide(m_install.m_setD[1]));
  EXPECT_EQ(Wide(third.m_oldFileE), Wide(m_install.m_fileE));
  EXPECT_EQ(Wide(third.m_oldSelfCopy), Wide(second.m_selfCopy));
  EXPECT_EQ(third.m_linkCount, 2);
}

TEST_F(Record, ChangeSettingsModeWritesOnlyTheOptions) {
  m_install.SetModifyOnly(1);
  m_install.m_variant = 1;
  EXPECT_EQ(m_install.WriteInstallRecord(), 0) << "no record";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProduct)) << "nothing is created";

  CInstall first;
  Prepare(first);
  FirstInstallation(first);
  ASSERT_EQ(first.WriteInstallRecord(), 1);
  winetest::DeleteTree(HKEY_LOCAL_MACHINE, L"Software\\DemoLayout\\Polish\\Settings");
  EXPECT_EQ(m_install.WriteInstallRecord(), 0) << "a record without a settings key";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\DemoLayout\\Polish\\Settings"));

  ASSERT_EQ(first.WriteInstallRecord(), 1);
  m_install.m_decimalKey = 1;
  m_install.m_altImageA = 0;
  m_install.m_altImageB = 1;
  m_install.FindKey(0x1E)->virtualKey = 0x51;  // A gives Q; Q's and the Windows key's pairs go
  ComposePaths(m_install, L"E:\\changed\\");
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);
  EXPECT_EQ(ReadDword(kSettings, L"Variant"), 1u);
  EXPECT_EQ(ReadDword(kSettings, L"DecimalKey"), 1u);
  EXPECT_EQ(ReadDword(kSettings, L"TildeDeadKey"), 0u);
  EXPECT_EQ(ReadDword(kSettings, L"TildeDeadKeyPreset"), 1u);
  std::vector<BYTE> pairs;
  ASSERT_TRUE(ReadRaw(HKEY_LOCAL_MACHINE, kSettings, L"KeyAssignments", &pairs));
  EXPECT_EQ(pairs, (std::vector<BYTE>{0x1E, 0, 0x51, 0}));
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kSettings, L"SetupCopy"), Wide(first.m_selfCopy)) << "paths untouched";
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kLinkSet, L"Document"), Wide(first.m_setA[0]));
}

// ---- the stop rules and the earlier installer --------------------------------------------------

TEST_F(Record, ReadingStopsAtMissingRequiredValue) {
  struct Case {
    const wchar_t* key;
    const wchar_t* value;
    bool layoutEntry;     // an earlier installer's layout entry is present
    uint32_t installedId;
  };
  const Case cases[] = {
      {kRecord, L"SwitchingVersion", false, 0},     // 34, required, the last of the installation key
      {kRecord, L"SwitchingVersion", true, 130},    // ... the layout entry decides
      {kRecord, L"PreviousUserLayout", true, 130},  // 11, the first
      {kRecord, L"SwitchingDesktopLink", false, 190},  // 33, optional
      {kLinkSet, L"LinkCount", false, 0},           // 29, required in the link set
      {kLinkSet, L"DesktopLink", false, 190},       // 27, optional
      {kSettings, L"Version", true, 130},           // 39: not this installer's record
      {kSettings, L"Variant", false, 190},          // options are optional
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(winetest::Narrow(c.key) + " " + winetest::Narrow(c.value));
    Clean();
    CInstall writer;
    Prepare(writer);
    FirstInstallation(writer);
    writer.m_useCount = 3;
    writer.m_linkCount = 4;
    ASSERT_EQ(writer.WriteInstallRecord(), 1);
    DeleteRaw(c.key, c.value);
    if (c.layoutEntry) {
      ASSERT_EQ(writer.RegisterLayoutEntry(), 1);
    }

    CInstall reader;
    Prepare(reader);
    reader.m_variant = 1;
    reader.ReadInstallState();
    EXPECT_EQ(reader.m_installedId, c.installedId);
    if (c.installedId == 0 && c.key == kRecord) {
      EXPECT_EQ(Wide(reader.m_oldFileE), Wide(writer.m_fileE)) << "values before the stop are read";
      EXPECT_EQ(reader.m_linkCount, 0) << "the link set is not read past the stop";
    }
    if (c.installedId == 0 && c.key == kLinkSet) {
      EXPECT_EQ(reader.m_linkCount, 0);
    }
    if (c.installedId != 190) {
      EXPECT_EQ(reader.m_variant, 1) << "no option without the version mark";
    }
  }
}

TEST_F(Record, EarlierInstallerNeedsMatchingEntry) {
  ASSERT_EQ(m_install.RegisterLayoutEntry(), 1);
  m_install.ReadInstallState();
  EXPECT_EQ(m_install.m_installedId, 130u);

  // Each compared value must match.
  const wchar_t* compared[] = {L"Layout Text", L"Layout Product Code", L"Layout File"};
  for (const wchar_t* value : compared) {
    SCOPED_TRACE(winetest::Narrow(value));
    ASSERT_EQ(m_install.RegisterLayoutEntry(), 1);
    WriteRaw(HKEY_LOCAL_MACHINE, kEntry, value, REG_SZ, L"other", 12, View64());
    m_install.ReadInstallState();
    EXPECT_EQ(m_install.m_installedId, 0u);
  }
}

TEST_F(Record, OptionsOutsideTheirRangeAreIgnored) {
  FirstInstallation(m_install);
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);
  struct Case {
    DWORD variant, decimalKey, altA, altB;
    int32_t expectVariant, expectDecimal, expectA, expectB;
  };
  const Case cases[] = {
      {3, 2, 2, 0xFFFFFFFF, -1, -1, 7, 7},  // each one beyond its range: members as they were
      {2, 1, 1, 0, 2, 1, 1, 0},             // the largest accepted values, and 0
      {0xFFFFFFFF, 0, 0, 1, -1, 0, 0, 1},   // -1 as a DWORD is not a variant
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variant);
    WriteDword(kSettings, L"Variant", c.variant);
    WriteDword(kSettings, L"DecimalKey", c.decimalKey);
    WriteDword(kSettings, L"TildeDeadKey", c.altA);
    WriteDword(kSettings, L"TildeDeadKeyPreset", c.altB);
    CInstall reader;
    Prepare(reader);
    reader.m_variant = -1;
    reader.m_decimalKey = -1;
    reader.m_altImageA = reader.m_altImageB = 7;
    reader.ReadInstallState();
    ASSERT_EQ(reader.m_installedId, 190u);
    EXPECT_EQ(reader.m_variant, c.expectVariant);
    EXPECT_EQ(reader.m_decimalKey, c.expectDecimal);
    EXPECT_EQ(reader.m_altImageA, c.expectA);
    EXPECT_EQ(reader.m_altImageB, c.expectB);
  }
}

// ---- removal in stages -------------------------------------------------------------------------

TEST_F(Record, RemovalInStages) {
  EXPECT_EQ(m_install.RemoveInstallRecord(), 0) << "no record";

  // Two installations share everything; one is removed.
  FirstInstallation(m_install);
  m_install.m_useCount = 2;
  m_install.m_linkCount = 2;
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);
  m_install.m_useCount = 1;
  m_install.m_linkCount = 1;
  ASSERT_EQ(m_install.RemoveInstallRecord(), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\DemoLayout\\Polish\\Settings"));
  EXPECT_EQ(ReadDword(kLinkSet, L"LinkCount"), 1u);
  EXPECT_EQ(ReadDword(kRecord, L"UseCount"), 1u);
  EXPECT_EQ(ReadText(HKEY_LOCAL_MACHINE, kLinkSet, L"Document"), Wide(m_install.m_setA[0]));

  // Without the settings key nothing is removed.
  m_install.m_useCount = 0;
  m_install.m_linkCount = 0;
  EXPECT_EQ(m_install.RemoveInstallRecord(), 0);
  EXPECT_EQ(ReadDword(kLinkSet, L"LinkCount"), 1u);
  EXPECT_EQ(ReadDword(kRecord, L"UseCount"), 1u);

  // Set A no longer shared: the link set goes, the installation key stays.
  m_install.m_useCount = 1;
  m_install.m_linkCount = 1;
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);
  m_install.m_linkCount = 0;
  ASSERT_EQ(m_install.RemoveInstallRecord(), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, L"Software\\DemoLayout\\Polish\\Links"));
  EXPECT_EQ(ReadDword(kRecord, L"UseCount"), 1u);

  // The last installation: every key goes, up to text 8.
  ASSERT_EQ(m_install.WriteInstallRecord(), 1);
  m_install.m_useCount = 0;
  m_install.m_linkCount = 0;
  ASSERT_EQ(m_install.RemoveInstallRecord(), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kProduct));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"Software"));
}

// ---- layout entry ------------------------------------------------------------------------------

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

TEST_F(Record, LayoutEntryInTheNativeView) {
  const std::wstring entry = std::wstring(L"HKLM\\") + kEntry;
  ASSERT_EQ(m_install.RegisterLayoutEntry(), 1);
  // The native reg.exe (64-bit on a 64-bit prefix) sees the values.
  const std::string text = winetest::RegQuery(entry, L"Layout Text", true);
  EXPECT_TRUE(Contains(text, "Polish (Demo)")) << text;
  EXPECT_TRUE(Contains(winetest::RegQuery(entry, L"Layout Id", true), "00d0"));
  EXPECT_TRUE(Contains(winetest::RegQuery(entry, L"Layout Product Code", true),
                       "{C00D2462-1F17-4976-A3B3-2FDD95E48B82}"));
  EXPECT_TRUE(Contains(winetest::RegQuery(entry, L"Layout File", true), "kbddemo.dll"));

  ASSERT_EQ(m_install.UnregisterLayoutEntry(), 1);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kEntry, View64()));
  EXPECT_FALSE(Contains(winetest::RegQuery(entry, L"", true), "kbddemo.dll"));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts", View64()));
  EXPECT_EQ(m_install.UnregisterLayoutEntry(), 0) << "no entry";
}

// ---- per-user switching values -------------------------------------------------------------------

// The Toggle key is left as the test found it: removed when it was missing, values restored.
class SwitchKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    m_existed = KeyExists(HKEY_CURRENT_USER, kToggle);
    for (int i = 0; i < 3; ++i) m_saved[i] = ReadRaw(HKEY_CURRENT_USER, kToggle, kNames[i], &m_values[i]);
    Prepare(m_install);
  }
  void TearDown() override {
    if (!m_existed) {
      winetest::DeleteTree(HKEY_CURRENT_USER, kToggle);
      return;
    }
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kToggle, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < 3; ++i) {
      if (m_saved[i])
        RegSetValueExW(key, kNames[i], 0, REG_SZ, m_values[i].data(), static_cast<DWORD>(m_values[i].size()));
      else
        RegDeleteValueW(key, kNames[i]);
    }
    RegCloseKey(key);
  }
  static constexpr const wchar_t* kNames[3] = {L"Hotkey", L"Language Hotkey", L"Layout Hotkey"};
  bool m_existed = false;
  bool m_saved[3] = {};
  std::vector<BYTE> m_values[3];
  CInstall m_install;
};

TEST_F(SwitchKeys, IntoAnExistingKeyOrOneOfAFreshProfile) {
  // A profile that never changed its switching keys has no key: it is made.
  winetest::DeleteTree(HKEY_CURRENT_USER, kToggle);
  ASSERT_EQ(m_install.SetSwitchKeys(), 1);
  for (const wchar_t* name : kNames) EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kToggle, name), L"3");

  winetest::DeleteTree(HKEY_CURRENT_USER, kToggle);
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kToggle, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_EQ(m_install.SetSwitchKeys(), 1);
  for (const wchar_t* name : kNames) EXPECT_EQ(ReadText(HKEY_CURRENT_USER, kToggle, name), L"3");
}

// ---- scan-code map -------------------------------------------------------------------------------

std::vector<BYTE> Map(std::initializer_list<uint32_t> substitutions) {
  std::vector<uint32_t> words = {0, 0, static_cast<uint32_t>(substitutions.size() + 1)};
  words.insert(words.end(), substitutions);
  words.push_back(0);
  std::vector<BYTE> bytes(words.size() * 4);
  memcpy(bytes.data(), words.data(), bytes.size());
  return bytes;
}

// The system's map is saved and put back; its key is removed again when Wine lacked it.
class ScancodeMap : public ::testing::Test {
 protected:
  void SetUp() override {
    m_madeKey = EnsureKey(HKEY_LOCAL_MACHINE, kMapKey);
    m_hadMap = ReadRaw(HKEY_LOCAL_MACHINE, kMapKey, L"Scancode Map", &m_saved);
    RemoveMap();
    Prepare(m_install);
  }
  void TearDown() override {
    RemoveMap();
    if (m_hadMap)
      WriteRaw(HKEY_LOCAL_MACHINE, kMapKey, L"Scancode Map", REG_BINARY, m_saved.data(),
               static_cast<DWORD>(m_saved.size()));
    if (m_madeKey) winetest::DeleteTree(HKEY_LOCAL_MACHINE, kMapKey);
  }
  static void RemoveMap() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMapKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, L"Scancode Map");
    RegCloseKey(key);
  }
  static void Store(const std::vector<BYTE>& map) {
    WriteRaw(HKEY_LOCAL_MACHINE, kMapKey, L"Scancode Map", REG_BINARY, map.data(), static_cast<DWORD>(map.size()));
  }
  static std::vector<BYTE> Stored() {
    std::vector<BYTE> bytes;
    ReadRaw(HKEY_LOCAL_MACHINE, kMapKey, L"Scancode Map", &bytes);
    return bytes;
  }
  bool m_madeKey = false;
  bool m_hadMap = false;
  std::vector<BYTE> m_saved;
  CInstall m_install;
};

TEST_F(ScancodeMap, EmptyMapOnlyWhenOneWasRead) {
  m_install.ReadScancodeMap();
  EXPECT_EQ(m_install.m_scancodeMapRead, 0);
  EXPECT_EQ(m_install.WriteScancodeMap(), 1);
  EXPECT_TRUE(Stored().empty()) << "no value is created";

  Store(Map({}));
  m_install.ReadScancodeMap();
  EXPECT_EQ(m_install.m_scancodeMapRead, 1);
  RemoveMap();
  ASSERT_EQ(m_install.WriteScancodeMap(), 1);
  EXPECT_EQ(Stored(), Map({})) << "16 bytes, entry count 1";
}

// Caps Lock switched off (sends 0) reads as 255 and is written as 0; the key 0x5A, which the table
// does not hold, belongs to another program and is written back after the installer's own.
TEST_F(ScancodeMap, SubstitutionsRoundTripAndForeignOnesStay) {
  Store(Map({0x003A0000, 0x005A001D}));  // each: key's own scan code high, code sent low
  m_install.ReadScancodeMap();
  EXPECT_EQ(m_install.FindKey(0x3A)->hardwareCode, 255);
  EXPECT_EQ(m_install.FindKey(0x1D)->hardwareCode, 0) << "the code sent marks no key";
  m_install.FindKey(0x38)->hardwareCode = 0xE038;  // left Alt sends right Alt
  ASSERT_EQ(m_install.WriteScancodeMap(), 1);
  EXPECT_EQ(Stored(), Map({0x0038E038, 0x003A0000, 0x005A001D})) << "table order, then the foreign entry";

  m_install.FindKey(0x3A)->hardwareCode = 0;
  m_install.FindKey(0x38)->hardwareCode = 0;
  ASSERT_EQ(m_install.WriteScancodeMap(), 1);
  EXPECT_EQ(Stored(), Map({0x005A001D})) << "cleared keys go, the foreign one stays";
}

}  // namespace
