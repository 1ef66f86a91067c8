// Helpers of the packager tests: throwaway package folders on disk.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

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
  folder.Write("texts/extra.txt", "== 94\nFrame\n");
  folder.Write("texts/en.txt", "== 93\nSetup\n== 97\nWelcome to %s\n");
  folder.Write("texts/pl.txt", "== 93\nInstalator\n== 97\nWitamy: %s\n");
  folder.Write("licence/en.txt", "Licence\nline two\n");
  folder.Write("licence/pl.txt", "Licencja\n");
}

inline std::string Joined(const Problems& problems) {
  std::string out;
  for (const std::string& line : problems.Lines()) out += line + "\n";
  return out;
}
