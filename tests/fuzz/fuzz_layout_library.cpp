// Arbitrary files through the packager's layout library reader: no read outside the file (the
// sanitizers watch), and whatever it accepts lies inside the file as the pattern finder and the
// installer will use it; the whole tables and resources of what it accepts are listed.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "tools/packager/layout_library.h"
#include "tools/packager/layout_listing.h"

namespace {

bool Inside(size_t size, size_t offset, size_t length) { return offset <= size && size - offset >= length; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> image(data, data + size);
  LayoutTables tables;
  std::string error;
  if (!ReadLayoutTables(image, &tables, &error)) {
    if (error.empty()) abort();
    return 0;
  }
  if (!Inside(size, tables.mainTable, 2u * tables.mainEntries) || tables.mainEntries == 0) abort();
  for (size_t list : {tables.e0List, tables.e1List}) {
    size_t at = list;
    while (Inside(size, at, 4) && image[at] != 0) at += 4;
    if (!Inside(size, at, 4)) abort();  // accepted without its end record
  }
  if (tables.decimalKey != kNoOffset && !Inside(size, tables.decimalKey, 2u * tables.decimalColumns)) abort();
  // The whole tables and the resources, as "packager inspect" lists them.
  LayoutLibrary library;
  if (ReadLayoutLibrary(image, &library, &error)) LayoutListing(library);
  return 0;
}
