// The expert pages (step 4): a grid of rows, one physical key each, a check box with the key's
// name and a list of choices. Page 1 reassigns the key code the layout gives a key (virtualKey of
// the installer's key table), page 2 the scan code the system's scan-code map sends instead
// (hardwareCode). Leaving a page by OK or by the other page's button writes every row into the key
// table and normalises it. Both pages share the row logic (ExpertRows); a design record holds
// what tells them apart.
#pragma once

#include <cstdint>

#include "app/key_table.h"
#include "ui/wnd_base.h"

// What tells the two expert pages apart.
struct ExpertDesign {
  int firstCheck;  // check box of row 1; the combo box of a row is its check box + 100
  int firstCombo;
  const KeyRow* rows;  // terminated
  const ComboItem* choices;  // entry 0 is "no change" and never offered in an enabled row
  const uint32_t* hidden;
  const ControlText* texts;
  uint16_t KeyEntry::*field;     // virtualKey or hardwareCode
  int listOnDropDown;            // 1: a row ticked at initialisation gets the full list when opened
  int defaultIsKeyItself;        // a newly ticked row offers the key's own scan code, not its key code
  uint16_t storeNotification;    // the combo notification that stores a choice
  int otherPageButton;
  UINT otherPageMessage;
};

// The rows of one expert page, bound to its window object.
class ExpertRows {
 public:
  ExpertRows(CWndBase* page, const ExpertDesign& design) : m_page(page), m_design(design) {}
  ~ExpertRows();
  ExpertRows(const ExpertRows&) = delete;
  ExpertRows& operator=(const ExpertRows&) = delete;

  // Hides what the page hides, sets the texts and shows the key table's current values.
  void Initialise();
  // The page's command handling; 1 when handled.
  int OnCommand();

  void Toggle(int checkId);
  void Store(int comboId);
  void LoadList(int comboId);
  void WriteBack();

  KeyPair* m_pairs = nullptr;  // one per row: the row's key and its remembered choice
  int32_t m_rowCount = 0;
  int32_t* m_listLoaded = nullptr;  // per row: 1 once its combo box holds the full choice list

 private:
  int RowOfCombo(int comboId) const;  // -1 outside the table
  KeyEntry* EntryOfCombo(int comboId, uint32_t* key) const;
  int FillFullList(int row, uint32_t selectValue);
  int ChoiceIndex(uint32_t value) const;  // the list index of the first choice with value; -1: none
  uint32_t DefaultChoice(uint32_t key) const;

  CWndBase* m_page;
  const ExpertDesign& m_design;
};

// The intermediate base of expert page 1; it adds nothing.
class CDlgInstallBase : public CWndBase {};

class CDlgExpert1 : public CDlgInstallBase {
 public:
  CDlgExpert1();
  int OnInitDialog() override;
  int OnCommand() override;

  ExpertRows m_rows;
};

// Unreachable by a person: its button is hidden on every page and its own rows are all hidden.
class CDlgExpert2 : public CWndBase {
 public:
  CDlgExpert2();
  int OnInitDialog() override;
  int OnCommand() override;

  ExpertRows m_rows;
};
