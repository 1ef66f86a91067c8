// A LayoutModel as the bytes of a library's tables (KBDTABLES and everything it points to, laid
// out as layout_tables_reader.cpp reads them), for pointers of 4 or 8 bytes. Pointers are
// written as offsets into the bytes; PlaceTables turns them into addresses.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/packager/layout_model.h"

struct TablesBlob {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> pointers;  // offsets of the pointer fields
  uint32_t tables = 0;             // offset of KBDTABLES
  unsigned pointerSize = 0;
};

TablesBlob WriteTables(const LayoutModel& model, unsigned pointerSize);

// Adds the blob's address to every pointer field (its low 32 bits for an address below 4 GiB in
// a field of 8 bytes, the WOW64 edition's case, whose high half stays 0).
void PlaceTables(TablesBlob* blob, uint64_t address);
