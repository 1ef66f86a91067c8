// The checks of a package's texts: what the program needs of its four string tables.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package/guard.h"
#include "tools/packager/manifest.h"
#include "tools/packager/package_file.h"
#include "tools/packager/problems.h"
#include "tools/packager/text_file.h"

// The four tables as texts with their locations: from a package folder (file:line of every
// text) or from a package file (the blob's name, no lines).
struct TableSet {
  std::string origin;              // the manifest or the package file
  TextFile tables[kTableSlots];    // common, extra, language 0, language 1
};

bool LoadTablesFromFolder(const std::string& folderOrManifest, const Variables& variables, TableSet* out,
                          Problems* problems);
bool LoadTablesFromPackage(const std::string& packagePath, TableSet* out, Problems* problems);

// A package file read and its key block loaded into guard (made with the file's constants), so
// that its blobs can be decoded as the program does; false after reporting what stopped it.
bool OpenPackageFile(const std::string& packagePath, PackageFile* package, std::unique_ptr<CGuard>* guard,
                     Problems* problems);

// The same from a manifest already read (even one with faults: the tables it names are read)
// and from a package file already opened, for a command that also needs their images.
bool TablesFromManifest(const Manifest& manifest, TableSet* out, Problems* problems);
bool TablesFromPackage(const std::string& packagePath, const PackageFile& package, const CGuard& guard, TableSet* out,
                       Problems* problems);

// "4,50-51,93": identifiers and inclusive ranges, blanks allowed; "" gives none. At most
// kMaxRequiredIds identifiers, repeats counted.
constexpr size_t kMaxRequiredIds = 65536;
bool ParseIdList(const std::string& text, std::vector<uint32_t>* ids, std::string* error);

// The text the program shows in interface language 0 or 1: from its language table, else the
// common one, else the extra one; null when none holds it. *table is the one that does.
const TextEntry* LookupText(const TableSet& tables, int language, uint32_t id, const TextFile** table);

// Every identifier the program asks for (app/text_ids.h).
const std::vector<uint32_t>& ProgramTextIds();

// The "%" conversions of a format text, each in a canonical form ("%-08.2lld" and "%0-8.2Ld"
// give the same), in order. "%%" and "%N" (a line break, no argument) and letters that the
// engine copies as text are left out: only what takes arguments must agree across languages.
std::vector<std::string> FormatConversions(const std::string& utf8);

// Runs every check; one line per problem. Checks:
//   - every required identifier is reachable for both languages (language table, common, extra);
//   - both language tables hold the same identifiers;
//   - texts paired across the languages have the same conversions in the same order;
//   - pattern texts 146-151 are non-empty upper-case hexadecimal digit pairs;
//   - text 86, the package's language identifier, is hexadecimal (1 to 4 digits).
void CheckTables(const TableSet& tables, const std::vector<uint32_t>& required, Problems* problems);
