#include "ui/control_tables.h"

#include "app/text_ids.h"
#include "ui/resource_ids.h"

const KeyPair* FindPair(uint32_t key, const KeyPair* pairs, int count) {
  if (!pairs) return nullptr;
  for (int i = 0; count < 0 || i < count; ++i) {
    if (pairs[i].key == 0) return nullptr;
    if (pairs[i].key == key) return &pairs[i];
  }
  return nullptr;
}

KeyPair* FindPair(uint32_t key, KeyPair* pairs, int count) {
  return const_cast<KeyPair*>(FindPair(key, static_cast<const KeyPair*>(pairs), count));
}

uint32_t LookupRowKey(uint32_t controlId, const KeyRow* table) {
  if (!table || controlId == 0) return 0;
  for (; table->comboId != 0; ++table)
    if (table->comboId == controlId) return table->key;
  return 0;
}

int CountComboItems(const ComboItem* table) {
  int count = 0;
  if (table)
    while (table[count].textId != 0) ++count;
  return count;
}

// Expert page 1: the layout's 16-bit key codes (0x100: the layout's extended-key attribute).
const KeyRow kExpert1Rows[] = {
    {1401, 0x2A}, {1402, 0x36}, {1403, 0x1D}, {1404, 0xE01D}, {1405, 0x38}, {1406, 0xE038}, {1407, 0xE05B},
    {1408, 0xE05C}, {1409, 0xE05D}, {1410, 0x56}, {1411, 0x0F}, {1412, 0x3A}, {1413, 0x46}, {1414, 0x45},
    {0, 0},
};

const ControlText kWelcomeTexts[] = {
    {IDC_UI_LANGUAGE_LABEL, kTextUiLanguageLabel},
    {IDC_REMOVE, kTextRemoveButton},
    {IDC_CANCEL, kTextCancel},
    {IDC_NEXT, kTextNext},
    {IDC_OPEN_DOCUMENT, kTextOpenDocumentButton},
    {IDC_CHANGE_SETTINGS, kTextChangeSettingsButton},
    {0, 0},
};

const ControlText kEulaTexts[] = {
    {IDC_EULA_TITLE, kTextLicenceTitle},  // the label of the licence text
    {IDC_EULA_ACCEPTED, kTextLicenceAccepted},
    {IDC_CANCEL, kTextCancel},
    {IDC_BACK, kTextBack},
    {IDC_NEXT, kTextNext},
    {0, 0},
};

const ControlText kSetupTexts[] = {
    {IDC_CANCEL, kTextCancel},
    {IDC_BACK, kTextBack},
    {IDC_LAYOUT_LANGUAGE_LABEL, kTextSetupLanguageLabelFormat},
    {IDC_INSTALL, kTextInstallButton},
    {IDC_DESKTOP_LINKS, kTextDesktopLinksBox},
    {IDC_USER_HOTKEYS, kTextUserHotkeysBox},
    {IDC_ALT_IMAGE, kTextAltImageBox},
    {IDC_VARIANT_LABEL, kTextVariantLabel},
    {IDC_DECIMAL_KEY_LABEL, kTextDecimalKeyLabel},
    {IDC_SETUP_NOTE, kTextSetupNote},
    {IDC_SHOW_EXPERT1, kTextExpertPage1},
    {IDC_SHOW_EXPERT2, kTextExpertPage2},
    {0, 0},
};

const ControlText kDoneTexts[] = {
    {IDC_FINISH, kTextFinishButton},
    {0, 0},
};

const ControlText kExpert1Texts[] = {
    {IDC_CANCEL, kTextCancel},
    {IDC_EXPERT_OK, kTextBack},
    {IDC_SHOW_EXPERT1, kTextExpertPage1},
    {0, 0},
};

const ControlText kExpert2Texts[] = {
    {IDC_CANCEL, kTextCancel},
    {IDC_EXPERT_OK, kTextBack},
    {IDC_SHOW_EXPERT1, kTextExpertPage1},
    {IDC_SHOW_EXPERT2, kTextExpertPage2},
    {0, 0},
};

namespace {

const ControlText kSetupFormattedTexts[] = {
    {IDC_LANGUAGE_SCRIPT, kTextLanguageScriptBoxFormat},
    {0, 0},
};

}  // namespace

const PageTexts kPageTexts[] = {
    {"welcome page", kWelcomeTexts, nullptr, nullptr},
    {"licence page", kEulaTexts, nullptr, nullptr},
    {"setup page", kSetupTexts, kSetupFormattedTexts, nullptr},
    {"expert page 1", kExpert1Texts, nullptr, kExpert1Rows},
    {"expert page 2", kExpert2Texts, nullptr, nullptr},
    {"finish page", kDoneTexts, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};
