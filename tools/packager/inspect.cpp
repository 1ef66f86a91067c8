#include "tools/packager/inspect.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>

#include "package/guard.h"
#include "tools/packager/file_io.h"
#include "tools/packager/layout_listing.h"
#include "tools/packager/package_file.h"
#include "tools/packager/string_table.h"
#include "tools/packager/utf.h"

namespace {

uint32_t Crc32(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(size)));
}


bool IsTable(const std::string& name) { return name.compare(0, 4, "text") == 0; }

void ListTable(const std::string& where, const uint8_t* plain, uint32_t size, uint32_t count, std::string* out,
               Problems* problems) {
  std::vector<TableRecord> records;
  std::string error;
  if (!ParseStringTable(plain, size, count, &records, &error)) {
    problems->Add(where, 0, "not a valid string table: " + error);
    return;
  }
  for (const TableRecord& record : records) {
    char head[48];
    std::string text;
    if (record.utf8) {
      snprintf(head, sizeof head, "  %10u  UTF-8   ", record.id);
      text = DisplayText(record.bytes);
      std::u16string units;
      if (!RecordUnits(record, &units)) {
        problems->Add(where, 0, "text " + std::to_string(record.id) + ": a UTF-8 record that the program cannot decode");
      }
    } else {
      snprintf(head, sizeof head, "  %10u  UTF-16  ", record.id);
      std::u16string units;
      RecordUnits(record, &units);
      text = DisplayUtf16(units.data(), units.size());
    }
    *out += head + ("\"" + text + "\"\n");
  }
}

}  // namespace

bool InspectPackage(const std::string& path, std::string* out, Problems* problems) {
  const size_t before = problems->Count();
  PackageFile package;
  std::string error;
  if (!LoadPackageFile(path, &package, &error)) {
    problems->AddLine(error);
    return false;
  }
  *out += path + ": package \"" + DisplayText(package.name) + "\", " + std::to_string(package.blobs.size()) + " blobs\n";
  *out += "key block: " + std::to_string(package.keyBlock.Size()) + " bytes\n";
  const GuardLayout& l = package.layout;
  *out += "constants: key offset " + std::to_string(l.keyOffset) + "; move 1: " + std::to_string(l.move1Length) +
          " bytes " + std::to_string(l.move1Source) + " -> " + std::to_string(l.move1Dest) + "; move 2: " +
          std::to_string(l.move2Length) + " bytes " + std::to_string(l.move2Source) + " -> " +
          std::to_string(l.move2Dest) + "; XOR: byte " + std::to_string(l.xorSourcePos) + " into " +
          std::to_string(l.xorLength) + " bytes from " + std::to_string(l.xorStart) + "\n";

  CGuard guard(package.layout);
  const bool loaded = guard.Load(package.keyBlock.Data(), static_cast<int>(package.keyBlock.Size()));
  if (!loaded) {
    problems->Add(path, 0, "the key block (" + std::to_string(package.keyBlock.Size()) +
                               " bytes) does not load; the program needs " + std::to_string(kKeyBlockLength) +
                               "; no blob can be decoded");
  }
  for (const NamedBlob& blob : package.blobs) {
    const std::string where = path + "[" + blob.name + "]";
    std::string line = blob.name + ": stored " + std::to_string(blob.stored.size()) + " bytes, CRC-32 " +
                       HexNumber(Crc32(blob.stored.data(), blob.stored.size()), 8);
    if (!loaded) {
      *out += line + "\n";
      continue;
    }
    uint32_t size = static_cast<uint32_t>(blob.stored.size());
    uint32_t extra = 0;
    uint8_t* plain = guard.DecodeBlob(blob.stored.data(), size, &extra);
    if (!plain) {
      *out += line + "; does not decode\n";
      problems->Add(where, 0, "does not decode (damaged, or enciphered with another key)");
      continue;
    }
    line += "; plain " + std::to_string(size) + " bytes, CRC-32 " + HexNumber(Crc32(plain, size), 8);
    if (IsTable(blob.name)) {
      *out += line + "; string table of " + std::to_string(extra) + (extra == 1 ? " entry\n" : " entries\n");
      ListTable(where, plain, size, extra, out, problems);
    } else {
      if (extra != 0) line += "; extra value " + std::to_string(extra);
      *out += line + "\n";
    }
    free(plain);
  }
  return problems->Count() == before;
}

bool InspectLibrary(const std::string& path, std::string* out, Problems* problems) {
  std::string content, error;
  LayoutLibrary library;
  if (!ReadWholeFile(path, &content, &error)) {
    problems->AddLine(error);
    return false;
  }
  if (!ReadLayoutLibrary(std::vector<uint8_t>(content.begin(), content.end()), &library, &error)) {
    problems->Add(path, 0, "not a layout library: " + error);
    return false;
  }
  *out += path + ": " + LayoutListing(library);
  return true;
}

bool IsLibraryFile(const std::string& path) {
  std::string content, error;
  return ReadWholeFile(path, &content, &error) && content.compare(0, 2, "MZ") == 0;
}
