#include "tools/packager/file_io.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

bool ReadWholeFile(const std::string& path, std::string* content, std::string* error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    *error = path + ": is a folder, not a file";
    return false;
  }
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) {
    *error = path + ": cannot open: " + strerror(errno);
    return false;
  }
  content->clear();
  // Room for the whole file first: growing would leave copies of key material behind.
  if (fseek(file, 0, SEEK_END) == 0) {
    const long size = ftell(file);
    if (size > 0) content->reserve(static_cast<size_t>(size));
    fseek(file, 0, SEEK_SET);
  }
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) content->append(buffer, got);
  const bool failed = ferror(file) != 0;
  fclose(file);
  if (failed) {
    *error = path + ": read error";
    return false;
  }
  return true;
}

bool WriteFileIfChanged(const std::string& path, std::string_view content, bool* changed, std::string* error) {
  *changed = false;
  std::string existing;
  std::string ignored;
  const bool same = ReadWholeFile(path, &existing, &ignored) && existing == content;
  std::fill(existing.begin(), existing.end(), '\0');  // it may hold a key block
  if (same) return true;

  const std::string temp = path + ".tmp." + std::to_string(getpid());
  FILE* file = fopen(temp.c_str(), "wb");
  if (!file) {
    *error = temp + ": cannot create: " + strerror(errno);
    return false;
  }
  bool ok = fwrite(content.data(), 1, content.size(), file) == content.size();
  ok = fflush(file) == 0 && ok;
  ok = fclose(file) == 0 && ok;
  if (!ok) {
    *error = temp + ": write error";
    remove(temp.c_str());
    return false;
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    *error = path + ": cannot replace: " + ec.message();
    remove(temp.c_str());
    return false;
  }
  *changed = true;
  return true;
}
