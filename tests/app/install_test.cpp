// The installer object against the demo package it is built with, and against damaged copies.
#include "app/install.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/text_ids.h"
#include "package/blob_writer.h"
#include "tests/strings/text_helpers.h"

namespace {

std::string Text(CInstall& install, uint32_t id) {
  GString s;
  EXPECT_TRUE(install.GetText(id, s)) << id;
  return Utf8Of(s);
}

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

TEST(InstallInit, DemoPackage) {
  CInstall install;
  ASSERT_TRUE(install.Init(Instance()));
  EXPECT_NE(install.m_wizard, nullptr);
  EXPECT_EQ(install.m_packageLangId, 0x0415);
  EXPECT_EQ(Text(install, kTextPackageLangId), "0415");

  // The caption exists in both languages and differs between them.
  const std::string english = Text(install, kTextMessageCaption);
  ASSERT_TRUE(install.SetUiLanguage(1));
  const std::string polish = Text(install, kTextMessageCaption);
  EXPECT_NE(english, polish);
  EXPECT_FALSE(install.SetUiLanguage(2));
  EXPECT_EQ(install.m_uiLanguage, 1u);

  GString missing;
  missing.AssignWide(L"old", -1);
  EXPECT_FALSE(install.GetText(0xFFFFFFF0u, missing));
  EXPECT_EQ(missing.Length(), 0);

  GString licence;
  ASSERT_TRUE(install.GetTextBlob(kEmbeddedPackage.licence[0], licence));
  EXPECT_GT(licence.Length(), 100);
  EXPECT_NE(static_cast<unsigned char>(licence.NarrowAt(0)[0]), 0xEF);  // no byte-order mark

  install.Shutdown();
  EXPECT_EQ(install.m_wizard, nullptr);
  EXPECT_FALSE(install.m_guard.IsLoaded());
  GString after;
  EXPECT_FALSE(install.GetText(kTextPackageLangId, after));  // tables are gone after release
}

TEST(InstallInit, ExtraTableOnlyThroughTheInstaller) {
  CInstall install;
  ASSERT_TRUE(install.Init(Instance()));
  ASSERT_GT(install.m_textExtra.count, 0);
  // The first identifier of the fourth table, unless another table has it too.
  const uint8_t* e = install.m_textExtra.entries;
  const uint32_t id = e[0] | e[1] << 8 | e[2] << 16 | static_cast<uint32_t>(e[3]) << 24;
  if (install.m_textCommon.Find(id) || install.m_textByLanguage[0].Find(id)) GTEST_SKIP() << "shared id";
  EXPECT_NE(install.LookupText(id), nullptr);
  EXPECT_EQ(install.CInstallBase::LookupText(id), nullptr);
}

// A damaged package ends the initialisation before the wizard exists.
TEST(InstallInit, DamagedPackagesFail) {
  const EmbeddedPackage& good = kEmbeddedPackage;

  std::vector<uint8_t> flipped(good.textCommon.data, good.textCommon.data + good.textCommon.size);
  flipped[flipped.size() / 2] ^= 0x20;

  CGuard guard(good.layout);
  ASSERT_TRUE(guard.Load(good.keyBlock, good.keyBlockLength));
  std::vector<uint8_t> emptyTable;  // decodes fine but holds no entries
  const uint8_t nothing[8] = {};
  ASSERT_TRUE(EncodeBlob(guard.Key(), kKeyWindowLength, nothing, 0, 0, &emptyTable));

  struct Row {
    const char* name;
    void (*damage)(EmbeddedPackage&, const std::vector<uint8_t>&, const std::vector<uint8_t>&);
  } rows[] = {
      {"key block one byte short", [](EmbeddedPackage& p, auto&, auto&) { p.keyBlockLength -= 1; }},
      {"no key block", [](EmbeddedPackage& p, auto&, auto&) { p.keyBlock = nullptr; }},
      {"flipped byte in the common table",
       [](EmbeddedPackage& p, auto& f, auto&) { p.textCommon = {f.data(), static_cast<uint32_t>(f.size())}; }},
      {"language table of no entries",
       [](EmbeddedPackage& p, auto&, auto& e) { p.textLanguage[1] = {e.data(), static_cast<uint32_t>(e.size())}; }},
      {"missing fourth table", [](EmbeddedPackage& p, auto&, auto&) { p.textExtra = {nullptr, 0}; }},
      {"stored size off by eight", [](EmbeddedPackage& p, auto&, auto&) { p.textLanguage[0].size -= 8; }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EmbeddedPackage damaged = good;
    r.damage(damaged, flipped, emptyTable);
    CInstall install(damaged);
    EXPECT_FALSE(install.Init(Instance()));
    EXPECT_EQ(install.m_wizard, nullptr);
  }
}

TEST(InstallSettings, OnlyValidValuesAreStored) {
  CInstall install;
  EXPECT_EQ(install.SetVariant(3), 3);
  EXPECT_EQ(install.SetVariant(-1), -1);
  EXPECT_EQ(install.m_variant, -1);
  EXPECT_EQ(install.SetVariant(2), 2);
  EXPECT_EQ(install.m_variant, 2);
  EXPECT_EQ(install.SetDecimalKey(2), 2);
  EXPECT_EQ(install.m_decimalKey, -1);
  EXPECT_EQ(install.SetDecimalKey(0), 0);
  EXPECT_EQ(install.m_decimalKey, 0);

  EXPECT_EQ(install.SetModifyOnly(0), 0);
  EXPECT_EQ(install.m_eulaAccepted, 0);
  EXPECT_EQ(install.SetModifyOnly(5), 5);
  EXPECT_EQ(install.m_eulaAccepted, 1);
  EXPECT_EQ(install.SetAltImageA(7), 7);
  EXPECT_EQ(install.GetAltImageA(), 7);
}

TEST(InstallKeys, TheInstallersCopy) {
  CInstall install;
  ASSERT_NE(install.m_keyTable, nullptr);
  EXPECT_EQ(install.m_keyCount, kKeyTableCount);
  KeyEntry* escape = install.FindKey(0x10001);  // only the low 16 bits count
  ASSERT_NE(escape, nullptr);
  EXPECT_EQ(escape->virtualKey, 0);

  uint8_t* pairs = static_cast<uint8_t*>(malloc(4));
  pairs[0] = 0x01, pairs[1] = 0x00, pairs[2] = 0x41, pairs[3] = 0x00;  // Esc sends A
  ASSERT_TRUE(install.MergeKeyPairs(pairs, 4));
  EXPECT_EQ(escape->virtualKey, 0x41);
  uint32_t size = 99;
  uint8_t* exported = install.ExportKeyPairs(size);
  ASSERT_NE(exported, nullptr);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(exported[2], 0x41);
  free(exported);
}

}  // namespace

namespace {

// After an install or uninstall, shutdown leaves the completion mark under HKLM.
TEST(InstallShutdown, WritesTheCompletionMark) {
  CInstall install;
  ASSERT_TRUE(install.Init(Instance()));
  GString keyPath;
  ASSERT_TRUE(install.GetText(kTextCompletionKey, keyPath));
  GString name;
  ASSERT_TRUE(install.GetText(kTextCompletionName, name));
  GString expected;
  ASSERT_TRUE(install.GetText(kTextCompletionValueNew, expected));
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyPath.WideAt(0), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegDeleteValueW(key, name.WideAt(0));

  install.m_osVersion = 61;
  install.m_installDone = 1;
  install.Shutdown();

  wchar_t value[64] = {};
  DWORD size = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  EXPECT_EQ(RegQueryValueExW(key, name.WideAt(0), nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(Utf8Of(value, static_cast<int>(wcslen(value))), Utf8Of(expected));
  RegCloseKey(key);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, keyPath.WideAt(0));
}

}  // namespace
