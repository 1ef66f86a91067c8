#include "ui/control_tables.h"

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
