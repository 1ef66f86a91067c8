// The tables that the pages hand to the control operations of CWndBase, the texts of every
// page's controls, and the lookups that need no window. Every table is a plain array that ends
// with a terminating entry (its first field 0); none owns anything.
#pragma once

#include <cstdint>

// Control identifier and the text it shows.
struct ControlText {
  uint32_t controlId;
  uint32_t textId;
};

// One combo box item: its text and its item data.
struct ComboItem {
  uint32_t textId;
  uint32_t value;
};

// One row of an expert page: its combo box and the scan code of the row's key.
struct KeyRow {
  uint32_t comboId;
  uint32_t key;
};

// A row's key and its remembered choice.
struct KeyPair {
  uint32_t key;
  uint32_t value;
};

// A control identifier list (ControlIdList) is a plain uint32_t array ending with 0.

// The first pair whose key equals key, walking until a pair with key 0 or, when count is not
// negative, until count pairs have been read (the expert pages' arrays have no terminating
// pair). Null for a null array or no match.
const KeyPair* FindPair(uint32_t key, const KeyPair* pairs, int count);
KeyPair* FindPair(uint32_t key, KeyPair* pairs, int count);

// The key of the first row whose combo box is controlId; 0 for a null table, control 0 or no
// match.
uint32_t LookupRowKey(uint32_t controlId, const KeyRow* table);

// The number of entries before the terminating one.
int CountComboItems(const ComboItem* table);

// Each page's ControlTextTable.
extern const ControlText kWelcomeTexts[];
extern const ControlText kEulaTexts[];
extern const ControlText kSetupTexts[];
extern const ControlText kDoneTexts[];
extern const ControlText kExpert1Texts[];
extern const ControlText kExpert2Texts[];

// Expert page 1's rows; each row's check box is captioned by its key's name in the key table.
extern const KeyRow kExpert1Rows[];

// A page and the texts of its controls, which their access keys come from: its ControlTextTable
// and the texts it formats into controls itself (null: none), and its rows, captioned by their
// keys' names (null: none). Titles and bodies, which show a "&" as it is, are not listed. Ends
// with a null name.
struct PageTexts {
  const char* name;
  const ControlText* table;
  const ControlText* formatted;
  const KeyRow* rows;
};
extern const PageTexts kPageTexts[];
