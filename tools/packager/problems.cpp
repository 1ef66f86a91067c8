#include "tools/packager/problems.h"

#include <cstdio>

std::string Where(const std::string& file, int line, int column) {
  if (line <= 0) return file;
  return file + ":" + std::to_string(line) + (column > 0 ? ":" + std::to_string(column) : "");
}

std::string HexOffset(size_t offset) {
  char buffer[24];
  snprintf(buffer, sizeof buffer, "0x%zX", offset);
  return buffer;
}

std::string HexNumber(unsigned value, int digits) {
  char buffer[24];
  snprintf(buffer, sizeof buffer, "%0*X", digits, value);
  return buffer;
}

void Problems::Print() const {
  for (const std::string& line : m_lines) fprintf(stderr, "%s\n", line.c_str());
}
