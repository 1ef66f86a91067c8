// The byte work of the layout image customisation: the search patterns decoded from their
// hexadecimal texts, and the user's key reassignments and the decimal comma written into a
// decoded layout library image. Portable; the installer fetches the texts, decodes the blob and
// writes the staging file around these functions.
//
// The tables are found by searching for byte patterns, not by reading the image's format, so
// the same patterns serve the 32-bit and the 64-bit images.
#pragma once

#include <cstdint>

#include "app/key_table.h"

class GString;

// Entries of the table of virtual keys by scan code that the patching may write (scan codes
// 0x00-0x7E); the table must hold all of them from its found offset.
constexpr int32_t kMainTableEntries = 127;

// Text id of the main table's pattern for a layout variant (147, 148, 149), 0 for any other
// variant: the customisation then has no main pattern and fails when it needs one.
uint32_t MainTablePatternText(int32_t variant);

// A text of upper-case hexadecimal digit pairs ("1D00FF") as bytes; an odd last digit is
// ignored. The text is made narrow (UTF-8) in place. *count is set to the narrow length / 2 as
// soon as the text is known non-empty, also when decoding fails later, and to 0 before that.
// Returns a malloc'd buffer the caller frees with free() (one byte at least: a one-digit text
// gives a buffer and *count 0), or null: a null count, an empty text, a character outside
// "0123456789ABCDEF" (lower case included), no memory.
uint8_t* HexTextToBytes(GString& text, int32_t* count);

// The decoded search patterns; one that the patching does not need may be null.
struct LayoutPatterns {
  const uint8_t* mainTable = nullptr;  // text MainTablePatternText(variant)
  int32_t mainTableSize = 0;
  const uint8_t* e0List = nullptr;  // text 150
  int32_t e0ListSize = 0;
  const uint8_t* e1List = nullptr;  // text 151
  int32_t e1ListSize = 0;
  const uint8_t* decimalKey = nullptr;  // text 146
  int32_t decimalKeySize = 0;
};

// Writes the reassignments of `keys` (the installer's copy: virtualKey 0 = kept) into the main
// table and the E0 and E1 lists when keys is non-null and keyCount > 0, then, when decimalKey is
// 0, makes the keypad's decimal key type ",". Each pattern is searched from offset 0 of the
// image as earlier steps left it; its first occurrence is where its table starts.
//
// False, with the image left exactly as it was, for: a null image or one above 2^31-1 bytes; a
// needed pattern that is null, empty or not found; a main table of 127 entries, a list up to and
// including its end record, or the two decimal characters that would reach past the end of the
// image; no memory. True with nothing done when neither step applies.
bool PatchLayoutImage(uint8_t* image, uint32_t size, const LayoutPatterns& patterns, const KeyEntry* keys,
                      int32_t keyCount, int32_t decimalKey);
