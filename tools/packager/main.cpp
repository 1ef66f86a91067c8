// packager: builds the embedded package of the setup program from a package folder, and lists
// and checks built packages.
//
//   packager build <folder|package.toml> --out-dir DIR [--var NAME=VALUE]... [--damage=KIND]
//   packager inspect <package.bin|LIBRARY.dll>
//   packager check <package.bin|folder|package.toml> [--require=LIST] [--var NAME=VALUE]...
//   packager patterns LIBRARY...
//   packager compile LAYOUT.klc --out DIR
//   packager new FOLDER --language HEX --layout KLID --layout-id HEX [--x86 FILE] [--x64 FILE]
//                [--wow64 FILE] [--itanium FILE] [--arm64 FILE] [--from DEMO]
//
// Exit codes: 0 done / no problem, 1 a problem (each reported on stderr as one line naming the
// file, line and field or text identifier), 2 a usage error.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>

#include "tools/packager/access_keys.h"
#include "tools/packager/builder.h"
#include "tools/packager/check.h"
#include "tools/packager/image_check.h"
#include "tools/packager/inspect.h"
#include "tools/packager/klc_compile.h"
#include "tools/packager/new_package.h"
#include "tools/packager/package_review.h"
#include "tools/packager/pattern_finder.h"

namespace {

bool ParseVariables(const std::vector<std::string>& items, Variables* out, std::string* error) {
  for (const std::string& item : items) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos || equals == 0) {
      *error = "--var " + item + ": NAME=VALUE expected";
      return false;
    }
    (*out)[item.substr(0, equals)] = item.substr(equals + 1);
  }
  return true;
}

int Build(const std::string& input, const std::string& outDir, const std::vector<std::string>& vars,
          const std::string& damageName) {
  Variables variables;
  std::string error;
  if (!ParseVariables(vars, &variables, &error)) {
    fprintf(stderr, "packager: %s\n", error.c_str());
    return 2;
  }
  Damage damage = Damage::kNone;
  if (damageName == "table-byte") {
    damage = Damage::kTableByte;
  } else if (damageName == "key-block-length") {
    damage = Damage::kKeyBlockLength;
  }
  Problems problems;
  Manifest manifest;
  PackageFile package;
  std::vector<std::string> report;
  if (!LoadManifest(ManifestPathOf(input), variables, &manifest, &problems) ||
      !BuildPackage(manifest, damage, &package, &problems) || !WriteOutputs(package, outDir, &report, &problems)) {
    problems.Print();
    return 1;
  }
  for (const std::string& line : report) printf("%s\n", line.c_str());
  if (damage != Damage::kNone) printf("warning: this package is damaged on purpose (--damage=%s)\n", damageName.c_str());
  return 0;
}

int Inspect(const std::string& path) {
  std::string listing;
  Problems problems;
  const bool ok = IsLibraryFile(path) ? InspectLibrary(path, &listing, &problems)
                                      : InspectPackage(path, &listing, &problems);
  fwrite(listing.data(), 1, listing.size(), stdout);
  fflush(stdout);
  problems.Print();
  return ok ? 0 : 1;
}

int Check(const std::string& input, const std::string& requireList, bool requireGiven, const std::vector<std::string>& vars) {
  Variables variables;
  std::string error;
  if (!ParseVariables(vars, &variables, &error)) {
    fprintf(stderr, "packager: %s\n", error.c_str());
    return 2;
  }
  std::vector<uint32_t> required = ProgramTextIds();
  if (requireGiven) {
    if (!ParseIdList(requireList, &required, &error)) {
      fprintf(stderr, "packager: --require=%s\n", error.c_str());
      return 2;
    }
  }
  Problems problems;
  TableSet tables;
  std::error_code ec;
  const bool folder = std::filesystem::is_directory(input, ec) ||
                      std::filesystem::path(input).extension() == ".toml";
  // The manifest is read, or the package file opened, once for the tables and the images.
  Manifest manifest;
  PackageFile package;
  std::unique_ptr<CGuard> guard;
  bool loaded;
  if (folder) {
    LoadManifest(ManifestPathOf(input), variables, &manifest, &problems);  // its faults are findings too
    loaded = TablesFromManifest(manifest, &tables, &problems);
  } else {
    loaded = OpenPackageFile(input, &package, &guard, &problems) &&
             TablesFromPackage(input, package, *guard, &tables, &problems);
  }
  // With a table missing every identifier would look absent: fix what stops the reading first.
  Problems warnings;
  if (loaded) {
    CheckTables(tables, required, &problems);
    std::vector<LayoutImage> images;
    if (folder) {
      ImagesFromManifest(manifest, &images, &problems);
    } else {
      ImagesFromPackage(input, package, *guard, &images, &problems);
    }
    CheckImages(tables, images, &problems);
    if (folder) {
      ReviewPackage(manifest.path, manifest.keyLine, manifest.key.block, tables, images, &warnings);
    } else {
      ReviewPackage(input, 0, package.keyBlock, tables, images, &warnings);
    }
    ReviewAccessKeys(tables, &warnings);
  }
  problems.Print();
  for (const std::string& line : warnings.Lines()) fprintf(stderr, "warning: %s\n", line.c_str());
  if (problems.Empty()) {
    printf("%s: no problems%s\n", input.c_str(),
           warnings.Empty() ? "" : (", " + std::to_string(warnings.Count()) + " warning(s)").c_str());
  }
  return problems.Empty() ? 0 : 1;
}

int Patterns(const std::vector<std::string>& libraries) {
  std::string text;
  Problems problems;
  const bool ok = FindLayoutPatterns(libraries, &text, &problems);
  fwrite(text.data(), 1, text.size(), stdout);
  fflush(stdout);
  problems.Print();
  return ok ? 0 : 1;
}

int Compile(const std::string& klc, const std::string& outDir) {
  CompiledLayout layout;
  std::vector<std::string> report;
  Problems problems;
  const bool ok = CompileKlcFile(klc, &layout, &problems) && WriteCompiledLayout(layout, outDir, &report, &problems);
  for (const std::string& line : report) printf("%s\n", line.c_str());
  fflush(stdout);
  problems.Print();
  return ok ? 0 : 1;
}

int New(const NewPackageOptions& options) {
  std::vector<std::string> report;
  Problems problems;
  const bool ok = CreatePackage(options, &report, &problems);
  for (const std::string& line : report) printf("%s\n", line.c_str());
  fflush(stdout);
  problems.Print();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Builds, lists and checks the embedded package of the keyboard layout setup program."};
  app.require_subcommand(1);

  std::string buildInput, outDir, damage;
  std::vector<std::string> buildVars;
  CLI::App* build = app.add_subcommand("build", "Build embedded_package.cpp and package.bin from a package folder");
  build->add_option("package", buildInput, "Package folder or its package.toml")->required();
  build->add_option("--out-dir", outDir, "Folder of the outputs")->required();
  build->add_option("--var", buildVars, "NAME=VALUE for ${NAME} in the manifest's paths")->allow_extra_args(false);
  build->add_option("--damage", damage,
                    "TEST ONLY: damage the package on purpose (table-byte: flip a byte of the common table blob; "
                    "key-block-length: emit a key block of 967 bytes)")
      ->check(CLI::IsMember({"table-byte", "key-block-length"}));

  std::string inspectInput;
  CLI::App* inspect = app.add_subcommand(
      "inspect", "List every blob of a package file, decoded, or what every key of a layout library types");
  inspect->add_option("file", inspectInput, "package.bin or a layout library")->required();

  std::string checkInput, requireList;
  std::vector<std::string> checkVars;
  CLI::App* check =
      app.add_subcommand("check", "Check the texts and layout images of a package file or a package folder");
  check->add_option("package", checkInput, "package.bin, a package folder or its package.toml")->required();
  CLI::Option* require = check->add_option(
      "--require", requireList, "Required text identifiers, e.g. 4,50-51,93 (default: every text the program uses)");
  check->add_option("--var", checkVars, "NAME=VALUE for ${NAME} in the manifest's paths")->allow_extra_args(false);

  std::vector<std::string> patternLibraries;
  CLI::App* patterns = app.add_subcommand(
      "patterns", "Print the search patterns (texts 146-151) that fit every given layout library");
  patterns->add_option("library", patternLibraries, "Layout libraries: x86, x64, WOW64, ARM64 and Itanium editions")
      ->required();

  std::string klcInput, compileOut;
  CLI::App* compile = app.add_subcommand(
      "compile", "Compile a .klc layout source into its libraries: x86, x64, WOW64 and ARM64 editions");
  compile->add_option("klc", klcInput, "The layout's .klc file (UTF-16 with a byte-order mark, or UTF-8)")->required();
  compile->add_option("--out", compileOut, "Folder of the editions (i386/, amd64/, wow64/, arm64/)")->required();

  NewPackageOptions created;
  created.from = SETUP_DEMO_PACKAGE_DIR;
  CLI::App* make = app.add_subcommand("new", "Make a package folder for another layout from the demo package");
  make->add_option("folder", created.folder, "The new package folder (must not exist)")->required();
  make->add_option("--language", created.language, "Language of the layout, hexadecimal (text 86), e.g. 0427")
      ->required();
  make->add_option("--layout", created.layout, "Layout identifier, 8 hexadecimal digits (text 85), e.g. a0010427")
      ->required();
  make->add_option("--layout-id", created.layoutId, "Layout id, 4 hexadecimal digits (text 87), unique on the machine")
      ->required();
  make->add_option("--x86", created.x86, "The 32-bit layout library");
  make->add_option("--x64", created.x64, "The x64 layout library");
  make->add_option("--wow64", created.wow64, "The WOW64 edition (32-bit code, tables with 64-bit pointers)");
  make->add_option("--itanium", created.itanium, "The Itanium layout library");
  make->add_option("--arm64", created.arm64, "The ARM64 layout library");
  make->add_option("--from", created.from, "The demo package folder to copy")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  if (*build) return Build(buildInput, outDir, buildVars, damage);
  if (*inspect) return Inspect(inspectInput);
  if (*patterns) return Patterns(patternLibraries);
  if (*compile) return Compile(klcInput, compileOut);
  if (*make) return New(created);
  return Check(checkInput, requireList, require->count() > 0, checkVars);
}
