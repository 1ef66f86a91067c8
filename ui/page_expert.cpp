#include "ui/page_expert.h"

#include <cstdlib>

#include "app/text_ids.h"
#include "ui/resource_ids.h"
#include "ui/wizard.h"

namespace {

const ComboItem kChoices1[] = {
    {kTextNoChange, 0}, {kTextKeySwitchedOff, 0xFF}, {176, 0x20}, {280, 0xA0}, {281, 0x1A1}, {282, 0xA2},
    {283, 0x1A3}, {284, 0xA4}, {285, 0x1A5}, {228, 0x15B}, {229, 0x15C}, {230, 0x15D}, {317, 0xE2},
    {175, 0x1B}, {311, 0xC0}, {167, 0x9}, {174, 0x14}, {279, 0x91}, {278, 0x90}, {189, 0x12D},
    {190, 0x12E}, {180, 0x124}, {179, 0x123}, {177, 0x121}, {178, 0x122}, {188, 0x2C}, {173, 0x13},
    {0, 0},
};

const uint32_t kHidden1[] = {1315, 1316, 1317, 1318, 1319, 1320, 1415, 1416, 1417, 1418, 1419, 1420,
                             IDC_SHOW_EXPERT2, 0};

// Page 2: scan codes.
const KeyRow kRows2[] = {
    {1601, 0x3A},   {1602, 0x1D},   {1603, 0xE068}, {1604, 0xE067}, {1605, 0xE065}, {1606, 0xE066},
    {1607, 0xE032}, {1608, 0xE06C}, {1609, 0xE06B}, {1610, 0xE021}, {1611, 0xE030}, {1612, 0xE02E},
    {1613, 0xE020}, {1614, 0xE022}, {1615, 0xE024}, {1616, 0xE010}, {1617, 0xE019}, {1618, 0xE06D},
    {1619, 0xE05F}, {1620, 0xE05E}, {0, 0},
};

const ComboItem kChoices2[] = {
    {kTextNoChange, 0}, {kTextKeySwitchedOff, 0xFF}, {287, 0xE06A}, {288, 0xE069}, {290, 0xE068},
    {289, 0xE067}, {291, 0xE065}, {292, 0xE066}, {293, 0xE032}, {301, 0xE06C}, {303, 0xE06B},
    {304, 0xE021}, {296, 0xE030}, {295, 0xE02E}, {294, 0xE020}, {300, 0xE022}, {299, 0xE024},
    {298, 0xE010}, {297, 0xE019}, {302, 0xE06D}, {232, 0xE05F}, {231, 0xE05E}, {174, 0x3A},
    {282, 0x1D}, {0, 0},
};

const uint32_t kHidden2[] = {1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510, 1511, 1512, 1513, 1514,
                             1515, 1516, 1517, 1518, 1519, 1520, 1601, 1602, 1603, 1604, 1605, 1606, 1607, 1608,
                             1609, 1610, 1611, 1612, 1613, 1614, 1615, 1616, 1617, 1618, 1619, 1620, 0};

const ExpertDesign kExpert1 = {IDC_EXPERT1_CHECK_FIRST, IDC_EXPERT1_COMBO_FIRST, kExpert1Rows, kChoices1, kHidden1,
                               kExpert1Texts, &KeyEntry::virtualKey, 1, 0, CBN_SELENDOK, IDC_SHOW_EXPERT2,
                               UM_SHOW_EXPERT2};

const ExpertDesign kExpert2 = {IDC_EXPERT2_CHECK_FIRST, IDC_EXPERT2_COMBO_FIRST, kRows2, kChoices2, kHidden2,
                               kExpert2Texts, &KeyEntry::hardwareCode, 0, 1, CBN_SELCHANGE, IDC_SHOW_EXPERT1,
                               UM_SHOW_EXPERT1};

int CountRows(const KeyRow* rows) {
  int count = 0;
  while (rows[count].comboId) ++count;
  return count;
}

}  // namespace

ExpertRows::~ExpertRows() {
  free(m_pairs);
  free(m_listLoaded);
}

int ExpertRows::RowOfCombo(int comboId) const {
  const int row = comboId - m_design.firstCombo;
  return row >= 0 && row < m_rowCount ? row : -1;
}

KeyEntry* ExpertRows::EntryOfCombo(int comboId, uint32_t* key) const {
  *key = CWndBase::LookupRowKey(comboId, m_design.rows);
  return *key ? m_page->m_wizard->FindKey(*key) : nullptr;
}

int ExpertRows::ChoiceIndex(uint32_t value) const {
  // The list lacks the no-change entry, so choice k is item k - 1.
  for (int k = 1; m_design.choices[k].textId; ++k)
    if (m_design.choices[k].value == value) return k - 1;
  return -1;
}

uint32_t ExpertRows::DefaultChoice(uint32_t key) const {
  const KeyEntry* builtIn = m_page->m_wizard->FindDefaultKey(key);
  if (!builtIn) return 0;
  return m_design.defaultIsKeyItself ? builtIn->scanCode : builtIn->*m_design.field;
}

// Gives a row's combo box every choice but the no-change entry, selecting the value's choice
// (none when it has none).
int ExpertRows::FillFullList(int row, uint32_t selectValue) {
  const int comboId = m_design.firstCombo + row;
  HWND combo = GetDlgItem(m_page->m_hWnd, comboId);
  if (!m_page->FillComboItem(comboId, m_design.choices, selectValue)) return 0;
  SendMessageW(combo, CB_DELETESTRING, 0, 0);
  // Selected again by position: the deletion need not carry the selection along.
  m_page->SelectComboIndex(combo, ChoiceIndex(selectValue));
  if (m_listLoaded) m_listLoaded[row] = 1;
  return 1;
}

void ExpertRows::Initialise() {
  m_page->SetWizardStep(kStepExpert);
  m_page->FitToPage();
  m_page->EnableItems(m_design.hidden, 0);
  m_page->ShowItems(m_design.hidden, 0);
  m_page->SetItemTexts(m_design.texts);

  m_rowCount = CountRows(m_design.rows);
  m_pairs = static_cast<KeyPair*>(calloc(static_cast<size_t>(m_rowCount), sizeof(KeyPair)));
  m_listLoaded = static_cast<int32_t*>(calloc(static_cast<size_t>(m_rowCount), sizeof(int32_t)));
  for (int row = 0; row < m_rowCount; ++row) {
    const uint32_t key = m_design.rows[row].key;
    const KeyEntry* entry = m_page->m_wizard->FindKey(key);
    if (entry) {
      m_page->SetItemText(m_design.firstCheck + row, entry->captionText);
      m_page->SetItemText(m_design.firstCombo + row + IDC_EXPERT_LABEL_OFFSET, entry->captionText);
    }
    if (m_pairs) {
      m_pairs[row].key = key;
      m_pairs[row].value = entry ? entry->*m_design.field : 0;
    }
  }
  if (!m_pairs || !m_listLoaded) return;  // the rows then start unticked; the write back still works

  for (int row = 0; row < m_rowCount; ++row) {
    const uint32_t value = m_pairs[row].value;
    if (!value) continue;
    const int comboId = m_design.firstCombo + row;
    m_page->CheckItem(m_design.firstCheck + row, 1);
    m_page->EnableItem(comboId, 1);
    const int index = ChoiceIndex(value);
    if (!m_design.listOnDropDown || index < 0) {
      FillFullList(row, value);
      continue;
    }
    // Only the current choice; the whole list comes when the person opens it.
    HWND combo = GetDlgItem(m_page->m_hWnd, comboId);
    GString text;
    m_page->LoadItemTextInto(m_design.choices[index + 1].textId, text);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    const LRESULT item = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.WideAt(0)));
    if (item == CB_ERR || item == CB_ERRSPACE) continue;
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(item), static_cast<LPARAM>(value));
    m_page->SelectComboIndex(combo, 0);
  }
}

void ExpertRows::Toggle(int checkId) {
  const int row = RowOfCombo(checkId + 100);
  if (checkId < m_design.firstCheck || row < 0) return;
  const int comboId = checkId + 100;
  HWND combo = GetDlgItem(m_page->m_hWnd, comboId);
  if (!combo) return;
  const uint32_t key = CWndBase::LookupRowKey(comboId, m_design.rows);
  if (!key) return;
  const int ticked = m_page->IsItemChecked(checkId);
  m_page->EnableItem(comboId, ticked);
  KeyPair* pair = FindPair(key, m_pairs, m_rowCount);

  if (!ticked) {
    // The choice is remembered for a later tick; a blank item shows that the key stays as it is.
    const uint32_t value = static_cast<uint32_t>(m_page->GetComboSelData(comboId));
    if (pair) pair->value = value;
    const LRESULT item = SendMessageW(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(U16(" ")));
    if (item == CB_ERR || item == CB_ERRSPACE) return;
    SendMessageW(combo, CB_SETITEMDATA, 0, 0);
    m_page->SelectComboIndex(combo, 0);
    return;
  }

  uint32_t value = pair ? pair->value : 0;
  if (!value) value = DefaultChoice(key);
  // A list that holds only the initial choice (never opened) is completed first, so that the
  // remembered choice can be selected and is not lost.
  if (!m_listLoaded || !m_listLoaded[row]) {
    FillFullList(row, 0);
  } else if (SendMessageW(combo, CB_GETITEMDATA, 0, 0) == 0) {
    SendMessageW(combo, CB_DELETESTRING, 0, 0);  // the blank item of the untick
  }
  const int index = ChoiceIndex(value);
  m_page->SelectComboIndex(combo, index < 0 ? 0 : index);
}

void ExpertRows::Store(int comboId) {
  uint32_t key = 0;
  KeyEntry* entry = EntryOfCombo(comboId, &key);
  if (!key) return;
  const uint32_t value = static_cast<uint32_t>(m_page->GetComboSelData(comboId));
  if (entry) entry->*m_design.field = static_cast<uint16_t>(value);
  if (KeyPair* pair = FindPair(key, m_pairs, m_rowCount)) pair->value = value;
}

void ExpertRows::LoadList(int comboId) {
  const int row = RowOfCombo(comboId);
  if (row < 0 || !m_listLoaded || m_listLoaded[row]) return;
  uint32_t key = 0;
  const KeyEntry* entry = EntryOfCombo(comboId, &key);
  if (!entry) return;
  FillFullList(row, entry->*m_design.field);
}

void ExpertRows::WriteBack() {
  for (int row = 0; row < m_rowCount; ++row) {
    const int comboId = m_design.firstCombo + row;
    KeyEntry* entry = m_page->m_wizard->FindKey(m_design.rows[row].key);
    if (!entry) continue;
    if (!m_page->IsItemChecked(m_design.firstCheck + row)) {
      entry->*m_design.field = 0;
      continue;
    }
    // A ticked row without a selection (its value is none of the choices) keeps its value.
    HWND combo = GetDlgItem(m_page->m_hWnd, comboId);
    if (SendMessageW(combo, CB_GETCURSEL, 0, 0) == CB_ERR) continue;
    entry->*m_design.field = static_cast<uint16_t>(m_page->GetComboSelData(comboId));
  }
  m_page->m_wizard->NormaliseKeys();
}

int ExpertRows::OnCommand() {
  const int id = m_page->m_controlId;
  const uint16_t code = m_page->m_notifyCode;
  if (code == BN_CLICKED) {
    if (id == IDC_CANCEL) {
      m_page->PostToMain(UM_CANCEL);  // choices already stored stay in the key table
      return 1;
    }
    if (id == IDC_EXPERT_OK || id == m_design.otherPageButton) {
      WriteBack();
      m_page->PostToMain(id == IDC_EXPERT_OK ? UM_SHOW_SETUP : m_design.otherPageMessage);
      return 1;
    }
    Toggle(id);
  } else if (code == m_design.storeNotification) {
    Store(id);
  } else if (code == CBN_DROPDOWN && m_design.listOnDropDown) {
    LoadList(id);
  }
  return 0;
}

CDlgExpert1::CDlgExpert1() : m_rows(this, kExpert1) {}

int CDlgExpert1::OnInitDialog() {
  if (!m_wizard) return 0;
  m_rows.Initialise();
  SetFocus(GetDlgItem(m_hWnd, IDC_EXPERT_OK));
  SetForegroundWindow(m_hWnd);
  return 0;  // the focus stays on OK
}

int CDlgExpert1::OnCommand() { return m_wizard ? m_rows.OnCommand() : 0; }

CDlgExpert2::CDlgExpert2() : m_rows(this, kExpert2) {}

int CDlgExpert2::OnInitDialog() {
  if (!m_wizard) return 0;
  m_rows.Initialise();
  return 1;
}

int CDlgExpert2::OnCommand() { return m_wizard ? m_rows.OnCommand() : 0; }
