#include "tools/packager/text_file.h"

#include <cstdio>
#include <map>

#include "tools/packager/file_io.h"
#include "tools/packager/utf.h"

namespace {

struct PendingLine {
  std::string text;
  bool kept;  // written as "\": survives the dropping of trailing empty lines
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Column (1-based, in characters) of a byte offset in a valid prefix of a line.
int ColumnOf(std::string_view line, size_t offset) {
  int column = 1;
  for (size_t i = 0; i < offset && i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  }
  return column;
}

// Checks a line's bytes: UTF-8 and no control characters other than tab.
bool CheckLine(const std::string& path, int lineNo, std::string_view line, Problems* problems) {
  std::u32string decoded;
  size_t bad = 0;
  if (!DecodeUtf8(line, &decoded, &bad)) {
    problems->Add(path, lineNo, "invalid UTF-8 at column " + std::to_string(ColumnOf(line, bad)));
    return false;
  }
  int column = 1;
  for (char32_t c : decoded) {
    if ((c < 0x20 && c != '\t') || c == 0x7F) {
      char code[8];
      snprintf(code, sizeof code, "%04X", static_cast<unsigned>(c));
      problems->Add(path, lineNo, std::string("control character U+") + code + " at column " + std::to_string(column));
      return false;
    }
    ++column;
  }
  return true;
}

// Parses "== <id> [note]". False with a message when the identifier is missing or bad.
bool ParseHeader(std::string_view line, uint32_t* id, std::string* message) {
  size_t i = 2;
  while (i < line.size() && IsBlank(line[i])) ++i;
  size_t start = i;
  uint64_t value = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    value = value * 10 + static_cast<unsigned>(line[i] - '0');
    if (value > UINT32_MAX) {
      size_t end = i;
      while (end < line.size() && !IsBlank(line[end])) ++end;
      *message = "text identifier " + std::string(line.substr(start, end - start)) + " is out of range (0 to 4294967295)";
      return false;
    }
    ++i;
  }
  size_t end = i;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  if (i == start || end != i) {
    if (end == start) {
      *message = "header \"==\" without a text identifier";
    } else {
      *message = "bad text identifier \"" + std::string(line.substr(start, end - start)) + "\" (decimal digits expected)";
    }
    return false;
  }
  *id = static_cast<uint32_t>(value);
  return true;
}

// Removes the escape backslash: one or more "\" followed by "==", "#" or the end of the line.
// *kept tells that the line was an escaped empty line ("\").
std::string_view Unescape(std::string_view line, bool* kept) {
  *kept = false;
  size_t slashes = 0;
  while (slashes < line.size() && line[slashes] == '\\') ++slashes;
  if (slashes == 0) return line;
  std::string_view rest = line.substr(slashes);
  if (rest.empty() || rest.substr(0, 2) == "==" || rest[0] == '#') {
    *kept = line.size() == 1;
    return line.substr(1);
  }
  return line;
}

void FinishText(TextEntry* entry, std::vector<PendingLine>* lines) {
  while (!lines->empty() && lines->back().text.empty() && !lines->back().kept) lines->pop_back();
  for (size_t i = 0; i < lines->size(); ++i) {
    if (i) entry->text += "\r\n";
    entry->text += (*lines)[i].text;
  }
  lines->clear();
}

}  // namespace

const TextEntry* TextFile::Find(uint32_t id) const {
  for (const TextEntry& entry : entries) {
    if (entry.id == id) return &entry;
  }
  return nullptr;
}

bool ParseTextFile(const std::string& path, std::string_view content, TextFile* out, Problems* problems) {
  const size_t problemsBefore = problems->Count();
  out->path = path;
  out->entries.clear();
  if (content.substr(0, 3) == "\xEF\xBB\xBF") content.remove_prefix(3);

  std::map<uint32_t, int> firstLine;
  std::vector<PendingLine> lines;
  TextEntry current;
  bool inText = false;       // a header was read and its lines are being collected
  bool skipping = false;     // after a bad header: its lines belong to nothing
  bool reportedOrphan = false;
  int lineNo = 0;
  size_t pos = 0;
  while (pos < content.size()) {
    size_t end = content.find('\n', pos);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(pos, end - pos);
    pos = end + 1;
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!CheckLine(path, lineNo, line, problems)) continue;
    if (!line.empty() && line[0] == '#') continue;

    if (line.substr(0, 2) == "==") {
      if (inText) {
        FinishText(&current, &lines);
        out->entries.push_back(current);
      }
      inText = false;
      uint32_t id = 0;
      std::string message;
      if (!ParseHeader(line, &id, &message)) {
        problems->Add(path, lineNo, message);
        skipping = true;
        continue;
      }
      auto [it, inserted] = firstLine.emplace(id, lineNo);
      if (!inserted) {
        problems->Add(path, lineNo, "text " + std::to_string(id) + " defined again (first at line " + std::to_string(it->second) + ")");
        skipping = true;
        continue;
      }
      current = TextEntry();
      current.id = id;
      current.line = lineNo;
      inText = true;
      skipping = false;
      continue;
    }

    bool kept = false;
    std::string_view text = Unescape(line, &kept);
    if (inText) {
      lines.push_back({std::string(text), kept});
    } else if (!skipping && !line.empty() && !reportedOrphan) {
      problems->Add(path, lineNo, "text before the first header (a text starts with a line \"== <identifier>\")");
      reportedOrphan = true;
    }
  }
  if (inText) {
    FinishText(&current, &lines);
    out->entries.push_back(current);
  }
  return problems->Count() == problemsBefore;
}

bool LoadTextFile(const std::string& path, TextFile* out, Problems* problems) {
  std::string content;
  std::string error;
  if (!ReadWholeFile(path, &content, &error)) {
    out->path = path;
    out->entries.clear();
    problems->AddLine(error);
    return false;
  }
  return ParseTextFile(path, content, out, problems);
}
