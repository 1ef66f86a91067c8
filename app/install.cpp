#include "app/install.h"

#include <cstdlib>
#include <cwchar>
#include <new>

#include "app/text_ids.h"
#include "strings/number_text.h"
#include "ui/wizard.h"

// ---- CInstallBase ---------------------------------------------------------------------------

CInstallBase::CInstallBase(const EmbeddedPackage& package) : m_guard(package.layout), m_package(package) {}

CInstallBase::~CInstallBase() { CInstallBase::Release(); }

HWND CInstallBase::OwnerWindow() { return nullptr; }

bool CInstallBase::Init(HINSTANCE instance) {
  m_hInstance = instance;
  return true;
}

void CInstallBase::Release() {
  m_textCommon.Free();
  m_textByLanguage[0].Free();
  m_textByLanguage[1].Free();
  m_guard.Wipe();
}

const uint8_t* CInstallBase::LookupText(uint32_t id) {
  const TextTable* order[] = {&m_textByLanguage[m_uiLanguage & 1], &m_textCommon};
  return LookupInTables(order, 2, id);
}

// ---- CInstall: lifecycle --------------------------------------------------------------------

CInstall::CInstall(const EmbeddedPackage& package) : CInstallBase(package) {
  m_keyTable = NewKeyTableCopy();  // stays null without memory: the key operations then fail
}

CInstall::~CInstall() {
  if (m_log) CloseHandle(m_log);
  CInstall::Release();
  delete m_wizard;
  m_wizard = nullptr;
  free(m_keyTable);
  m_keyTable = nullptr;
}

HWND CInstall::OwnerWindow() { return m_wizard ? m_wizard->GetMainWindow() : nullptr; }

bool CInstall::AttachTable(const BlobRef& blob, TextTable& table) {
  if (!blob.data) return false;
  uint32_t size = blob.size;
  uint32_t count = 0;
  uint8_t* plain = m_guard.DecodeBlob(blob.data, size, &count);
  if (!plain) return false;
  // The header's extra value is the table's entry count.
  if (count == 0 || count > INT32_MAX || !table.Attach(plain, size, static_cast<int32_t>(count))) {
    free(plain);
    return false;
  }
  return true;
}

bool CInstall::Init(HINSTANCE instance) {
  if (!CInstallBase::Init(instance)) return false;
  if (!m_guard.Load(m_package.keyBlock, m_package.keyBlockLength)) return false;
  if (!AttachTable(m_package.textCommon, m_textCommon)) return false;
  if (!AttachTable(m_package.textExtra, m_textExtra)) return false;
  if (!AttachTable(m_package.textLanguage[0], m_textByLanguage[0])) return false;
  if (!AttachTable(m_package.textLanguage[1], m_textByLanguage[1])) return false;

  m_wizard = new (std::nothrow) CWizard(this);
  if (!m_wizard || !m_wizard->Initialise(instance)) return false;

  uint32_t langId = 0;
  if (GetText(kTextPackageLangId, m_scratch) && ReadHexNumber(m_scratch.WideAt(0), &langId))
    m_packageLangId = static_cast<uint16_t>(langId);

  DetectVariant();
  DetectDecimalKey();
  return true;
}

void CInstall::Release() {
  CInstallBase::Release();
  m_textExtra.Free();
}

const uint8_t* CInstall::LookupText(uint32_t id) {
  const uint8_t* record = CInstallBase::LookupText(id);
  return record ? record : m_textExtra.Find(id);
}

void CInstall::Shutdown() {
  if (m_wizard) {
    m_wizard->DestroyWindows();
    delete m_wizard;
    m_wizard = nullptr;
  }
  if (m_uninstallDone || m_installDone) WriteCompletionMark();
  Release();
  // A run with /norestart or /quiet leaves the restart to whoever started it.
  if (m_restartRequested && !m_switches.noRestart && !m_switches.quiet) RestartSystem();
}

// ---- texts ----------------------------------------------------------------------------------

bool CInstall::GetText(uint32_t id, GString& out) {
  out.SetLength(0);
  const uint8_t* record = LookupText(id);
  return record && TextFromRecord(record, out);
}

int CInstall::GetTextBlob(const BlobRef& blob, GString& out) {
  if (!blob.data) return 0;
  uint32_t size = blob.size;
  uint8_t* plain = m_guard.DecodeBlob(blob.data, size, nullptr);
  if (!plain) return 0;
  const int ok = TextFromBlobBytes(plain, size, out);
  free(plain);
  return ok;
}

// ---- settings -------------------------------------------------------------------------------

bool CInstall::SetUiLanguage(uint32_t language) {
  if (language > 1) return false;
  m_uiLanguage = language;
  return true;
}

int32_t CInstall::SetVariant(int32_t variant) {
  if (static_cast<uint32_t>(variant) <= 2) m_variant = variant;
  return variant;
}

int32_t CInstall::SetDecimalKey(int32_t key) {
  if (key == 0 || key == 1) m_decimalKey = key;
  return key;
}

int32_t CInstall::SetAltImageA(int32_t value) {
  m_altImageA = value;
  return value;
}

int32_t CInstall::SetModifyOnly(int32_t value) {
  m_modifyOnly = value;
  if (value) m_eulaAccepted = 1;
  return value;
}

bool CInstall::WriteCompletionMark() {
  const uint32_t content = m_osVersion > 50 ? kTextCompletionValueNew : kTextCompletionValueOld;
  return SetMachineTextValue(kTextCompletionKey, kTextCompletionName, content) != 0;
}

// ---- key table ------------------------------------------------------------------------------

const KeyEntry* CInstall::FindDefaultKey(uint32_t code) const { return ::FindDefaultKey(code); }

KeyEntry* CInstall::FindKey(uint32_t code) { return ::FindKey(m_keyTable, m_keyCount, code); }

bool CInstall::NormaliseKeys() { return ::NormaliseKeys(m_keyTable, m_keyCount); }

bool CInstall::MergeKeyPairs(uint8_t* buffer, uint32_t size) {
  return ::MergeKeyPairs(m_keyTable, m_keyCount, buffer, size);
}

uint8_t* CInstall::ExportKeyPairs(uint32_t& size) { return ::ExportKeyPairs(m_keyTable, m_keyCount, &size); }
