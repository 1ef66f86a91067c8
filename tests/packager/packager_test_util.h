// Helpers of the packager tests: throwaway package folders on disk.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>

#include <filesystem>
#include <fstream>
#include <string>

#include "tools/packager/problems.h"

inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "packager-test-XXXXXX").string();
    m_path = mkdtemp(&pattern[0]) ? pattern : std::string();
  }
  ~TempFolder() {
    std::error_code ec;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string Path(const std::string& relative = "") const {
    return relative.empty() ? m_path : (std::filesystem::path(m_path) / relative).string();
  }
  void Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path path = Path(relative);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  std::string Read(const std::string& relative) const { return ReadAll(Path(relative)); }

 private:
  std::string m_path;
};

// Everything a valid package needs: the manifest (the given extra lines appended) and its
// four text files and two licence texts.
inline void WriteMinimalPackage(const TempFolder& folder, const std::string& extraManifest = "") {
  folder.Write("package.toml",
               "[package]\n"
               "name = \"Test\"\n"
               "seed = \"test-seed\"\n"
               "[texts]\n"
               "common = \"texts/common.txt\"\n"
               "extra = \"texts/extra.txt\"\n"
               "language0 = \"texts/en.txt\"\n"
               "language1 = \"texts/pl.txt\"\n"
               "[licence]\n"
               "language0 = \"licence/en.txt\"\n"
               "language1 = \"licence/pl.txt\"\n" +
                   extraManifest);
  folder.Write("texts/common.txt", "== 86\n0415\n== 4\nSoftware\\Demo\n");
  folder.Write("texts/extra.txt", "== 94\nFrame\n== 331\n1.0\n== 332\nTest\n");
  folder.Write("texts/en.txt", "== 93\nSetup\n== 97\nWelcome to %s\n");
  folder.Write("texts/pl.txt", "== 93\nInstalator\n== 97\nWitamy: %s\n");
  folder.Write("licence/en.txt", "Licence\nline two\n");
  folder.Write("licence/pl.txt", "Licencja\n");
}

// Search patterns (texts 146-151, for a common table) and layout images that they fit.
// PutFakeLayout writes, once each, the main table of a variant at kFakeMainTable, the E0 and E1
// lists and the decimal key's characters, all within the first kFakeLayoutBytes; the bytes
// around them must not hold a pattern.
inline const char kFakePatternTexts[] =
    "== 146\n2E002E00\n"
    "== 147\nFF001B003100\n"
    "== 148\nFF001B003200\n"
    "== 149\nFF001B003300\n"
    "== 150\n1C000D801D00\n"
    "== 151\n1D001302\n";
constexpr size_t kFakeMainTable = 16, kFakeE0List = 272, kFakeE1List = 288, kFakeDecimal = 296,
                 kFakeLayoutBytes = 300;

// Writes the bytes of hexadecimal digit pairs into image from offset, growing it when needed.
inline void PutHex(std::string* image, size_t offset, const std::string& hex) {
  if (image->size() < offset + hex.size() / 2) image->resize(offset + hex.size() / 2, '\x90');
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    (*image)[offset + i / 2] = static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
}

// A main table of 127 virtual keys whose first bytes are the variant's pattern.
inline void PutFakeMainTable(std::string* image, size_t offset, int variant) {
  PutHex(image, offset, "FF001B003" + std::to_string(1 + variant) + "00" + std::string(2 * (254 - 6), '0'));
}

inline void PutFakeLayout(std::string* image, int variant) {
  PutFakeMainTable(image, kFakeMainTable, variant);
  PutHex(image, kFakeE0List, "1C000D80" "1D00A381" "35006F01" "00000000");
  PutHex(image, kFakeE1List, "1D001302" "00000000");
  PutHex(image, kFakeDecimal, "2E002E00");
}

inline std::string Joined(const Problems& problems) {
  std::string out;
  for (const std::string& line : problems.Lines()) out += line + "\n";
  return out;
}

// The packager program run with arguments (PACKAGER_EXE), stdout and stderr together.
struct CommandRun {
  int exitCode;
  std::string output;
};

inline CommandRun Packager(const std::string& arguments) {
  CommandRun run{-1, ""};
  FILE* pipe = popen((std::string(PACKAGER_EXE) + " " + arguments + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, got);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
