// Arbitrary files through the .klc compiler: no read outside the file (the sanitizers watch), a
// refusal always says why, and what it accepts is emitted in every edition and reads back as
// the same tables.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tools/packager/klc_reader.h"
#include "tools/packager/klc_tables.h"
#include "tools/packager/layout_emitter.h"
#include "tools/packager/layout_listing.h"

namespace {

// The listing without its first line, which names the edition.
std::string Tables(const LayoutLibrary& library) {
  const std::string listing = LayoutListing(library);
  return listing.substr(listing.find('\n') + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  KlcSource source;
  Problems problems;
  LayoutLibrary built;
  if (!ParseKlc("fuzz.klc", std::string(reinterpret_cast<const char*>(data), size), &source, &problems) ||
      !BuildLayout(source, &built.tables, &built.resources, &problems)) {
    if (problems.Empty()) abort();
    return 0;
  }
  for (LayoutEdition edition : kCompiledEditions) {
    LayoutLibrary read;
    std::string error;
    if (!ReadLayoutLibrary(EmitLayoutLibrary(built.tables, built.resources, edition, source.name), &read, &error) ||
        Tables(read) != Tables(built)) {
      abort();
    }
  }
  return 0;
}
