// Findings of the packager: each one a line "file:line: message" (with ":column" where a file
// is read by columns) that names what it rejects.
#pragma once

#include <string>
#include <vector>

// "file:line", or just "file" when the line is not known (0); "file:line:column" with a column.
std::string Where(const std::string& file, int line, int column = 0);

// An offset into a file as messages print it: hexadecimal with "0x", as hex viewers show it.
std::string HexOffset(size_t offset);

// A number in upper-case hexadecimal digits, at least `digits` of them.
std::string HexNumber(unsigned value, int digits);

class Problems {
 public:
  void Add(const std::string& file, int line, const std::string& message) {
    m_lines.push_back(Where(file, line) + ": " + message);
  }
  void AddAt(const std::string& file, int line, int column, const std::string& message) {
    m_lines.push_back(Where(file, line, column) + ": " + message);
  }
  void AddLine(const std::string& line) { m_lines.push_back(line); }
  bool Empty() const { return m_lines.empty(); }
  size_t Count() const { return m_lines.size(); }
  const std::vector<std::string>& Lines() const { return m_lines; }
  // Writes every line to stderr.
  void Print() const;

 private:
  std::vector<std::string> m_lines;
};
