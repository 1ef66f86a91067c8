// Text files: the translators' form of a string table.
//
// Format (UTF-8; a byte-order mark at the start is skipped):
//   - Lines end with LF; a CR before the LF is dropped, so files saved with CR LF read the same.
//   - A line starting with "#" is a comment, wherever it stands (also between lines of a text).
//   - A line starting with "==" is a header: "==", optional blanks, the text identifier in
//     decimal (0 to 4294967295), then optionally blanks and a note for the reader:
//         == 93   caption of every message box
//   - The lines after a header, up to the next header, are the text. They are joined with
//     CR LF; empty lines at the end of a text are dropped, so blank lines can separate texts.
//     A header with no lines after it gives an empty text.
//   - Escapes, for text lines that would otherwise read as something else: a line that starts
//     with one or more "\" followed by "==", "#" or the end of the line loses its first "\".
//     So "\== x" is the text line "== x", "\# 1" is "# 1", "\" alone is an empty line that is
//     kept even at the end of a text, and "\\" is "\". Any other backslash is literal
//     ("\Layouts" stays as it is).
//   - Faults (each reported with file:line): a line that is not UTF-8, a control character
//     other than tab, a header without a valid identifier, an identifier used twice, text
//     before the first header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/packager/problems.h"

struct TextEntry {
  uint32_t id = 0;
  std::string text;  // UTF-8, lines joined with CR LF
  int line = 0;      // the header's line
};

struct TextFile {
  std::string path;                // as messages name it
  std::vector<TextEntry> entries;  // in the order of the file

  const TextEntry* Find(uint32_t id) const;
};

// Parses the content of a text file. Every fault is added to problems; false when there was one
// (the entries that did parse are still in out).
bool ParseTextFile(const std::string& path, std::string_view content, TextFile* out, Problems* problems);

// Reads and parses a text file.
bool LoadTextFile(const std::string& path, TextFile* out, Problems* problems);
