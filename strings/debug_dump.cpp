#include "strings/debug_output.h"
#include "strings/gstring.h"
#include "strings/utf8.h"

// Debuggers cut long output lines, so the text goes out in lines of m_dumpWidth characters; a
// line that continues on the next one ends in " \".
void GString::DebugDump(int maxChars) const {
  if (m_length == 0 || !m_block) return;
  const char* narrow = reinterpret_cast<const char*>(TextBytes());
  int chars = IsWide() ? m_length : Utf8Count(narrow, m_length);
  if (maxChars >= 0 && chars > maxChars) chars = maxChars;
  const int width = m_dumpWidth > 0 ? m_dumpWidth : 0;
  const int fullLines = width > 0 ? chars / width : 0;
  const int rest = width > 0 ? chars % width : chars;

  GString* line = Temp();
  if (!line) return;
  int pos = 0;  // units of this string already written
  // Puts the next `count` characters into the line.
  auto takeChars = [&](int count) {
    line->Empty(true);
    if (IsWide()) {
      const int ok = line->AppendWide(reinterpret_cast<const WChar*>(TextBytes()) + pos, count);
      pos += count;
      return ok;
    }
    const char* end = Utf8Skip(narrow + pos, m_length - pos, count);
    const int bytes = end ? static_cast<int>(end - (narrow + pos)) : m_length - pos;
    const int ok = line->AppendNarrow(narrow + pos, bytes, m_codePage);
    pos += bytes;
    return ok;
  };

  for (int i = 0; i < fullLines; ++i) {
    if (!takeChars(width)) return;
    const bool last = i == fullLines - 1 && rest == 0;
    if (!line->AppendWide(last ? U16("\n") : U16(" \\\n"), -1)) return;
    WriteDebugText(line->WideAt(0));
  }
  if (rest > 0) {
    if (!takeChars(rest) || !line->AppendWide(U16("\n"), 1)) return;
    WriteDebugText(line->WideAt(0));
  }
}
