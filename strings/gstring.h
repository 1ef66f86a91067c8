// GString: the one string class of the program.
//
// A GString holds its text either narrow (UTF-8 bytes) or wide (16-bit units, the form every
// Windows call takes) and switches between the two in place. A "unit" is one byte for a narrow
// string and one 16-bit value for a wide one; lengths, indices and counts are in units, and a
// negative length passed in means "measure up to the terminating zero unit".
//
// Results: 1 = done, 0 = failed; pointer results are null on failure. A failure never leaves a
// half-written text visible. Allocation goes through malloc, so failure is a null, not a throw.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "strings/unit16.h"

class GString {
 public:
  GString();
  // Wide string of `count` copies of `unit` (no block when count <= 0).
  GString(WChar unit, int count);
  virtual ~GString();

  GString(const GString&) = delete;  // copies are made with Assign
  GString& operator=(const GString&) = delete;

  int Length() const { return m_length; }
  bool IsWide() const { return m_wide != 0; }
  bool IsEmpty() const { return m_length == 0; }
  int CodePage() const { return m_codePage; }
  int BlockSize() const { return m_blockSize; }
  // Units that fit behind the text start, terminator excluded (0 without a block).
  int Capacity() const;
  void SetDumpWidth(int width) { m_dumpWidth = width; }

  // Storage
  int Reserve(int n);      // room for n units from the text start
  int EnsureFree(int k);   // room for k more units
  int Compact();           // moves the text to the front of its block
  void* Terminate();       // writes the zero unit; the text pointer, null without a block
  int SetLength(int n);    // after a Windows call wrote into WideTail; n < 0: up to the first zero
  int EraseFront(int n);   // drops leading units without copying

  // Accessors, no conversion: a string of the other width, an empty one, or one without a
  // block gives a static empty text, never null.
  const char* NarrowAt(int i) const;
  const WChar* WideAt(int i) const;

  // Width conversion in place. cp 0 means UTF-8; any other value keeps the string's own tag.
  const WChar* AsWide(int cp);    // null on invalid UTF-8 (the string stays narrow)
  const char* AsNarrow(int cp);
  WChar* WideTail(int n);         // room for n units just past the text; then SetLength
  char* NarrowTail(int n);

  // Assignment; each first empties the string.
  int AssignWide(const WChar* p, int n);
  int AssignWideZ(const WChar* p) { return AssignWide(p, -1); }
  int AssignNarrow(const char* p, int n, int cp);
  int AssignUtf8AsWide(const char* p, int n, int cp);
  void Assign(const GString& other);
  int AssignAsWide(const GString* other);
  int AssignAsNarrow(const GString* other);
  // A counted text record: a little-endian 32-bit word (bit 31 set: UTF-8 text, clear: UTF-16
  // text; bits 0-28: the length in units) followed by the text. The caller vouches that the
  // record holds as many units as its word says.
  int AssignRecord(const void* record);

  // Appending
  int AppendWide(const WChar* p, int n);
  int AppendNarrow(const char* p, int n, int cp);
  void Append(const GString& other);
  int AppendRepeated(WChar ch, int count);
  int AppendRepeated(char ch, int count);
  int AppendUnit(WChar u);  // formatter primitive: wide only, does not terminate
  void AppendNewline();
  int EnsureSuffix(const char* s, int n);
  int EnsureSuffix(const WChar* s, int n);
  int AppendPath(const char* s, int n);
  int AppendPath(const WChar* s, int n);
  GString& AppendPath(const GString& component);

  // Formatting (format.cpp): appends to a wide string.
  int AppendFormat(const WChar* format, va_list args);

  // Search, comparison and case mapping (gstring_search.cpp). Results are indices in units
  // of this string, or -1.
  int Find(const WChar* pattern, int from, int n) const;
  int Find(const char* pattern, int from, int n) const;
  int Find(const GString& pattern, int from) const;
  int FindLastChar(WChar ch, int lowBound) const;
  int Compare(const WChar* text, int n) const;
  int Compare(const char* text, int n) const;
  int ToUpper();

  // Writes the text to the debugger output, at most maxChars characters (negative: all), in
  // lines of m_dumpWidth characters (debug_dump.cpp).
  void DebugDump(int maxChars) const;

 private:
  int UnitSize() const { return m_wide ? 2 : 1; }
  unsigned char* TextBytes() const;  // first byte of the text; requires a block
  bool PointsIntoBlock(const void* p) const;
  void Empty(bool wide);             // length 0, start 0, the given width, terminated
  GString* Temp() const;             // the emptied work string, created on first need
  void TakeText(GString& other);     // swaps blocks and texts with other
  int AppendSameWidth(const void* p, int n);
  int AppendWideAsUtf8(const WChar* p, int n);
  int AppendUtf8AsUnits(const char* p, int n);
  int EnsureSuffixSameWidth(const void* s, int n);
  int AppendPathSameWidth(const void* s, int n);
  // Brings a text of the given width to this string's width through m_temp. On success
  // *converted points at the text in this width and *length is its length in units.
  int ToOwnWidth(const void* p, int n, bool wide, const void** converted, int* length) const;

  unsigned char* m_block = nullptr;  // owned: 4-byte header word, then the text area
  int m_length = 0;
  int m_start = 0;
  int m_blockSize = 0;
  int m_granule = 64;
  int m_codePage = 0;
  int m_wide = 0;
  int m_dumpWidth = 80;
  mutable GString* m_temp = nullptr;  // owned work area, not part of the value
};

// Makes target wide and empty, then appends the formatted text.
int Format(GString& target, const WChar* format, ...);

int Equals(const GString& a, const GString& b);
int NotEquals(const GString& a, const GString& b);
